// quorvel-convert run end to end on generated workbooks: folders, file names,
// contents, exit status, the report, and the same output for any -j.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <map>
#include <nlohmann/json.hpp>

#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using test::GeneratedSheet;

struct Ran {
  int status = -1;
  std::string out, err;
};

// Every file under `root` with its content, by path relative to it.
std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    files[rel] = e.is_regular_file() ? test::readFile(e.path().string()) : "<folder>";
  }
  return files;
}

struct Cli : ::testing::Test {
  test::TempDir dir;
  std::string in = dir.file("in");
  std::string out = dir.file("out");

  void SetUp() override {
    fs::create_directories(in + "/sub");
    test::writeWorkbook(
        in + "/Sales.xlsx",
        {{"Jan", {{std::string("Item"), std::string("Qty")}, {std::string("Pen"), 3.0}}},
         {"Feb", {{std::string("Ink"), 2.5}}}});
    test::writeWorkbook(in + "/My Book.2024.xlsx", {{"Data", {{std::string("x")}}}});
    test::writeWorkbook(in + "/sub/Deep.xlsx", {{"Deep", {{1.0}}}});
    test::writeFile(in + "/notes.txt", "not a workbook");
  }

  Ran run(const std::string& args) {
    Ran r;
    std::string o = dir.file("stdout"), e = dir.file("stderr");
    std::string cmd = std::string(QUORVEL_CONVERT_EXE) + " " + args + " >" + o + " 2>" + e;
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::readFile(o);
    r.err = test::readFile(e);
    return r;
  }
  std::string q(const std::string& path) { return "'" + path + "'"; }
};

TEST_F(Cli, ConvertsEachWorkbookIntoItsOwnFolder) {
  Ran r = run(q(in) + " -o " + q(out) + " -j 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tree(out),
            (std::map<std::string, std::string>{{"MyBook2024", "<folder>"},
                                                {"MyBook2024/Data.txt", "x\r\n"},
                                                {"Sales", "<folder>"},
                                                {"Sales/Feb.txt", "Ink\t2.5\r\n"},
                                                {"Sales/Jan.txt", "Item\tQty\r\nPen\t3\r\n"}}));
  EXPECT_NE(r.err.find("Converted 2 of 2 workbooks (3 worksheets)"), std::string::npos) << r.err;
}

TEST_F(Cli, NamesFilesByTheChosenOption) {
  ASSERT_EQ(run(q(in + "/Sales.xlsx") + " -q --naming workbook -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out + "/Sales"),
            (std::map<std::string, std::string>{{"Sales_Feb.txt", "Ink\t2.5\r\n"},
                                                {"Sales_Jan.txt", "Item\tQty\r\nPen\t3\r\n"}}));
  ASSERT_EQ(run(q(in + "/Sales.xlsx") + " -q --naming number -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out + "/Sales1"),
            (std::map<std::string, std::string>{{"1.txt", "Item\tQty\r\nPen\t3\r\n"},
                                                {"2.txt", "Ink\t2.5\r\n"}}));
  // A workbook named like its sheet: the sheet option adds the workbook name.
  ASSERT_EQ(run(q(in + "/sub/Deep.xlsx") + " -q -o " + q(out)).status, 0);
  EXPECT_TRUE(fs::exists(out + "/Deep/Deep_Deep.txt"));
}

TEST_F(Cli, SheetsWhoseNamesCleanAlikeGetFilesOfTheirOwnAndTheReportSaysWhich) {
  test::XlsxBuilder()
      .worksheet("a:b", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")
      .worksheet("ab", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")
      .worksheet("a|b", "<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>")
      .write(dir.file("Same.xlsx"));
  Ran r = run(q(dir.file("Same.xlsx")) + " -q -o " + q(out) + " --report " +
              q(dir.file("report.json")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tree(out + "/Same"),
            (std::map<std::string, std::string>{
                {"ab.txt", "1\r\n"}, {"ab_2.txt", "2\r\n"}, {"ab_3.txt", "3\r\n"}}));
  auto report = nlohmann::json::parse(test::readFile(dir.file("report.json")));
  const auto& sheets = report["workbooks"][0]["sheets"];
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[1]["name"], "ab");
  EXPECT_EQ(sheets[1]["outputFile"], out + "/Same/ab_2.txt");
  EXPECT_EQ(sheets[2]["outputFile"], out + "/Same/ab_3.txt");
}

TEST_F(Cli, RecursesIntoSubFoldersOnlyWhenAsked) {
  ASSERT_EQ(run("-r -q " + q(in) + " -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out + "/Deep").count("Deep_Deep.txt"), 1u);
  // A second run into the same folder gets new folders, suffixes appended.
  ASSERT_EQ(run("-r -q " + q(in) + " -o " + q(out)).status, 0);
  EXPECT_TRUE(fs::exists(out + "/Sales1/Jan.txt"));
  EXPECT_TRUE(fs::exists(out + "/Deep1/Deep_Deep.txt"));
}

TEST_F(Cli, AFailedWorkbookGetsOneLineAndStatusOne) {
  test::writeFile(in + "/Broken.xlsx", "PK\x03\x04 this is no zip");
  Ran r = run(q(in) + " -o " + q(out) + " --report " + q(dir.file("report.json")));
  EXPECT_EQ(r.status, 1);
  std::size_t lines = 0;
  for (std::size_t p = r.err.find("failed: "); p != std::string::npos;
       p = r.err.find("failed: ", p + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << r.err;
  EXPECT_NE(r.err.find("Broken.xlsx: 'Broken.xlsx'"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(out + "/Sales/Jan.txt"));  // the others are converted

  auto report = nlohmann::json::parse(test::readFile(dir.file("report.json")));
  EXPECT_EQ(report["converted"], 2);
  EXPECT_EQ(report["failed"], 1);
  const auto& books = report["workbooks"];
  ASSERT_EQ(books.size(), 3u);
  EXPECT_EQ(books[0]["input"], in + "/Broken.xlsx");
  EXPECT_EQ(books[0]["status"], "failed");
  EXPECT_NE(books[0]["error"].get<std::string>().find("Broken.xlsx"), std::string::npos);
  const auto& sales = books[2];
  EXPECT_EQ(sales["status"], "converted");
  EXPECT_EQ(sales["outputFolder"], out + "/Sales");
  ASSERT_EQ(sales["sheets"].size(), 2u);
  EXPECT_EQ(sales["sheets"][0]["index"], 1);
  EXPECT_EQ(sales["sheets"][0]["name"], "Jan");
  EXPECT_EQ(sales["sheets"][0]["outputFile"], out + "/Sales/Jan.txt");
  EXPECT_EQ(sales["sheets"][0]["rows"], 2);
  EXPECT_EQ(sales["sheets"][0]["columns"], 2);
}

TEST_F(Cli, ManyJobsWriteExactlyWhatOneJobWrites) {
  // Equal names in different folders, and sheet names that become random
  // numbers: both depend on order and on the generator.
  for (int i = 0; i < 8; ++i) {
    std::string folder = in + "/sub/s" + std::to_string(i);
    fs::create_directories(folder);
    std::vector<GeneratedSheet> sheets;
    for (int s = 0; s < 4; ++s)
      sheets.push_back({std::string(s % 2 ? "<>" : " lead") + std::to_string(s),
                        {{double(i * 10 + s), std::string("t")}}});
    sheets.push_back({"<|>", {{1.0}}});
    test::writeWorkbook(folder + "/Book.xlsx", sheets);
  }
  ASSERT_EQ(run("-r -q -j 1 " + q(in) + " -o " + q(dir.file("one"))).status, 0);
  ASSERT_EQ(run("-r -q -j 4 " + q(in) + " -o " + q(dir.file("four"))).status, 0);
  auto one = tree(dir.file("one")), four = tree(dir.file("four"));
  EXPECT_EQ(one.size(), 7u + 8u * 6u);  // eight folders of five files each
  EXPECT_EQ(one, four);
}

TEST_F(Cli, ListsWorksheetsWithoutConverting) {
  Ran r = run("--sheets -q " + q(in + "/Sales.xlsx") + " " + q(in + "/sub/Deep.xlsx"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, in + "/Sales.xlsx\n  1\tJan\n  2\tFeb\n" + in + "/sub/Deep.xlsx\n  1\tDeep\n");
  EXPECT_FALSE(fs::exists(out));
  test::writeFile(in + "/Broken.xlsx", "not a workbook");
  r = run("--sheets " + q(in + "/Broken.xlsx"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("failed: " + in + "/Broken.xlsx: 'Broken.xlsx' is not a workbook"),
            std::string::npos)
      << r.err;
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(run(q(in)).status, 2);                                     // no -o
  EXPECT_EQ(run(q(dir.file("missing")) + " -o " + q(out)).status, 2);  // no such path
  EXPECT_EQ(run(q(in) + " -o " + q(out) + " --naming title").status, 2);
  EXPECT_EQ(run(q(in) + " -o " + q(out) + " -j 0").status, 2);
  EXPECT_EQ(run(q(in) + " -o " + q(out) + " --bogus").status, 2);
  EXPECT_EQ(run(q(in) + " -o " + q(out) + " --password-file " + q(dir.file("none"))).status, 2);
  EXPECT_FALSE(fs::exists(out));
  Ran help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Example"), std::string::npos);
}

TEST_F(Cli, AnOutputFolderThatCannotBeMadeStopsTheRun) {
  test::writeFile(dir.file("no"), "a file where a folder should be");
  Ran r = run(q(in) + " -o " + q(dir.file("no/such/out")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Failed to create folder '" + dir.file("no/such/out") + "': "),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::is_directory(dir.file("no")));
}

}  // namespace
}  // namespace quorvel

#endif
