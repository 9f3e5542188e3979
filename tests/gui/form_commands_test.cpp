// The main window's shape and its command map: every command reaches its
// handler from its button and from its menu item alike.
#include <QCoreApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "help_about/help_about.h"
#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(WindowTest, HasTheFixedLayoutCaptionsAndMenus) {
  start();
  EXPECT_EQ(form->windowTitle(), "Quorvel");
  EXPECT_EQ(form->centralWidget()->size(), QSize(600, 539));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());  // not resizable
  EXPECT_EQ(form->Command1->geometry(), QRect(8, 0, 81, 65));
  EXPECT_EQ(form->Command9->geometry(), QRect(528, 0, 65, 65));
  EXPECT_EQ(form->ListView1->geometry(), QRect(8, 72, 545, 177));
  EXPECT_EQ(form->ListView3->geometry(), QRect(280, 280, 273, 193));
  EXPECT_EQ(form->ProgressBar1->geometry(), QRect(8, 520, 585, 17));
  EXPECT_EQ(form->Command3->geometry().topLeft(), QPoint(560, 136));
  EXPECT_EQ(form->Command4->geometry().topLeft(), QPoint(560, 192));

  const std::pair<QAbstractButton*, const char*> captions[] = {{form->Command1, "Add Excel"},
                                                               {form->Command5, "Add Folder"},
                                                               {form->Command2, "Remove File"},
                                                               {form->Command6, "Convert"},
                                                               {form->Command8, "Help"},
                                                               {form->Command7, "HomePage"},
                                                               {form->Command9, "Exit"},
                                                               {form->Command10, "Browse"},
                                                               {form->Command11, "View"},
                                                               {form->Command3, ""},
                                                               {form->Command4, ""}};
  for (const auto& [button, caption] : captions) EXPECT_EQ(button->text(), caption);
  EXPECT_EQ(form->Label3->text(), "Convert Option:");
  EXPECT_EQ(form->Label7->text(), "Select  output directory:");
  EXPECT_EQ(form->Label1->text(), "");
  EXPECT_EQ(form->ProgressBar1->maximum(), 100);
  EXPECT_EQ(form->ListView1->headerItem()->text(0),
            "Please Select the Excel File or Folder to Convert");
  EXPECT_EQ(form->ListView2->headerItem()->text(0), "WorkBooks");
  EXPECT_EQ(form->ListView3->headerItem()->text(0), "WorkSheets");
  EXPECT_EQ(form->ListView1->columnWidth(0), 520);
  EXPECT_TRUE(form->Combo5->isEditable());
  EXPECT_FALSE(form->Combo1->isEditable());
  EXPECT_EQ(comboEntries(form->Combo1),
            (Strings{"TXT Filename will be based on sheet name",
                     "TXT Filename will be based on workbook name and sheet name ",
                     "TXT Filename will be 1.txt,2.txt,3.txt,4.txt,5.txt,6.txt...."}));
  EXPECT_EQ(form->Combo1->currentIndex(), 0);

  // The menu bar, left to right, with "Settings" a command on the bar itself.
  Strings bar, items;
  for (QAction* entry : form->menuBar()->actions()) {
    bar.push_back(entry->text().toStdString());
    if (entry->menu()) {
      for (QAction* item : entry->menu()->actions()) items.push_back(item->text().toStdString());
    } else {
      EXPECT_EQ(entry, form->Settings);
    }
  }
  EXPECT_EQ(bar, (Strings{"File", "Edit", "Actions", "Settings", "Help"}));
  EXPECT_EQ(items, (Strings{"Add Excel", "Add Folder", "Remove Item", "Remove All Items",
                            "Remove Current Output Directory", "Remove All Output Directory",
                            "Convert", "Help", "HomePage", "About"}));
  for (const auto& text : items) EXPECT_EQ(text.find('&'), std::string::npos);
  for (QAction* entry : form->menuBar()->actions()) {
    EXPECT_TRUE(entry->shortcut().isEmpty());
    if (entry->menu()) {
      for (QAction* item : entry->menu()->actions()) EXPECT_TRUE(item->shortcut().isEmpty());
    }
  }
}

// One command, reached once from its button and once from its menu item:
// both must leave the same trace.
struct CommandPair {
  const char* name;
  std::function<QAbstractButton*(Form1&)> button;
  std::function<QAction*(Form1&)> action;
};

class CommandMapTest : public WindowTest, public ::testing::WithParamInterface<CommandPair> {};

TEST_P(CommandMapTest, ButtonAndMenuItemRunTheSameHandler) {
  const std::string book = workbook("Book1.xls");
  test::writeFile(appFile("EXCEL.txt"), book + "\r\n" + book + "\r\n" + book + "\r\n");
  start();
  auto run = [&](bool viaButton) {
    host.dialogs.clear();
    host.opens.clear();
    host.messages.clear();
    host.fileAnswers = {book};
    host.folderAnswers = {data.path().string()};
    if (viaButton)
      QTest::mouseClick(GetParam().button(*form), Qt::LeftButton);
    else
      GetParam().action(*form)->trigger();
    return std::make_tuple(host.dialogs, host.opens, host.messages, texts(form->ListView1),
                           images(form->ListView1), texts(form->ListView2));
  };
  const auto byButton = run(true);
  // Undo what the button did to the job list, so both start alike.
  form->RemoveAll_Click();
  for (int i = 0; i < 3; ++i) form->jobEntries().add(book, kImageFile);
  const auto byMenu = run(false);
  EXPECT_EQ(byButton, byMenu);
  const bool leftATrace = !std::get<0>(byButton).empty() || !std::get<1>(byButton).empty() ||
                          !std::get<2>(byButton).empty() || std::get<3>(byButton).size() != 3;
  EXPECT_TRUE(leftATrace) << GetParam().name << " did nothing visible";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandMapTest,
    ::testing::Values(CommandPair{"AddExcel", [](Form1& f) { return f.Command1; },
                                  [](Form1& f) { return f.AddExcel; }},
                      CommandPair{"AddFolder", [](Form1& f) { return f.Command5; },
                                  [](Form1& f) { return f.AddFolder; }},
                      CommandPair{"RemoveItem", [](Form1& f) { return f.Command2; },
                                  [](Form1& f) { return f.RemoveItem; }},
                      CommandPair{"Convert", [](Form1& f) { return f.Command6; },
                                  [](Form1& f) { return f.Separate; }},
                      CommandPair{"Help", [](Form1& f) { return f.Command8; },
                                  [](Form1& f) { return f.Help1; }},
                      CommandPair{"HomePage", [](Form1& f) { return f.Command7; },
                                  [](Form1& f) { return f.HomePage; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, EachCommandDoesWhatItsNameSays) {
  const std::string book = workbook("Book1.xls");
  start();
  host.fileAnswers = {book};
  QTest::mouseClick(form->Command1, Qt::LeftButton);
  EXPECT_EQ(host.dialogs.back(), "open:Select Excel File");
  EXPECT_EQ(texts(form->ListView1), Strings{book});
  EXPECT_EQ(images(form->ListView1), std::vector<int>{kImageFile});

  host.folderAnswers = {data.path().string()};
  QTest::mouseClick(form->Command5, Qt::LeftButton);
  EXPECT_EQ(host.dialogs.back(), "folder:Add all excel files in folder");
  EXPECT_EQ(texts(form->ListView1), (Strings{book, data.path().string()}));
  EXPECT_EQ(images(form->ListView1), (std::vector<int>{kImageFile, kImageFolder}));

  QTest::mouseClick(form->Command2, Qt::LeftButton);
  EXPECT_EQ(texts(form->ListView1), Strings{book});

  // No guide beside the tests' executable: Help says where it should be.
  QTest::mouseClick(form->Command8, Qt::LeftButton);
  QTest::mouseClick(form->Command7, Qt::LeftButton);
  EXPECT_EQ(host.opens, (std::vector<Opened>{{kHomePageAddress, kShowNormal}}));
  const std::string guide =
      UserGuidePlaces(QCoreApplication::applicationDirPath().toStdString()).back();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find(guide), std::string::npos) << host.messages[0].text;
  host.messages.clear();

  form->RemoveAll_Click();
  QTest::mouseClick(form->Command6, Qt::LeftButton);
  EXPECT_EQ(host.messages,
            (std::vector<Message>{{"Please select a workbook first!", kStyleInformation}}));

  host.dialogs.clear();
  form->Settings->trigger();
  form->About->trigger();
  QTest::mouseClick(form->Command10, Qt::LeftButton);
  EXPECT_EQ(host.dialogs, (Strings{"modal:Setting", "modal:Dialog1", "folder:Output Folder"}));
  EXPECT_EQ(host.lastOwner, static_cast<QWidget*>(form.get()));
}

TEST_F(WindowTest, TabVisitsTheControlsInTheirOrder) {
  start();
  const std::vector<QWidget*> order = {
      form->Command1, form->Command5,  form->Command2,  form->Command6,
      form->Command8, form->Command7,  form->Command9,  form->ListView1,
      form->Combo1,   form->ListView2, form->ListView3, form->Command3,
      form->Command4, form->Combo5,    form->Command10, form->Command11};
  std::vector<QWidget*> visited;
  QWidget* at = form->Command1;
  do {
    if (std::find(order.begin(), order.end(), at) != order.end()) visited.push_back(at);
    at = at->nextInFocusChain();
  } while (at != form->Command1 && visited.size() < order.size());
  EXPECT_EQ(visited, order);
  for (QWidget* passive : std::initializer_list<QWidget*>{form->Label1, form->Label3, form->Label7,
                                                          form->ProgressBar1})
    EXPECT_EQ(passive->focusPolicy(), Qt::NoFocus);
}

TEST_F(WindowTest, EnterAndEscTriggerNothing) {
  start();
  for (QWidget* target : std::initializer_list<QWidget*>{
           form->Command1, form->Command6, form->Command9, form->Command10, form->Command11,
           form->Combo5, form->ListView1}) {
    target->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(target, key);
  }
  EXPECT_TRUE(host.dialogs.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.opens.empty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->Combo5->count(), 0);  // Enter in the box adds nothing
}

TEST_F(WindowTest, ExitAndTheTitleBarCloseSaveTheSame) {
  test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
  test::writeFile(appFile("EXCEL.txt"), "/a\r\n/b");
  test::writeFile(appFile("output.txt"), "/o1\r\n/o2");
  start();
  QTest::mouseClick(form->Command9, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  const std::string jobs = test::readFile(appFile("EXCEL.txt"));
  const std::string history = test::readFile(appFile("output.txt"));
  EXPECT_EQ(jobs, "/a\r\n/b\r\n");
  EXPECT_EQ(history, "/o1\r\n/o2\r\n");

  test::writeFile(appFile("EXCEL.txt"), "/a\r\n/b");
  test::writeFile(appFile("output.txt"), "/o1\r\n/o2");
  start();
  form->close();
  EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), jobs);
  EXPECT_EQ(test::readFile(appFile("output.txt")), history);
}

}  // namespace
}  // namespace quorvel::test
