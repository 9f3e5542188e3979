// Validation of the output directory and the Convert command's run: folder
// choice, messages and the window's state at the end.
#include <gtest/gtest.h>

#include "tests/support/engine_setup.h"

namespace quorvel {
namespace {

using Step = test::FakeScript::Step;
using Strings = std::vector<std::string>;
using test::EngineSetup;

// After a run that did not start, or one that ended with `status`.
void expectIdle(const MemoryWindow& w, const std::string& status = "") {
  EXPECT_EQ(w.statuses.back(), status);
  EXPECT_EQ(w.progressValues.back(), 0);
  EXPECT_EQ(w.pointers.back(), kPointerDefault);
}

TEST(OutputDirectory, AnEmptyBoxAsksForAFolder) {
  EngineSetup s;
  EXPECT_FALSE(s.procedures.CheckOutputDirectory());
  ASSERT_EQ(s.window.desk.messages.size(), 1u);
  EXPECT_EQ(s.window.desk.messages[0].text, "Please select output folder");
  EXPECT_EQ(s.window.desk.messages[0].style, MessageStyle::Information);
}

TEST(OutputDirectory, ATypedNewFolderIsCreatedWithOneTrailingSeparator) {
  EngineSetup s;
  std::string out = s.dir.file("new");
  s.window.output.setText(out + "//");
  EXPECT_TRUE(s.procedures.CheckOutputDirectory());
  EXPECT_EQ(GetPathKind(out), PathKind::Directory);
  EXPECT_EQ(s.procedures.state().outputDirectory, out + "/");
  EXPECT_TRUE(s.window.desk.messages.empty());
}

TEST(OutputDirectory, AnExistingTypedFolderIsAcceptedAsItIs) {
  EngineSetup s;
  s.window.output.setText(s.dir.path().string());
  EXPECT_TRUE(s.procedures.CheckOutputDirectory());
  EXPECT_EQ(s.procedures.state().outputDirectory, s.dir.path().string() + "/");
  s.window.output.setText("/");
  EXPECT_TRUE(s.procedures.CheckOutputDirectory());
  EXPECT_EQ(s.procedures.state().outputDirectory, "/");
}

TEST(OutputDirectory, WhatCannotBeCreatedIsRefusedNamingThePathAndTheReason) {
  EngineSetup s;
  test::writeFile(s.dir.file("file"), "");
  for (std::string typed : {s.dir.file("missing/child"), s.dir.file("file")}) {
    s.window.desk.messages.clear();
    s.window.output.setText(typed + "/");
    EXPECT_FALSE(s.procedures.CheckOutputDirectory()) << typed;
    ASSERT_EQ(s.window.desk.messages.size(), 1u);
    const std::string& text = s.window.desk.messages[0].text;
    const std::string start = "Failed to create folder '" + typed + "': ";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_GT(text.size(), start.size()) << "no reason given";
    EXPECT_EQ(s.window.desk.messages[0].style, MessageStyle::Critical);
  }
  EXPECT_FALSE(std::filesystem::exists(s.dir.file("missing")));
}

TEST(OutputDirectory, AHistoryEntryIsNeverCreated) {
  EngineSetup s;
  s.window.output.insert(0, s.dir.file("deleted"));
  s.window.output.insert(1, s.dir.path().string() + "/");
  s.window.output.select(0);
  EXPECT_FALSE(s.procedures.CheckOutputDirectory());
  EXPECT_EQ(test::messageTexts(s.window), Strings{"Folder does not exist!"});
  EXPECT_FALSE(std::filesystem::exists(s.dir.file("deleted")));
  s.window.output.select(1);
  EXPECT_TRUE(s.procedures.CheckOutputDirectory());
  EXPECT_EQ(s.procedures.state().outputDirectory, s.dir.path().string() + "/");
}

struct Run : ::testing::Test {
  EngineSetup s;
  std::string out;
  void SetUp() override { out = s.typeOutput(); }
};

TEST_F(Run, AnEmptyWorkbookListOnlyShowsAMessage) {
  s.procedures.RunConversion();
  EXPECT_EQ(test::messageTexts(s.window), Strings{"Please select a workbook first!"});
  EXPECT_EQ(s.window.desk.messages[0].style, MessageStyle::Information);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(s.window.desk.opened.empty());
  expectIdle(s.window);
}

TEST_F(Run, NothingTickedSaysSoAndCreatesNothing) {
  s.jobFolder({"Book1.xls", "Book2.xls"});
  s.window.workbooks.setTicked(1, false);
  s.window.workbooks.setTicked(2, false);
  s.procedures.RunConversion();
  EXPECT_EQ(test::messageTexts(s.window),
            Strings{"No workbook is ticked: tick the workbooks to convert."});
  EXPECT_EQ(s.window.desk.messages[0].style, MessageStyle::Information);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(s.script->calls.empty());
  EXPECT_TRUE(s.window.desk.opened.empty());
  EXPECT_EQ(s.window.output.count(), 0);  // not converted into: not remembered
  expectIdle(s.window);
}

TEST_F(Run, AnUnusableOutputConvertsAndOpensNothing) {
  s.jobFolder({"Book1.xls"});
  s.window.output.setText(s.dir.file("no/such"));
  s.procedures.RunConversion();
  ASSERT_EQ(s.window.desk.messages.size(), 1u);
  EXPECT_EQ(s.window.desk.messages[0].text.rfind("Failed to create folder '", 0), 0u);
  EXPECT_TRUE(s.script->calls.empty());
  EXPECT_TRUE(s.window.desk.opened.empty());
  expectIdle(s.window);
}

TEST_F(Run, FolderNamesAreCleanedAndSuffixesCountUp) {
  std::filesystem::create_directories(out + "/Book1");
  std::filesystem::create_directories(out + "/Book11");
  s.jobFolder({"Book1.xls", "Book1.xlsx", "Sales.2024.xls", "My Book.xlsb"});
  s.procedures.RunConversion();
  EXPECT_EQ(EngineSetup::listing(out),
            (Strings{"Book1", "Book11", "Book12", "Book13", "MyBook", "Sales2024"}));
  EXPECT_EQ(EngineSetup::listing(out + "/Book12"), Strings{"Sheet1.txt"});
  EXPECT_EQ(test::readFile(out + "/Book13/Sheet1.txt"), "Book1.xlsx:Sheet1\r\n");
  EXPECT_EQ(s.window.statuses[0], "Convert Book1");
  EXPECT_EQ(s.window.pointers.front(), kPointerBusy);
  EXPECT_TRUE(s.window.desk.messages.empty());
  EXPECT_TRUE(s.window.desk.failureLists.empty());
  expectIdle(s.window, "Converted 4 of 4 workbooks, 0 failed");
}

TEST_F(Run, ANameEmptyAfterCleaningGoesIntoANumberedFolder) {
  s.jobFolder({".xls"});
  s.procedures.RunConversion();
  EXPECT_EQ(EngineSetup::listing(out), Strings{"1"});
  EXPECT_EQ(s.window.statuses[0], "Convert ");
}

TEST_F(Run, AFileInTheWayIsPassedOver) {
  std::filesystem::create_directories(out);
  test::writeFile(out + "/Book1", "");
  s.jobFolder({"Book1.xls"});
  s.procedures.RunConversion();
  EXPECT_EQ(EngineSetup::listing(out + "/Book11"), Strings{"Sheet1.txt"});
  EXPECT_TRUE(s.window.desk.messages.empty());
}

TEST_F(Run, AFailedWorkbookIsReportedAndTheRunGoesOn) {
  s.jobFolder({"A b.xls", "C.xls"});
  s.script->failStep = Step::Open;
  s.script->failOnCall = 1;
  s.procedures.RunConversion();
  // Shown together at the end, with the texts they always had.
  EXPECT_TRUE(s.window.desk.messages.empty());
  ASSERT_EQ(s.window.desk.failureLists.size(), 1u);
  const RunReport& report = s.window.desk.failureLists[0];
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].workbook, "A b.xls");
  EXPECT_EQ(report.failures[0].messages, (Strings{s.script->failText, "Convert Ab file failed!"}));
  EXPECT_EQ(EngineSetup::listing(out + "/C"), Strings{"Sheet1.txt"});
  EXPECT_FALSE(std::filesystem::exists(out + "/Ab"));  // made, and removed as it stayed empty
  EXPECT_EQ(s.window.desk.opened, Strings{out + "/"});
  expectIdle(s.window, "Converted 1 of 2 workbooks, 1 failed");
}

TEST_F(Run, AFolderThatCannotBeMadeFailsOnlyItsWorkbook) {
  s.jobFolder({"B.xls"});
  // A folder name is cut to fit a name's limit, but in an output directory
  // this deep the path of a long one passes the limit of a whole path.
  std::string deep = s.dir.path().string();
  while (deep.size() < 4000) deep += "/" + std::string(200, 'd');
  std::filesystem::create_directories(std::filesystem::path(deep).parent_path());
  out = deep;
  s.window.output.setText(out);
  std::string longName(300, 'x');
  s.window.workbooks.setTicked(s.window.workbooks.add(longName + ".xls", 0, 1), true);
  s.procedures.RunConversion();
  ASSERT_EQ(s.window.desk.failureLists.size(), 1u);
  ASSERT_EQ(s.window.desk.failureLists[0].failures.size(), 1u);
  Strings messages = s.window.desk.failureLists[0].failures[0].messages;
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("'" + out + "/" + longName.substr(0, 255) + "'"), std::string::npos)
      << messages[0];
  EXPECT_NE(messages[0].find("too long"), std::string::npos) << messages[0];
  EXPECT_EQ(messages[1], "Convert " + longName + " file failed!");
  EXPECT_EQ(s.script->count("create"), 1);  // only B was converted
  EXPECT_EQ(EngineSetup::listing(out + "/B"), Strings{"Sheet1.txt"});
}

TEST_F(Run, TheWorksheetListOnDisplayIsStoredFirst) {
  s.script->sheetsByFile["A.xls"] = {"Jan", "Feb"};
  s.jobFolder({"A.xls"});
  s.procedures.ListWorkbookSheets();
  s.window.worksheets.setTicked(1, false);
  s.window.worksheets.setText(2, "February");
  s.procedures.RunConversion();
  EXPECT_EQ(EngineSetup::listing(out + "/A"), Strings{"February.txt"});
}

}  // namespace
}  // namespace quorvel
