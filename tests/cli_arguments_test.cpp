// quorvel-convert's command line at its edges: options and their values,
// paths taken literally, odd files, names that are not plain text, the
// output folder, the report's path, and failures told in words.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/generated_workbooks.h"
#include "tests/support/ooxml_encryptor.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Strings = std::vector<std::string>;

struct CommandLine : ::testing::Test {
  test::TempDir dir;
  std::string out = dir.file("out");
  std::string book = dir.file("Book.xlsx");

  void SetUp() override { test::writeWorkbook(book, {{"Jan", {{std::string("x")}}}}); }

  test::ChildResult run(std::vector<std::string> args) {
    args.insert(args.begin(), QUORVEL_CONVERT_EXE);
    return test::runChild(args, dir.path().string());
  }
  // The lines of standard error that report a failed workbook.
  static Strings failures(const std::string& err) {
    Strings lines;
    for (std::size_t at = 0; at < err.size();) {
      std::size_t end = err.find('\n', at);
      std::string line = err.substr(at, end - at);
      if (line.rfind("quorvel-convert: failed: ", 0) == 0) lines.push_back(line);
      at = end == std::string::npos ? err.size() : end + 1;
    }
    return lines;
  }
};

TEST_F(CommandLine, AnOptionTakesOneValueAndLeavesTheRestToPaths) {
  test::ChildResult r = run({"--password", "secret", book, "-o", out, "-q"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(fs::exists(out + "/Book/Jan.txt"));
  r = run({"--password", "one", "--password", "two", book, "-o", dir.file("out2"), "-q"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  r = run({"--password", "one", "two", book, "-o", dir.file("out3")});
  EXPECT_EQ(r.exitStatus, 2);
  EXPECT_EQ(r.err, "quorvel-convert: no such workbook or folder: two\n");
}

TEST_F(CommandLine, WildcardCharactersAreOrdinaryCharactersOfAName) {
  fs::create_directory(dir.file("in"));
  fs::copy_file(book, dir.file("a?b.xlsx"));
  fs::copy_file(book, dir.file("in/c*[1].xlsx"));
  test::ChildResult r = run({dir.file("a?b.xlsx"), dir.file("in"), "-o", out, "-q"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(fs::exists(out + "/a?b/Jan.txt"));
  EXPECT_TRUE(fs::exists(out + "/c*[1]/Jan.txt"));
}

TEST_F(CommandLine, EveryWorkbookOfAFolderIsConvertedHoweverMany) {
  fs::create_directory(dir.file("many"));
  for (int i = 0; i < 501; ++i)
    fs::copy_file(book, dir.file("many/b" + std::to_string(i) + ".xlsx"));
  test::ChildResult r = run({dir.file("many"), "-o", out, "-j", "2"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.err.find("Converted 501 of 501 workbooks"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(out + "/b500/Jan.txt"));
}

TEST_F(CommandLine, APipeNamedLikeAWorkbookIsRefusedWithoutOpeningIt) {
  const std::string fifo = dir.file("pipe.xlsx");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opening the pipe would wait for a writer for ever: give it a deadline.
  test::ChildProcess child({QUORVEL_CONVERT_EXE, fifo, "-o", out}, dir.path().string());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (child.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_FALSE(child.running()) << "the converter waits on the pipe";
  test::ChildResult r = child.wait();
  EXPECT_EQ(r.exitStatus, 2);
  EXPECT_EQ(r.err, "quorvel-convert: not a regular file: " + fifo +
                       " (a pipe, device or socket is no workbook)\n");
  EXPECT_FALSE(fs::exists(out));
}

struct Encrypted : CommandLine {
  std::string locked = dir.file("Locked.xlsx");
  void SetUp() override {
    CommandLine::SetUp();
    test::writeFile(locked, test::compoundFileOf(test::encryptAgile(
                                test::readFile(book), u"s\u00e9same", {.spinCount = 10})));
  }
};

TEST_F(Encrypted, APasswordFileMayStartWithAByteOrderMark) {
  test::writeFile(dir.file("pw.txt"), "\xEF\xBB\xBFs\xC3\xA9same\r\nother\r\n");
  test::ChildResult r = run({locked, "--password-file", dir.file("pw.txt"), "-o", out, "-q"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(test::readFile(out + "/Locked/Jan.txt"), "x\r\n");
}

TEST_F(Encrypted, AWrongPasswordSaysTheGivenPasswordsDidNotOpenIt) {
  test::ChildResult r = run({locked, "--password", "guess", "-o", out, "-q"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(failures(r.err), Strings{"quorvel-convert: failed: " + locked +
                                     ": 'Locked.xlsx' is password-protected: none of the given "
                                     "passwords opens it (or its encryption data is damaged)"});
  r = run({locked, "-o", dir.file("out2"), "-q"});
  EXPECT_EQ(failures(r.err), Strings{"quorvel-convert: failed: " + locked +
                                     ": 'Locked.xlsx' is password-protected"});
}

TEST_F(Encrypted, ADamagedPackageOpenedWithTheRightPasswordIsCalledDamaged) {
  test::EncryptedStreams streams =
      test::encryptAgile(std::string(20000, 'x'), u"s\u00e9same", {.spinCount = 10});
  test::writeFile(locked, test::compoundFileOf(streams));
  test::ChildResult r = run({locked, "--password", "s\xC3\xA9same", "-o", out, "-q"});
  Strings lines = failures(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].find("quorvel-convert: failed: " + locked +
                          ": 'Locked.xlsx' is damaged: the password opens it, but its encrypted "
                          "package decrypts to no workbook"),
            0u)
      << lines[0];
}

TEST_F(CommandLine, NamesWithControlCharactersOrBadBytesTakeOneLineAndKeepTheirBytes) {
  const std::string odd = dir.file("Bad\nName\xFF.xlsx");
  test::writeFile(odd, "PK\x03\x04 not a zip");
  const std::string good = dir.file("Tab\tName\xFE.xlsx");
  fs::copy_file(book, good);
  const std::string report = dir.file("report.json");
  test::ChildResult r = run({odd, good, "-o", out, "-q", "--report", report});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(failures(r.err),
            Strings{"quorvel-convert: failed: " + dir.file("Bad\\nName\\xFF.xlsx") +
                    ": 'Bad\\nName\\xFF.xlsx' is not a workbook: it is not a valid zip package "
                    "(Not a zip archive)"});
  // The folder loses the tab (a control character) but keeps the byte.
  EXPECT_TRUE(fs::exists(out + "/TabName\xFE/Jan.txt"));

  json rep = json::parse(test::readFile(report));
  const json& bad = rep["workbooks"][0];
  EXPECT_EQ(bad["input"], dir.file("Bad\nName\xEF\xBF\xBD.xlsx"));  // U+FFFD shows the byte
  std::string hex;
  for (unsigned char c : odd) {
    static const char digits[] = "0123456789abcdef";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  EXPECT_EQ(bad["inputBytes"], hex);
  const json& converted = rep["workbooks"][1];
  EXPECT_EQ(converted["status"], "converted");
  EXPECT_TRUE(converted.contains("outputFolderBytes"));
  EXPECT_FALSE(converted["sheets"][0].contains("nameBytes"));  // "Jan" is plain UTF-8
}

TEST_F(CommandLine, TheOutputFolderIsMadeWithItsParentsOrTheReasonIsGiven) {
  test::ChildResult r = run({book, "-o", dir.file("a/b/c"), "-q"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.file("a/b/c/Book/Jan.txt")));
  test::writeFile(dir.file("file"), "");
  r = run({book, "-o", dir.file("file/out"), "-q"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "quorvel-convert: Failed to create folder '" + dir.file("file/out") +
                       "': Not a directory\n");
}

TEST_F(CommandLine, AReportPathThatCannotServeIsAUsageErrorBeforeAnyWork) {
  fs::create_directory(dir.file("folder"));
  fs::create_directory(out);
  const std::string before = test::readFile(book);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir.file("folder"), "the report '" + dir.file("folder") + "' is a folder"},
      {dir.file("missing/r.json"), "cannot write the report '" + dir.file("missing/r.json") +
                                       "': its folder '" + dir.file("missing") +
                                       "' does not exist"},
      {book, "the report '" + book + "' is one of the workbooks to convert"},
      {out + "/r.json", "the report '" + out + "/r.json' lies inside the output folder '" + out +
                            "': write it elsewhere"},
      {out, "the report '" + out + "' is a folder"},
  };
  for (const auto& [report, message] : cases) {
    test::ChildResult r = run({book, "-o", out, "--report", report});
    EXPECT_EQ(r.exitStatus, 2) << report;
    EXPECT_EQ(r.err, "quorvel-convert: " + message + "\n");
  }
  EXPECT_TRUE(fs::is_empty(out));  // nothing converted
  EXPECT_EQ(test::readFile(book), before);
  // A workbook found in a folder counts too, through any spelling of its path.
  test::ChildResult r =
      run({dir.path().string(), "-o", out, "--report", dir.file("folder/../Book.xlsx")});
  EXPECT_EQ(r.exitStatus, 2) << r.err;
}

TEST_F(CommandLine, AReportToStandardOutputFollowsTheListing) {
  test::ChildResult r = run({"--sheets", "-q", book, "--report", "/dev/stdout"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  const std::string listing = book + "\n  1\tJan\n";
  ASSERT_EQ(r.out.substr(0, listing.size()), listing);
  json rep = json::parse(r.out.substr(listing.size()));
  EXPECT_EQ(rep["listed"], 1);
}

TEST_F(CommandLine, DamageIsToldInWordsNamingThePartAndQuotingLittle) {
  // A part whose compressed data is broken.
  std::vector<test::ZipEntry> entries = test::XlsxBuilder().worksheet("S", "").entries();
  test::writeZip(dir.file("Inflate.xlsx"), entries);
  std::string bytes = test::readFile(dir.file("Inflate.xlsx"));
  const std::size_t name = bytes.find("xl/workbook.xml");
  ASSERT_NE(name, std::string::npos);
  // The local header's name is followed by the deflated data: spoil it.
  for (std::size_t i = name + 15; i < name + 25; ++i) bytes[i] = static_cast<char>(0xFF);
  test::writeFile(dir.file("Inflate.xlsx"), bytes);
  // A relationship that names no part, and a cell reference full of markup.
  test::XlsxBuilder()
      .worksheet("S", "")
      .replacePart("xl/_rels/workbook.xml.rels",
                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                   "relationships\"><Relationship Id=\"rId10\" Type=\"http://schemas."
                   "openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                   "Target=\"/\"/></Relationships>")
      .write(dir.file("Empty.xlsx"));
  test::XlsxBuilder()
      .worksheet("S", "<row r=\"1\"><c r=\"A\n1" + std::string(100, 'Z') + "\"><v>1</v></c></row>")
      .write(dir.file("Ref.xlsx"));
  test::ChildResult r = run({dir.file("Inflate.xlsx"), dir.file("Empty.xlsx"), dir.file("Ref.xlsx"),
                             "-o", out, "-q", "-j", "1"});
  Strings lines = failures(r.err);
  ASSERT_EQ(lines.size(), 3u) << r.err;
  const std::string head = "quorvel-convert: failed: ";
  EXPECT_EQ(lines[0], head + dir.file("Inflate.xlsx") +
                          ": 'Inflate.xlsx' is damaged: the part xl/workbook.xml holds compressed "
                          "data that cannot be unpacked");
  EXPECT_EQ(lines[1], head + dir.file("Empty.xlsx") +
                          ": 'Empty.xlsx' is damaged: the worksheet 'S' has no part: its "
                          "relationship names none");
  EXPECT_EQ(lines[2], head + dir.file("Ref.xlsx") +
                          ": 'Ref.xlsx' is damaged: the cell reference 'A\\n1" +
                          std::string(36, 'Z') + "...' is not a cell reference");
}

}  // namespace
}  // namespace quorvel

#endif
