// Combo5 and its commands: Browse, View, and the two Edit-menu removals.
#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

class HistoryTest : public WindowTest {
 protected:
  void startWith(const Strings& history) {
    std::string content;
    for (const auto& line : history) content += line + "\r\n";
    test::writeFile(appFile("output.txt"), content);
    start();
  }
  int index() { return form->outputBox().selectedIndex(); }
  void type(const QString& text) {
    outputDirectoryBox()->lineEdit()->selectAll();
    QTest::keyClick(outputDirectoryBox()->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(outputDirectoryBox()->lineEdit(), text);
  }
};

TEST_F(HistoryTest, BrowsePutsTheChoiceOnTopEvenWhenListed) {
  startWith({});
  host.folderAnswers = {"/o/a"};
  QTest::mouseClick(browseButton(), Qt::LeftButton);
  EXPECT_EQ(comboEntries(outputDirectoryBox()), Strings{"/o/a"});
  EXPECT_EQ(index(), 0);
  EXPECT_EQ(outputDirectoryBox()->currentText(), "/o/a");
  host.folderAnswers = {"/o/b", "/o/a", std::nullopt, std::string()};
  for (int i = 0; i < 4; ++i) QTest::mouseClick(browseButton(), Qt::LeftButton);
  EXPECT_EQ(comboEntries(outputDirectoryBox()), (Strings{"/o/a", "/o/b", "/o/a"}));
  EXPECT_EQ(index(), 0);
  EXPECT_EQ(host.dialogs, Strings(5, "folder:Output Folder"));
}

TEST_F(HistoryTest, TypingUnselectsAndChoosingCopiesTheEntry) {
  startWith({"/o/1", "/o/2"});
  type("/typed/path");
  EXPECT_EQ(index(), -1);
  EXPECT_EQ(form->outputBox().text(), "/typed/path");
  QTest::keyClick(outputDirectoryBox()->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(outputDirectoryBox()->count(), 2);
  // The typed path stays while Browse changes the list.
  form->outputBox().insert(0, "/o/0");
  EXPECT_EQ(form->outputBox().text(), "/typed/path");
  QTest::keyClick(outputDirectoryBox(), Qt::Key_Down);  // chooses the next entry
  EXPECT_EQ(index(), 2);
  EXPECT_EQ(form->outputBox().text(), "/o/2");
}

TEST_F(HistoryTest, RemoveCurrentSelectsTheEntryThatTookItsPlace) {
  startWith({"/o/1", "/o/2", "/o/3"});
  form->outputBox().select(1);
  removeOutputDirectoryAction()->trigger();
  EXPECT_EQ(comboEntries(outputDirectoryBox()), (Strings{"/o/1", "/o/3"}));
  EXPECT_EQ(index(), 1);
  EXPECT_EQ(outputDirectoryBox()->currentText(), "/o/3");
  removeOutputDirectoryAction()->trigger();  // the last: the one before it
  EXPECT_EQ(comboEntries(outputDirectoryBox()), Strings{"/o/1"});
  EXPECT_EQ(index(), 0);
  removeOutputDirectoryAction()->trigger();  // the only one: nothing selected
  EXPECT_TRUE(comboEntries(outputDirectoryBox()).empty());
  EXPECT_EQ(index(), -1);
  removeOutputDirectoryAction()->trigger();
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, RemoveCurrentLeavesATypedPathAlone) {
  startWith({"/o/1", "/o/2"});
  type("/typed");
  removeOutputDirectoryAction()->trigger();
  EXPECT_EQ(comboEntries(outputDirectoryBox()), (Strings{"/o/1", "/o/2"}));
  EXPECT_EQ(form->outputBox().text(), "/typed");
}

TEST_F(HistoryTest, RemoveAllEmptiesAnyHistory) {
  startWith({});
  removeAllOutputDirectoriesAction()->trigger();
  EXPECT_EQ(outputDirectoryBox()->count(), 0);
  form->close();
  Strings many;
  for (int i = 0; i < 30; ++i) many.push_back("/o/" + std::to_string(i));
  startWith(many);
  removeAllOutputDirectoriesAction()->trigger();
  EXPECT_EQ(outputDirectoryBox()->count(), 0);
  EXPECT_EQ(index(), -1);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, ViewOpensOnlyAnExistingFolder) {
  const std::string out = folder("out");
  const std::string file = workbook("file.xls");
  startWith({out, file, data.file("missing")});
  QTest::mouseClick(viewButton(), Qt::LeftButton);
  for (int i : {1, 2}) {
    form->outputBox().select(i);
    QTest::mouseClick(viewButton(), Qt::LeftButton);
  }
  type("");
  QTest::mouseClick(viewButton(), Qt::LeftButton);
  EXPECT_EQ(host.opens, (std::vector<Opened>{{out + "/", kShowNormal}}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, ATypedPathEqualToAnEntryStaysTyped) {
  startWith({"/o/1", "/o/2"});
  outputDirectoryBox()->setFocus();
  type("/o/2");
  QTest::keyClick(outputDirectoryBox()->lineEdit(), Qt::Key_Return);
  browseButton()->setFocus();
  EXPECT_EQ(index(), -1);
  EXPECT_EQ(form->outputBox().text(), "/o/2");
}

}  // namespace
}  // namespace quorvel::test
