#pragma once
// Test doubles for the window: a desktop host that records every message,
// open, pointer change and dialog and answers dialogs from a script, and a
// spreadsheet application over workbooks described in memory.
#include <QDialog>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/desktop_host.h"
#include "engine/spreadsheet/automation.h"

namespace quorvel::test {

struct Message {
  std::string text;
  int style;
  bool operator==(const Message&) const = default;
};

struct Opened {
  std::string target;
  int showCommand;
  bool operator==(const Opened&) const = default;
};

class ScriptedHost : public DesktopHost {
 public:
  std::vector<Message> messages;
  std::vector<Opened> opens;
  std::vector<int> pointers;
  std::vector<std::string> dialogs;  // "open:<title>", "folder:<prompt>", "modal:<name>", ...

  // Answers, taken in order; an empty queue answers "cancelled".
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<std::optional<std::string>> folderAnswers;
  std::optional<std::uint32_t> colorAnswer;
  std::optional<FontChoice> fontAnswer;
  bool printAnswer = false;
  bool printerPropertiesAnswer = false;
  int dpi = 96;
  // Runs in place of a modal dialog's event loop.
  std::function<void(QDialog&)> onModal;

  FileDialogRequest lastFileRequest;
  FontRequest lastFontRequest;
  std::uint32_t lastColor = 0, lastColorFlags = 0;
  QWidget* lastOwner = nullptr;

  void showMessage(const std::string& text, int style) override {
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
  std::optional<std::string> folderDialog(QWidget* owner, const std::string& prompt) override {
    dialogs.push_back("folder:" + prompt);
    lastOwner = owner;
    return take(folderAnswers);
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

// Workbooks known by path: their worksheet names, in order. Saving writes
// the worksheet's name into the file; opening an unknown path fails.
class MemorySpreadsheet {
 public:
  std::map<std::string, std::vector<std::string>> workbooks;
  std::vector<std::string> opened;  // every path opened, in order
  std::vector<std::string> saved;   // every path saved, in order

  spreadsheet::ApplicationFactory factory() {
    return [this] { return std::make_unique<App>(*this); };
  }

 private:
  class Book : public spreadsheet::Workbook {
   public:
    Book(MemorySpreadsheet& owner, std::vector<std::string> names)
        : owner_(owner), names_(std::move(names)) {}
    int worksheetCount() override { return static_cast<int>(names_.size()); }
    std::string worksheetName(int index) override { return names_.at(index - 1); }
    void selectSheet(int index) override { active_ = index; }
    spreadsheet::SheetStats saveAs(const std::string& path, int) override {
      std::ofstream(path, std::ios::binary) << names_.at(active_ - 1) << "\r\n";
      owner_.saved.push_back(path);
      return {1, 1};
    }
    void close() override {}

   private:
    MemorySpreadsheet& owner_;
    std::vector<std::string> names_;
    int active_ = 1;
  };

  class App : public spreadsheet::Application {
   public:
    explicit App(MemorySpreadsheet& owner) : owner_(owner) {}
    spreadsheet::Workbook& open(const std::string& path) override {
      owner_.opened.push_back(path);
      const auto it = owner_.workbooks.find(path);
      if (it == owner_.workbooks.end())
        throw spreadsheet::SpreadsheetError(spreadsheet::ErrorCode::CannotOpen,
                                            "Cannot open \"" + path + "\".");
      book_ = std::make_unique<Book>(owner_, it->second);
      return *book_;
    }
    void setDisplayAlerts(bool) override {}
    void quit() override {}

   private:
    MemorySpreadsheet& owner_;
    std::unique_ptr<Book> book_;
  };
};

}  // namespace quorvel::test
