// Start-up and exit: "EXCEL.txt" and "output.txt" read at start, written
// at exit as "set.txt" says.
#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

std::string Lines(const Strings& lines) {
  std::string content;
  for (const auto& line : lines) content += line + "\r\n";
  return content;
}

TEST_F(WindowTest, StartsEmptyWithoutListFiles) {
  start();
  EXPECT_TRUE(texts(jobList()).empty());
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(texts(worksheetList()).empty());
  EXPECT_EQ(outputDirectoryBox()->count(), 0);
  EXPECT_EQ(outputDirectoryBox()->currentText(), "");
  EXPECT_EQ(form->outputBox().selectedIndex(), -1);
  EXPECT_EQ(namingBox()->currentIndex(), 0);
  // Closing without set.txt writes nothing.
  form->close();
  EXPECT_FALSE(std::filesystem::exists(appFile("EXCEL.txt")));
  EXPECT_FALSE(std::filesystem::exists(appFile("output.txt")));
}

TEST_F(WindowTest, StartsEmptyWithEmptyListFiles) {
  test::writeFile(appFile("EXCEL.txt"), "");
  test::writeFile(appFile("output.txt"), "");
  start();
  EXPECT_TRUE(texts(jobList()).empty());
  EXPECT_EQ(outputDirectoryBox()->count(), 0);
  EXPECT_EQ(outputDirectoryBox()->currentText(), "");
}

TEST_F(WindowTest, LoadsEveryJobLineWithTheImageOfWhatIsThere) {
  const std::string book = workbook("Book1.xls");
  const std::string dir = folder("Folder");
  const std::string gone = data.file("Deleted.xls");
  // An empty line, a duplicate, a vanished path, and no final terminator.
  test::writeFile(appFile("EXCEL.txt"), book + "\r\n" + dir + "\r\n\r\n" + gone + "\r\n" + book);
  start();
  EXPECT_EQ(texts(jobList()), (Strings{book, dir, "", gone, book}));
  EXPECT_EQ(images(jobList()),
            (std::vector<int>{kImageFile, kImageFolder, kImageMissing, kImageMissing, kImageFile}));
  // Nothing is listed below the job list until the user selects an entry.
  EXPECT_TRUE(texts(workbookList()).empty());
  EXPECT_TRUE(texts(worksheetList()).empty());
  EXPECT_TRUE(script->calls.empty());
}

TEST_F(WindowTest, LoadsAHistoryOf250AndSaves201) {
  Strings history;
  for (int i = 0; i < 250; ++i) history.push_back("/out/" + std::to_string(i));
  history[7] = "";  // an empty entry is an entry
  test::writeFile(appFile("output.txt"), Lines(history));
  test::writeFile(appFile("set.txt"), "0\r\n1\r\n");
  start();
  EXPECT_EQ(comboEntries(outputDirectoryBox()), history);
  EXPECT_EQ(form->outputBox().selectedIndex(), 0);
  EXPECT_EQ(outputDirectoryBox()->currentText(), "/out/0");
  form->close();
  EXPECT_EQ(test::readFile(appFile("output.txt")),
            Lines(Strings(history.begin(), history.begin() + 201)));
  EXPECT_FALSE(std::filesystem::exists(appFile("EXCEL.txt")));  // its switch is off
}

TEST_F(WindowTest, BothSwitchesOnRestoresBothListsInOrder) {
  test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
  start();
  const std::string a = workbook("A.xls"), b = workbook("B.xls");
  host.fileAnswers = {a, b, a};
  for (int i = 0; i < 3; ++i) QTest::mouseClick(addWorkbookButton(), Qt::LeftButton);
  host.folderAnswers = {"/o/first", "/o/second"};
  for (int i = 0; i < 2; ++i) QTest::mouseClick(browseButton(), Qt::LeftButton);
  // A typed directory is never part of the history.
  outputDirectoryBox()->setFocus();
  outputDirectoryBox()->lineEdit()->selectAll();
  QTest::keyClicks(outputDirectoryBox()->lineEdit(), "/typed");
  QTest::mouseClick(exitButton(), Qt::LeftButton);
  EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), Lines({a, b, a}));
  EXPECT_EQ(test::readFile(appFile("output.txt")), Lines({"/o/second", "/o/first"}));

  start();
  EXPECT_EQ(texts(jobList()), (Strings{a, b, a}));
  EXPECT_EQ(comboEntries(outputDirectoryBox()), (Strings{"/o/second", "/o/first"}));
  EXPECT_EQ(outputDirectoryBox()->currentText(), "/o/second");
  EXPECT_EQ(namingBox()->currentIndex(), 0);
}

TEST_F(WindowTest, SwitchesOffKeepTheOldFilesByteForByte) {
  for (const char* settings : {"0\r\n0\r\n", " 1\r\ntrue\r\n", ""}) {
    test::writeFile(appFile("set.txt"), settings);
    test::writeFile(appFile("EXCEL.txt"), "/old/a\r\n/old/b");
    test::writeFile(appFile("output.txt"), "/old/out\r");
    start();
    form->onRemoveAllClicked();
    form->onRemoveAllOutputDirectoriesClicked();
    namingBox()->setCurrentIndex(2);
    form->close();
    EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), "/old/a\r\n/old/b") << settings;
    EXPECT_EQ(test::readFile(appFile("output.txt")), "/old/out\r") << settings;
    // So the removed entries come back, and the naming option starts at 0.
    start();
    EXPECT_EQ(texts(jobList()), (Strings{"/old/a", "/old/b"}));
    EXPECT_EQ(comboEntries(outputDirectoryBox()), Strings{"/old/out"});
    EXPECT_EQ(namingBox()->currentIndex(), 0);
  }
}

TEST_F(WindowTest, EmptyListsAreSavedAsEmptyFiles) {
  test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
  test::writeFile(appFile("EXCEL.txt"), "/a\r\n");
  test::writeFile(appFile("output.txt"), "/o\r\n");
  start();
  form->onRemoveAllClicked();
  form->onRemoveAllOutputDirectoriesClicked();
  form->close();
  EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), "");
  EXPECT_EQ(test::readFile(appFile("output.txt")), "");
}

TEST_F(WindowTest, AnUnwritableListFileIsReportedAndTheWindowStillCloses) {
  test::writeFile(appFile("set.txt"), "1\r\n0\r\n");
  std::filesystem::create_directory(appFile("EXCEL.txt"));  // cannot be a file now
  start();
  form->close();
  EXPECT_FALSE(form->isVisible());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].style, MessageStyle::Critical);
  EXPECT_NE(host.messages[0].text.find("EXCEL.txt"), std::string::npos);
}

TEST_F(WindowTest, SettingsChangedInTheDialogApplyAtTheSameExit) {
  test::writeFile(appFile("EXCEL.txt"), "/a\r\n");
  start();
  form->onRemoveAllClicked();
  host.onModal = [](QDialog& dialog) {
    QTest::mouseClick(named<QCheckBox>(dialog, "Check1"), Qt::LeftButton);
    QTest::mouseClick(named<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  };
  settingsAction()->trigger();
  EXPECT_EQ(test::readFile(appFile("set.txt")), "1\r\n0\r\n");
  form->close();
  EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), "");
}

}  // namespace
}  // namespace quorvel::test
