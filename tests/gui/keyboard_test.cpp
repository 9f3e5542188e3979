// The window from the keyboard: the standard shortcuts and the access
// keys reach their commands, and Del removes a job only in the job list.
#include <QApplication>

#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

class KeyboardTest : public WindowTest {
 protected:
  std::string book;
  void SetUp() override {
    book = workbook("Book1.xls");
    test::writeFile(appFile("EXCEL.txt"), book + "\r\n" + book + "\r\n");
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    target->setFocus();
    QTest::keyClick(target, key, modifiers);
    QCoreApplication::processEvents();
  }
};

TEST_F(KeyboardTest, StandardShortcutsRunTheirCommands) {
  press(jobList(), Qt::Key_O, Qt::ControlModifier);
  press(namingBox(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(host.dialogs,
            (Strings{"open:Select Excel File", "folder:Add all excel files in folder"}));

  // F1: the guide (not built beside the tests: a message says where it is).
  press(worksheetList(), Qt::Key_F1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("user guide"), std::string::npos);

  // Ctrl+Return converts: here the workbook list is empty.
  host.messages.clear();
  press(jobList(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(host.messages,
            (std::vector<Message>{{"Please select a workbook first!", MessageStyle::Information}}));

  press(jobList(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(KeyboardTest, DelRemovesAJobOnlyInTheJobList) {
  click(jobList(), 2);
  press(outputDirectoryBox()->lineEdit(), Qt::Key_Delete);
  press(worksheetList(), Qt::Key_Delete);
  EXPECT_EQ(texts(jobList()).size(), 2u);
  press(jobList(), Qt::Key_Delete);
  EXPECT_EQ(texts(jobList()), Strings{book});
  EXPECT_EQ(selected(jobList()), 1);
}

TEST_F(KeyboardTest, AccessKeysPressTheirButtons) {
  // A button pressed by its key lets go a moment later, and then acts.
  press(jobList(), Qt::Key_L, Qt::AltModifier);  // Add Fo&lder
  QTRY_COMPARE_WITH_TIMEOUT(host.dialogs.size(), std::size_t{1}, 10000);
  EXPECT_EQ(host.dialogs, Strings{"folder:Add all excel files in folder"});
  press(jobList(), Qt::Key_U, Qt::AltModifier);  // o&utput directory: the box
  EXPECT_TRUE(outputDirectoryBox()->hasFocus() || outputDirectoryBox()->lineEdit()->hasFocus());
  press(jobList(), Qt::Key_B, Qt::AltModifier);  // &Browse
  QTRY_COMPARE_WITH_TIMEOUT(host.dialogs.size(), std::size_t{2}, 10000);
  EXPECT_EQ(host.dialogs.back(), "folder:Output Folder");
}

// Whether `text` names `key` as a person writes it ("Ctrl+Enter" for the
// Return key as well).
bool Mentions(const std::string& text, const QKeySequence& key) {
  std::string written = key.toString(QKeySequence::PortableText).toStdString();
  if (const auto at = written.find("Return"); at != std::string::npos)
    written.replace(at, 6, "Enter");
  return text.find(written) != std::string::npos;
}

TEST_F(KeyboardTest, EveryShortcutIsInTheManualPageAndTheGuide) {
  const std::string docs = std::string(QUORVEL_SOURCE_DIR) + "/docs";
  const std::string manual = test::readFile(docs + "/man/quorvel.1.md");
  const std::string guide = test::readFile(docs + "/guide/window.md");
  ASSERT_FALSE(manual.empty());
  ASSERT_FALSE(guide.empty());
  std::vector<QKeySequence> keys = {QKeySequence(Qt::Key_Escape)};  // Cancel, during a run
  for (QAction* action : form->findChildren<QAction*>())
    if (!action->shortcut().isEmpty()) keys.push_back(action->shortcut());
  ASSERT_GE(keys.size(), 7u);
  for (const QKeySequence& key : keys) {
    EXPECT_TRUE(Mentions(manual, key)) << key.toString().toStdString() << " not in the manual page";
    EXPECT_TRUE(Mentions(guide, key)) << key.toString().toStdString() << " not in the guide";
  }
}

}  // namespace
}  // namespace quorvel::test
