// The main window's shape and its command map: every command reaches its
// handler from its button and from its menu item alike.
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <map>
#include <set>

#include "help_about/help_about.h"
#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

// A caption as it reads, without its access-key marker.
std::string Plain(const QString& caption) {
  return QString(caption).remove('&').toStdString();
}

TEST_F(WindowTest, HasItsCaptionsMenusShortcutsAndAccessKeys) {
  start();
  EXPECT_EQ(form->windowTitle(), "Quorvel");
  const std::pair<QAbstractButton*, const char*> captions[] = {{addWorkbookButton(), "Add Excel"},
                                                               {addFolderButton(), "Add Folder"},
                                                               {removeJobButton(), "Remove File"},
                                                               {convertButton(), "Convert"},
                                                               {helpButton(), "Help"},
                                                               {homePageButton(), "HomePage"},
                                                               {exitButton(), "Exit"},
                                                               {browseButton(), "Browse"},
                                                               {viewButton(), "View"},
                                                               {moveUpButton(), ""},
                                                               {moveDownButton(), ""}};
  for (const auto& [button, caption] : captions) EXPECT_EQ(Plain(button->text()), caption);
  EXPECT_EQ(Plain(namingLabel()->text()), "Convert Option:");
  EXPECT_EQ(Plain(outputDirectoryLabel()->text()), "Select  output directory:");
  EXPECT_EQ(namingLabel()->buddy(), namingBox());
  EXPECT_EQ(outputDirectoryLabel()->buddy(), outputDirectoryBox());
  EXPECT_EQ(statusLabel()->text(), "");
  EXPECT_EQ(progressBar()->maximum(), 100);
  EXPECT_EQ(jobList()->headerItem()->text(0), "Please Select the Excel File or Folder to Convert");
  EXPECT_EQ(workbookList()->headerItem()->text(0), "WorkBooks");
  EXPECT_EQ(worksheetList()->headerItem()->text(0), "WorkSheets");
  EXPECT_TRUE(outputDirectoryBox()->isEditable());
  EXPECT_FALSE(namingBox()->isEditable());
  EXPECT_EQ(comboEntries(namingBox()),
            (Strings{"TXT Filename will be based on sheet name",
                     "TXT Filename will be based on workbook name and sheet name ",
                     "TXT Filename will be 1.txt,2.txt,3.txt,4.txt,5.txt,6.txt...."}));
  EXPECT_EQ(namingBox()->currentIndex(), 0);

  // The menu bar, left to right, with "Settings" a command on the bar
  // itself, and the standard shortcuts shown beside their items.
  Strings bar, items;
  std::map<std::string, QKeySequence> shortcuts;
  for (QAction* entry : form->menuBar()->actions()) {
    bar.push_back(Plain(entry->text()));
    if (!entry->menu()) {
      EXPECT_EQ(entry, settingsAction());
      continue;
    }
    std::set<QKeySequence> keys;
    for (QAction* item : entry->menu()->actions()) {
      if (item->isSeparator()) continue;
      items.push_back(Plain(item->text()));
      if (!item->shortcut().isEmpty()) shortcuts[Plain(item->text())] = item->shortcut();
      // Each item of a menu has its own access key.
      const QKeySequence key = QKeySequence::mnemonic(item->text());
      EXPECT_FALSE(key.isEmpty()) << Plain(item->text());
      EXPECT_TRUE(keys.insert(key).second) << Plain(item->text());
    }
  }
  EXPECT_EQ(bar, (Strings{"File", "Edit", "Actions", "Settings", "Help"}));
  EXPECT_EQ(items, (Strings{"Add Excel", "Add Folder", "Quit", "Remove Item", "Remove All Items",
                            "Remove Current Output Directory", "Remove All Output Directory",
                            "Convert", "Help", "HomePage", "About"}));
  EXPECT_EQ(shortcuts,
            (std::map<std::string, QKeySequence>{{"Add Excel", QKeySequence("Ctrl+O")},
                                                 {"Add Folder", QKeySequence("Ctrl+Shift+O")},
                                                 {"Quit", QKeySequence("Ctrl+Q")},
                                                 {"Remove Item", QKeySequence("Del")},
                                                 {"Convert", QKeySequence("Ctrl+Return")},
                                                 {"Help", QKeySequence("F1")}}));

  // The menu bar, the buttons and the labels share the Alt keys: no two
  // the same.
  std::map<QKeySequence, std::string> altKeys;
  auto takeKey = [&](const QString& text) {
    if (text.isEmpty()) return;
    const QKeySequence key = QKeySequence::mnemonic(text);
    ASSERT_FALSE(key.isEmpty()) << Plain(text);
    const auto [at, fresh] = altKeys.emplace(key, Plain(text));
    EXPECT_TRUE(fresh) << Plain(text) << " and " << at->second;
  };
  for (QAction* entry : form->menuBar()->actions()) takeKey(entry->text());
  for (const auto& [button, caption] : captions) takeKey(button->text());
  takeKey(namingLabel()->text());
  takeKey(outputDirectoryLabel()->text());
  EXPECT_EQ(altKeys.size(), 5u + 9u + 2u);
}

// One command, reached once from its button and once from its menu item:
// both must leave the same trace.
struct CommandPair {
  const char* name;
  std::function<QAbstractButton*(MainWindow&)> button;
  std::function<QAction*(MainWindow&)> action;
};

class CommandMapTest : public WindowTest, public ::testing::WithParamInterface<CommandPair> {};

TEST_P(CommandMapTest, ButtonAndMenuItemRunTheSameHandler) {
  const std::string book = workbook("Book1.xls");
  test::writeFile(appFile("EXCEL.txt"), book + "\r\n" + book + "\r\n" + book + "\r\n");
  start();
  auto run = [&](bool viaButton) {
    form->jobEntries().select(1);  // for Remove, which needs a highlighted entry
    host.dialogs.clear();
    host.opens.clear();
    host.messages.clear();
    host.fileAnswers = {book};
    host.folderAnswers = {data.path().string()};
    if (viaButton)
      QTest::mouseClick(GetParam().button(*form), Qt::LeftButton);
    else
      GetParam().action(*form)->trigger();
    return std::make_tuple(host.dialogs, host.opens, host.messages, texts(jobList()),
                           images(jobList()), texts(workbookList()));
  };
  const auto byButton = run(true);
  // Undo what the button did to the job list, so both start alike.
  form->onRemoveAllClicked();
  for (int i = 0; i < 3; ++i) form->jobEntries().add(book, kImageFile);
  const auto byMenu = run(false);
  EXPECT_EQ(byButton, byMenu);
  const bool leftATrace = !std::get<0>(byButton).empty() || !std::get<1>(byButton).empty() ||
                          !std::get<2>(byButton).empty() || std::get<3>(byButton).size() != 3;
  EXPECT_TRUE(leftATrace) << GetParam().name << " did nothing visible";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandMapTest,
    ::testing::Values(
        CommandPair{"AddExcel",
                    [](MainWindow& f) { return test::named<QToolButton>(f, "Command1"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "AddExcel"); }},
        CommandPair{"AddFolder",
                    [](MainWindow& f) { return test::named<QToolButton>(f, "Command5"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "AddFolder"); }},
        CommandPair{"RemoveItem",
                    [](MainWindow& f) { return test::named<QToolButton>(f, "Command2"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "RemoveItem"); }},
        CommandPair{"Convert",
                    [](MainWindow& f) { return test::named<QToolButton>(f, "Command6"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "Separate"); }},
        CommandPair{"Help", [](MainWindow& f) { return test::named<QToolButton>(f, "Command8"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "Help1"); }},
        CommandPair{"HomePage",
                    [](MainWindow& f) { return test::named<QToolButton>(f, "Command7"); },
                    [](MainWindow& f) { return test::named<QAction>(f, "HomePage"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, EachCommandDoesWhatItsNameSays) {
  const std::string book = workbook("Book1.xls");
  start();
  host.fileAnswers = {book};
  QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  EXPECT_EQ(host.dialogs.back(), "open:Select Excel File");
  EXPECT_EQ(texts(jobList()), Strings{book});
  EXPECT_EQ(images(jobList()), std::vector<int>{kImageFile});

  host.folderAnswers = {data.path().string()};
  QTest::mouseClick(addFolderButton(), Qt::LeftButton);
  EXPECT_EQ(host.dialogs.back(), "folder:Add all excel files in folder");
  EXPECT_EQ(texts(jobList()), (Strings{book, data.path().string()}));
  EXPECT_EQ(images(jobList()), (std::vector<int>{kImageFile, kImageFolder}));

  QTest::mouseClick(removeJobButton(), Qt::LeftButton);
  EXPECT_EQ(texts(jobList()), Strings{book});

  // No guide beside the tests' executable: Help says where it should be.
  QTest::mouseClick(helpButton(), Qt::LeftButton);
  QTest::mouseClick(homePageButton(), Qt::LeftButton);
  EXPECT_EQ(host.opens, (std::vector<Opened>{{kHomePageAddress, kShowNormal}}));
  const std::string guide =
      UserGuidePlaces(QCoreApplication::applicationDirPath().toStdString()).back();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find(guide), std::string::npos) << host.messages[0].text;
  host.messages.clear();

  form->onRemoveAllClicked();
  QTest::mouseClick(convertButton(), Qt::LeftButton);
  EXPECT_EQ(host.messages,
            (std::vector<Message>{{"Please select a workbook first!", MessageStyle::Information}}));

  host.dialogs.clear();
  settingsAction()->trigger();
  aboutAction()->trigger();
  QTest::mouseClick(browseButton(), Qt::LeftButton);
  EXPECT_EQ(host.dialogs, (Strings{"modal:Setting", "modal:Dialog1", "folder:Output Folder"}));
  EXPECT_EQ(host.lastOwner, static_cast<QWidget*>(form.get()));
}

TEST_F(WindowTest, TabVisitsTheControlsInTheirOrder) {
  start();
  const std::vector<QWidget*> order = {
      addWorkbookButton(), addFolderButton(),    removeJobButton(), convertButton(),
      helpButton(),        homePageButton(),     exitButton(),      jobList(),
      namingBox(),         workbookList(),       worksheetList(),   moveUpButton(),
      moveDownButton(),    outputDirectoryBox(), browseButton(),    viewButton()};
  std::vector<QWidget*> visited;
  QWidget* at = addWorkbookButton();
  do {
    if (std::find(order.begin(), order.end(), at) != order.end()) visited.push_back(at);
    at = at->nextInFocusChain();
  } while (at != addWorkbookButton() && visited.size() < order.size());
  EXPECT_EQ(visited, order);
  for (QWidget* passive : std::initializer_list<QWidget*>{statusLabel(), namingLabel(),
                                                          outputDirectoryLabel(), progressBar()})
    EXPECT_EQ(passive->focusPolicy(), Qt::NoFocus);
}

TEST_F(WindowTest, EnterAndEscTriggerNothing) {
  start();
  for (QWidget* target : std::initializer_list<QWidget*>{addWorkbookButton(), convertButton(),
                                                         exitButton(), browseButton(), viewButton(),
                                                         outputDirectoryBox(), jobList()}) {
    target->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(target, key);
  }
  EXPECT_TRUE(host.dialogs.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.opens.empty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(outputDirectoryBox()->count(), 0);  // Enter in the box adds nothing
}

TEST_F(WindowTest, ExitAndTheTitleBarCloseSaveTheSame) {
  test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
  test::writeFile(appFile("EXCEL.txt"), "/a\r\n/b");
  test::writeFile(appFile("output.txt"), "/o1\r\n/o2");
  start();
  QTest::mouseClick(exitButton(), Qt::LeftButton);
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
