// The engine's API on its own, without a window: what it returns, what it
// reports while it works, and where it stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

#include "engine/conversion_run.h"
#include "engine/output_directory.h"
#include "engine/work_queue.h"
#include "engine/workbook_inspection.h"
#include "tests/support/fake_application.h"
#include "tests/support/generated_workbooks.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using Step = test::FakeScript::Step;
using Strings = std::vector<std::string>;

struct Api : ::testing::Test {
  test::TempDir dir;
  std::shared_ptr<test::FakeScript> script = std::make_shared<test::FakeScript>();

  // An (empty) workbook file; the script decides its worksheets.
  std::string book(const std::string& name, const Strings& sheets) {
    script->sheetsByFile[name] = sheets;
    test::writeFile(dir.file(name), "");
    return dir.file(name);
  }
  std::string folder(const std::string& name) {
    fs::create_directories(dir.path() / name);
    return dir.file(name);
  }
  static Strings files(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return {names.begin(), names.end()};
  }
};

TEST_F(Api, ListsWorksheetsOrSaysWhyNot) {
  WorksheetList list = listWorksheets(book("A.xls", {"Jan", "Feb"}), script->factory());
  EXPECT_EQ(list.outcome, Outcome::Done);
  EXPECT_EQ(list.names, (Strings{"Jan", "Feb"}));
  EXPECT_FALSE(list.failure);

  EXPECT_EQ(listWorksheets(dir.file("gone.xls"), script->factory()).outcome, Outcome::NoWorkbook);
  EXPECT_EQ(script->count("create"), 1);  // nothing is opened for a missing file

  script->failStep = Step::Name;
  script->failOnCall = 2;
  list = listWorksheets(dir.file("A.xls"), script->factory());
  EXPECT_EQ(list.outcome, Outcome::Failed);
  EXPECT_EQ(list.names, Strings{"Jan"});  // what was read before the failure
  ASSERT_TRUE(list.failure);
  EXPECT_EQ(list.failure->number, script->failNumber);
  EXPECT_EQ(list.failure->description, script->failText);
  EXPECT_EQ(script->count("close"), 2);
  EXPECT_EQ(script->count("quit"), 2);
}

TEST_F(Api, ChoicesPickWorksheetsAndTheirNames) {
  const std::string path = book("Sales.xls", {"Jan", "Feb", "Mar", "Apr"});
  WorkbookJob job{path, "Sales.xls", {}};
  job.choices.sheets = {{true, "January"}, {false, std::nullopt}, {true, std::nullopt}};
  OutputFileNames names;
  ConversionContext context;
  context.application = script->factory();
  WorkbookConversion done =
      convertWorkbook(job, folder("out"), NamingOption::WorkbookAndSheetName, names, context);
  ASSERT_EQ(done.outcome, Outcome::Done);
  EXPECT_EQ(files(dir.file("out")),
            (Strings{"Sales_Apr.txt", "Sales_January.txt", "Sales_Mar.txt"}));
  ASSERT_EQ(done.sheets.size(), 3u);
  EXPECT_EQ(done.sheets[0].index, 1);
  EXPECT_EQ(done.sheets[0].name, "January");
  EXPECT_EQ(done.sheets[0].outputFile, dir.file("out/Sales_January.txt"));
  EXPECT_EQ(test::readFile(done.sheets[0].outputFile), "Sales.xls:Jan\r\n");
  EXPECT_EQ(done.sheets[2].index, 4);  // past the choices: written under its own name
  EXPECT_EQ(done.sheets[2].columns, 4u);
  EXPECT_EQ(script->count("name 1") + script->count("name 2"), 0);  // a label needs no name
}

TEST(SheetSelection, ByNameOrPositionInWorkbookOrderEachOnce) {
  const Strings names = {"Jan", "Feb", "mar", "MAR"};
  EXPECT_EQ(SelectSheets(names, {}).positions, (std::vector<int>{1, 2, 3, 4}));
  SelectedSheets chosen = SelectSheets(names, {{"Feb", "Jan"}, {2, 4}});
  EXPECT_EQ(chosen.positions, (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(chosen.missing, "");
  // An exact name first; letter case is ignored only when none has it.
  EXPECT_EQ(SelectSheets(names, {{"MAR"}, {}}).positions, std::vector<int>{4});
  EXPECT_EQ(SelectSheets(names, {{"Mar"}, {}}).positions, std::vector<int>{3});
  EXPECT_EQ(SelectSheets(names, {{"jan"}, {}}).positions, std::vector<int>{1});
  EXPECT_EQ(SelectSheets(names, {{"Jan", "Dec"}, {}}).missing, "none is named 'Dec'");
  EXPECT_EQ(SelectSheets(names, {{}, {5}}).missing, "it has 4 worksheets, not 5");
  EXPECT_EQ(SelectSheets(names, {{}, {0}}).missing, "it has 4 worksheets, not 0");
}

TEST_F(Api, ASelectionWritesOnlyItsWorksheetsAndAMissingOneFailsBeforeAnyIsWritten) {
  const std::string path = book("Sales.xls", {"Jan", "Feb", "Mar"});
  WorkbookJob job{path, "Sales.xls", {}};
  job.choices.only.names = {"Mar"};
  job.choices.only.positions = {1};
  OutputFileNames names;
  ConversionContext context;
  context.application = script->factory();
  context.text.separator = ',';
  WorkbookConversion done =
      convertWorkbook(job, folder("out"), NamingOption::Number, names, context);
  ASSERT_EQ(done.outcome, Outcome::Done);
  EXPECT_EQ(files(dir.file("out")), (Strings{"1.csv", "2.csv"}));
  ASSERT_EQ(done.sheets.size(), 2u);
  EXPECT_EQ(done.sheets[1].index, 3);
  EXPECT_EQ(test::readFile(dir.file("out/2.csv")), "Sales.xls:Mar\r\n");

  job.choices.only.names = {"Jan", "Dec"};
  job.choices.only.positions = {};
  done = convertWorkbook(job, folder("none"), NamingOption::SheetName, names, context);
  EXPECT_EQ(done.outcome, Outcome::Failed);
  ASSERT_TRUE(done.failure);
  EXPECT_EQ(done.failure->description, "'Sales.xls' has no such worksheet: none is named 'Dec'");
  EXPECT_TRUE(files(dir.file("none")).empty());
  EXPECT_EQ(script->count("close"), 2);  // the failed workbook is closed too
}

TEST_F(Api, ReportsProgressPerWorksheetAndNumbersRestartOnlyAfterSuccess) {
  const std::string path = book("Sales.xls", {"Jan", "Feb", "Mar"});
  WorkbookJob job{path, "Sales.xls", {}};
  job.choices.sheets = {{true, std::nullopt}, {false, std::nullopt}};
  std::vector<ConversionProgress> seen;
  ConversionContext context;
  context.application = script->factory();
  context.progress = [&](const ConversionProgress& p) { seen.push_back(p); };
  OutputFileNames names;
  ASSERT_EQ(convertWorkbook(job, folder("a"), NamingOption::Number, names, context).outcome,
            Outcome::Done);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].worksheet, 0);
  EXPECT_EQ(seen[0].worksheets, 3);
  EXPECT_EQ(seen[0].total, 3 * kWorkPerWorksheet);
  EXPECT_EQ(seen[1].worksheetName, "Jan");
  EXPECT_EQ(seen[2].worksheetName, "");  // skipped, still counted
  EXPECT_EQ(seen[3].done, 3 * kWorkPerWorksheet);
  EXPECT_EQ(seen[3].workbook, path);
  EXPECT_EQ(names.sheetCounter, 0);
  EXPECT_EQ(files(dir.file("a")), (Strings{"1.txt", "2.txt"}));

  script->failStep = Step::SaveAs;
  script->failOnCall = 2;
  WorkbookConversion failed =
      convertWorkbook({path, "Sales.xls", {}}, folder("b"), NamingOption::Number, names, context);
  EXPECT_EQ(failed.outcome, Outcome::Failed);
  EXPECT_EQ(failed.sheets.size(), 1u);  // written before the failure, and kept
  EXPECT_EQ(files(dir.file("b")), Strings{"1.txt"});
  EXPECT_EQ(names.sheetCounter, 2);  // the next workbook numbers on from here
}

TEST_F(Api, OurComponentReportsProgressWhileALongWorksheetIsRead) {
  // 20,000 rows: several reports inside the first worksheet; the one-row
  // second has one, at its start, which names it.
  std::vector<std::vector<test::GeneratedCell>> rows(20000, {1.0});
  const std::string path = dir.file("Long.xlsx");
  test::writeWorkbook(path, {{"Long", rows}, {"Short", {{2.0}}}});
  std::vector<ConversionProgress> seen;
  ConversionContext context;
  context.progress = [&](const ConversionProgress& p) { seen.push_back(p); };
  OutputFileNames names;
  ASSERT_EQ(convertWorkbook({path, "Long.xlsx", {}}, folder("out"), NamingOption::SheetName, names,
                            context)
                .outcome,
            Outcome::Done);
  std::vector<std::uint64_t> inside;
  std::vector<std::string> second;
  for (const auto& p : seen) {
    if (!p.writing) continue;
    if (p.worksheet == 1) {
      EXPECT_EQ(p.worksheetName, "Long");
      inside.push_back(p.done);
    } else {
      EXPECT_EQ(p.done, kWorkPerWorksheet);
      second.push_back(p.worksheetName);
    }
  }
  EXPECT_EQ(second, Strings{"Short"});
  ASSERT_GE(inside.size(), 4u);
  EXPECT_EQ(inside.front(), 0u);
  EXPECT_TRUE(std::is_sorted(inside.begin(), inside.end()));
  EXPECT_GT(inside.back(), kWorkPerWorksheet / 2);
  EXPECT_LT(inside.back(), kWorkPerWorksheet);
  // The reports after each worksheet stand at its end.
  EXPECT_EQ(seen.back().done, 2 * kWorkPerWorksheet);
  EXPECT_EQ(seen.back().total, 2 * kWorkPerWorksheet);
  EXPECT_FALSE(seen.back().writing);
}

TEST_F(Api, AStopEndsTheWorkbookAfterTheCurrentWorksheet) {
  const std::string path = book("Big.xls", {"A", "B", "C"});
  std::stop_source stop;
  ConversionContext context;
  context.application = script->factory();
  context.stop = stop.get_token();
  context.progress = [&](const ConversionProgress& p) {
    if (p.worksheet == 1) stop.request_stop();
  };
  OutputFileNames names;
  WorkbookConversion result = convertWorkbook({path, "Big.xls", {}}, folder("out"),
                                              NamingOption::SheetName, names, context);
  EXPECT_EQ(result.outcome, Outcome::Stopped);
  EXPECT_EQ(files(dir.file("out")), Strings{"A.txt"});
  EXPECT_EQ(result.sheets.size(), 1u);
  EXPECT_EQ(script->count("close"), 1);
  EXPECT_EQ(script->count("quit"), 1);
}

TEST_F(Api, ValidatesTheOutputDirectory) {
  const std::string out = dir.file("new");
  OutputDirectoryCheck check = validateOutputDirectory(out + "//", /*typed=*/true);
  EXPECT_TRUE(check.accepted());
  EXPECT_EQ(check.directory, out + "/");
  EXPECT_TRUE(fs::is_directory(out));

  EXPECT_EQ(validateOutputDirectory("", true).problem, DirectoryProblem::NoneGiven);
  EXPECT_EQ(validateOutputDirectory(dir.file("gone"), false).problem,
            DirectoryProblem::DoesNotExist);
  EXPECT_FALSE(fs::exists(dir.file("gone")));
  check = validateOutputDirectory(dir.file("no/such"), true);
  EXPECT_EQ(check.problem, DirectoryProblem::CannotCreate);
  EXPECT_FALSE(check.reason.empty());
  EXPECT_STREQ(describe(DirectoryProblem::CannotCreate), "Failed to create folder!");
}

struct ApiRun : Api {
  RunSettings settings;
  std::string out;
  void SetUp() override {
    out = folder("out");
    settings.outputDirectory = out + "/";
    settings.application = script->factory();
  }
};

TEST_F(ApiRun, GivesEachWorkbookAFolderAndReportsEveryJobInOrder) {
  fs::create_directory(out + "/Book1");
  std::vector<WorkbookJob> jobs = {{book("Book1.xls", {"S"}), "Book1.xls", {}},
                                   {book("My Book.xlsx", {"T"}), "My Book.xlsx", {}},
                                   {dir.file("gone.xls"), "gone.xls", {}}};
  Strings events;
  RunEvents on;
  on.starting = [&](std::size_t i, const std::string& folderName) {
    events.push_back("start " + std::to_string(i) + " " + folderName);
  };
  on.progress = [&](const ConversionProgress& p) {
    events.push_back("progress " + std::to_string(p.job) + "/" + std::to_string(p.jobs));
  };
  on.finished = [&](const JobResult& r) { events.push_back("end " + std::to_string(r.job)); };
  std::vector<JobResult> results = runConversion(jobs, settings, on);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].outputFolder, out + "/Book11");
  EXPECT_EQ(results[1].folderName, "MyBook");
  EXPECT_EQ(test::readFile(out + "/MyBook/T.txt"), "My Book.xlsx:T\r\n");
  EXPECT_EQ(results[2].conversion.outcome, Outcome::NoWorkbook);
  // Made before the workbook was missed, and removed at the end as empty.
  EXPECT_EQ(results[2].outputFolder, "");
  EXPECT_FALSE(fs::exists(out + "/gone"));
  EXPECT_EQ(events,
            (Strings{"start 0 Book1", "progress 0/3", "progress 0/3", "end 0", "start 1 MyBook",
                     "progress 1/3", "progress 1/3", "end 1", "start 2 gone", "end 2"}));
}

TEST_F(ApiRun, AFolderThatCannotBeMadeFailsItsWorkbookWithTheReason) {
  test::writeFile(out + "/x", "");
  settings.outputDirectory = out + "/x/";  // a file, not a folder
  auto results = runConversion({{book("A.xls", {"S"}), "A.xls", {}}}, settings);
  const WorkbookConversion& c = results[0].conversion;
  EXPECT_EQ(c.outcome, Outcome::FolderNotCreated);
  ASSERT_TRUE(c.failure);
  EXPECT_GT(c.failure->number, 0);
  EXPECT_EQ(c.failure->description.find("Failed to create folder '" + out + "/x/A': "), 0u);
  EXPECT_EQ(script->count("create"), 0);
}

TEST_F(ApiRun, AStopStartsNoFurtherWorkbook) {
  std::vector<WorkbookJob> jobs = {{book("A.xls", {"S"}), "A.xls", {}},
                                   {book("B.xls", {"S"}), "B.xls", {}}};
  std::stop_source stop;
  RunEvents on;
  on.finished = [&](const JobResult&) { stop.request_stop(); };
  auto results = runConversion(jobs, settings, on, stop.get_token());
  EXPECT_EQ(results[0].conversion.outcome, Outcome::Done);
  EXPECT_EQ(results[1].conversion.outcome, Outcome::NotStarted);
  EXPECT_EQ(results[1].outputFolder, "");
  EXPECT_EQ(files(out), Strings{"A"});
}

TEST_F(ApiRun, SharedNamesNumberOnAfterAFailureOwnNamesDoNot) {
  std::vector<WorkbookJob> jobs = {{book("A.xls", {"a", "b"}), "A.xls", {}},
                                   {book("B.xls", {"c"}), "B.xls", {}}};
  settings.naming = NamingOption::Number;
  script->failStep = Step::SaveAs;
  script->failOnCall = 2;  // the second worksheet of A
  runConversion(jobs, settings);
  EXPECT_EQ(files(out + "/B"), Strings{"1.txt"});

  OutputFileNames shared;
  settings.sharedNames = &shared;
  script->failOnCall = 5;  // the second worksheet of A again: saves are counted over both runs
  runConversion(jobs, settings);
  EXPECT_EQ(files(out + "/B1"), Strings{"3.txt"});
  EXPECT_EQ(shared.sheetCounter, 0);
}

TEST_F(ApiRun, ManyThreadsWriteWhatOneWrites) {
  std::vector<WorkbookJob> jobs;
  for (int i = 0; i < 12; ++i) {
    // Equal names: the folders get suffixes, in job order.
    std::string name = std::string("W").append(std::to_string(i % 4)).append(".xls");
    jobs.push_back({book(name, {"<>", "|", "x"}), name, {}});
  }
  auto tree = [](const std::string& root) {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file())
        all[fs::relative(e.path(), root).string()] = test::readFile(e.path().string());
    return all;
  };
  settings.outputDirectory = folder("one") + "/";
  runConversion(jobs, settings);
  settings.outputDirectory = folder("four") + "/";
  settings.threads = 4;
  std::atomic<int> inside{0}, overlapped{0};
  RunEvents on;
  on.progress = [&](const ConversionProgress&) {
    if (++inside > 1) ++overlapped;
    --inside;
  };
  runConversion(jobs, settings, on);
  EXPECT_EQ(tree(dir.file("one")).size(), 36u);
  EXPECT_EQ(tree(dir.file("one")), tree(dir.file("four")));
  EXPECT_EQ(overlapped, 0);  // events come one at a time
}

TEST(WorkQueue, TakesItemsInOrderAndNoneAfterAStop) {
  for (unsigned threads : {1u, 3u}) {
    std::vector<std::size_t> taken;
    std::stop_source stop;
    WorkQueue queue(10, threads);
    queue.run([&](std::size_t i) { taken.push_back(i); }, {},
              [&](std::size_t i) {
                if (i == 4) stop.request_stop();
              },
              stop.get_token());
    ASSERT_GE(taken.size(), 5u) << threads;
    for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i);
    EXPECT_LE(taken.size(), 4u + threads) << "at most one more item per other thread";
  }
}

}  // namespace
}  // namespace quorvel
