#pragma once
// The one injectable place where the window meets the desktop: message
// boxes, the shell's "open", the system dialogs, modal windows of our own
// and the mouse pointer. The program uses QtDesktopHost; the tests put a
// scripted host in its place and see every message, open and dialog.
#include <QObject>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/window/window_model.h"

class QDialog;
class QWidget;

namespace quorvel {

// Show commands of the shell's open.
inline constexpr int kShowNormal = 5;     // SW_SHOW
inline constexpr int kShowMaximized = 3;  // SW_SHOWMAXIMIZED

// One file type of an open or save dialog.
struct FileType {
  std::string description;
  std::string pattern;  // patterns separated by ";", as "*.xls;*.xlsx"
};

struct FileDialogRequest {
  std::string title;
  std::vector<FileType> types;
  int selectedType = 0;     // 0-based
  std::string initialFile;  // the name box's starting text
  std::string initialDir;   // "" lets the dialog choose
  std::string defaultExtension;
  bool multiple = false;  // an open dialog that takes several files
};

// What the font dialog starts from, in the terms of a LOGFONT.
struct FontRequest {
  std::string faceName;
  int height = 0;  // negative: character height in pixels
  int weight = 0;  // 700 bold, 0 don't care
  bool italic = false;
  bool underline = false;
  std::uint32_t color = 0;  // 0x00BBGGRR
};

// What the font dialog answers.
struct FontChoice {
  std::string faceName;
  int pointSizeTenths = 0;
  bool bold = false;
  bool italic = false;
};

class DesktopHost : public Desktop {
 public:
  // Desktop's open, with the normal show command.
  void open(const std::string& target) override { openWith(target, kShowNormal); }
  // Opens a folder or file path, a web address or a mailto: link. What the
  // desktop cannot open gets a message naming it.
  virtual void openWith(const std::string& target, int showCommand) = 0;
  virtual void setPointer(int pointer) = 0;

  // Desktop's failure list and password question: our own dialogs, shown
  // with runModal.
  void showFailures(const RunReport& report) override;
  std::optional<std::string> askPassword(const std::string& workbook, bool again) override;
  // A question with Yes and No; true for Yes.
  virtual bool confirm(const std::string& question) = 0;

  // System dialogs; an empty answer means cancelled.
  virtual std::optional<std::string> openFileDialog(QWidget* owner,
                                                    const FileDialogRequest& request) = 0;
  // An open dialog that takes several files (`request.multiple`); none: cancelled.
  virtual std::vector<std::string> openFilesDialog(QWidget* owner,
                                                   const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> saveFileDialog(QWidget* owner,
                                                    const FileDialogRequest& request) = 0;
  // `initialDir`: "" lets the dialog choose.
  virtual std::optional<std::string> folderDialog(QWidget* owner, const std::string& prompt,
                                                  const std::string& initialDir = "") = 0;
  // `flags`: 1 start from the colour, 2 fully opened.
  virtual std::optional<std::uint32_t> colorDialog(QWidget* owner, std::uint32_t color,
                                                   std::uint32_t flags) = 0;
  virtual std::optional<FontChoice> fontDialog(QWidget* owner, const FontRequest& request) = 0;
  virtual bool printDialog(QWidget* owner) = 0;
  // False when there is no default printer.
  virtual bool printerPropertiesDialog(QWidget* owner) = 0;
  // The screen's logical dots per inch, vertically (LOGPIXELSY).
  virtual int screenDpiY() = 0;

  // Shows one of the program's own dialogs modally; its result code.
  virtual int runModal(QDialog& dialog) = 0;
  // Shows one of the program's own dialogs and returns at once; the owner
  // window stays usable.
  virtual void showModeless(QDialog& dialog) = 0;
};

// The real desktop: QMessageBox, QDesktopServices, Qt's dialogs, the wait cursor.
class QtDesktopHost : public DesktopHost {
 public:
  ~QtDesktopHost() override;
  void showMessage(const std::string& text, MessageStyle style) override;
  // Through xdg-open, which says whether the desktop could open the target
  // (Qt's own open only says whether something was started).
  void openWith(const std::string& target, int showCommand) override;
  void setPointer(int pointer) override;
  bool confirm(const std::string& question) override;
  std::optional<std::string> openFileDialog(QWidget* owner,
                                            const FileDialogRequest& request) override;
  std::vector<std::string> openFilesDialog(QWidget* owner,
                                           const FileDialogRequest& request) override;
  std::optional<std::string> saveFileDialog(QWidget* owner,
                                            const FileDialogRequest& request) override;
  std::optional<std::string> folderDialog(QWidget* owner, const std::string& prompt,
                                          const std::string& initialDir = "") override;
  std::optional<std::uint32_t> colorDialog(QWidget* owner, std::uint32_t color,
                                           std::uint32_t flags) override;
  std::optional<FontChoice> fontDialog(QWidget* owner, const FontRequest& request) override;
  bool printDialog(QWidget* owner) override;
  bool printerPropertiesDialog(QWidget* owner) override;
  int screenDpiY() override;
  int runModal(QDialog& dialog) override;
  void showModeless(QDialog& dialog) override;

 private:
  int pointer_ = kPointerDefault;
  QObject context_;  // what reports on a program started for an open wait on
};

// A target of the shell's open is an address when it has one of these
// schemes, otherwise a local path.
bool IsAddress(const std::string& target);

// The message for a target the desktop could not open: `exitCode` is
// xdg-open's, or -1 when no program to open it was found at all.
std::string CannotOpenMessage(const std::string& target, int exitCode);

}  // namespace quorvel
