// Inputs that once broke the converter (tests/corpus/fuzz-findings): each now
// converts to exactly the text its cells call for, or fails with one line
// naming the file, through the component and through quorvel-convert.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <map>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

namespace fs = std::filesystem;

fs::path findingsDir() {
  return fs::path(QUORVEL_SOURCE_DIR) / "tests" / "corpus" / "fuzz-findings";
}

// What each finding gives; a workbook not listed must convert.
const std::map<std::string, std::string> kFailures = {
    {"message-with-newline.xlsm", "is not a cell reference"}};

std::vector<std::string> findings() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(findingsDir()))
    if (e.path().extension() != ".md") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A plain model of a worksheet's text: the cells' fields by place (the
// later of two in one place wins), the box around every stored cell, and
// every line of the box written out in turn.
class ExpectedText {
 public:
  ExpectedText(SheetCursor& cursor, const CellFormatter& formatter) {
    Cell c;
    while (cursor.next(c)) {
      top_ = std::min(top_, c.row), bottom_ = std::max(bottom_, c.row);
      left_ = std::min(left_, c.col), right_ = std::max(right_, c.col);
      std::string shown;
      switch (c.kind) {
        case CellKind::Blank:
          continue;
        case CellKind::Number:
          formatter.appendNumber(c.style, c.number, shown);
          break;
        case CellKind::Text:
          formatter.appendText(c.style, c.text, shown);
          break;
        case CellKind::Boolean:
          formatter.appendBoolean(c.style, c.number != 0, shown);
          break;
        case CellKind::Error:
          shown = c.text;
          break;
        case CellKind::Field:  // a reader's cursor yields none
          ADD_FAILURE() << "a field cell from a worksheet cursor";
          continue;
      }
      std::string field;
      appendField(shown, field);
      fields_[{c.row, c.col}] = field;
    }
  }

  // Compares the file with the model line by line, never holding it whole.
  void expectFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::string line, got;
    for (std::uint32_t r = top_; r <= bottom_ && top_ <= bottom_; ++r) {
      line.clear();
      std::uint32_t at = left_;
      for (auto it = fields_.lower_bound({r, 0}); it != fields_.end() && it->first.first == r;
           ++it) {
        line.append(it->first.second - at, '\t');
        line += it->second;
        at = it->first.second;
      }
      line.append(right_ - at, '\t');
      line += "\r\n";
      got.resize(line.size());
      in.read(got.data(), static_cast<std::streamsize>(got.size()));
      got.resize(static_cast<std::size_t>(in.gcount()));
      ASSERT_EQ(got, line) << path << " row " << r + 1;
    }
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof()) << path << ": more than the range";
  }

 private:
  std::uint32_t top_ = UINT32_MAX, left_ = UINT32_MAX, bottom_ = 0, right_ = 0;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> fields_;
};

void expectOneLineNaming(const std::string& message, const std::string& name,
                         const std::string& what) {
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
  EXPECT_NE(message.find(name), std::string::npos) << message;
  EXPECT_NE(message.find(what), std::string::npos) << message;
}

TEST(FuzzFindings, TheComponentWritesEachSheetsTextOrFailsInOneLine) {
  for (const std::string& name : findings()) {
    SCOPED_TRACE(name);
    std::string path = (findingsDir() / name).string();
    test::TempDir dir;
    auto failure = kFailures.find(name);
    try {
      auto app = createApplication();
      Workbook& book = app->open(path);
      auto reader = openWorkbookReader(path, {});
      for (int s = 1; s <= book.worksheetCount(); ++s) {
        std::string out = dir.file(std::to_string(s) + ".txt");
        book.selectSheet(s);
        book.saveAs(out, xlCurrentPlatformText);
        auto cursor = reader->openWorksheet(static_cast<std::size_t>(s - 1));
        ExpectedText(*cursor, reader->formatter()).expectFile(out);
        fs::remove(out);
      }
      EXPECT_EQ(failure, kFailures.end()) << "converted";
    } catch (const SpreadsheetError& e) {
      ASSERT_NE(failure, kFailures.end()) << e.description();
      EXPECT_GT(e.number(), 0);
      expectOneLineNaming(e.description(), name, failure->second);
    }
  }
}

TEST(FuzzFindings, RowsOfEmptyTextsOutOfOrderGiveTheirTwoLines) {
  for (const char* name : {"empty-row-out-of-order.xls", "empty-row-out-of-order.xlsx"}) {
    test::TempDir dir;
    auto app = createApplication();
    Workbook& book = app->open((findingsDir() / name).string());
    book.saveAs(dir.file("out.txt"), xlCurrentPlatformText);
    EXPECT_EQ(test::readFile(dir.file("out.txt")), "\r\n1\r\n") << name;
  }
}

#ifdef QUORVEL_CONVERT_EXE

TEST(FuzzFindings, QuorvelConvertGivesTheSameTextOrOneFailureLine) {
  for (const std::string& name : findings()) {
    SCOPED_TRACE(name);
    test::TempDir dir;
    std::string path = (findingsDir() / name).string();
    std::string cmd = std::string(QUORVEL_CONVERT_EXE) + " -q --naming number '" + path + "' -o '" +
                      dir.file("out") + "' 2>'" + dir.file("err") + "'";
    int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal";
    std::string err = test::readFile(dir.file("err"));
    auto failure = kFailures.find(name);
    if (failure != kFailures.end()) {
      EXPECT_EQ(WEXITSTATUS(raw), 1);
      ASSERT_FALSE(err.empty());
      EXPECT_EQ(err.find('\n'), err.size() - 1) << err;  // -q: the failure's line only
      expectOneLineNaming(err.substr(0, err.size() - 1), name, failure->second);
      continue;
    }
    EXPECT_EQ(WEXITSTATUS(raw), 0) << err;
    EXPECT_EQ(err, "");
    auto reader = openWorkbookReader(path, {});
    fs::path folder = *fs::directory_iterator(dir.file("out"));
    for (std::size_t s = 0; s < reader->worksheets().size(); ++s) {
      auto cursor = reader->openWorksheet(s);
      std::string out = (folder / (std::to_string(s + 1) + ".txt")).string();
      ExpectedText(*cursor, reader->formatter()).expectFile(out);
      fs::remove(out);
    }
  }
}

#endif

}  // namespace
}  // namespace quorvel::spreadsheet
