// A conversion run as the window follows it: the progress across the run's
// workbooks, the report at its end, a stop, the history of output
// directories, and the passwords asked for while listing and converting.
#include <gtest/gtest.h>

#include "engine/window/run_progress.h"
#include "engine/window/run_report.h"
#include "tests/support/engine_setup.h"
#include "tests/support/generated_workbooks.h"

namespace quorvel {
namespace {

using Step = test::FakeScript::Step;
using Strings = std::vector<std::string>;
using test::EngineSetup;

ConversionProgress At(std::size_t job, int worksheet, const std::string& name, std::uint64_t done,
                      std::uint64_t total) {
  ConversionProgress p;
  p.job = job;
  p.worksheet = worksheet;
  p.worksheetName = name;
  p.writing = true;
  p.done = done;
  p.total = total;
  return p;
}

TEST(RunProgress, WeighsWorkbooksByTheirBytesAndNeverGoesBack) {
  RunProgress run({100, 300});
  EXPECT_EQ(run.starting(0, "A"), 0);
  EXPECT_EQ(run.status(), "Convert A");
  EXPECT_EQ(run.update(At(0, 1, "Jan", 500, 1000)), 125);  // half of a quarter
  EXPECT_EQ(run.status(), "Convert A: Jan");
  EXPECT_EQ(run.finished(0), 250);
  EXPECT_EQ(run.starting(1, "B"), 250);
  EXPECT_EQ(run.status(), "Convert B");
  EXPECT_EQ(run.update(At(1, 1, "X", 1000, 2000)), 625);
  // The same worksheet read again from its start: the bar stays.
  EXPECT_EQ(run.update(At(1, 1, "X", 0, 2000)), 625);
  EXPECT_EQ(run.update(At(1, 2, "", 2000, 2000)), 1000);
  EXPECT_EQ(run.status(), "Convert B");  // a skipped worksheet has no name
  EXPECT_EQ(run.finished(1), 1000);

  // Empty files still count; a workbook without worksheets moves nothing.
  RunProgress empty({0, 0});
  EXPECT_EQ(empty.update(At(0, 0, "", 0, 0)), 0);
  EXPECT_EQ(empty.finished(0), 500);
}

TEST(RunProgress, ARunOfManySmallStepsEndsWhole) {
  // Rows reported a few at a time add up, in floating point, to a little
  // less than the workbook's weight for about half of all sizes.
  for (std::uint64_t size = 1000; size < 1400; ++size) {
    RunProgress run({size});
    run.starting(0, "A");
    int shown = 0;
    for (std::uint64_t rows = 0; rows < 999; rows += 37)
      shown = run.update(At(0, 1, "S", rows, 999));
    EXPECT_LT(shown, 1000);
    run.update(At(0, 1, "S", 999, 999));
    EXPECT_EQ(run.finished(0), 1000) << "size " << size;
  }
}

TEST(RunReport, CountsEveryOutcomeAndKeepsEachFailuresMessagesInOrder) {
  std::vector<WorkbookJob> jobs;
  for (const char* name : {"A.xls", "B c.xls", "D.xls", "E.xls", "F.xls", "G.xls", "H.xls"})
    jobs.push_back({"/in/" + std::string(name), name, {}});
  auto result = [](std::size_t job, const char* folder, Outcome outcome,
                   std::optional<Failure> failure = std::nullopt) {
    JobResult r;
    r.job = job;
    r.folderName = folder;
    r.conversion.outcome = outcome;
    r.conversion.failure = std::move(failure);
    return r;
  };
  const std::vector<JobResult> results = {
      result(0, "A", Outcome::Done),
      result(1, "Bc", Outcome::Failed, Failure{1003, "'B c.xls' is damaged"}),
      result(2, "D", Outcome::Failed, Failure{-5, "server gone"}),
      result(3, "E", Outcome::FolderNotCreated, Failure{1006, "Failed to create folder 'E'"}),
      result(4, "F", Outcome::NoWorkbook),
      result(5, "G", Outcome::Stopped),
      result(6, "H", Outcome::NotStarted)};

  const RunReport report = ReportRun(jobs, results, true);
  EXPECT_EQ(report.converted, 1u);
  EXPECT_EQ(report.failed, 4u);
  EXPECT_EQ(report.notConverted, 2u);
  ASSERT_EQ(report.failures.size(), 4u);
  EXPECT_EQ(report.failures[0].workbook, "B c.xls");
  EXPECT_EQ(report.failures[0].messages,
            (Strings{"'B c.xls' is damaged", "Convert Bc file failed!"}));
  EXPECT_EQ(report.failures[1].messages, Strings{"Convert D file failed!"});
  EXPECT_EQ(report.failures[2].messages,
            (Strings{"Failed to create folder 'E'", "Convert E file failed!"}));
  EXPECT_EQ(report.failures[3].messages, Strings{"Convert F file failed!"});
  EXPECT_EQ(report.summary(), "Stopped: converted 1 of 7 workbooks, 4 failed, 2 not converted");
  EXPECT_EQ(report.text().substr(0, report.summary().size() + 2), report.summary() + "\n\n");
  EXPECT_NE(report.text().find("B c.xls\n    'B c.xls' is damaged\n    Convert Bc file failed!\n"),
            std::string::npos)
      << report.text();

  const RunReport whole = ReportRun(jobs, {results[0], results[1]}, false);
  EXPECT_EQ(whole.summary(), "Converted 1 of 7 workbooks, 1 failed");
}

// Stops the run when the status names `at`.
struct StoppingObserver : RunObserver {
  std::stop_source stop;
  std::string at;
  Strings statuses;
  std::vector<int> permilles;
  void status(const std::string& text) override {
    statuses.push_back(text);
    if (text == at) stop.request_stop();
  }
  void progress(int permille) override { permilles.push_back(permille); }
  std::optional<std::string> password(const std::string&, bool) override { return std::nullopt; }
};

TEST(RunSteps, AStopLeavesTheRestUnconvertedAndOpensNothing) {
  EngineSetup s;
  const std::string out = s.typeOutput();
  s.jobFolder({"A.xls", "B.xls", "C.xls"});
  const auto run = s.procedures.BeginConversion();
  ASSERT_TRUE(run);
  EXPECT_EQ(s.window.progressMaxima.back(), RunProgress::kScale);
  StoppingObserver observer;
  observer.at = "Convert B";
  const auto results = s.procedures.ConvertJobs(*run, observer, observer.stop.get_token());
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].conversion.outcome, Outcome::Done);
  EXPECT_EQ(results[1].conversion.outcome, Outcome::Stopped);  // begun, but no worksheet
  EXPECT_EQ(results[2].conversion.outcome, Outcome::NotStarted);
  EXPECT_TRUE(std::is_sorted(observer.permilles.begin(), observer.permilles.end()));
  EXPECT_EQ(observer.statuses.front(), "Convert A");

  const RunReport report = s.procedures.EndConversion(*run, results, true);
  EXPECT_EQ(s.window.statuses.back(),
            "Stopped: converted 1 of 3 workbooks, 0 failed, 2 not converted");
  EXPECT_EQ(report.notConverted, 2u);
  EXPECT_TRUE(s.window.desk.opened.empty());
  EXPECT_TRUE(s.window.desk.failureLists.empty());
  EXPECT_EQ(s.window.pointers.back(), kPointerDefault);
  EXPECT_EQ(EngineSetup::listing(out + "/A"), Strings{"Sheet1.txt"});
  EXPECT_FALSE(std::filesystem::exists(out + "/C"));
}

TEST(RunSteps, AClosingWindowEndsTheRunQuietly) {
  EngineSetup s;
  s.typeOutput();
  s.jobFolder({"A.xls"});
  s.script->failOnCall = 1;
  const auto run = s.procedures.BeginConversion();
  ASSERT_TRUE(run);
  StoppingObserver observer;
  const auto results = s.procedures.ConvertJobs(*run, observer);
  EXPECT_EQ(s.procedures.EndConversion(*run, results, false, true).failed, 1u);
  EXPECT_TRUE(s.window.desk.failureLists.empty());
  EXPECT_TRUE(s.window.desk.opened.empty());
}

TEST(RunSteps, ATypedDirectoryConvertedIntoJoinsTheHistory) {
  EngineSetup s;
  s.jobFolder({"A.xls"});
  s.window.output.insert(0, s.dir.path().string());
  const std::string typed = s.typeOutput("typed") + "/";
  s.window.output.setText(typed);
  s.procedures.RunConversion();
  // On top and selected, exactly as typed, as Browse puts a folder.
  EXPECT_EQ(s.window.output.count(), 2);
  EXPECT_EQ(s.window.output.entry(0), typed);
  EXPECT_EQ(s.window.output.selectedIndex(), 0);
  // Chosen from the history, it is not added again.
  s.procedures.RunConversion();
  EXPECT_EQ(s.window.output.count(), 2);
  // Refused, it is not remembered.
  s.window.output.setText(s.dir.file("no/such"));
  s.procedures.RunConversion();
  EXPECT_EQ(s.window.output.count(), 2);
}

struct Passwords : ::testing::Test {
  EngineSetup s;
  WindowProcedures own{s.window};  // with our own component, which decrypts
  std::string in;
  void SetUp() override { in = s.jobFolder({}); }
  // An encrypted workbook in the job folder, with one worksheet "Data".
  void encrypted(const std::string& name, const std::u16string& password) {
    test::writeEncryptedWorkbook(in + "/" + name, {{"Data", {{std::string("secret cell")}}}},
                                 password);
  }
};

TEST_F(Passwords, AScriptedServerIsAskedAgainAfterAPasswordIsGiven) {
  s.script->failStep = Step::Open;
  s.script->failOnCall = 1;
  s.script->failNumber = static_cast<int>(spreadsheet::ErrorCode::PasswordProtected);
  s.jobFolder({"A.xls"});
  s.window.desk.passwordAnswers = {"pw"};
  s.procedures.ListWorkbookSheets();
  EXPECT_EQ(s.window.desk.passwordQuestions, Strings{"A.xls"});
  EXPECT_EQ(s.window.worksheets.texts(), Strings{"Sheet1"});
  EXPECT_TRUE(s.window.desk.messages.empty());
  // The first application is let go before the second opens the workbook.
  EXPECT_EQ(s.script->calls, (Strings{"create", "open " + s.dir.file("in/A.xls"), "quit", "create",
                                      "open " + s.dir.file("in/A.xls"), "alerts off", "count",
                                      "name 1", "close", "quit"}));
  EXPECT_EQ(s.procedures.state().passwords.all(), Strings{"pw"});
}

TEST_F(Passwords, ListingAsksUntilOneOpensItAndLaterWorkbooksUseIt) {
  encrypted("A.xlsx", u"right");
  encrypted("B.xlsx", u"right");
  own.AddFolderWorkbooks(in);
  s.window.workbooks.select(1);
  s.window.desk.passwordAnswers = {"wrong", "right"};
  own.ListWorkbookSheets();
  EXPECT_EQ(s.window.desk.passwordQuestions, (Strings{"A.xlsx", "A.xlsx again"}));
  EXPECT_EQ(s.window.worksheets.texts(), Strings{"Data"});
  EXPECT_TRUE(s.window.desk.messages.empty());

  // B opens with a password of the session: nothing is asked.
  s.window.desk.passwordQuestions.clear();
  s.window.workbooks.select(2);
  own.ListWorkbookSheets();
  EXPECT_TRUE(s.window.desk.passwordQuestions.empty());
  EXPECT_EQ(s.window.worksheets.texts(), Strings{"Data"});
}

TEST_F(Passwords, SkippingLeavesTheWorkbookFailedWithItsMessages) {
  encrypted("A.xlsx", u"right");
  own.AddFolderWorkbooks(in);
  s.window.workbooks.select(1);
  own.ListWorkbookSheets();  // no answer: skipped
  EXPECT_EQ(test::messageTexts(s.window),
            (Strings{"'A.xlsx' is password-protected", "Excel file open failed!"}));

  const std::string out = s.typeOutput();
  own.RunConversion();
  ASSERT_EQ(s.window.desk.failureLists.size(), 1u);
  EXPECT_EQ(s.window.desk.failureLists[0].failures[0].messages,
            (Strings{"'A.xlsx' is password-protected", "Convert A file failed!"}));
  EXPECT_EQ(s.window.desk.passwordQuestions, (Strings{"A.xlsx", "A.xlsx"}));
}

TEST_F(Passwords, ARunAsksForEachWorkbookThatNeedsOneAndTriesItOnTheRest) {
  encrypted("A.xlsx", u"one");
  encrypted("B.xlsx", u"one");
  encrypted("C.xlsx", u"two");
  own.AddFolderWorkbooks(in);
  const std::string out = s.typeOutput();
  s.window.desk.passwordAnswers = {"one", "two"};
  own.RunConversion();
  EXPECT_EQ(s.window.desk.passwordQuestions, (Strings{"A.xlsx", "C.xlsx"}));
  EXPECT_TRUE(s.window.desk.failureLists.empty());
  for (const char* folder : {"A", "B", "C"})
    EXPECT_EQ(test::readFile(out + "/" + folder + "/Data.txt"), "secret cell\r\n") << folder;
  EXPECT_EQ(own.state().passwords.all(), (Strings{"one", "two"}));
}

}  // namespace
}  // namespace quorvel
