// The worksheet list of the selected workbook and the memory of the user's
// labels and ticks.
#include <gtest/gtest.h>

#include "tests/support/engine_setup.h"

namespace quorvel {
namespace {

using Step = test::FakeScript::Step;
using Strings = std::vector<std::string>;

struct Inspection : ::testing::Test {
  test::EngineSetup s;
  void SetUp() override {
    s.script->sheetsByFile["A.xls"] = {"Jan", "Feb", "Mar"};
    s.script->sheetsByFile["B.xls"] = {"One", "Two"};
    s.jobFolder({"A.xls", "B.xls"});
  }
  // What the workbook-list click handler does.
  void click(int workbook) {
    s.window.workbooks.select(workbook);
    s.procedures.ListWorkbookSheets(SheetListing::Remembered);
  }
  const std::string& table(int w, int sheet, SheetNameTable::Kind kind) {
    return s.procedures.state().sheetNames.get(w, sheet, kind);
  }
};

TEST_F(Inspection, AFreshListingAsksTheServerAndFillsTheTable) {
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb", "Mar"}));
  EXPECT_EQ(s.window.worksheets.ticks(), std::vector<bool>(3, true));
  EXPECT_EQ(s.procedures.state().currentWorkbookIndex, 1);
  for (int sheet = 1; sheet <= 3; ++sheet) EXPECT_EQ(table(1, sheet, SheetNameTable::Ticked), "1");
  EXPECT_EQ(table(1, 3, SheetNameTable::Label), "Mar");
  EXPECT_EQ(s.script->calls, (Strings{"create", "open " + s.dir.file("in/A.xls"), "alerts off",
                                      "count", "name 1", "name 2", "name 3", "close", "quit"}));
}

TEST_F(Inspection, EditsSurviveMovingBetweenWorkbooks) {
  click(1);
  s.window.worksheets.setTicked(2, false);
  s.window.worksheets.setText(3, "March");
  click(2);
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"One", "Two"}));
  EXPECT_EQ(s.script->count("create"), 2);
  click(1);
  EXPECT_EQ(s.script->count("create"), 2);  // from the table this time
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb", "March"}));
  EXPECT_EQ(s.window.worksheets.ticks(), (std::vector<bool>{true, false, true}));
}

TEST_F(Inspection, AFreshListingNeitherStoresNorReadsTheTable) {
  s.procedures.ListWorkbookSheets();
  s.window.worksheets.setText(1, "Edited");
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(s.script->count("create"), 2);
  EXPECT_EQ(s.window.worksheets.text(1), "Jan");
  EXPECT_EQ(table(1, 1, SheetNameTable::Label), "Jan");
}

TEST_F(Inspection, ClickingTheShownWorkbookBeforeItIsStoredListsItAnew) {
  s.procedures.ListWorkbookSheets();
  s.procedures.state().sheetNames.erase();  // a job-list selection erases the table
  s.window.worksheets.setText(1, "Edited");
  s.window.worksheets.setTicked(2, false);
  click(1);
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb", "Mar"}));
  EXPECT_EQ(s.window.worksheets.ticks(), std::vector<bool>(3, true));
  EXPECT_EQ(table(1, 1, SheetNameTable::Label), "Jan");
}

TEST_F(Inspection, AnEmptiedLabelEndsTheStoredRow) {
  click(1);
  s.window.worksheets.setText(3, "");
  click(2);
  click(1);
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb"}));
  s.window.worksheets.setText(1, "");
  click(2);
  int before = s.script->count("create");
  click(1);
  EXPECT_EQ(s.script->count("create"), before + 1);  // row 1 no longer counts as stored
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb", "Mar"}));
}

TEST_F(Inspection, AVanishedWorkbookChangesNothing) {
  click(1);
  std::filesystem::remove(s.dir.file("in/B.xls"));
  click(2);
  EXPECT_EQ(s.window.worksheets.texts(), (Strings{"Jan", "Feb", "Mar"}));
  EXPECT_EQ(s.procedures.state().currentWorkbookIndex, 1);
  EXPECT_TRUE(s.window.desk.messages.empty());
}

TEST_F(Inspection, AWorkbookThatCannotBeOpenedIsReportedAndTheServerQuit) {
  s.script->failStep = Step::Open;
  s.script->failOnCall = 1;
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(test::messageTexts(s.window), (Strings{s.script->failText, "Excel file open failed!"}));
  for (const auto& m : s.window.desk.messages) EXPECT_EQ(m.style, MessageStyle::Critical);
  EXPECT_EQ(s.script->count("quit"), 1);
  EXPECT_EQ(s.script->count("close"), 0);
  EXPECT_EQ(s.window.worksheets.count(), 0);
}

TEST_F(Inspection, AFailureHalfWayKeepsTheEntriesAndClosesTheWorkbook) {
  s.script->failStep = Step::Name;
  s.script->failOnCall = 2;
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(s.window.worksheets.texts(), Strings{"Jan"});
  EXPECT_EQ(s.procedures.state().currentWorkbookIndex, 1);
  EXPECT_EQ(s.script->count("close"), 1);
  EXPECT_EQ(s.script->count("quit"), 1);
  EXPECT_EQ(s.window.desk.messages.size(), 2u);
}

TEST_F(Inspection, ANonPositiveErrorIsSilentAndLeavesTheServerAlone) {
  s.script->failStep = Step::Count;
  s.script->failOnCall = 1;
  s.script->failNumber = -2147417848;
  s.procedures.ListWorkbookSheets();
  EXPECT_TRUE(s.window.desk.messages.empty());
  EXPECT_EQ(s.script->count("close"), 0);
  EXPECT_EQ(s.script->count("quit"), 0);
}

TEST_F(Inspection, ListsEveryWorksheetButStoresFiveThousand) {
  Strings many;
  for (int i = 1; i <= 5001; ++i) many.push_back(std::string("S").append(std::to_string(i)));
  s.script->sheetsByFile["A.xls"] = many;
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(s.window.worksheets.count(), 5001);
  EXPECT_EQ(table(1, 5000, SheetNameTable::Label), "S5000");
  EXPECT_EQ(table(1, 5001, SheetNameTable::Label), "");
  // Storing back writes no more than the table holds.
  s.procedures.StoreSheetNames();
  EXPECT_EQ(table(1, 5001, SheetNameTable::Label), "");
}

TEST_F(Inspection, StoreSheetNamesWritesLabelsAndTicksOfTheShownWorkbook) {
  test::fillList(s.window.worksheets, {{"x", true}, {"y", false}});
  s.procedures.state().currentWorkbookIndex = 2;
  s.procedures.state().sheetNames.set(2, 3, SheetNameTable::Label, "kept");
  s.procedures.StoreSheetNames();
  EXPECT_EQ(table(2, 1, SheetNameTable::Label), "x");
  EXPECT_EQ(table(2, 1, SheetNameTable::Ticked), "1");
  EXPECT_EQ(table(2, 2, SheetNameTable::Ticked), "");
  EXPECT_EQ(table(2, 3, SheetNameTable::Label), "kept");  // beyond the list: left as it was
}

}  // namespace
}  // namespace quorvel
