// A conversion run from the window: on a thread of its own, with the bar
// following the rows read, the run's input waiting for its end, Cancel
// (also by Esc, Exit and closing), and passwords asked for on the way.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "dialogs/password_dialog.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/generated_workbooks.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<GeneratedCell>>;

// Our own component with a gate: once armed, a worksheet's writing stops
// at its first progress report past its first row, reports it, and waits
// there until opened.
class Gate {
 public:
  void arm() { armed_ = true; }
  bool waitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(120), [this] { return held_; });
  }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  // On the run's thread.
  void pass(std::uint64_t rowsRead) {
    if (!armed_ || rowsRead == 0) return;
    armed_ = false;
    std::unique_lock lock(mutex_);
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }

  spreadsheet::ApplicationFactory factory();

 private:
  std::atomic<bool> armed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false, open_ = false;
};

class GatedWorkbook : public spreadsheet::Workbook {
 public:
  GatedWorkbook(spreadsheet::Workbook& inner, Gate& gate) : inner_(inner), gate_(gate) {}
  int worksheetCount() override { return inner_.worksheetCount(); }
  std::string worksheetName(int index) override { return inner_.worksheetName(index); }
  void selectSheet(int index) override { inner_.selectSheet(index); }
  spreadsheet::SheetStats saveAs(const std::string& path, int fileFormat, std::stop_token stop,
                                 const spreadsheet::TextOptions& text) override {
    return inner_.saveAs(path, fileFormat, std::move(stop), text);
  }
  void close() override { inner_.close(); }
  void setProgress(spreadsheet::SheetProgress progress) override {
    inner_.setProgress([this, progress](std::uint64_t rowsRead, std::uint64_t rows) {
      progress(rowsRead, rows);
      gate_.pass(rowsRead);
    });
  }

 private:
  spreadsheet::Workbook& inner_;
  Gate& gate_;
};

class GatedApplication : public spreadsheet::Application {
 public:
  explicit GatedApplication(Gate& gate) : gate_(gate) {}
  spreadsheet::Workbook& open(const std::string& path) override {
    book_ = std::make_unique<GatedWorkbook>(inner_->open(path), gate_);
    return *book_;
  }
  void setDisplayAlerts(bool on) override { inner_->setDisplayAlerts(on); }
  void quit() override { inner_->quit(); }

 private:
  Gate& gate_;
  std::unique_ptr<spreadsheet::Application> inner_ = spreadsheet::createApplication();
  std::unique_ptr<GatedWorkbook> book_;
};

spreadsheet::ApplicationFactory Gate::factory() {
  return [this] { return std::make_unique<GatedApplication>(*this); };
}

class RunTest : public WindowTest {
 protected:
  std::string books, out;
  Gate gate;

  void SetUp() override {
    books = folder("Books");
    out = data.file("out");
    test::writeFile(appFile("EXCEL.txt"), books + "\r\n");
  }
  std::string book(const std::string& name) const { return books + "/" + name; }
  // Starts the window on our own component behind the gate.
  void startGated() {
    form = std::make_unique<MainWindow>(app.path().string(), host, gate.factory());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  static Rows Numbered(int n) {
    Rows rows;
    for (int i = 1; i <= n; ++i) rows.push_back({double(i), std::string("row")});
    return rows;
  }
  static std::string NumberedText(int n) {
    std::string text;
    for (int i = 1; i <= n; ++i) text += std::to_string(i) + "\trow\r\n";
    return text;
  }
  static Strings Files(const std::string& folder) {
    Strings names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  PasswordDialog* openPasswordDialog() const {
    for (PasswordDialog* dialog : form->findChildren<PasswordDialog*>())
      if (dialog->isVisible()) return dialog;
    return nullptr;
  }
};

TEST_F(RunTest, TheBarFollowsTheRowsOfALongWorksheetAndTheEndIsAnnounced) {
  writeWorkbook(book("Long.xlsx"), {{"Data", Numbered(40000)}});
  realSpreadsheet = true;
  start();
  click(jobList(), 1);
  typeOutput(out);
  std::vector<int> values;
  Strings statuses;
  QObject::connect(progressBar(), &QProgressBar::valueChanged, [&](int value) {
    values.push_back(value);
    statuses.push_back(statusLabel()->text().toStdString());
  });
  convertAndWait();

  // Inside the one worksheet the bar went up step by step, never back.
  ASSERT_GE(values.size(), 4u);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end() - 1));
  EXPECT_GT(values[0], 0);
  EXPECT_LT(values[values.size() - 3], 1000);
  EXPECT_EQ(*std::max_element(values.begin(), values.end()), 1000);
  EXPECT_EQ(values.back(), 0);
  EXPECT_EQ(statuses.front(), "Convert Long: Data");
  EXPECT_EQ(statusLabel()->text(), "Converted 1 of 1 workbooks, 0 failed");
  EXPECT_EQ(test::readFile(out + "/Long/Data.txt"), NumberedText(40000));
}

TEST_F(RunTest, CancelStopsTheRunMidWayAndLeavesNoPartialFile) {
  writeWorkbook(book("Big.xlsx"), {{"First", Numbered(40000)}, {"Second", Numbered(40000)}});
  writeWorkbook(book("Small.xlsx"), {{"Only", Numbered(3)}});
  startGated();
  click(jobList(), 1);
  ASSERT_EQ(texts(workbookList()), (Strings{"Big.xlsx", "Small.xlsx"}));
  typeOutput(out);

  gate.arm();
  QTest::mouseClick(convertButton(), Qt::LeftButton);
  ASSERT_TRUE(gate.waitUntilHeld());
  // In the middle of the first worksheet: the window shows where.
  QTRY_VERIFY_WITH_TIMEOUT(progressBar()->value() > 0, 10000);
  QTRY_COMPARE_WITH_TIMEOUT(statusLabel()->text(), QString("Convert Big: First"), 10000);
  EXPECT_EQ(convertButton()->text(), "&Cancel");
  convertAndWait([&] {
    QTest::mouseClick(convertButton(), Qt::LeftButton);  // Cancel
    gate.open();
  });

  // Broken off in the middle of the worksheet: its file is not written,
  // not even in part or under a temporary name, nothing after it was
  // begun, and the folders left empty are gone.
  EXPECT_EQ(Files(out), Strings{});
  EXPECT_EQ(statusLabel()->text(),
            "Stopped: converted 0 of 2 workbooks, 0 failed, 2 not converted");
  EXPECT_EQ(progressBar()->value(), 0);
  // A stopped run opens nothing and lists no failures.
  EXPECT_TRUE(host.opens.empty());
  EXPECT_TRUE(host.dialogs.empty());
  EXPECT_EQ(convertButton()->text(), "&Convert");
}

class HeldRunTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    workbook("A.xls", "Books");
    workbook("B.xls", "Books");
    test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
    start();
    click(jobList(), 1);
    typeOutput(out);
    script->holdAt(FakeScript::Step::SaveAs);
    QTest::mouseClick(convertButton(), Qt::LeftButton);
    ASSERT_TRUE(script->waitUntilHeld());
  }
};

TEST_F(HeldRunTest, WhileARunLastsItsInputWaitsAndConvertIsCancel) {
  for (QWidget* input : std::initializer_list<QWidget*>{
           addWorkbookButton(), addFolderButton(), removeJobButton(), moveUpButton(),
           moveDownButton(), jobList(), namingBox(), workbookList(), worksheetList(),
           outputDirectoryBox(), browseButton()})
    EXPECT_FALSE(input->isEnabled()) << qPrintable(input->objectName());
  for (QAction* input :
       {addWorkbookAction(), addFolderAction(), removeJobAction(), removeAllAction(),
        removeOutputDirectoryAction(), removeAllOutputDirectoriesAction()})
    EXPECT_FALSE(input->isEnabled()) << qPrintable(input->objectName());
  for (QWidget* free : std::initializer_list<QWidget*>{
           convertButton(), helpButton(), homePageButton(), exitButton(), viewButton()})
    EXPECT_TRUE(free->isEnabled()) << qPrintable(free->objectName());
  EXPECT_EQ(convertButton()->text(), "&Cancel");
  EXPECT_EQ(convertAction()->text(), "&Cancel");
  EXPECT_EQ(convertAction()->shortcut(), QKeySequence(Qt::Key_Escape));
  EXPECT_EQ(host.pointer(), kPointerBusy);

  // Esc cancels: the worksheet in hand is finished, the next workbook not begun.
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  convertAndWait([&] {
    QTest::keyClick(form.get(), Qt::Key_Escape);
    script->release();
  });
  EXPECT_EQ(statusLabel()->text(),
            "Stopped: converted 1 of 2 workbooks, 0 failed, 1 not converted");
  EXPECT_EQ(test::readFile(out + "/A/Sheet1.txt"), "A.xls:Sheet1\r\n");
  EXPECT_FALSE(std::filesystem::exists(out + "/B"));
  EXPECT_TRUE(jobList()->isEnabled());
  EXPECT_TRUE(addWorkbookAction()->isEnabled());
  EXPECT_EQ(convertButton()->text(), "&Convert");
  EXPECT_EQ(convertAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

TEST_F(HeldRunTest, ExitAsksWhetherToStopAndClosesOnceTheRunHasStopped) {
  host.confirmAnswers = {false};
  QTest::mouseClick(exitButton(), Qt::LeftButton);
  EXPECT_EQ(host.questions, Strings{"A conversion is running. Stop it and close Quorvel?"});
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->converting());

  host.confirmAnswers = {true};
  form->close();  // the title bar's close asks the same
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_TRUE(form->isVisible());  // until the run has stopped
  script->release();
  QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), kRunTimeoutMs);
  EXPECT_FALSE(form->converting());
  // Closing: nothing opened or shown; the lists saved as at any exit.
  EXPECT_TRUE(host.opens.empty());
  EXPECT_TRUE(host.dialogs.empty());
  EXPECT_EQ(test::readFile(appFile("EXCEL.txt")), books + "\r\n");
  EXPECT_EQ(test::readFile(appFile("output.txt")), out + "\r\n");
  EXPECT_FALSE(std::filesystem::exists(out + "/B"));
}

class PasswordTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    test::writeEncryptedWorkbook(book("E.xlsx"), {{"Data", {{std::string("locked")}}}}, u"secret");
    test::writeEncryptedWorkbook(book("F.xlsx"), {{"Data", {{std::string("also")}}}}, u"other");
    test::writeFile(appFile("set.txt"), "1\r\n1\r\n");
    realSpreadsheet = true;
    start();
  }
  // Lists the job without a password: the question is skipped.
  void listSkipping() {
    host.onModal = [](QDialog& dialog) { dialog.reject(); };
    click(jobList(), 1);
    host.onModal = nullptr;
    host.messages.clear();
    host.dialogs.clear();
    typeOutput(out);
  }
};

TEST_F(PasswordTest, ListingAsksUntilAPasswordOpensTheWorkbookAndNothingKeepsIt) {
  Strings questions;
  std::deque<QString> answers = {"wrong", "secret"};
  host.onModal = [&](QDialog& dialog) {
    questions.push_back(named<QLabel>(dialog, "passwordQuestion")->text().toStdString());
    auto* edit = named<QLineEdit>(dialog, "passwordEdit");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    QTest::keyClicks(edit, answers.front());
    answers.pop_front();
    QTest::mouseClick(named<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  };
  click(jobList(), 1);
  EXPECT_EQ(questions,
            (Strings{"'E.xlsx' is password-protected. Type its password to open it.",
                     "That password does not open 'E.xlsx'. Type its password to open it."}));
  EXPECT_EQ(texts(worksheetList()), Strings{"Data"});
  EXPECT_TRUE(host.messages.empty());

  // The session's password opens it again without a question; at exit no
  // file of the program holds it.
  host.onModal = nullptr;
  click(workbookList(), 1);
  EXPECT_EQ(questions.size(), 2u);
  form->close();
  for (const auto& entry : std::filesystem::directory_iterator(app.path()))
    EXPECT_EQ(test::readFile(entry.path().string()).find("secret"), std::string::npos)
        << entry.path();
}

TEST_F(PasswordTest, ARunAsksInADialogThatLeavesCancelWithinReach) {
  listSkipping();
  Strings asked;
  host.onModeless = [&](QDialog& dialog) {
    auto& question = static_cast<PasswordDialog&>(dialog);
    asked.push_back(named<QLabel>(dialog, "passwordQuestion")->text().toStdString());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(convertButton()->isEnabled());
    QTest::keyClicks(question.passwordEdit(), asked.size() == 1 ? "secret" : "other");
    QTest::mouseClick(named<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  };
  convertAndWait();
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(test::readFile(out + "/E/Data.txt"), "locked\r\n");
  EXPECT_EQ(test::readFile(out + "/F/Data.txt"), "also\r\n");
  EXPECT_EQ(statusLabel()->text(), "Converted 2 of 2 workbooks, 0 failed");
}

TEST_F(PasswordTest, SkippingLeavesTheWorkbookFailedAndCancelEndsAnOpenQuestion) {
  listSkipping();
  // E's question stays open until Cancel.
  int asked = 0;
  host.onModeless = [&](QDialog&) { ++asked; };
  QTest::mouseClick(convertButton(), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(openPasswordDialog() != nullptr, kRunTimeoutMs);
  EXPECT_EQ(asked, 1);
  convertAndWait([&] { QTest::mouseClick(convertButton(), Qt::LeftButton); });
  QTRY_VERIFY_WITH_TIMEOUT(openPasswordDialog() == nullptr, 10000);
  // E, whose question the stop closed, failed for want of a password; F
  // was not begun.
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(statusLabel()->text(),
            "Stopped: converted 0 of 2 workbooks, 1 failed, 1 not converted");

  // Skipped in a run that goes on: failed with its messages, listed at the end.
  std::string listed;
  host.onModal = [&](QDialog& dialog) {
    listed = named<QPlainTextEdit>(dialog, "failureText")->toPlainText().toStdString();
  };
  host.onModeless = [&](QDialog& dialog) {
    QTest::mouseClick(named<QPushButton>(dialog, "SkipButton"), Qt::LeftButton);
  };
  convertAndWait();
  EXPECT_NE(listed.find("E.xlsx\n    'E.xlsx' is password-protected\n    Convert E file failed!"),
            std::string::npos)
      << listed;
  EXPECT_EQ(statusLabel()->text(), "Converted 0 of 2 workbooks, 2 failed");
}

}  // namespace
}  // namespace quorvel::test
