#include "tests/support/fake_application.h"

#include <algorithm>
#include <filesystem>

#include "tests/support/test_support.h"

namespace quorvel::test {

namespace {

using spreadsheet::ErrorCode;
using spreadsheet::SpreadsheetError;
using Step = FakeScript::Step;

class FakeWorkbook : public spreadsheet::Workbook {
 public:
  FakeWorkbook(FakeScript& script, std::string file, std::vector<std::string> sheets)
      : script_(script), file_(std::move(file)), sheets_(std::move(sheets)) {}

  int worksheetCount() override {
    script_.step(Step::Count, "count");
    return static_cast<int>(sheets_.size());
  }
  std::string worksheetName(int index) override {
    script_.step(Step::Name, "name " + std::to_string(index));
    return sheets_.at(static_cast<std::size_t>(index - 1));
  }
  void selectSheet(int index) override {
    script_.step(Step::Select, "select " + std::to_string(index));
    active_ = index;
  }
  spreadsheet::SheetStats saveAs(const std::string& path, int fileFormat, std::stop_token,
                                 const spreadsheet::TextOptions&) override {
    script_.step(Step::SaveAs, "save " + path);
    if (fileFormat != spreadsheet::xlCurrentPlatformText)
      throw SpreadsheetError(ErrorCode::Unsupported, "wrong file format");
    writeFile(path, file_ + ":" + sheets_.at(static_cast<std::size_t>(active_ - 1)) + "\r\n");
    return {1, static_cast<std::uint32_t>(active_)};
  }
  void close() override { script_.step(Step::Close, "close"); }

 private:
  FakeScript& script_;
  std::string file_;
  std::vector<std::string> sheets_;
  int active_ = 1;
};

class FakeApplication : public spreadsheet::Application {
 public:
  explicit FakeApplication(std::shared_ptr<FakeScript> script) : script_(std::move(script)) {}

  spreadsheet::Workbook& open(const std::string& path) override {
    script_->step(Step::Open, "open " + path);
    std::string file = std::filesystem::path(path).filename().string();
    auto it = script_->sheetsByFile.find(file);
    book_ = std::make_unique<FakeWorkbook>(
        *script_, file, it != script_->sheetsByFile.end() ? it->second : script_->defaultSheets);
    return *book_;
  }
  void setDisplayAlerts(bool on) override { script_->record(on ? "alerts on" : "alerts off"); }
  void quit() override { script_->step(Step::Quit, "quit"); }

 private:
  std::shared_ptr<FakeScript> script_;
  std::unique_ptr<FakeWorkbook> book_;
};

}  // namespace

void FakeScript::record(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls.push_back(call);
}

void FakeScript::holdAt(Step s, int onCall) {
  std::lock_guard lock(holdMutex_);
  holdStep_ = s;
  holdCountdown_ = onCall;
  held_ = released_ = false;
}

bool FakeScript::waitUntilHeld(std::chrono::milliseconds timeout) {
  std::unique_lock lock(holdMutex_);
  return holdChanged_.wait_for(lock, timeout, [this] { return held_; });
}

void FakeScript::release() {
  {
    std::lock_guard lock(holdMutex_);
    released_ = true;
  }
  holdChanged_.notify_all();
}

void FakeScript::step(Step s, const std::string& call) {
  {
    std::unique_lock lock(holdMutex_);
    if (holdCountdown_ > 0 && s == holdStep_ && --holdCountdown_ == 0) {
      held_ = true;
      holdChanged_.notify_all();
      holdChanged_.wait(lock, [this] { return released_; });
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  calls.push_back(call);
  if (failOnCall > 0 && s == failStep && ++seen_[s] == failOnCall)
    throw SpreadsheetError(static_cast<ErrorCode>(failNumber), failText);
}

int FakeScript::count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

spreadsheet::ApplicationFactory FakeScript::factory() {
  return [self = shared_from_this()]() -> std::unique_ptr<spreadsheet::Application> {
    self->step(Step::Create, "create");
    return std::make_unique<FakeApplication>(self);
  };
}

}  // namespace quorvel::test
