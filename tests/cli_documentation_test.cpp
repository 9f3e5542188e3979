// quorvel-convert says who it is, and its manual page and the user guide
// describe every option its --help lists.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

#include "tests/support/help_options.h"
#include "tests/support/test_support.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

struct Ran {
  int status = -1;
  std::string out, err;
};

Ran runConvert(const std::string& args) {
  test::TempDir dir;
  const std::string out = dir.file("stdout"), err = dir.file("stderr");
  const std::string cmd = std::string(QUORVEL_CONVERT_EXE) + " " + args + " >" + out + " 2>" + err;
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::readFile(out), test::readFile(err)};
}

TEST(ConvertCommandLine, VersionIsTheProjectsOnOneLine) {
  const Ran r = runConvert("--version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string("quorvel-convert ") + QUORVEL_VERSION + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(ConvertCommandLine, EveryOptionOfTheHelpIsInTheManualPageAndTheGuide) {
  const Ran r = runConvert("--help");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> options = test::ListedOptions(r.out);
  // The listing is found at all, with the options every version has.
  for (const char* always : {"-h", "--help", "--version", "-o", "--output"})
    EXPECT_NE(std::find(options.begin(), options.end(), always), options.end()) << always;
  const std::string docs = std::string(QUORVEL_SOURCE_DIR) + "/docs";
  const std::string manual = test::readFile(docs + "/man/quorvel-convert.1.md");
  const std::string guide = test::ReadFolder(docs + "/guide", ".md");
  ASSERT_FALSE(manual.empty());
  ASSERT_FALSE(guide.empty());
  for (const std::string& option : options) {
    EXPECT_TRUE(test::MentionsOption(manual, option)) << option << " is not in the manual page";
    EXPECT_TRUE(test::MentionsOption(guide, option)) << option << " is not in the user guide";
  }
}

TEST(ConvertCommandLine, OptionsAreFoundAsWholeWords) {
  const std::string help =
      "Usage: x\n\nPositionals:\n  PATH TEXT\n\nOptions:\n"
      "  -h,--help      Print this help\n"
      "  --naming TEXT:{a,b}=a\n"
      "                 How files are named\n"
      "  --password-file FILE  Passwords\n\nFooter:\n  --not-an-option\n";
  EXPECT_EQ(test::ListedOptions(help),
            (std::vector<std::string>{"-h", "--help", "--naming", "--password-file"}));
  EXPECT_TRUE(test::MentionsOption("use `--password PW`", "--password"));
  EXPECT_FALSE(test::MentionsOption("use --password-file", "--password"));
  EXPECT_FALSE(test::MentionsOption("use ---j or -jobs", "-j"));
  EXPECT_TRUE(test::MentionsOption("-j", "-j"));
}

}  // namespace
}  // namespace quorvel

#endif
