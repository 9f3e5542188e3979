// quorvel-convert under signals and on a full disk: it leaves no file that
// looks complete but is not, no temporary file, and a report of what it did.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Strings = std::vector<std::string>;
using test::ChildProcess;
using test::GeneratedSheet;

// Every file and folder under `root`, by path relative to it.
// Called while the converter runs, so entries may vanish under the walk:
// names are worked out without asking the file system again, and a walk
// that trips on a vanished entry starts over.
Strings tree(const std::string& root) {
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    Strings names;
    ec.clear();
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().lexically_relative(root).string());
    if (!ec) {
      std::sort(names.begin(), names.end());
      return names;
    }
  }
  throw fs::filesystem_error("cannot list the folder", root, ec);
}

// Hidden entries are the converter's temporary files.
Strings hidden(const std::string& root) {
  Strings names;
  for (const std::string& name : tree(root))
    if (fs::path(name).filename().string().front() == '.') names.push_back(name);
  return names;
}

// Waits until `folder` holds the temporary file of `file`: the converter is
// writing it. False when the child ended first. (A guard against a hang, not
// a measure of speed.)
bool waitForTemporaryFile(ChildProcess& child, const std::string& folder, const std::string& file) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline && child.running()) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
      for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().rfind("." + file + ".", 0) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

struct ConverterFaults : ::testing::Test {
  test::TempDir dir;
  std::string out = dir.file("out");
  std::string report = dir.file("report.json");

  std::vector<std::string> args(std::vector<std::string> more) {
    more.insert(more.begin(), QUORVEL_CONVERT_EXE);
    return more;
  }

  // Jan is small; Big pads 200,000 rows to 2,000 columns (400 MB of tabs),
  // long enough to be caught while it is written; After comes last.
  std::string bigWorkbook() {
    GeneratedSheet big{"Big", {}};
    big.rows.resize(200000);
    big.rows[0] = {1.0};
    big.rows.back().assign(2000, 2.0);
    std::string path = dir.file("Book.xlsx");
    test::writeWorkbook(path, {{"Jan", {{std::string("a"), 1.0}}}, big, {"After", {{3.0}}}});
    return path;
  }
};

// SIGINT and SIGTERM stop the run: the worksheet being written leaves no
// file, the report and summary still come, and the status says which signal.
struct Signals : ConverterFaults, ::testing::WithParamInterface<int> {};

TEST_P(Signals, StopTheRunAndLeaveOnlyCompleteFilesAndAReport) {
  const int signal = GetParam();
  std::string book = bigWorkbook();
  test::writeWorkbook(dir.file("Later.xlsx"), {{"S", {{1.0}}}});
  ChildProcess child(args({book, dir.file("Later.xlsx"), "-j", "1", "-o", out, "--report", report}),
                     dir.path().string());
  ASSERT_TRUE(waitForTemporaryFile(child, out + "/Book", "Big.txt")) << child.wait().err;
  child.signal(signal);
  test::ChildResult r = child.wait();

  EXPECT_EQ(r.exitStatus, 128 + signal) << r.err;
  EXPECT_EQ(tree(out), (Strings{"Book", "Book/Jan.txt"}));  // no Big.txt, no temporary file
  EXPECT_EQ(test::readFile(out + "/Book/Jan.txt"), "a\t1\r\n");
  json rep = json::parse(test::readFile(report));
  EXPECT_EQ(rep["stoppedBy"], signal == SIGINT ? "SIGINT" : "SIGTERM");
  EXPECT_EQ(rep["converted"], 0);
  EXPECT_EQ(rep["stopped"], 2);
  ASSERT_EQ(rep["workbooks"].size(), 2u);
  EXPECT_EQ(rep["workbooks"][0]["status"], "stopped");
  ASSERT_EQ(rep["workbooks"][0]["sheets"].size(), 1u);
  EXPECT_EQ(rep["workbooks"][0]["sheets"][0]["outputFile"], out + "/Book/Jan.txt");
  EXPECT_EQ(rep["workbooks"][1]["status"], "not started");
  EXPECT_NE(r.err.find("stopped by " + std::string(signal == SIGINT ? "SIGINT" : "SIGTERM")),
            std::string::npos)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(IntAndTerm, Signals, ::testing::Values(SIGINT, SIGTERM));

TEST_F(ConverterFaults, ASecondSignalEndsAtOnce) {
  std::string book = bigWorkbook();
  // A report into a pipe nobody reads: after the first signal the converter
  // waits there to write it, as a slow or stuck end of a run would.
  const std::string pipe = dir.file("report.pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ChildProcess child(args({book, "-o", out, "--report", pipe}), dir.path().string());
  ASSERT_TRUE(waitForTemporaryFile(child, out + "/Book", "Big.txt")) << child.wait().err;
  child.signal(SIGINT);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!hidden(out).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(hidden(out).empty()) << "the first signal did not stop the worksheet";
  EXPECT_TRUE(child.running());  // waiting for the pipe
  child.signal(SIGTERM);
  while (child.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_FALSE(child.running()) << "the second signal did not end it";
  test::ChildResult r = child.wait();
  EXPECT_EQ(r.exitStatus, 128 + SIGTERM) << r.err;
  EXPECT_EQ(r.err, "quorvel-convert: interrupted\n");
  EXPECT_EQ(tree(out), (Strings{"Book", "Book/Jan.txt"}));
}

// A disk that fills while a worksheet is written: a small tmpfs where this
// process may mount one, and a limit on the size of a file otherwise.
struct FullDisk : ConverterFaults, ::testing::WithParamInterface<bool> {
  bool mounted = false;
  ~FullDisk() override {
    if (mounted) ::umount2(out.c_str(), MNT_DETACH);
  }
};

TEST_P(FullDisk, FailsTheWorkbookKeepsTheWorksheetsDoneAndLeavesNoPartialFile) {
  const bool tmpfs = GetParam();
  std::vector<std::vector<test::GeneratedCell>> rows(2000, std::vector<test::GeneratedCell>(50));
  for (auto& row : rows)
    for (auto& cell : row) cell = 12345.0;
  test::writeWorkbook(dir.file("Book.xlsx"),
                      {{"Jan", {{std::string("a"), 1.0}}}, {"Big", rows}, {"After", {{1.0}}}});
  std::optional<long> limit;
  fs::create_directory(out);
  if (tmpfs) {
    if (::mount("tmpfs", out.c_str(), "tmpfs", 0, "size=256k") != 0)
      GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
    mounted = true;
  } else {
    limit = 64 * 1024;
  }
  test::ChildResult r =
      test::runChild(args({dir.file("Book.xlsx"), "-q", "-o", out, "--report", report}),
                     dir.path().string(), limit);
  EXPECT_EQ(r.exitStatus, 1) << r.err;
  const std::string reason = tmpfs ? "No space left on device" : "File too large";
  EXPECT_EQ(r.err, "quorvel-convert: failed: " + dir.file("Book.xlsx") + ": cannot write '" + out +
                       "/Book/Big.txt': " + reason + "\n");
  EXPECT_EQ(tree(out), (Strings{"Book", "Book/Jan.txt"}));
  json rep = json::parse(test::readFile(report));
  const json& book = rep["workbooks"][0];
  EXPECT_EQ(book["status"], "failed");
  ASSERT_EQ(book["sheets"].size(), 1u);  // what was written stays listed
  EXPECT_EQ(book["sheets"][0]["name"], "Jan");
}

INSTANTIATE_TEST_SUITE_P(TmpfsOrFileSizeLimit, FullDisk, ::testing::Bool());

TEST_F(ConverterFaults, AReportThatCannotBeWrittenLeavesTheOldOneWhole) {
  test::writeWorkbook(dir.file("Book.xlsx"), {{"Jan", {{1.0}}}});
  const std::string old = "{\"from\": \"the last run\"}\n";
  test::writeFile(report, old);
  // Each text file is a few bytes; the report is larger than the limit.
  test::ChildResult r = test::runChild(
      args({dir.file("Book.xlsx"), "-q", "-o", out, "--report", report}), dir.path().string(), 200);
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "quorvel-convert: cannot write '" + report + "': File too large\n");
  EXPECT_EQ(test::readFile(report), old);
  EXPECT_TRUE(hidden(dir.path().string()).empty());
}

}  // namespace
}  // namespace quorvel

#endif
