// The job list and the browser behind it: adding, removing, moving and
// selecting entries, and the worksheet labels and ticks kept while moving
// between the workbooks of one entry.
#include <QApplication>

#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;
using Ticks = std::vector<bool>;

class BrowserTest : public WindowTest {
 protected:
  std::string jobs;  // a folder with A.xls and B.xls
  std::string single;

  void SetUp() override {
    workbook("A.xls", "Jobs");
    workbook("B.xls", "Jobs");
    jobs = (data.path() / "Jobs").string();
    single = workbook("C.xls");
    script->sheetsByFile = {
        {"A.xls", {"Jan", "Feb"}}, {"B.xls", {"X", "Y", "Z"}}, {"C.xls", {"Only"}}};
    test::writeFile(appFile("EXCEL.txt"), jobs + "\r\n" + single + "\r\n");
    start();
  }
};

TEST_F(BrowserTest, SelectingAJobListsItsWorkbooksAndTheFirstWorkbooksSheets) {
  click(jobList(), 1);
  EXPECT_EQ(texts(workbookList()), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(ticks(workbookList()), (Ticks{true, true}));
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(ticks(worksheetList()), (Ticks{true, true}));
  EXPECT_EQ(host.pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));

  // The keyboard selects as well.
  jobList()->setFocus();
  QTest::keyClick(jobList(), Qt::Key_Down);
  EXPECT_EQ(selected(jobList()), 2);
  EXPECT_EQ(texts(workbookList()), Strings{"C.xls"});
  EXPECT_EQ(texts(worksheetList()), Strings{"Only"});
}

TEST_F(BrowserTest, EditedLabelsAndTicksSurviveMovingBetweenWorkbooks) {
  click(jobList(), 1);
  editLabel(worksheetList(), 1, "January");
  clickTick(worksheetList(), 2);
  EXPECT_EQ(texts(worksheetList()), (Strings{"January", "Feb"}));
  EXPECT_EQ(ticks(worksheetList()), (Ticks{true, false}));

  click(workbookList(), 2);
  EXPECT_EQ(texts(worksheetList()), (Strings{"X", "Y", "Z"}));
  clickTick(worksheetList(), 1);
  click(workbookList(), 1);
  EXPECT_EQ(texts(worksheetList()), (Strings{"January", "Feb"}));
  EXPECT_EQ(ticks(worksheetList()), (Ticks{true, false}));
  click(workbookList(), 2);
  EXPECT_EQ(ticks(worksheetList()), (Ticks{false, true, true}));

  // Selecting the job again reads the workbooks afresh.
  click(jobList(), 1);
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(ticks(worksheetList()), (Ticks{true, true}));
}

TEST_F(BrowserTest, EditsSurviveAClickOnTheWorkbookOnDisplay) {
  click(jobList(), 1);
  editLabel(worksheetList(), 2, "February");
  click(workbookList(), 1);
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "February"}));
}

TEST_F(BrowserTest, ATickClickOnlyTicks) {
  click(jobList(), 1);
  const int opens = script->count("open " + jobs + "/B.xls");
  clickTick(workbookList(), 2);
  EXPECT_EQ(ticks(workbookList()), (Ticks{true, false}));
  EXPECT_EQ(selected(workbookList()), 1);
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(script->count("open " + jobs + "/B.xls"), opens);
}

TEST_F(BrowserTest, AListWithEntriesKeepsOneSelected) {
  click(jobList(), 1);
  const QPoint below(20, jobList()->viewport()->height() - 5);
  QTest::mouseClick(jobList()->viewport(), Qt::LeftButton, {}, below);
  QTest::mouseClick(jobList()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    entryCenter(jobList(), 1));
  EXPECT_EQ(selected(jobList()), 1);
}

TEST_F(BrowserTest, AddedEntriesAreListedAtOnceEvenTwice) {
  host.fileAnswers = {single, single};
  addWorkbookAction()->trigger();
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single, single, single}));
  EXPECT_EQ(selected(jobList()), 4);
  EXPECT_EQ(texts(workbookList()), Strings{"C.xls"});
  EXPECT_EQ(texts(worksheetList()), Strings{"Only"});

  // A file is image 1 without a test, even when it is gone.
  host.fileAnswers = {data.file("gone.xls")};
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  EXPECT_EQ(images(jobList()).back(), kImageFile);

  host.folderAnswers = {jobs};
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  EXPECT_EQ(images(jobList()).back(), kImageFolder);
  EXPECT_EQ(texts(workbookList()), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, CancelledOrPathlessChoicesChangeNothing) {
  click(jobList(), 1);
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);  // no answer: cancelled
  host.folderAnswers = {std::nullopt, std::string()};
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single}));
  EXPECT_EQ(texts(workbookList()), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, RemovingSelectsTheNeighbourAndShowsItsWorkbooks) {
  const std::string d = workbook("D.xls");
  for (const auto& path : {single, d}) form->jobEntries().add(path, kImageFile);
  // Jobs, C, C, D: remove entry 1, then the last.
  form->jobEntries().select(1);
  QTest::mouseClick(removeJobButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{single, single, d}));
  EXPECT_EQ(selected(jobList()), 1);
  EXPECT_EQ(texts(workbookList()), Strings{"C.xls"});

  form->jobEntries().select(3);
  removeJobAction()->trigger();
  EXPECT_EQ(selected(jobList()), 2);
  EXPECT_EQ(texts(workbookList()), Strings{"C.xls"});

  form->onRemoveJobClicked();
  form->onRemoveJobClicked();
  EXPECT_TRUE(texts(jobList()).empty());
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(texts(worksheetList()).empty());
  form->onRemoveJobClicked();  // nothing left: nothing happens
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, MovingSwapsNeighboursAndLeavesTheBrowserAlone) {
  const std::string gone = data.file("gone");
  form->jobEntries().add(gone, kImageMissing);
  click(jobList(), 1);
  const auto workbooks = texts(workbookList());

  QTest::mouseClick(moveUpButton(), Qt::LeftButton);  // first entry up: nothing
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single, gone}));
  form->jobEntries().select(3);
  QTest::mouseClick(moveDownButton(), Qt::LeftButton);  // last entry down: nothing
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single, gone}));

  QTest::mouseClick(moveUpButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, gone, single}));
  EXPECT_EQ(images(jobList()), (std::vector<int>{kImageFolder, kImageMissing, kImageFile}));
  EXPECT_EQ(selected(jobList()), 2);
  QTest::mouseClick(moveUpButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{gone, jobs, single}));
  EXPECT_EQ(selected(jobList()), 1);
  QTest::mouseClick(moveDownButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, gone, single}));
  EXPECT_EQ(texts(workbookList()), workbooks);
}

TEST_F(BrowserTest, RemoveAllEmptiesTheThreeListsButNotTheHistory) {
  form->outputBox().insert(0, "/o");
  click(jobList(), 1);
  removeAllAction()->trigger();
  EXPECT_TRUE(texts(jobList()).empty());
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(texts(worksheetList()).empty());
  EXPECT_EQ(outputDirectoryBox()->count(), 1);
  removeAllAction()->trigger();
  EXPECT_TRUE(texts(jobList()).empty());
}

TEST_F(BrowserTest, OnlyWorksheetLabelsCanBeEdited) {
  click(jobList(), 1);
  for (ListView* list : {jobList(), workbookList()}) {
    const Strings before = texts(list);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_EQ(list->viewport()->findChild<QLineEdit*>(), nullptr) << qPrintable(list->objectName());
    // A click on the selected entry selects it again; nothing opens for editing.
    click(list, 1);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_EQ(list->viewport()->findChild<QLineEdit*>(), nullptr) << qPrintable(list->objectName());
    EXPECT_EQ(texts(list), before);
  }
  editLabel(worksheetList(), 1, "January");
  EXPECT_EQ(texts(worksheetList()), (Strings{"January", "Feb"}));
}

TEST_F(BrowserTest, AtStartNothingIsHighlightedAndNothingListed) {
  EXPECT_EQ(selected(jobList()), 0);
  EXPECT_EQ(jobList()->currentItem(), nullptr);
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(script->calls.empty());
  // Remove and move have nothing to act on.
  QTest::mouseClick(removeJobButton(), Qt::LeftButton);
  QTest::mouseClick(moveDownButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single}));
  // The keyboard starts at the first entry.
  jobList()->setFocus();
  QTest::keyClick(jobList(), Qt::Key_Down);
  EXPECT_EQ(selected(jobList()), 1);
  EXPECT_EQ(texts(workbookList()), (Strings{"A.xls", "B.xls"}));
}

TEST_F(BrowserTest, RemovingAnEntryClearsWhatTheListsShowedOfIt) {
  form->jobEntries().add(data.file("gone"), kImageMissing);
  click(jobList(), 2);
  ASSERT_EQ(texts(worksheetList()), Strings{"Only"});
  // The neighbour above has workbooks: they are shown instead.
  QTest::mouseClick(removeJobButton(), Qt::LeftButton);
  EXPECT_EQ(texts(workbookList()), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  // The entry left has nothing to list: nothing of the removed one stays.
  form->jobEntries().select(1);
  QTest::mouseClick(removeJobButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), Strings{data.file("gone")});
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(texts(worksheetList()).empty());
}

TEST_F(BrowserTest, AddExcelTakesSeveralFilesAndStartsWhereTheLastChoiceWas) {
  const std::string d = workbook("D.xls", "More");
  script->sheetsByFile["D.xls"] = {"Dee"};
  host.filesAnswers = {{single, d}};
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  EXPECT_TRUE(host.lastFileRequest.multiple);
  // At first where the job list's last workbook is.
  EXPECT_EQ(host.lastFileRequest.initialDir, data.path().string());
  // Each added as one file is; the last one selected and listed.
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single, single, d}));
  EXPECT_EQ(images(jobList()),
            (std::vector<int>{kImageFolder, kImageFile, kImageFile, kImageFile}));
  EXPECT_EQ(selected(jobList()), 4);
  EXPECT_EQ(texts(workbookList()), Strings{"D.xls"});
  EXPECT_EQ(texts(worksheetList()), Strings{"Dee"});
  EXPECT_EQ(script->count("create"), 1);  // only the last is opened

  // The next dialog, and Add Folder's, start where the last choice was.
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  EXPECT_EQ(host.lastFileRequest.initialDir, data.path().string());
  host.folderAnswers = {jobs};
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  EXPECT_EQ(host.lastFolderStart, data.path().string());
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  EXPECT_EQ(host.lastFolderStart, jobs);
}

TEST_F(BrowserTest, AnUnreadableWorkbookIsReportedAndStaysListed) {
  script->failStep = FakeScript::Step::Open;
  script->failOnCall = 1;
  click(jobList(), 2);
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages[0].text, script->failText);
  EXPECT_EQ(texts(jobList()), (Strings{jobs, single}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

}  // namespace
}  // namespace quorvel::test
