#pragma once
// A scripted stand-in for the spreadsheet component: workbooks with chosen
// worksheet names, a failure at a chosen step, and a record of every call.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"

namespace quorvel::test {

// Made with std::make_shared: the factory shares the script.
class FakeScript : public std::enable_shared_from_this<FakeScript> {
 public:
  enum class Step { Create, Open, Count, Name, Select, SaveAs, Close, Quit };

  // Worksheet names per workbook file name (without folder); others get
  // `defaultSheets`.
  std::map<std::string, std::vector<std::string>> sheetsByFile;
  std::vector<std::string> defaultSheets = {"Sheet1"};

  // The `failOnCall`-th call (counted over the whole script) of `failStep`
  // raises SpreadsheetError(failNumber, failText). 0: never.
  Step failStep = Step::Open;
  int failOnCall = 0;
  int failNumber = 1003;
  std::string failText = "'Book.xls' is damaged: a broken record";

  // Every call, e.g. "create", "open /x/Book1.xls", "alerts off", "count",
  // "name 2", "select 2", "save /out/Book1/Jan.txt", "close", "quit".
  std::vector<std::string> calls;

  // The factory to hand to Engine. saveAs writes "<workbook>:<sheet name>\r\n".
  spreadsheet::ApplicationFactory factory();

  int count(const std::string& call) const;

  // Holds a run on another thread: the `onCall`-th call of `s` (counted
  // from now) waits, before it is recorded, until release().
  void holdAt(Step s, int onCall = 1);
  // Waits until a call is held there; false after `timeout`.
  bool waitUntilHeld(std::chrono::milliseconds timeout = std::chrono::seconds(60));
  void release();

  // Internal: records the call and raises the scripted failure. Both may be
  // called from several conversion threads at once.
  void step(Step s, const std::string& call);
  void record(const std::string& call);

 private:
  std::mutex mutex_;
  std::map<Step, int> seen_;
  std::mutex holdMutex_;
  std::condition_variable holdChanged_;
  Step holdStep_ = Step::Create;
  int holdCountdown_ = 0;  // calls of holdStep_ until the held one; 0: none
  bool held_ = false, released_ = false;
};

}  // namespace quorvel::test
