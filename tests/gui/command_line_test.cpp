// The window's program answers --help and --version before it needs a
// display, and its manual page and the guide describe those options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sstream>

#include "main_window/command_line.h"
#include "tests/support/help_options.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

struct Answer {
  std::optional<int> status;
  std::string out, err;
};

Answer answer(std::vector<const char*> args) {
  args.insert(args.begin(), "quorvel");
  std::ostringstream out, err;
  Answer a;
  a.status = AnswerCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  a.out = out.str();
  a.err = err.str();
  return a;
}

TEST(WindowCommandLine, NoArgumentsOpenTheWindow) {
  const Answer a = answer({});
  EXPECT_FALSE(a.status.has_value());
  EXPECT_EQ(a.out + a.err, "");
}

TEST(WindowCommandLine, HelpAndVersionAnswerOnStandardOutput) {
  const Answer version = answer({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("quorvel ") + QUORVEL_VERSION + "\n");
  for (const char* help : {"--help", "-h"}) {
    const Answer a = answer({help});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.err, "");
    EXPECT_EQ(test::ListedOptions(a.out), (std::vector<std::string>{"-h", "--help", "--version"}));
    EXPECT_NE(a.out.find("~/.config/quorvel"), std::string::npos) << a.out;
  }
}

TEST(WindowCommandLine, AnyOtherArgumentIsAUsageError) {
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"book.xlsx"}, {"--verbose"}, {"--help", "extra"}, {"--version", "--help"}}) {
    const Answer a = answer(args);
    EXPECT_EQ(a.status, 2);
    EXPECT_EQ(a.out, "");
    const std::string wrong = args.size() == 1 ? args[0] : args[1];
    EXPECT_NE(a.err.find("'" + wrong + "'"), std::string::npos) << a.err;
  }
}

TEST(WindowCommandLine, ProgramAnswersWithoutADisplay) {
  test::TempDir dir;
  const std::string out = dir.file("out"), err = dir.file("err");
  for (const char* option : {"--version", "--help"}) {
    const std::string cmd = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
                            QUORVEL_WINDOW_EXE + " " + option + " >" + out + " 2>" + err;
    const int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << option;
    EXPECT_EQ(WEXITSTATUS(raw), 0) << option << ": " << test::readFile(err);
    EXPECT_EQ(test::readFile(out), answer({option}).out);
  }
}

TEST(WindowCommandLine, ManualPageAndGuideDescribeEveryOption) {
  const std::string docs = std::string(QUORVEL_SOURCE_DIR) + "/docs";
  const std::string manual = test::readFile(docs + "/man/quorvel.1.md");
  const std::string guide = test::ReadFolder(docs + "/guide", ".md");
  for (const std::string& option : test::ListedOptions(answer({"--help"}).out)) {
    EXPECT_TRUE(test::MentionsOption(manual, option)) << option << " is not in the manual page";
    EXPECT_TRUE(test::MentionsOption(guide, option)) << option << " is not in the user guide";
  }
}

}  // namespace
}  // namespace quorvel
