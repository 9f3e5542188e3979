#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "settings/line_file.h"
#include "settings/setting_dialog.h"
#include "settings/settings_file.h"
#include "tests/gui/named_widget.h"
#include "tests/gui/scripted_host.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using Lines = std::vector<std::string>;

TEST(LineFile, LinesEndAtCrLfOrALoneCr) {
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("a\r\nb"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});  // no extra empty entry
  EXPECT_EQ(SplitLines("\r\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitLines("a\rb\nc\r\n"), (Lines{"a", "b\nc"}));  // a lone LF is text
  EXPECT_EQ(SplitLines("\xC3\xA4\r\n"), Lines{"\xC3\xA4"});
}

TEST(LineFile, WritesEveryLineWithCrLfAndReadsBack) {
  test::TempDir dir;
  const std::string path = dir.file("list.txt");
  ASSERT_TRUE(WriteLines(path, {"/a b/c", "", "x"}));
  EXPECT_EQ(test::readFile(path), "/a b/c\r\n\r\nx\r\n");
  EXPECT_EQ(ReadLines(path), (Lines{"/a b/c", "", "x"}));
  ASSERT_TRUE(WriteLines(path, {}));
  EXPECT_EQ(test::readFile(path), "");
  EXPECT_EQ(ReadLines(dir.file("missing.txt")), Lines{});
  EXPECT_FALSE(WriteLines(dir.file("no/such/folder.txt"), {"x"}));
}

TEST(SettingsFile, OnlyAnExactOneTurnsASwitchOn) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  auto read = [&](const std::string& content) {
    test::writeFile(SettingsPath(folder), content);
    const Settings s = ReadSettings(folder);
    return std::make_pair(s.saveJobList, s.saveOutputHistory);
  };
  EXPECT_EQ(read("1\r\n0\r\n"), std::make_pair(true, false));
  EXPECT_EQ(read("0\r\n1\r\n"), std::make_pair(false, true));
  EXPECT_EQ(read("1\r\n1"), std::make_pair(true, true));
  for (const char* off : {" 1\r\n1\r\n", "1 \r\n1\r\n", "01\r\n1\r\n", "true\r\n1\r\n"})
    EXPECT_EQ(read(off), std::make_pair(false, true)) << off;
  EXPECT_EQ(read("1\r\n"), std::make_pair(true, false));
  EXPECT_EQ(read(""), std::make_pair(false, false));
  std::filesystem::remove(SettingsPath(folder));
  EXPECT_EQ(ReadSettings(folder).saveJobList, false);
}

class SettingDialogTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string folder = dir.path().string();
  test::ScriptedHost host;

  // Opens the dialog as Settings does and lets `act` work on it.
  void open(const std::function<void(SettingsDialog&)>& act) {
    host.onModal = [&](QDialog& dialog) { act(static_cast<SettingsDialog&>(dialog)); };
    ShowSettingsDialog(folder, host, nullptr);
  }
};

TEST_F(SettingDialogTest, OpensWithTheFileState) {
  test::writeFile(SettingsPath(folder), "1\r\n0\r\n");
  bool first = false, second = true;
  QString caption, one, two;
  open([&](SettingsDialog& dialog) {
    first = test::named<QCheckBox>(dialog, "Check1")->isChecked();
    second = test::named<QCheckBox>(dialog, "Check2")->isChecked();
    caption = dialog.windowTitle();
    one = test::named<QCheckBox>(dialog, "Check1")->text();
    two = test::named<QCheckBox>(dialog, "Check2")->text();
  });
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(caption, "Setting");
  EXPECT_EQ(one, "Automatically save the current file");
  EXPECT_EQ(two, "Automatically save the output directory");
  EXPECT_EQ(host.dialogs, std::vector<std::string>{"modal:Setting"});
}

TEST_F(SettingDialogTest, MissingOrEmptyFileOpensUnticked) {
  for (bool create : {false, true}) {
    if (create) test::writeFile(SettingsPath(folder), "");
    bool any = true;
    open([&](SettingsDialog& d) {
      any = test::named<QCheckBox>(d, "Check1")->isChecked() ||
            test::named<QCheckBox>(d, "Check2")->isChecked();
    });
    EXPECT_FALSE(any);
  }
}

TEST_F(SettingDialogTest, OkWritesExactlyTwoLines) {
  test::writeFile(SettingsPath(folder), "1");
  open([](SettingsDialog& d) {
    QTest::mouseClick(test::named<QCheckBox>(d, "Check2"), Qt::LeftButton);
    QTest::mouseClick(test::named<QPushButton>(d, "OKButton"), Qt::LeftButton);
  });
  EXPECT_EQ(test::readFile(SettingsPath(folder)), "1\r\n1\r\n");
  open([](SettingsDialog& d) {
    QTest::mouseClick(test::named<QCheckBox>(d, "Check1"), Qt::LeftButton);
    QTest::mouseClick(test::named<QPushButton>(d, "OKButton"), Qt::LeftButton);
  });
  EXPECT_EQ(test::readFile(SettingsPath(folder)), "0\r\n1\r\n");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SettingDialogTest, CancelAndCloseLeaveTheFileByteForByte) {
  const std::string before = " 1\r\n1\r\nextra\r\n";
  test::writeFile(SettingsPath(folder), before);
  int result = -1;
  open([&](SettingsDialog& d) {
    QTest::mouseClick(test::named<QCheckBox>(d, "Check1"), Qt::LeftButton);
    QTest::mouseClick(test::named<QCheckBox>(d, "Check2"), Qt::LeftButton);
    QTest::mouseClick(test::named<QPushButton>(d, "CancelButton"), Qt::LeftButton);
    result = d.result();
  });
  EXPECT_EQ(result, QDialog::Rejected);
  open([](SettingsDialog& d) {
    QTest::mouseClick(test::named<QCheckBox>(d, "Check1"), Qt::LeftButton);
    d.close();
  });
  EXPECT_EQ(test::readFile(SettingsPath(folder)), before);
  // The next opening shows the file, not the abandoned changes.
  bool first = true, second = false;
  open([&](SettingsDialog& d) {
    first = test::named<QCheckBox>(d, "Check1")->isChecked();
    second = test::named<QCheckBox>(d, "Check2")->isChecked();
  });
  EXPECT_FALSE(first);
  EXPECT_TRUE(second);
}

TEST_F(SettingDialogTest, AFileThatCannotBeWrittenIsReported) {
  // A missing folder is made when the settings are saved; one inside a
  // plain file cannot be.
  test::writeFile(dir.file("plain-file"), "");
  folder = dir.file("plain-file/no-such-folder");
  open([](SettingsDialog& d) {
    QTest::mouseClick(test::named<QPushButton>(d, "OKButton"), Qt::LeftButton);
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].style, MessageStyle::Critical);
  EXPECT_NE(host.messages[0].text.find("set.txt"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
