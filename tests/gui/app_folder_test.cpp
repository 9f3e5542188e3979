// Where the lists and settings live: the user's configuration folder, or
// beside the executable of a portable copy.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdlib>
#include <optional>

#include "main_window/list_view.h"
#include "main_window/main_window.h"
#include "settings/app_folder.h"
#include "settings/line_file.h"
#include "settings/settings_file.h"
#include "tests/gui/scripted_host.h"
#include "tests/support/fake_application.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class AppFolderTest : public ::testing::Test {
 protected:
  test::TempDir exe, home, config;
  ScopedEnv homeEnv{"HOME", home.path().c_str()};
  ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};

  std::string exeFolder() const { return exe.path().string(); }
  std::string dotConfig() const { return (home.path() / ".config" / "quorvel").string(); }
};

TEST_F(AppFolderTest, InstalledCopyUsesTheUsersConfigurationFolder) {
  EXPECT_EQ(ApplicationFolder(exeFolder()), dotConfig());
  {
    ScopedEnv set("XDG_CONFIG_HOME", config.path().c_str());
    EXPECT_EQ(ApplicationFolder(exeFolder()), (config.path() / "quorvel").string());
  }
  // An empty or relative value is no configuration folder.
  for (const char* unusable : {"", "relative/config"}) {
    ScopedEnv set("XDG_CONFIG_HOME", unusable);
    EXPECT_EQ(ApplicationFolder(exeFolder()), dotConfig()) << unusable;
  }
  // Looking the folder up creates nothing.
  EXPECT_FALSE(fs::exists(home.path() / ".config"));
  EXPECT_FALSE(fs::exists(config.path() / "quorvel"));
}

TEST_F(AppFolderTest, PortableCopyKeepsItsFilesBesideTheExecutable) {
  ScopedEnv set("XDG_CONFIG_HOME", config.path().c_str());
  test::writeFile(SettingsPath(exeFolder()), "");
  EXPECT_EQ(ApplicationFolder(exeFolder()), exeFolder());
  // Only a file named set.txt makes a copy portable.
  fs::remove(SettingsPath(exeFolder()));
  fs::create_directory(SettingsPath(exeFolder()));
  EXPECT_EQ(ApplicationFolder(exeFolder()), (config.path() / "quorvel").string());
}

TEST_F(AppFolderTest, FirstSettingsSavedCreateTheFolderForItsOwnerOnly) {
  const std::string folder = ApplicationFolder(exeFolder());
  ASSERT_TRUE(WriteSettings(folder, {true, false}));
  EXPECT_EQ(test::readFile(SettingsPath(folder)), "1\r\n0\r\n");
  for (const fs::path& created : {home.path() / ".config", fs::path(folder)}) {
    struct stat info {};
    ASSERT_EQ(stat(created.c_str(), &info), 0) << created;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << created;
  }
  // A folder that cannot be made leaves the settings unsaved and says so.
  test::writeFile(home.file("blocked"), "");
  EXPECT_FALSE(CreateApplicationFolder(home.file("blocked/quorvel")));
  EXPECT_FALSE(WriteSettings(home.file("blocked/quorvel"), {true, true}));
}

TEST_F(AppFolderTest, WindowKeepsItsListsInTheConfigurationFolderAcrossRuns) {
  const std::string folder = ApplicationFolder(exeFolder());
  test::TempDir data;
  const std::string book = data.file("Book1.xlsx");
  test::writeFile(book, "");
  auto script = std::make_shared<test::FakeScript>();
  test::ScriptedHost host;
  {
    MainWindow window(folder, host, script->factory());
    // Settings: save the job list at exit.
    host.onModal = [](QDialog& dialog) {
      dialog.findChild<QCheckBox*>("Check1")->setChecked(true);
      QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    };
    window.findChild<QAction*>("Settings")->trigger();
    host.fileAnswers = {book};
    window.findChild<QToolButton*>("Command1")->click();
    window.close();
  }
  EXPECT_EQ(ReadLines(folder + "/EXCEL.txt"), std::vector<std::string>{book});
  EXPECT_FALSE(fs::exists(exe.file("EXCEL.txt")));
  EXPECT_FALSE(fs::exists(exe.file("set.txt")));
  MainWindow again(folder, host, script->factory());
  EXPECT_EQ(again.jobEntries().count(), 1);
  EXPECT_EQ(again.jobEntries().text(1), book);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace quorvel
