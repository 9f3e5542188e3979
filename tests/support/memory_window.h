#pragma once
// A window held in memory: the tests of the window's procedures read back
// what the procedures did to it. With helpers that set up the lists the way
// the window's handlers leave them.
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/window/window_model.h"

namespace quorvel {

class MemoryEntryList : public EntryList {
 public:
  struct Entry {
    std::string text;
    bool ticked = false;
    int image = 0;
  };

  int count() const override { return static_cast<int>(entries_.size()); }
  std::string text(int index) const override { return at(index).text; }
  void setText(int index, const std::string& text) override { at(index).text = text; }
  bool ticked(int index) const override { return at(index).ticked; }
  void setTicked(int index, bool ticked) override { at(index).ticked = ticked; }
  int image(int index) const override { return at(index).image; }
  void setImage(int index, int image) override { at(index).image = image; }
  int add(const std::string& text, int image = 0, int position = 0) override;
  void remove(int index) override;
  void clear() override;
  int selected() const override { return selected_; }
  void select(int index) override;
  void refresh() override { ++refreshes; }
  void show() override { shown = true; }

  std::vector<std::string> texts() const;
  std::vector<bool> ticks() const;

  int refreshes = 0;
  bool shown = false;

 private:
  // Throws std::out_of_range: an engine that reads past the list is wrong.
  Entry& at(int index);
  const Entry& at(int index) const;
  std::vector<Entry> entries_;
  int selected_ = 0;
};

class MemoryComboBox : public ComboBox {
 public:
  int count() const override { return static_cast<int>(entries_.size()); }
  std::string entry(int index) const override;
  void insert(int index, const std::string& text) override;
  void remove(int index) override;
  int selectedIndex() const override { return selected_; }
  void select(int index) override;
  std::string text() const override { return text_; }
  // Typing into the edit field leaves no list entry selected.
  void setText(const std::string& text) override {
    text_ = text;
    selected_ = -1;
  }

 private:
  std::vector<std::string> entries_;
  int selected_ = -1;
  std::string text_;
};

class MemoryDesktop : public Desktop {
 public:
  struct Message {
    std::string text;
    MessageStyle style = MessageStyle::Plain;
  };
  void showMessage(const std::string& text, MessageStyle style) override {
    messages.push_back({text, style});
  }
  void open(const std::string& target) override { opened.push_back(target); }
  void showFailures(const RunReport& report) override { failureLists.push_back(report); }
  // Answers from `passwordAnswers`, in order; none left: skip.
  std::optional<std::string> askPassword(const std::string& workbook, bool again) override {
    passwordQuestions.push_back(workbook + (again ? " again" : ""));
    if (passwordAnswers.empty()) return std::nullopt;
    auto answer = passwordAnswers.front();
    passwordAnswers.pop_front();
    return answer;
  }

  std::vector<Message> messages;
  std::vector<std::string> opened;
  std::vector<RunReport> failureLists;
  std::deque<std::optional<std::string>> passwordAnswers;
  std::vector<std::string> passwordQuestions;  // "Book.xlsx", "Book.xlsx again"
};

class MemoryWindow : public WindowModel {
 public:
  EntryList& jobList() override { return jobs; }
  EntryList& workbookList() override { return workbooks; }
  EntryList& worksheetList() override { return worksheets; }
  int namingOption() const override { return naming; }
  ComboBox& outputBox() override { return output; }
  void setStatus(const std::string& text) override { statuses.push_back(text); }
  void setProgressMax(int max) override { progressMaxima.push_back(max); }
  void setProgressValue(int value) override { progressValues.push_back(value); }
  void setPointer(int pointer) override { pointers.push_back(pointer); }
  Desktop& desktop() override { return desk; }

  MemoryEntryList jobs, workbooks, worksheets;
  int naming = 0;
  MemoryComboBox output;
  MemoryDesktop desk;
  // Every value set, in order.
  std::vector<std::string> statuses;
  std::vector<int> progressMaxima, progressValues, pointers;
};

}  // namespace quorvel

namespace quorvel::test {

// Replaces the list's entries with (text, ticked) pairs and selects `select`.
void fillList(EntryList& list, const std::vector<std::pair<std::string, bool>>& entries,
              int select = 1);

// Texts of the messages shown, in order.
std::vector<std::string> messageTexts(const MemoryWindow& window);

}  // namespace quorvel::test
