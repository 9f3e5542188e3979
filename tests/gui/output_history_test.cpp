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
    form->Combo5->lineEdit()->selectAll();
    QTest::keyClick(form->Combo5->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(form->Combo5->lineEdit(), text);
  }
};

TEST_F(HistoryTest, BrowsePutsTheChoiceOnTopEvenWhenListed) {
  startWith({});
  host.folderAnswers = {"/o/a"};
  QTest::mouseClick(form->Command10, Qt::LeftButton);
  EXPECT_EQ(comboEntries(form->Combo5), Strings{"/o/a"});
  EXPECT_EQ(index(), 0);
  EXPECT_EQ(form->Combo5->currentText(), "/o/a");
  host.folderAnswers = {"/o/b", "/o/a", std::nullopt, std::string()};
  for (int i = 0; i < 4; ++i) QTest::mouseClick(form->Command10, Qt::LeftButton);
  EXPECT_EQ(comboEntries(form->Combo5), (Strings{"/o/a", "/o/b", "/o/a"}));
  EXPECT_EQ(index(), 0);
  EXPECT_EQ(host.dialogs, Strings(5, "folder:Output Folder"));
}

TEST_F(HistoryTest, TypingUnselectsAndChoosingCopiesTheEntry) {
  startWith({"/o/1", "/o/2"});
  type("/typed/path");
  EXPECT_EQ(index(), -1);
  EXPECT_EQ(form->outputBox().text(), "/typed/path");
  QTest::keyClick(form->Combo5->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(form->Combo5->count(), 2);
  // The typed path stays while Browse changes the list.
  form->outputBox().insert(0, "/o/0");
  EXPECT_EQ(form->outputBox().text(), "/typed/path");
  QTest::keyClick(form->Combo5, Qt::Key_Down);  // chooses the next entry
  EXPECT_EQ(index(), 2);
  EXPECT_EQ(form->outputBox().text(), "/o/2");
}

TEST_F(HistoryTest, RemoveCurrentSelectsTheEntryThatTookItsPlace) {
  startWith({"/o/1", "/o/2", "/o/3"});
  form->outputBox().select(1);
  form->Removeoutput->trigger();
  EXPECT_EQ(comboEntries(form->Combo5), (Strings{"/o/1", "/o/3"}));
  EXPECT_EQ(index(), 1);
  EXPECT_EQ(form->Combo5->currentText(), "/o/3");
  form->Removeoutput->trigger();  // the last: the one before it
  EXPECT_EQ(comboEntries(form->Combo5), Strings{"/o/1"});
  EXPECT_EQ(index(), 0);
  form->Removeoutput->trigger();  // the only one: nothing selected
  EXPECT_TRUE(comboEntries(form->Combo5).empty());
  EXPECT_EQ(index(), -1);
  form->Removeoutput->trigger();
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, RemoveCurrentLeavesATypedPathAlone) {
  startWith({"/o/1", "/o/2"});
  type("/typed");
  form->Removeoutput->trigger();
  EXPECT_EQ(comboEntries(form->Combo5), (Strings{"/o/1", "/o/2"}));
  EXPECT_EQ(form->outputBox().text(), "/typed");
}

TEST_F(HistoryTest, RemoveAllEmptiesAnyHistory) {
  startWith({});
  form->RemoveAllOutput->trigger();
  EXPECT_EQ(form->Combo5->count(), 0);
  form->close();
  Strings many;
  for (int i = 0; i < 30; ++i) many.push_back("/o/" + std::to_string(i));
  startWith(many);
  form->RemoveAllOutput->trigger();
  EXPECT_EQ(form->Combo5->count(), 0);
  EXPECT_EQ(index(), -1);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, ViewOpensOnlyAnExistingFolder) {
  const std::string out = folder("out");
  const std::string file = workbook("file.xls");
  startWith({out, file, data.file("missing")});
  QTest::mouseClick(form->Command11, Qt::LeftButton);
  for (int i : {1, 2}) {
    form->outputBox().select(i);
    QTest::mouseClick(form->Command11, Qt::LeftButton);
  }
  type("");
  QTest::mouseClick(form->Command11, Qt::LeftButton);
  EXPECT_EQ(host.opens, (std::vector<Opened>{{out + "/", kShowNormal}}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(HistoryTest, ATypedPathEqualToAnEntryStaysTyped) {
  startWith({"/o/1", "/o/2"});
  form->Combo5->setFocus();
  type("/o/2");
  QTest::keyClick(form->Combo5->lineEdit(), Qt::Key_Return);
  form->Command10->setFocus();
  EXPECT_EQ(index(), -1);
  EXPECT_EQ(form->outputBox().text(), "/o/2");
}

}  // namespace
}  // namespace quorvel::test
