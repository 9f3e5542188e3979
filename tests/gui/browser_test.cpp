// The job list and the browser behind it: adding, removing, moving and
// selecting entries, and the worksheet labels and ticks kept while moving
// between the workbooks of one entry.
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
  click(form->ListView1, 1);
  EXPECT_EQ(texts(form->ListView2), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(ticks(form->ListView2), (Ticks{true, true}));
  EXPECT_EQ(texts(form->ListView3), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(ticks(form->ListView3), (Ticks{true, true}));
  EXPECT_EQ(host.pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));

  // The keyboard selects as well.
  form->ListView1->setFocus();
  QTest::keyClick(form->ListView1, Qt::Key_Down);
  EXPECT_EQ(selected(form->ListView1), 2);
  EXPECT_EQ(texts(form->ListView2), Strings{"C.xls"});
  EXPECT_EQ(texts(form->ListView3), Strings{"Only"});
}

TEST_F(BrowserTest, EditedLabelsAndTicksSurviveMovingBetweenWorkbooks) {
  click(form->ListView1, 1);
  editLabel(form->ListView3, 1, "January");
  clickTick(form->ListView3, 2);
  EXPECT_EQ(texts(form->ListView3), (Strings{"January", "Feb"}));
  EXPECT_EQ(ticks(form->ListView3), (Ticks{true, false}));

  click(form->ListView2, 2);
  EXPECT_EQ(texts(form->ListView3), (Strings{"X", "Y", "Z"}));
  clickTick(form->ListView3, 1);
  click(form->ListView2, 1);
  EXPECT_EQ(texts(form->ListView3), (Strings{"January", "Feb"}));
  EXPECT_EQ(ticks(form->ListView3), (Ticks{true, false}));
  click(form->ListView2, 2);
  EXPECT_EQ(ticks(form->ListView3), (Ticks{false, true, true}));

  // Selecting the job again reads the workbooks afresh.
  click(form->ListView1, 1);
  EXPECT_EQ(texts(form->ListView3), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(ticks(form->ListView3), (Ticks{true, true}));
}

TEST_F(BrowserTest, EditsSurviveAClickOnTheWorkbookOnDisplay) {
  click(form->ListView1, 1);
  editLabel(form->ListView3, 2, "February");
  click(form->ListView2, 1);
  EXPECT_EQ(texts(form->ListView3), (Strings{"Jan", "February"}));
}

TEST_F(BrowserTest, ATickClickOnlyTicks) {
  click(form->ListView1, 1);
  const int opens = script->count("open " + jobs + "/B.xls");
  clickTick(form->ListView2, 2);
  EXPECT_EQ(ticks(form->ListView2), (Ticks{true, false}));
  EXPECT_EQ(selected(form->ListView2), 1);
  EXPECT_EQ(texts(form->ListView3), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(script->count("open " + jobs + "/B.xls"), opens);
}

TEST_F(BrowserTest, AListWithEntriesKeepsOneSelected) {
  click(form->ListView1, 1);
  const QPoint below(20, form->ListView1->viewport()->height() - 5);
  QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, below);
  QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    entryCenter(form->ListView1, 1));
  EXPECT_EQ(selected(form->ListView1), 1);
}

TEST_F(BrowserTest, AddedEntriesAreListedAtOnceEvenTwice) {
  host.fileAnswers = {single, single};
  form->AddExcel->trigger();
  QTest::mouseClick(form->Command1, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, single, single, single}));
  EXPECT_EQ(selected(form->ListView1), 4);
  EXPECT_EQ(texts(form->ListView2), Strings{"C.xls"});
  EXPECT_EQ(texts(form->ListView3), Strings{"Only"});

  // A file is image 1 without a test, even when it is gone.
  host.fileAnswers = {data.file("gone.xls")};
  QTest::mouseClick(form->Command1, Qt::LeftButton);
  EXPECT_EQ(images(form->ListView1).back(), kImageFile);

  host.folderAnswers = {jobs};
  QTest::mouseClick(form->Command5, Qt::LeftButton);
  EXPECT_EQ(images(form->ListView1).back(), kImageFolder);
  EXPECT_EQ(texts(form->ListView2), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(texts(form->ListView3), (Strings{"Jan", "Feb"}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, CancelledOrPathlessChoicesChangeNothing) {
  click(form->ListView1, 1);
  QTest::mouseClick(form->Command1, Qt::LeftButton);  // no answer: cancelled
  host.folderAnswers = {std::nullopt, std::string()};
  QTest::mouseClick(form->Command5, Qt::LeftButton);
  QTest::mouseClick(form->Command5, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, single}));
  EXPECT_EQ(texts(form->ListView2), (Strings{"A.xls", "B.xls"}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, RemovingSelectsTheNeighbourAndShowsItsWorkbooks) {
  const std::string d = workbook("D.xls");
  for (const auto& path : {single, d}) form->jobEntries().add(path, kImageFile);
  // Jobs, C, C, D: remove entry 1, then the last.
  form->jobEntries().select(1);
  QTest::mouseClick(form->Command2, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{single, single, d}));
  EXPECT_EQ(selected(form->ListView1), 1);
  EXPECT_EQ(texts(form->ListView2), Strings{"C.xls"});

  form->jobEntries().select(3);
  form->RemoveItem->trigger();
  EXPECT_EQ(selected(form->ListView1), 2);
  EXPECT_EQ(texts(form->ListView2), Strings{"C.xls"});

  form->Command2_Click();
  form->Command2_Click();
  EXPECT_TRUE(texts(form->ListView1).empty());
  EXPECT_TRUE(texts(form->ListView2).empty());
  EXPECT_TRUE(texts(form->ListView3).empty());
  form->Command2_Click();  // nothing left: nothing happens
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(BrowserTest, MovingSwapsNeighboursAndLeavesTheBrowserAlone) {
  const std::string gone = data.file("gone");
  form->jobEntries().add(gone, kImageMissing);
  click(form->ListView1, 1);
  const auto workbooks = texts(form->ListView2);

  QTest::mouseClick(form->Command3, Qt::LeftButton);  // first entry up: nothing
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, single, gone}));
  form->jobEntries().select(3);
  QTest::mouseClick(form->Command4, Qt::LeftButton);  // last entry down: nothing
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, single, gone}));

  QTest::mouseClick(form->Command3, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, gone, single}));
  EXPECT_EQ(images(form->ListView1), (std::vector<int>{kImageFolder, kImageMissing, kImageFile}));
  EXPECT_EQ(selected(form->ListView1), 2);
  QTest::mouseClick(form->Command3, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{gone, jobs, single}));
  EXPECT_EQ(selected(form->ListView1), 1);
  QTest::mouseClick(form->Command4, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, gone, single}));
  EXPECT_EQ(texts(form->ListView2), workbooks);
}

TEST_F(BrowserTest, RemoveAllEmptiesTheThreeListsButNotTheHistory) {
  form->outputBox().insert(0, "/o");
  click(form->ListView1, 1);
  form->RemoveAll->trigger();
  EXPECT_TRUE(texts(form->ListView1).empty());
  EXPECT_TRUE(texts(form->ListView2).empty());
  EXPECT_TRUE(texts(form->ListView3).empty());
  EXPECT_EQ(form->Combo5->count(), 1);
  form->RemoveAll->trigger();
  EXPECT_TRUE(texts(form->ListView1).empty());
}

TEST_F(BrowserTest, AnEditedJobTextIsThePathNextTime) {
  editLabel(form->ListView1, 2, QString::fromStdString(jobs));
  click(form->ListView1, 2);
  EXPECT_EQ(texts(form->ListView2), (Strings{"A.xls", "B.xls"}));
  editLabel(form->ListView2, 1, "nothing.xls");
  click(form->ListView2, 1);  // names no file: nothing to list, no message
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(BrowserTest, AnUnreadableWorkbookIsReportedAndStaysListed) {
  script->failStep = FakeScript::Step::Open;
  script->failOnCall = 1;
  click(form->ListView1, 2);
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages[0].text, script->failText);
  EXPECT_EQ(texts(form->ListView1), (Strings{jobs, single}));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

}  // namespace
}  // namespace quorvel::test
