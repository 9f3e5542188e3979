#pragma once
// Test doubles for the window: a desktop host that records every message,
// open, pointer change and dialog and answers dialogs from a script.
#include <QDialog>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dialogs/desktop_host.h"

namespace quorvel::test {

struct Message {
  std::string text;
  MessageStyle style;
  bool operator==(const Message&) const = default;
};

inline void PrintTo(const Message& m, std::ostream* os) {
  *os << "{\"" << m.text << "\", " << static_cast<int>(m.style) << "}";
}

struct Opened {
  std::string target;
  int showCommand;
  bool operator==(const Opened&) const = default;
};

inline void PrintTo(const Opened& o, std::ostream* os) {
  *os << "{\"" << o.target << "\", " << o.showCommand << "}";
}

class ScriptedHost : public DesktopHost {
 public:
  std::vector<Message> messages;
  std::vector<Opened> opens;
  std::vector<int> pointers;
  std::vector<std::string> dialogs;  // "open:<title>", "folder:<prompt>", "modal:<name>", ...

  // Answers, taken in order; an empty queue answers "cancelled". A dialog
  // for several files takes `filesAnswers` first, then one of `fileAnswers`.
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<std::vector<std::string>> filesAnswers;
  std::deque<std::optional<std::string>> folderAnswers;
  std::deque<bool> confirmAnswers;  // none left: No
  std::string lastFolderStart;
  std::optional<std::uint32_t> colorAnswer;
  std::optional<FontChoice> fontAnswer;
  bool printAnswer = false;
  bool printerPropertiesAnswer = false;
  int dpi = 96;
  // Runs in place of a modal dialog's event loop.
  std::function<void(QDialog&)> onModal;
  // Runs when a dialog is shown without a loop of its own.
  std::function<void(QDialog&)> onModeless;
  std::vector<std::string> questions;

  FileDialogRequest lastFileRequest;
  FontRequest lastFontRequest;
  std::uint32_t lastColor = 0, lastColorFlags = 0;
  QWidget* lastOwner = nullptr;

  void showMessage(const std::string& text, MessageStyle style) override {
    messages.push_back({text, style});
  }
  void openWith(const std::string& target, int showCommand) override {
    opens.push_back({target, showCommand});
  }
  void setPointer(int pointer) override { pointers.push_back(pointer); }
  int pointer() const { return pointers.empty() ? kPointerDefault : pointers.back(); }

  std::optional<std::string> openFileDialog(QWidget* owner,
                                            const FileDialogRequest& request) override {
    return fileDialog("open:", owner, request);
  }
  std::optional<std::string> saveFileDialog(QWidget* owner,
                                            const FileDialogRequest& request) override {
    return fileDialog("save:", owner, request);
  }
  std::vector<std::string> openFilesDialog(QWidget* owner,
                                           const FileDialogRequest& request) override {
    if (filesAnswers.empty()) {
      auto one = fileDialog("open:", owner, request);
      return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    dialogs.push_back("open:" + request.title);
    lastOwner = owner;
    lastFileRequest = request;
    auto answer = filesAnswers.front();
    filesAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> folderDialog(QWidget* owner, const std::string& prompt,
                                          const std::string& initialDir) override {
    dialogs.push_back("folder:" + prompt);
    lastOwner = owner;
    lastFolderStart = initialDir;
    return take(folderAnswers);
  }
  bool confirm(const std::string& question) override {
    questions.push_back(question);
    if (confirmAnswers.empty()) return false;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
  }
  std::optional<std::uint32_t> colorDialog(QWidget* owner, std::uint32_t color,
                                           std::uint32_t flags) override {
    dialogs.push_back("color");
    lastOwner = owner;
    lastColor = color;
    lastColorFlags = flags;
    return colorAnswer;
  }
  std::optional<FontChoice> fontDialog(QWidget* owner, const FontRequest& request) override {
    dialogs.push_back("font");
    lastOwner = owner;
    lastFontRequest = request;
    return fontAnswer;
  }
  bool printDialog(QWidget* owner) override {
    dialogs.push_back("print");
    lastOwner = owner;
    return printAnswer;
  }
  bool printerPropertiesDialog(QWidget* owner) override {
    dialogs.push_back("printer properties");
    lastOwner = owner;
    return printerPropertiesAnswer;
  }
  int screenDpiY() override { return dpi; }
  int runModal(QDialog& dialog) override {
    dialogs.push_back("modal:" + dialog.objectName().toStdString());
    if (onModal) onModal(dialog);
    return dialog.result();
  }
  void showModeless(QDialog& dialog) override {
    dialogs.push_back("modeless:" + dialog.objectName().toStdString());
    dialog.show();
    if (onModeless) onModeless(dialog);
  }

 private:
  std::optional<std::string> fileDialog(const std::string& kind, QWidget* owner,
                                        const FileDialogRequest& request) {
    dialogs.push_back(kind + request.title);
    lastOwner = owner;
    lastFileRequest = request;
    return take(fileAnswers);
  }
  static std::optional<std::string> take(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace quorvel::test
