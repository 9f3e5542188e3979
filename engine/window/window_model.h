#pragma once
// The small interfaces through which the window's procedures work on the
// window: the window implements them over its widgets, the tests in memory.
#include <optional>
#include <string>

#include "engine/window/run_report.h"

namespace quorvel {

// Small images of job-list entries.
inline constexpr int kImageFile = 1;
inline constexpr int kImageFolder = 2;
inline constexpr int kImageMissing = 3;

// Message-box styles: the icon a message shows.
enum class MessageStyle { Plain, Critical, Information };

// The mouse pointer.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerBusy = 13;  // the arrow with the hourglass: busy, yet usable

// An ordered, 1-based list of entries with a text, a tick and a small image,
// and at most one selected entry (the job, workbook and worksheet lists).
class EntryList {
 public:
  virtual ~EntryList() = default;
  virtual int count() const = 0;
  virtual std::string text(int index) const = 0;
  virtual void setText(int index, const std::string& text) = 0;
  virtual bool ticked(int index) const = 0;
  virtual void setTicked(int index, bool ticked) = 0;
  virtual int image(int index) const = 0;  // 0: none
  virtual void setImage(int index, int image) = 0;
  // Adds an entry at `position` (1-based; 0 or count()+1 for the end) and
  // returns its index.
  virtual int add(const std::string& text, int image = 0, int position = 0) = 0;
  virtual void remove(int index) = 0;
  virtual void clear() = 0;
  virtual int selected() const = 0;  // 0 when nothing is selected
  virtual void select(int index) = 0;
  virtual void refresh() = 0;
  virtual void show() = 0;
};

// An editable combo box: a list of entries (0-based) and an edit text; the
// selected index is -1 when the text was typed.
class ComboBox {
 public:
  virtual ~ComboBox() = default;
  virtual int count() const = 0;
  virtual std::string entry(int index) const = 0;
  virtual void insert(int index, const std::string& text) = 0;
  virtual void remove(int index) = 0;
  virtual int selectedIndex() const = 0;
  virtual void select(int index) = 0;  // -1 selects nothing
  virtual std::string text() const = 0;
  virtual void setText(const std::string& text) = 0;
};

// Message boxes and the shell's "open": the one injectable place where the
// program talks to the desktop.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // A modal message with an OK button and the title "Quorvel".
  virtual void showMessage(const std::string& text, MessageStyle style) = 0;
  // Opens a folder, file or address in the desktop's default program.
  virtual void open(const std::string& target) = 0;
  // The end of a run with failures: every failure at once, in one window
  // whose text can be copied.
  virtual void showFailures(const RunReport& report) = 0;
  // Asks for the password of the workbook named `workbook`, modally.
  // `again`: the last one given did not open it. Nothing: skip it.
  virtual std::optional<std::string> askPassword(const std::string& workbook, bool again) = 0;
};

// Everything of the main window the window's procedures read or change.
class WindowModel {
 public:
  virtual ~WindowModel() = default;
  virtual EntryList& jobList() = 0;                     // ListView1
  virtual EntryList& workbookList() = 0;                // ListView2
  virtual EntryList& worksheetList() = 0;               // ListView3
  virtual int namingOption() const = 0;                 // Combo1's selected position, -1 for none
  virtual ComboBox& outputBox() = 0;                    // Combo5
  virtual void setStatus(const std::string& text) = 0;  // Label1
  virtual void setProgressMax(int max) = 0;             // ProgressBar1
  virtual void setProgressValue(int value) = 0;
  virtual void setPointer(int pointer) = 0;
  virtual Desktop& desktop() = 0;
};

}  // namespace quorvel
