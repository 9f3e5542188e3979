// quorvel-convert in pipelines, end to end on generated workbooks: chosen
// worksheets, standard input and output, comma-separated text, raw values,
// the mirror layout (also after a kill), shards, and the sheet size limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "cli/shard.h"
#include "tests/support/child_process.h"
#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

#ifdef QUORVEL_CONVERT_EXE

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Tree = std::map<std::string, std::string>;
using test::GeneratedSheet;

struct Ran {
  int status = -1;
  std::string out, err;
};

// What tree() gives for a file holding `bytes`.
std::string fileEntry(const std::string& bytes) {
  return std::to_string(bytes.size()) + ":" + std::to_string(cli::fnv1a64(bytes));
}

// Every entry under `root` by relative path: a file's size and a hash of its
// bytes (so that large files need not be held), "<folder>" for a folder.
Tree tree(const std::string& root) {
  Tree entries;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (!e.is_regular_file()) {
      entries[rel] = "<folder>";
      continue;
    }
    entries[rel] = fileEntry(test::readFile(e.path().string()));
  }
  return entries;
}

bool anyHidden(const Tree& entries) {
  for (const auto& [path, what] : entries)
    for (const auto& part : fs::path(path))
      if (part.string().front() == '.') return true;
  return false;
}

struct Pipeline : ::testing::Test {
  test::TempDir dir;
  std::string in = dir.file("in"), out = dir.file("out");

  void SetUp() override {
    fs::create_directories(in + "/a/b");
    test::writeWorkbook(
        in + "/Sales.xlsx",
        {{"Jan", {{std::string("Item"), std::string("Qty")}, {std::string("Pen"), 3.0}}},
         {"Feb", {{std::string("Ink, blue"), 2.5}}},
         {"Totals", {{5.5}}}});
    test::writeWorkbook(in + "/Single.xlsx", {{"Only", {{std::string("x"), 0.1}}}});
    test::writeWorkbook(in + "/a/b/Deep.xlsx", {{"Deep", {{1.0}}}});
  }

  // Runs the converter through the shell: `args` as they stand, standard
  // input from `input` when given.
  Ran run(const std::string& args, const std::string& input = "") {
    const std::string o = dir.file("stdout"), e = dir.file("stderr");
    std::string cmd = "TMPDIR='" + tmp() + "' " + std::string(QUORVEL_CONVERT_EXE) + " " + args +
                      " >'" + o + "' 2>'" + e + "'";
    if (!input.empty()) cmd += " <'" + input + "'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::readFile(o), test::readFile(e)};
  }
  // The converter's own temporary folder: what it leaves there is left over.
  std::string tmp() {
    fs::create_directories(dir.file("tmp"));
    return dir.file("tmp");
  }
  static std::string q(const std::string& path) { return "'" + path + "'"; }
};

TEST_F(Pipeline, ChoosesWorksheetsByNameAndByPositionAndFailsWithoutThem) {
  Ran r =
      run(q(in + "/Sales.xlsx") + " --sheet Feb --sheet-index 1 --sheet totals -q -o " + q(out));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tree(out + "/Sales").size(), 3u);
  EXPECT_EQ(test::readFile(out + "/Sales/Feb.txt"), "\"Ink, blue\"\t2.5\r\n");
  // Position 2 of Sales is Feb; Single and Deep have no second worksheet.
  r = run("-r " + q(in) + " --sheet-index 2 -q -o " + q(dir.file("second")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(tree(dir.file("second")),
            (Tree{{"Sales", "<folder>"}, {"Sales/Feb.txt", fileEntry("\"Ink, blue\"\t2.5\r\n")}}));
  EXPECT_NE(r.err.find("failed: " + in +
                       "/Single.xlsx: 'Single.xlsx' has no such worksheet: it "
                       "has 1 worksheets, not 2"),
            std::string::npos)
      << r.err;
  r = run(q(in + "/Sales.xlsx") + " --sheet Jan --sheet March -o " + q(dir.file("none")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'Sales.xlsx' has no such worksheet: none is named 'March'"),
            std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir.file("none")));  // nothing written, not even Jan
  EXPECT_EQ(run(q(in) + " --sheet-index 0 -o " + q(out)).status, 2);
}

TEST_F(Pipeline, StandardOutputGetsTheBytesOfTheFileOrAUsageErrorSayingWhy) {
  for (const std::string options : {"", " --format csv --values raw"}) {
    SCOPED_TRACE(options);
    fs::remove_all(out);
    ASSERT_EQ(run(q(in + "/Sales.xlsx") + options + " -q -o " + q(out)).status, 0);
    const std::string ext = options.empty() ? ".txt" : ".csv";
    Ran r = run(q(in + "/Sales.xlsx") + options + " --sheet Feb -q -o -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, test::readFile(out + "/Sales/Feb" + ext));
    r = run(q(in + "/Single.xlsx") + options + " -o -");  // its one worksheet
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, options.empty() ? "x\t0.1\r\n" : "x,0.1\r\n");
    EXPECT_NE(r.err.find("to standard output"), std::string::npos);
  }
  Ran r = run(q(in + "/Sales.xlsx") + " -o -");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'Sales.xlsx' has 3 worksheets (Jan, Feb, Totals): choose one"),
            std::string::npos)
      << r.err;
  r = run(q(in + "/Sales.xlsx") + " --sheet Jan --sheet-index 2 -o -");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("2 worksheets of 'Sales.xlsx' are chosen (Jan, Feb)"), std::string::npos);
  r = run(q(in) + " --sheet Only -o -");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the inputs give 2 workbooks"), std::string::npos) << r.err;
  EXPECT_EQ(run(q(in + "/Single.xlsx") + " --layout mirror -o -").status, 2);
  EXPECT_EQ(run(q(in + "/Single.xlsx") + " -o - --report /dev/stdout").status, 2);
  r = run(q(in + "/Single.xlsx") + " --sheet Gone -o -");
  EXPECT_EQ(r.status, 1);  // the workbook fails, naming the worksheet
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(fs::is_empty(tmp()));
}

TEST_F(Pipeline, StandardInputIsAWorkbookNamedStdinOrAsGiven) {
  ASSERT_EQ(run(q(in + "/Sales.xlsx") + " -q -o " + q(dir.file("files"))).status, 0);
  Ran r = run("- -q -o " + q(out), in + "/Sales.xlsx");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(tree(out + "/stdin"), tree(dir.file("files/Sales")));
  r = run("- --name Q1.xlsx --layout mirror --naming workbook -q -o " + q(out), in + "/Sales.xlsx");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(out + "/Q1.xlsx/Q1_Feb.txt"));
  r = run("- --sheet Feb -o -", in + "/Sales.xlsx");
  EXPECT_EQ(r.out, test::readFile(dir.file("files/Sales/Feb.txt")));
  test::writeFile(dir.file("junk"), "this is no workbook");
  r = run("- -o " + q(out) + " --report " + q(dir.file("r.json")), dir.file("junk"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("failed: -: 'stdin' is not a workbook"), std::string::npos) << r.err;
  EXPECT_EQ(json::parse(test::readFile(dir.file("r.json")))["workbooks"][0]["input"], "-");
  EXPECT_TRUE(fs::is_empty(tmp()));  // the copy of standard input is gone
  EXPECT_EQ(run("- - -o " + q(out), in + "/Sales.xlsx").status, 2);
  EXPECT_EQ(run(q(in) + " --name x.xlsx -o " + q(out)).status, 2);
  EXPECT_EQ(run("- --name a/b.xlsx -o " + q(out), in + "/Sales.xlsx").status, 2);
}

TEST_F(Pipeline, CommaSeparatedFilesEndInCsv) {
  ASSERT_EQ(run(q(in + "/Sales.xlsx") + " --format csv -q -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out + "/Sales").count("Jan.csv"), 1u);
  EXPECT_EQ(test::readFile(out + "/Sales/Jan.csv"), "Item,Qty\r\nPen,3\r\n");
  EXPECT_EQ(test::readFile(out + "/Sales/Feb.csv"), "\"Ink, blue\",2.5\r\n");
}

TEST_F(Pipeline, RawValuesAreNumbersThatReadBackAndDatesInIso8601) {
  // General, m/d/yyyy, m/d/yyyy h:mm, h:mm:ss, [h]:mm:ss, 0.00%, and a custom
  // date format; the 1900 and the 1904 date system.
  const std::string styles =
      "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"dd mmm yyyy\"/></numFmts>"
      "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"22\"/><xf "
      "numFmtId=\"21\"/><xf numFmtId=\"46\"/><xf numFmtId=\"10\"/><xf numFmtId=\"164\"/></cellXfs>";
  auto cell = [](const char* ref, int style, const std::string& value, const char* type = "") {
    return std::string("<c r=\"") + ref + "\" s=\"" + std::to_string(style) + "\"" +
           (*type ? std::string(" t=\"") + type + "\"" : "") + "><v>" + value + "</v></c>";
  };
  const std::vector<std::string> numbers = {"0.30000000000000004", "1e+21", "-1234.5678901234567",
                                            "5e-324", "0.1"};
  std::string row1 = "<row r=\"1\">";
  const char* refs[] = {"A1", "B1", "C1", "D1", "E1"};
  for (std::size_t i = 0; i < numbers.size(); ++i)
    row1 += cell(refs[i], i == 4 ? 5 : 0, numbers[i]);
  row1 += "</row>";
  const std::string row2 = "<row r=\"2\">" + cell("A2", 1, "45322") +
                           cell("B2", 2, "45322.572916666664") + cell("C2", 3, "0.75") +
                           cell("D2", 4, "1.5") + cell("E2", 6, "60") + "</row>";
  const std::string row3 = "<row r=\"3\">" + cell("A3", 0, "1", "b") + cell("B3", 0, "#N/A", "e") +
                           "<c r=\"C3\" t=\"inlineStr\"><is><t>text, as is</t></is></c></row>";
  test::XlsxBuilder().worksheet("S", row1 + row2 + row3).styles(styles).write(in + "/Raw.xlsx");
  test::XlsxBuilder()
      .worksheet("S", "<row r=\"1\">" + cell("A1", 1, "43860") + "</row>")
      .styles(styles)
      .date1904()
      .write(in + "/Mac.xlsx");

  Ran r = run(q(in + "/Raw.xlsx") + " --values raw -o -");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string lines[] = {"0.30000000000000004\t1e+21\t-1234.5678901234567\t5e-324\t0.1",
                               "2024-01-31\t2024-01-31T13:45:00\t18:00:00\t1.5\t60",
                               "TRUE\t#N/A\t\"text, as is\"\t\t"};
  EXPECT_EQ(r.out, lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
  // Each raw number reads back as the double the workbook stores.
  std::size_t at = 0;
  for (const std::string& stored : numbers) {
    const std::size_t end = r.out.find_first_of("\t\r", at);
    const std::string field = r.out.substr(at, end - at);
    EXPECT_EQ(std::strtod(field.c_str(), nullptr), std::strtod(stored.c_str(), nullptr)) << field;
    at = end + 1;
  }
  EXPECT_EQ(run(q(in + "/Mac.xlsx") + " --values raw -o -").out, "2024-01-31\r\n");
  r = run(q(in + "/Raw.xlsx") + " -o -");  // displayed, for contrast
  EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), "0.3\t1E+21\t-1234.56789012346\t5E-324\t10.00%");
}

TEST_F(Pipeline, TheMirrorLayoutGivesTheSameTreeOnEveryRunAndReplacesFoldersWhole) {
  ASSERT_EQ(
      run("-r --layout mirror -q " + q(in) + " " + q(in + "/Single.xlsx") + " -o " + q(out)).status,
      2);  // Single.xlsx twice: both would go to OUT/Single.xlsx
  ASSERT_EQ(run("-r --layout mirror -q " + q(in) + " -o " + q(out)).status, 0);
  const Tree first = tree(out);
  EXPECT_EQ(first.count("a/b/Deep.xlsx/Deep_Deep.txt"), 1u);
  EXPECT_EQ(first.count("Sales.xlsx/Totals.txt"), 1u);
  EXPECT_EQ(first.size(), 10u);  // 5 folders, 5 files
  ASSERT_EQ(run("-r --layout mirror -q " + q(in) + " -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out), first);
  // A workbook that lost a worksheet: its folder is replaced, not topped up.
  test::writeWorkbook(in + "/Sales.xlsx", {{"Jan", {{1.0}}}});
  ASSERT_EQ(run("-r --layout mirror -q " + q(in) + " -o " + q(out)).status, 0);
  EXPECT_EQ(tree(out + "/Sales.xlsx"), (Tree{{"Jan.txt", fileEntry("1\r\n")}}));
  EXPECT_FALSE(anyHidden(tree(out)));
  ASSERT_EQ(
      run("--layout mirror -q " + q(in + "/a/b/Deep.xlsx") + " -o " + q(dir.file("one"))).status,
      0);
  EXPECT_EQ(tree(dir.file("one")).count("Deep.xlsx/Deep_Deep.txt"), 1u);
  EXPECT_EQ(run("--skip-existing -q " + q(in) + " -o " + q(out)).status, 2);  // needs mirror
}

// Killed while a large worksheet is written, then resumed: the tree of one
// whole run, and no temporary folder left.
struct KilledMirrorRun : Pipeline, ::testing::WithParamInterface<int> {};

TEST_P(KilledMirrorRun, ResumesWithSkipExistingToTheFullTree) {
  GeneratedSheet big{"Big", {}};
  big.rows.resize(200000);
  big.rows[0] = {1.0};
  big.rows.back().assign(2000, 2.0);  // 400 MB of padding: long enough to be caught
  // Taken after Sales and Single, before Z and the sub-folder a.
  test::writeWorkbook(in + "/T.xlsx", {{"First", {{1.0}}}, big});
  test::writeWorkbook(in + "/Z.xlsx", {{"Last", {{3.0}}}});
  const std::vector<std::string> args = {QUORVEL_CONVERT_EXE, "-r",     "-q", "-j", "1",
                                         "--layout",          "mirror", in,   "-o", out};
  test::ChildProcess child(args, dir.path().string());
  bool writing = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!writing && child.running() && std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(out, ec); !ec && it != fs::end(it);
         it.increment(ec))
      if (it->path().filename().string().rfind(".Big.txt.", 0) == 0) writing = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(writing) << child.wait().err;
  child.signal(GetParam());
  child.wait();
  Tree killed = tree(out);
  EXPECT_EQ(killed.count("Sales.xlsx/Jan.txt"), 1u);  // done before: complete
  EXPECT_EQ(killed.count("T.xlsx"), 0u);              // being written: absent
  EXPECT_EQ(killed.count("Z.xlsx"), 0u);              // not reached
  EXPECT_EQ(killed.count("a/b/Deep.xlsx"), 0u);
  EXPECT_EQ(anyHidden(killed), GetParam() == SIGKILL);  // only a kill leaves its staging

  const std::vector<std::string> resume = {
      QUORVEL_CONVERT_EXE, "-r", "-q", "--layout", "mirror", "--skip-existing", "--report",
      dir.file("r.json"),  in,   "-o", out};
  test::ChildResult r = test::runChild(resume, dir.path().string());
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  const json report = json::parse(test::readFile(dir.file("r.json")));
  EXPECT_EQ(report["skipped"], 2);  // Sales, Single
  EXPECT_EQ(report["converted"], 3);
  const std::vector<std::string> whole = {
      QUORVEL_CONVERT_EXE, "-r", "-q", "--layout", "mirror", in, "-o", dir.file("whole")};
  ASSERT_EQ(test::runChild(whole, dir.path().string()).exitStatus, 0);
  EXPECT_EQ(tree(out), tree(dir.file("whole")));
}

INSTANTIATE_TEST_SUITE_P(KillAndTerm, KilledMirrorRun, ::testing::Values(SIGKILL, SIGTERM));

TEST(Shard, FnvOneA64AsPublished) {
  EXPECT_EQ(cli::fnv1a64(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(cli::fnv1a64("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(cli::fnv1a64("foobar"), 0x85944171f73967e8ull);
}

TEST_F(Pipeline, ShardsAreDisjointAndTogetherTheWholeRun) {
  for (int i = 0; i < 12; ++i) {
    const std::string folder = in + "/s" + std::to_string(i % 4);
    fs::create_directories(folder);
    test::writeWorkbook(folder + "/Book" + std::to_string(i) + ".xlsx", {{"S", {{double(i)}}}});
  }
  ASSERT_EQ(run("-r -q --layout mirror " + q(in) + " -o " + q(dir.file("whole"))).status, 0);
  const Tree whole = tree(dir.file("whole"));
  for (int n : {1, 3, 7}) {
    SCOPED_TRACE(n);
    const std::string sharded = dir.file("n" + std::to_string(n));
    std::set<std::string> seen;
    for (int k = 0; k < n; ++k) {
      const std::string report = dir.file("shard.json");
      const std::string shard = std::to_string(k) + "/" + std::to_string(n);
      ASSERT_EQ(run("-r -q --layout mirror --shard " + shard + " --report " + q(report) + " " +
                    q(in) + " -o " + q(sharded))
                    .status,
                0);
      const json parsed = json::parse(test::readFile(report));
      for (const json& book : parsed["workbooks"]) {
        const std::string rel = fs::relative(book["input"].get<std::string>(), in).string();
        EXPECT_TRUE(seen.insert(rel).second) << rel << " in two shards";
        EXPECT_EQ(cli::fnv1a64(rel) % n, static_cast<std::uint64_t>(k)) << rel;
      }
    }
    EXPECT_EQ(seen.size(), 15u);
    EXPECT_EQ(tree(sharded), whole);
  }
  for (const char* bad : {"3/3", "1", "-1/2", "a/b", "1/0"})
    EXPECT_EQ(run("--shard " + std::string(bad) + " " + q(in) + " -o " + q(out)).status, 2) << bad;
}

TEST_F(Pipeline, AWorksheetWhosePaddingPassesTheLimitIsRefusedNamingItsRange) {
  // A1 and a blank J1000: 1,000 lines of 9 tabs and CR LF, 11,000 bytes.
  test::XlsxBuilder()
      .worksheet(
          "Wide",
          "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1000\"><c r=\"J1000\"/></row>")
      .write(in + "/Wide.xlsx");
  Ran r = run(q(in + "/Wide.xlsx") + " --max-sheet-size 10K -o " + q(out));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'Wide.xlsx' is too large to read: its worksheet 'Wide' spans A1:J1000, "
                       "whose separators and line ends alone would take 10.7 KiB, past the limit "
                       "of 10 KiB"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::is_empty(out));
  ASSERT_EQ(run(q(in + "/Wide.xlsx") + " --max-sheet-size 11k -q -o " + q(out)).status, 0);
  EXPECT_EQ(fs::file_size(out + "/Wide/Wide_Wide.txt"), 11001u);
  for (const char* bad : {"0", "1x", "10KB", "K", "99999999999999999999"})
    EXPECT_EQ(run(q(in) + " --max-sheet-size " + bad + " -o " + q(out)).status, 2) << bad;
  // A blank cell at XFD1048576 is 16 GiB of padding: refused by default,
  // with a file size limit in case it is not.
  test::XlsxBuilder()
      .worksheet("Far",
                 "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                 "<row r=\"1048576\"><c r=\"XFD1048576\"/></row>")
      .write(dir.file("Bomb.xlsx"));
  test::ChildResult bomb =
      test::runChild({QUORVEL_CONVERT_EXE, "-q", dir.file("Bomb.xlsx"), "-o", dir.file("bomb")},
                     dir.path().string(), 64L << 20);
  EXPECT_EQ(bomb.exitStatus, 1);
  EXPECT_NE(bomb.err.find("its worksheet 'Far' spans A1:XFD1048576, whose separators and line "
                          "ends alone would take 16 GiB, past the limit of 1 GiB"),
            std::string::npos)
      << bomb.err;
  EXPECT_TRUE(fs::is_empty(dir.file("bomb")));
}

}  // namespace
}  // namespace quorvel

#endif
