// One workbook converted through the spreadsheet component's steps: which
// worksheets are written, under which names, and the failure path.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/engine_setup.h"

namespace quorvel {
namespace {

using Step = test::FakeScript::Step;
using Strings = std::vector<std::string>;

struct Conversion : ::testing::Test {
  test::EngineSetup s;
  std::string folder;
  void SetUp() override {
    s.script->sheetsByFile["Sales.xls"] = {"Jan", "Feb", "Mar"};
    s.jobFolder({"Sales.xls", "Tail.xls"});
    folder = s.dir.file("Sales");
    std::filesystem::create_directory(folder);
    s.procedures.state().workbookOutputFolder = folder;
  }
  void store(int w, const std::vector<std::pair<std::string, bool>>& sheets) {
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      int sheet = static_cast<int>(i + 1);
      s.procedures.state().sheetNames.set(w, sheet, SheetNameTable::Label, sheets[i].first);
      s.procedures.state().sheetNames.set(w, sheet, SheetNameTable::Ticked,
                                          sheets[i].second ? "1" : "");
    }
  }
  std::string content(const std::string& file) { return test::readFile(folder + "/" + file); }
};

TEST_F(Conversion, WithoutStoredStateEveryWorksheetIsWrittenUnderItsName) {
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"Feb.txt", "Jan.txt", "Mar.txt"}));
  EXPECT_EQ(content("Feb.txt"), "Sales.xls:Feb\r\n");
  EXPECT_EQ(s.script->calls, (Strings{"create", "open " + s.dir.file("in/Sales.xls"), "alerts off",
                                      "count", "name 1", "select 1", "save " + folder + "/Jan.txt",
                                      "name 2", "select 2", "save " + folder + "/Feb.txt", "name 3",
                                      "select 3", "save " + folder + "/Mar.txt", "close", "quit"}));
  EXPECT_EQ(s.window.progressMaxima, std::vector<int>{3});
  EXPECT_EQ(s.window.progressValues, (std::vector<int>{1, 2, 3, 0}));
  ASSERT_EQ(s.procedures.LastConversion().sheets.size(), 3u);
  EXPECT_EQ(s.procedures.LastConversion().sheets[1].outputFile, folder + "/Feb.txt");
  EXPECT_EQ(s.procedures.LastConversion().sheets[1].index, 2);
}

TEST_F(Conversion, StoredStateSkipsUntickedSheetsAndUsesEditedLabels) {
  store(1, {{"Jan", true}, {"Feb", false}, {"March 2024", true}});
  s.window.naming = 0;
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"Jan.txt", "March 2024.txt"}));
  EXPECT_EQ(content("March 2024.txt"), "Sales.xls:Mar\r\n");
  EXPECT_EQ(s.script->count("name 1"), 0);  // labels come from the table
  EXPECT_EQ(s.window.progressValues, (std::vector<int>{1, 2, 3, 0}));
}

TEST_F(Conversion, NumberingSkipsNothingAndRestartsAfterASuccess) {
  store(1, {{"Jan", true}, {"Feb", false}, {"Mar", true}});
  s.window.naming = 2;
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"1.txt", "2.txt"}));
  EXPECT_EQ(content("2.txt"), "Sales.xls:Mar\r\n");
  EXPECT_EQ(s.procedures.state().names.sheetCounter, 0);
}

TEST_F(Conversion, EqualLabelsGetNumberedFilesInsteadOfOverwriting) {
  store(1, {{"Same", true}, {"Same", true}, {"Mar", true}});
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"Mar.txt", "Same.txt", "Same_2.txt"}));
  EXPECT_EQ(content("Same.txt"), "Sales.xls:Jan\r\n");
  EXPECT_EQ(content("Same_2.txt"), "Sales.xls:Feb\r\n");
  // What the window shows afterwards names the files as written.
  const auto& sheets = s.procedures.LastConversion().sheets;
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[1].outputFile, folder + "/Same_2.txt");
}

TEST_F(Conversion, RandomNamesNeverReplaceAFileOfTheSameWorkbook) {
  // "a:" becomes "a" and a number from 1 to 100: 150 of them exhaust the
  // numbers, and every worksheet must still get a file of its own.
  std::vector<std::pair<std::string, bool>> sheets(150, {"a:", true});
  Strings names(150, "x");
  s.script->sheetsByFile["Sales.xls"] = names;
  store(1, sheets);
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  Strings files = test::EngineSetup::listing(folder);
  EXPECT_EQ(files.size(), 150u);
  std::set<std::string> oneToHundred;
  for (int i = 1; i <= 100; ++i)
    oneToHundred.insert(std::string("a").append(std::to_string(i)).append(".txt"));
  for (const auto& f : files) {
    if (oneToHundred.count(f)) oneToHundred.erase(f);
  }
  EXPECT_TRUE(oneToHundred.empty()) << "every number is used before names grow";
}

TEST_F(Conversion, WorksheetsBeyondFiveThousandAreAllWritten) {
  Strings names;
  std::vector<std::pair<std::string, bool>> stored;
  for (int i = 1; i <= 5002; ++i) {
    names.push_back(std::string("S").append(std::to_string(i)));
    if (i <= 5000) stored.push_back({names.back(), false});
  }
  s.script->sheetsByFile["Sales.xls"] = names;
  store(1, stored);
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"S5001.txt", "S5002.txt"}));
}

TEST_F(Conversion, NoWorkbookPathStartsNothing) {
  EXPECT_EQ(s.procedures.ConvertWorkbook(5), ConvertResult::NoWorkbookPath);
  std::filesystem::remove(s.dir.file("in/Tail.xls"));
  EXPECT_EQ(s.procedures.ConvertWorkbook(2), ConvertResult::NoWorkbookPath);
  EXPECT_TRUE(s.script->calls.empty());
  EXPECT_TRUE(s.window.desk.messages.empty());
}

TEST_F(Conversion, AnErrorOnTheThirdSheetKeepsTwoFilesAndQuitsTheServer) {
  s.script->failStep = Step::SaveAs;
  s.script->failOnCall = 3;
  s.window.naming = 2;
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Failed);
  EXPECT_EQ(test::EngineSetup::listing(folder), (Strings{"1.txt", "2.txt"}));
  ASSERT_EQ(s.window.desk.messages.size(), 1u);
  EXPECT_EQ(s.window.desk.messages[0].text, s.script->failText);
  EXPECT_EQ(s.window.desk.messages[0].style, MessageStyle::Plain);
  EXPECT_EQ(s.script->count("close"), 1);
  EXPECT_EQ(s.script->count("quit"), 1);
  // The count goes on into the next workbook, and the bar keeps its value.
  EXPECT_EQ(s.procedures.state().names.sheetCounter, 3);
  EXPECT_EQ(s.window.progressValues.back(), 2);
}

TEST_F(Conversion, ANonPositiveErrorIsSilent) {
  s.script->failStep = Step::Select;
  s.script->failOnCall = 1;
  s.script->failNumber = -1;
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::FailedSilently);
  EXPECT_TRUE(s.window.desk.messages.empty());
  EXPECT_EQ(s.script->count("close"), 0);
  EXPECT_EQ(s.script->count("quit"), 0);
}

TEST_F(Conversion, ALabelCannotWriteOutsideTheWorkbookFolder) {
  store(1, {{"../Escaped", true}, {"sub/inner", true}, {"/", true}});
  EXPECT_EQ(s.procedures.ConvertWorkbook(1), ConvertResult::Converted);
  EXPECT_FALSE(std::filesystem::exists(s.dir.file("Escaped.txt")));
  Strings files = test::EngineSetup::listing(folder);
  ASSERT_EQ(files.size(), 3u);
  std::set<std::string> named(files.begin(), files.end());
  EXPECT_EQ(named.count("..Escaped.txt"), 1u);
  EXPECT_EQ(named.count("subinner.txt"), 1u);
  ASSERT_EQ(s.procedures.LastConversion().sheets.size(), 3u);
  // "/" alone leaves nothing of the name: a number takes its place.
  std::string drawn = s.procedures.LastConversion().sheets[2].outputFile;
  EXPECT_EQ(drawn.substr(0, folder.size() + 1), folder + "/");
  EXPECT_EQ(drawn.find_first_not_of("0123456789", folder.size() + 1), drawn.size() - 4);
}

}  // namespace
}  // namespace quorvel
