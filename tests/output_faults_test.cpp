// Files under faults: a text file appears under its name only when it is
// complete. A damaged worksheet, a stop in the middle of a worksheet or a
// failure to write leaves no file that looks whole and no temporary file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stop_token>

#include "engine/conversion_run.h"
#include "engine/spreadsheet/atomic_file.h"
#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/workbook_conversion.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using spreadsheet::AtomicFile;
using spreadsheet::CellKind;
using Strings = std::vector<std::string>;

// Every entry of a folder, hidden ones included, sorted.
Strings entries(const std::string& folder) {
  Strings names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void put(AtomicFile& file, const std::string& text) {
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file.stream()), text.size());
}

TEST(AtomicFile, TheFileAppearsUnderItsNameOnlyWhenCommitted) {
  test::TempDir dir;
  const std::string path = dir.file("Jan.txt");
  test::writeFile(path, "old");
  {
    AtomicFile file(path);
    put(file, "new text");
    std::fflush(file.stream());
    const Strings during = entries(dir.path());
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during[0].rfind(".Jan.txt.", 0), 0u) << during[0];  // hidden, beside it
    EXPECT_EQ(test::readFile(path), "old");
    file.commit();
  }
  EXPECT_EQ(entries(dir.path()), Strings{"Jan.txt"});
  EXPECT_EQ(test::readFile(path), "new text");
}

TEST(AtomicFile, AFileNeverCommittedLeavesNothingBehind) {
  test::TempDir dir;
  test::writeFile(dir.file("kept.txt"), "old");
  {
    AtomicFile fresh(dir.file("fresh.txt"));
    AtomicFile replacing(dir.file("kept.txt"));
    put(fresh, "partial");
    put(replacing, "partial");
  }
  EXPECT_EQ(entries(dir.path()), Strings{"kept.txt"});
  EXPECT_EQ(test::readFile(dir.file("kept.txt")), "old");
}

TEST(AtomicFile, ALongNameStillHasATemporaryNameThatFits) {
  test::TempDir dir;
  const std::string name = std::string(251, 'n') + ".txt";  // 255 bytes, the most allowed
  AtomicFile file(dir.file(name));
  EXPECT_LE(fs::path(file.temporaryPath()).filename().string().size(), 255u);
  put(file, "x");
  file.commit();
  EXPECT_EQ(entries(dir.path()), Strings{name});
}

TEST(AtomicFile, ANewFileGetsThePermissionsTheUserMaskAllows) {
  // A temporary file made private (0600) must not stay private once renamed.
  test::TempDir dir;
  const mode_t old = ::umask(022);
  {
    AtomicFile file(dir.file("a.txt"));
    file.commit();
  }
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicFile, AbandoningAllRemovesEveryFileNotCommitted) {
  // abandonAll() keeps the files' lock for good, so it runs in a child.
  test::TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) {
    AtomicFile done(dir.file("done.txt"));
    done.commit();
    AtomicFile a(dir.file("a.txt")), b(dir.file("b.txt"));
    AtomicFile::abandonAll();
    ::_exit(entries(dir.path()) == Strings{"done.txt"} ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(entries(dir.path()), Strings{"done.txt"});
}

TEST(AtomicFile, AFolderThatCannotTakeTheFileNamesTheFinalPath) {
  test::TempDir dir;
  const std::string path = dir.file("missing/out.txt");
  try {
    AtomicFile file(path);
    FAIL() << "no error";
  } catch (const spreadsheet::SpreadsheetError& e) {
    EXPECT_EQ(e.code(), spreadsheet::ErrorCode::CannotWrite);
    EXPECT_EQ(e.description(), "cannot write '" + path + "': No such file or directory");
  }
}

// A sheet cursor of `rows` rows of one number, recording the range it
// covers (or not), that breaks at row `failAt` with damage, or asks the
// writer to stop at row `stopAt`.
class ScriptedCursor : public spreadsheet::SheetCursor {
 public:
  ScriptedCursor(std::uint32_t rows, bool ranged) : rows_(rows), ranged_(ranged) {}
  std::uint32_t failAt = UINT32_MAX, stopAt = UINT32_MAX;
  std::stop_source stop;
  std::uint32_t read = 0;

  bool next(spreadsheet::Cell& cell) override {
    if (read == rows_) return false;
    if (read == failAt) spreadsheet::damaged("a broken cell");
    if (read == stopAt) stop.request_stop();
    cell = {};
    cell.row = read++;
    cell.kind = CellKind::Number;
    cell.number = 1;
    return true;
  }
  std::optional<spreadsheet::CellRange> storedRange() const override {
    if (!ranged_) return std::nullopt;
    return spreadsheet::CellRange{0, 0, rows_ - 1, 0};
  }

 private:
  std::uint32_t rows_;
  bool ranged_;
};

struct Breakoff : ::testing::TestWithParam<bool> {
  test::TempDir dir;
  spreadsheet::CellFormatter formatter;
  std::string path = dir.file("Sheet.txt");

  void write(ScriptedCursor& cursor) {
    bool first = true;
    spreadsheet::writeSheetText(
        [&]() -> std::unique_ptr<spreadsheet::SheetCursor> {
          // One cursor only: the damage or stop must end the write.
          EXPECT_TRUE(first);
          first = false;
          return std::make_unique<ReplayOf>(cursor);
        },
        formatter, path, cursor.stop.get_token());
  }

  // Hands out the scripted cursor's cells under the writer's ownership.
  struct ReplayOf : spreadsheet::SheetCursor {
    explicit ReplayOf(ScriptedCursor& c) : inner(c) {}
    bool next(spreadsheet::Cell& cell) override { return inner.next(cell); }
    std::optional<spreadsheet::CellRange> storedRange() const override {
      return inner.storedRange();
    }
    ScriptedCursor& inner;
  };
};

TEST_P(Breakoff, DamageInTheMiddleOfASheetLeavesTheOldFileAndNoOther) {
  // With a recorded range the rows go straight to the file as they come.
  test::writeFile(path, "from before");
  ScriptedCursor cursor(600000, GetParam());  // megabytes written before the damage
  cursor.failAt = 500000;
  EXPECT_THROW(write(cursor), spreadsheet::FormatError);
  EXPECT_EQ(entries(dir.path()), Strings{"Sheet.txt"});
  EXPECT_EQ(test::readFile(path), "from before");
}

TEST_P(Breakoff, AStopBreaksOffTheSheetAtOnceAndLeavesNoFile) {
  ScriptedCursor cursor(1000000, GetParam());
  cursor.stopAt = 1000;
  EXPECT_THROW(write(cursor), spreadsheet::StopRequested);
  EXPECT_LT(cursor.read, 20000u) << "the writer read on after the stop";
  EXPECT_TRUE(entries(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(RangeRecordedOrNot, Breakoff, ::testing::Bool());

// Our own component, except that saving worksheet `stopAt` first requests
// a stop: as a user pressing Stop while that worksheet is written.
class StopWhileSaving : public spreadsheet::Application {
 public:
  StopWhileSaving(std::stop_source stop, int stopAt) : stop_(stop), stopAt_(stopAt) {}
  spreadsheet::Workbook& open(const std::string& path) override {
    book_ = std::make_unique<Book>(inner_->open(path), stop_, stopAt_);
    return *book_;
  }
  void setDisplayAlerts(bool on) override { inner_->setDisplayAlerts(on); }
  void quit() override { inner_->quit(); }

 private:
  struct Book : spreadsheet::Workbook {
    Book(spreadsheet::Workbook& inner, std::stop_source stop, int stopAt)
        : inner(inner), stop(stop), stopAt(stopAt) {}
    int worksheetCount() override { return inner.worksheetCount(); }
    std::string worksheetName(int i) override { return inner.worksheetName(i); }
    void selectSheet(int i) override {
      active = i;
      inner.selectSheet(i);
    }
    spreadsheet::SheetStats saveAs(const std::string& path, int format, std::stop_token token,
                                   const spreadsheet::TextOptions& text) override {
      if (active == stopAt) stop.request_stop();
      return inner.saveAs(path, format, token, text);
    }
    void close() override { inner.close(); }
    spreadsheet::Workbook& inner;
    std::stop_source stop;
    int stopAt, active = 1;
  };
  std::unique_ptr<spreadsheet::Application> inner_ = spreadsheet::createApplication();
  std::stop_source stop_;
  int stopAt_;
  std::unique_ptr<Book> book_;
};

struct WorkbookFaults : ::testing::Test {
  test::TempDir dir;
  std::string book = dir.file("Book.xlsx");
  std::string folder = dir.file("Book");
  void SetUp() override { fs::create_directory(folder); }

  static std::string rows(int n) {
    std::string xml;
    for (int r = 1; r <= n; ++r)
      xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
             std::to_string(r) + "</v></c></row>";
    return xml;
  }
};

TEST_F(WorkbookFaults, AStopInTheMiddleOfAWorksheetKeepsOnlyTheWorksheetsDone) {
  test::XlsxBuilder()
      .worksheet("Jan", rows(2))
      .worksheet("Feb", rows(50000))
      .worksheet("Mar", rows(1))
      .write(book);
  std::stop_source stop;
  ConversionContext context;
  context.stop = stop.get_token();
  context.application = [&] { return std::make_unique<StopWhileSaving>(stop, 2); };
  OutputFileNames names(1);
  WorkbookConversion c =
      convertWorkbook({book, "Book.xlsx", {}}, folder, NamingOption::SheetName, names, context);
  EXPECT_EQ(c.outcome, Outcome::Stopped);
  EXPECT_FALSE(c.failure);
  ASSERT_EQ(c.sheets.size(), 1u);
  EXPECT_EQ(c.sheets[0].outputFile, folder + "/Jan.txt");
  EXPECT_EQ(entries(folder), Strings{"Jan.txt"});
  EXPECT_EQ(test::readFile(folder + "/Jan.txt"), "1\r\n2\r\n");
}

TEST_F(WorkbookFaults, ADamagedWorksheetAfterOthersKeepsThemAndListsThemWithTheFailure) {
  // Feb records its range, so its rows were going straight to the file when
  // the broken cell came: before, that left a truncated Feb.txt.
  const std::string feb =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<dimension ref=\"A1:A3000\"/><sheetData>" +
      rows(2999) + "<row r=\"3000\"><c r=\"A\x01\"><v>1</v></c></row>" + "</sheetData></worksheet>";
  test::XlsxBuilder()
      .worksheet("Jan", rows(2))
      .worksheetXml("Feb", feb)
      .worksheet("Mar", rows(1))
      .write(book);
  OutputFileNames names(1);
  WorkbookConversion c =
      convertWorkbook({book, "Book.xlsx", {}}, folder, NamingOption::SheetName, names);
  EXPECT_EQ(c.outcome, Outcome::Failed);
  ASSERT_TRUE(c.failure);
  EXPECT_EQ(c.failure->description,
            "'Book.xlsx' is damaged: the cell reference 'A\\x01' is not a cell reference");
  ASSERT_EQ(c.sheets.size(), 1u);
  EXPECT_EQ(c.sheets[0].name, "Jan");
  EXPECT_EQ(entries(folder), Strings{"Jan.txt"});
}

TEST_F(WorkbookFaults, ARunRemovesTheFolderOfAWorkbookThatWroteNothing) {
  test::writeFile(book, "PK\x03\x04 not really a zip");
  test::XlsxBuilder().worksheet("S", rows(1)).write(dir.file("Good.xlsx"));
  const std::string out = dir.file("out");
  fs::create_directory(out);
  RunSettings settings;
  settings.outputDirectory = out + "/";
  auto results =
      runConversion({{book, "Book.xlsx", {}}, {dir.file("Good.xlsx"), "Good.xlsx", {}}}, settings);
  EXPECT_EQ(results[0].conversion.outcome, Outcome::Failed);
  EXPECT_EQ(results[0].outputFolder, "");
  EXPECT_EQ(results[1].outputFolder, out + "/Good");
  EXPECT_EQ(entries(out), Strings{"Good"});
}

}  // namespace
}  // namespace quorvel
