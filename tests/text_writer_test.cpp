#include "engine/spreadsheet/text_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/spreadsheet/error.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

using test::VectorCursor;
using K = CellKind;

std::string write(std::vector<VectorCursor::Stored> cells, SheetStats* stats = nullptr) {
  test::TempDir dir;
  VectorCursor cursor(std::move(cells));
  CellFormatter formatter;
  SheetStats s = writeSheetText(cursor, formatter, dir.file("out.txt"));
  if (stats) *stats = s;
  return test::readFile(dir.file("out.txt"));
}

TEST(TextWriter, RangeStartsAtTheTopLeftStoredCellAndPadsEveryRow) {
  SheetStats stats;
  std::string out = write({{3, 1, K::Number, 1, ""},
                           {3, 3, K::Text, 0, "x"},
                           {5, 2, K::Boolean, 1, ""},
                           {6, 1, K::Blank, 0, ""}},
                          &stats);
  EXPECT_EQ(out, "1\t\tx\r\n\t\t\r\n\tTRUE\t\r\n\t\t\r\n");
  EXPECT_EQ(stats.rows, 4u);
  EXPECT_EQ(stats.columns, 3u);
}

TEST(TextWriter, BlankCellsWidenTheRangeAndAnEmptySheetIsZeroBytes) {
  EXPECT_EQ(write({{0, 0, K::Blank, 0, ""}, {0, 2, K::Blank, 0, ""}}), "\t\t\r\n");
  EXPECT_EQ(write({}), "");
}

TEST(TextWriter, QuotesFieldsWithQuotesTabsLineBreaksAndCommas) {
  std::string out = write({{0, 0, K::Text, 0, "a\"b"},
                           {0, 1, K::Text, 0, "1,5"},
                           {0, 2, K::Text, 0, "line\nbreak"},
                           {0, 3, K::Text, 0, "cr\r"},
                           {0, 4, K::Text, 0, "tab\there"},
                           {0, 5, K::Text, 0, "plain 'text'"}});
  EXPECT_EQ(out, "\"a\"\"b\"\t\"1,5\"\t\"line\nbreak\"\t\"cr\r\"\t\"tab\there\"\tplain 'text'\r\n");
}

TEST(TextWriter, OutOfOrderRowsAndCellsAreSortedAndTheLaterDuplicateWins) {
  std::string out = write({{2, 1, K::Text, 0, "c"},
                           {0, 1, K::Text, 0, "b"},
                           {0, 0, K::Text, 0, "a"},
                           {2, 0, K::Text, 0, "old"},
                           {2, 0, K::Error, 0, "#N/A"}});
  EXPECT_EQ(out, "a\tb\r\n\t\r\n#N/A\tc\r\n");
}

TEST(TextWriter, RowsSplitAcrossTheSpoolStayInOrderForLargeSheets) {
  // Enough rows to move the spool to a temporary file.
  std::vector<VectorCursor::Stored> cells;
  std::string text(100, 'x');
  for (std::uint32_t r = 0; r < 120000; r += 2) cells.push_back({r, 1, K::Text, 0, text});
  cells.push_back({120001, 0, K::Blank, 0, ""});
  std::string out = write(std::move(cells));
  ASSERT_EQ(out.size(), 120002u * 3 + 60000u * 100);
  EXPECT_EQ(out.substr(0, 108), "\t" + text + "\r\n\t\r\n\t" + text.substr(0, 1));
  EXPECT_EQ(out.substr(out.size() - 6), "\t\r\n\t\r\n");
}

TEST(TextWriter, BooleansShowThroughAFourthSectionAndAreQuotedWhereNeeded) {
  test::TempDir dir;
  CellFormatter formatter;
  formatter.defineFormat(164, "0;0;0;\"yes, \"@");
  formatter.setStyleFormats({0, 44, 164});
  VectorCursor cursor(
      {{0, 0, K::Boolean, 0, "", 1}, {0, 1, K::Boolean, 1, "", 2}, {0, 2, K::Boolean, 1, "", 0}});
  writeSheetText(cursor, formatter, dir.file("out.txt"));
  EXPECT_EQ(test::readFile(dir.file("out.txt")), " FALSE \t\"yes, TRUE\"\tTRUE\r\n");
}

TEST(TextWriter, FormatsThatCannotShowQuotedCharactersAreNotLookedAtAndNeedNothing) {
  // Whether the writer looks at a number's text or skips it, each field is
  // quoted exactly when its text holds a quote, tab, line end or comma.
  const std::vector<std::string> codes = {"0.0%",           "yyyy-mm-dd",
                                          "#,##0.00",       "0\",\"0",
                                          "0\\,0",          "mmmm d, yyyy",
                                          "#,##0,,",        "0;\"neg, \"0",
                                          "\"a\"\"b\"0",    "0.00E+00",
                                          "# ?/?",          "[h]:mm:ss",
                                          "0_);(0)",        "@",
                                          "General;\"x,\"", "[$-409]h:mm AM/PM",
                                          "0\"\t\"0"};
  CellFormatter formatter;
  std::vector<std::uint32_t> styles;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    formatter.defineFormat(static_cast<std::uint32_t>(164 + i), codes[i]);
    styles.push_back(static_cast<std::uint32_t>(164 + i));
  }
  formatter.setStyleFormats(styles);
  int skipped = 0, quoted = 0;
  for (std::uint32_t style = 0; style < styles.size(); ++style) {
    for (double v : {0.0, 1234567.891, -42.5, 0.25, 45000.75, 1e20, -1e-7}) {
      std::string shown;
      const bool looks = formatter.appendNumberMayNeedQuotes(style, v, shown);
      std::string expected;
      appendField(shown, expected);
      skipped += !looks;
      quoted += expected != shown;
      Cell cell;
      cell.kind = CellKind::Number;
      cell.style = style;
      cell.number = v;
      std::string field;
      ASSERT_TRUE(appendCellField(cell, formatter, CellValues::Displayed, field));
      EXPECT_EQ(field, expected) << codes[style] << " " << v;
      if (!looks) {
        EXPECT_EQ(shown.find_first_of(std::string("\"\t\r\n,")), std::string::npos);
      }
    }
  }
  EXPECT_GT(skipped, 0);
  EXPECT_GT(quoted, 0);
}

TEST(TextWriter, CellsOutsideTheWorksheetLimitsAreDamage) {
  EXPECT_THROW(write({{1048576, 0, K::Number, 1, ""}}), FormatError);
  EXPECT_THROW(write({{0, 16384, K::Number, 1, ""}}), FormatError);
}

TEST(TextWriter, AnUnwritableFileIsACannotWriteErrorNamingThePath) {
  test::TempDir dir;
  VectorCursor cursor({{0, 0, K::Number, 1, ""}});
  CellFormatter formatter;
  std::string path = dir.file("missing/out.txt");
  try {
    writeSheetText(cursor, formatter, path);
    FAIL() << "no error";
  } catch (const SpreadsheetError& e) {
    EXPECT_EQ(e.code(), ErrorCode::CannotWrite);
    EXPECT_NE(e.description().find("cannot write '" + path + "'"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

TEST(TextWriter, RowsStoredInPiecesAreMergedEvenWhenSpilledToTheTemporaryFile) {
  std::vector<VectorCursor::Stored> cells;
  std::string text(50, 'y');
  // Two passes over the same rows: the second adds column 2 and overrides
  // column 0; quoted fields hold tabs that must not split them.
  for (std::uint32_t r = 0; r < 40000; ++r) cells.push_back({r, 0, K::Text, 0, "a\tb" + text});
  for (std::uint32_t r = 0; r < 40000; ++r) {
    cells.push_back({r, 2, K::Text, 0, "c"});
    if (r % 2) cells.push_back({r, 0, K::Number, 7, ""});
  }
  std::string out = write(std::move(cells));
  std::string even = "\"a\tb" + text + "\"\t\tc\r\n";
  EXPECT_EQ(out.substr(0, even.size()), even);
  EXPECT_EQ(out.substr(even.size(), 8), "7\t\tc\r\n\"a");
  EXPECT_EQ(out.size(), 20000 * even.size() + 20000 * 6);
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

// A sheet that records a used range, right or wrong.
class RangedCursor : public VectorCursor {
 public:
  RangedCursor(std::vector<Stored> cells, CellRange range, FormattedLines lines = {})
      : VectorCursor(std::move(cells), lines), range_(range) {}
  std::optional<CellRange> storedRange() const override { return range_; }

 private:
  CellRange range_;
};

// Writes through the opening overload; `opens` counts the cursors taken.
std::string writeRanged(const std::vector<VectorCursor::Stored>& cells, CellRange range, int& opens,
                        FormattedLines lines = {}) {
  test::TempDir dir;
  CellFormatter formatter;
  opens = 0;
  writeSheetText(
      [&]() -> std::unique_ptr<SheetCursor> {
        ++opens;
        return std::make_unique<RangedCursor>(cells, range, lines);
      },
      formatter, dir.file("out.txt"));
  return test::readFile(dir.file("out.txt"));
}

TEST(TextWriter, ARecordedRangeIsUsedWhenTheCellsAgreeAndReadAgainWhenNot) {
  const std::vector<VectorCursor::Stored> cells = {{1, 1, K::Number, 1, ""},
                                                   {1, 3, K::Text, 0, "a,b"},
                                                   {3, 2, K::Boolean, 0, ""},
                                                   {4, 1, K::Blank, 0, ""}};
  const std::string expected = "1\t\t\"a,b\"\r\n\t\t\r\n\tFALSE\t\r\n\t\t\r\n";
  EXPECT_EQ(write(cells), expected);
  int opens = 0;
  EXPECT_EQ(writeRanged(cells, {1, 1, 4, 3}, opens), expected);
  EXPECT_EQ(opens, 1);
  for (CellRange wrong : {CellRange{1, 1, 3, 3}, CellRange{0, 0, 4, 3}, CellRange{1, 1, 9, 3},
                          CellRange{1, 2, 4, 3}}) {
    EXPECT_EQ(writeRanged(cells, wrong, opens), expected);
    EXPECT_EQ(opens, 2);
  }
  std::vector<VectorCursor::Stored> unordered = cells;
  std::swap(unordered[0], unordered[2]);
  EXPECT_EQ(writeRanged(unordered, {1, 1, 4, 3}, opens), expected);
  EXPECT_EQ(opens, 2);
}

// Fields formatted ahead come as runs: the fields of several cells of a row
// joined by tabs. A run writes what its cells would, with or without a
// recorded range, and a later cell in one of its places still wins.
TEST(TextWriter, RunsOfFieldsWriteWhatTheirCellsWould) {
  struct Case {
    std::vector<VectorCursor::Stored> runs, cells;
  };
  const Case cases[] = {
      {{{1, 1, K::Field, 0, "a\t\tb", 0, 3},
        {2, 2, K::Field, 0, "\"t\tu\"\tv", 0, 3},
        {3, 4, K::Blank, 0, ""}},
       {{1, 1, K::Text, 0, "a"},
        {1, 3, K::Text, 0, "b"},
        {2, 2, K::Text, 0, "t\tu"},
        {2, 3, K::Text, 0, "v"},
        {3, 4, K::Blank, 0, ""}}},
      {{{1, 1, K::Field, 0, "a\tb\tc", 0, 3},
        {1, 2, K::Text, 0, "B"},
        {0, 1, K::Field, 0, "x", 0, 1}},
       {{1, 1, K::Text, 0, "a"},
        {1, 2, K::Text, 0, "b"},
        {1, 3, K::Text, 0, "c"},
        {1, 2, K::Text, 0, "B"},
        {0, 1, K::Text, 0, "x"}}},
  };
  for (const Case& c : cases) {
    const std::string expected = write(c.cells);
    EXPECT_EQ(write(c.runs), expected);
    int opens = 0;
    EXPECT_EQ(writeRanged(c.runs, {0, 1, 3, 4}, opens), expected);
    // A run past the recorded range's last column: read again, the same text.
    EXPECT_EQ(writeRanged(c.runs, {0, 1, 3, 2}, opens), expected);
    EXPECT_EQ(opens, 2);
  }
  int opens = 0;
  EXPECT_EQ(writeRanged(cases[0].runs, {1, 1, 3, 4}, opens),
            "a\t\tb\t\r\n\t\"t\tu\"\tv\t\r\n\t\t\t\r\n");
  EXPECT_EQ(opens, 1);
}

TEST(TextWriter, CellsOutOfOrderWithinARowUnderARecordedRangeAreSortedAsWithout) {
  // Written straight to the file, a row's cells must come left to right:
  // a cell behind or on the last one written sends the sheet to the spool.
  const std::vector<VectorCursor::Stored> cases[] = {
      {{0, 2, K::Number, 3, ""}, {0, 0, K::Text, 0, "say \"hi\""}, {1, 1, K::Number, 2, ""}},
      {{0, 0, K::Number, 1, ""}, {0, 0, K::Number, 5, ""}, {1, 2, K::Boolean, 1, ""}},
      {{0, 1, K::Blank, 0, ""},
       {0, 1, K::Number, 7, ""},
       {1, 0, K::Number, 8, ""},
       {1, 2, K::Number, 9, ""}}};
  for (const auto& cells : cases) {
    int opens = 0;
    EXPECT_EQ(writeRanged(cells, {0, 0, 1, 2}, opens), write(cells));
  }
  int opens = 0;
  EXPECT_EQ(writeRanged(cases[0], {0, 0, 1, 2}, opens), "\"say \"\"hi\"\"\"\t\t3\r\n\t2\t\r\n");
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(writeRanged(cases[1], {0, 0, 1, 2}, opens), "5\t\t\r\n\t\tTRUE\r\n");
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(writeRanged(cases[2], {0, 0, 1, 2}, opens), "\t7\t\r\n8\t\t9\r\n");
  EXPECT_EQ(opens, 1);  // a blank cell writes nothing, so the value after it is in order
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

// Rows whose cells are all empty texts write nothing but their padding, and
// take no field from a row stored elsewhere, whatever order they come in.
TEST(TextWriter, RowsOfEmptyTextsKeepTheirPlaceInAnyOrder) {
  struct Case {
    std::vector<VectorCursor::Stored> cells;
    CellRange range;
    std::string expected;
  };
  const Case cases[] = {
      // The row after, then a row of one empty text.
      {{{1, 0, K::Number, 5, ""}, {0, 0, K::Text, 0, ""}}, {0, 0, 1, 0}, "\r\n5\r\n"},
      // Rows of empty texts in two pieces, between and around rows with values.
      {{{2, 1, K::Number, 1, ""},
        {0, 2, K::Text, 0, ""},
        {1, 1, K::Text, 0, ""},
        {0, 0, K::Text, 0, ""},
        {3, 0, K::Text, 0, ""},
        {1, 2, K::Text, 0, ""}},
       {0, 0, 3, 2},
       "\t\t\r\n\t\t\r\n\t1\t\r\n\t\t\r\n"},
      // A later empty text replaces an earlier cell in its place, as any cell does.
      {{{0, 0, K::Text, 0, "old"},
        {1, 0, K::Number, 1, ""},
        {0, 0, K::Text, 0, ""},
        {0, 1, K::Text, 0, "x"}},
       {0, 0, 1, 1},
       "\tx\r\n1\t\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(write(c.cells), c.expected);
    int opens = 0;
    EXPECT_EQ(writeRanged(c.cells, c.range, opens), c.expected);
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

FormattedLines linesOf(LineSpan rows, LineSpan columns) {
  FormattedLines lines;
  lines.rows = rows;
  lines.columns = columns;
  return lines;
}

std::string writeWithLines(const std::vector<VectorCursor::Stored>& cells, FormattedLines lines) {
  test::TempDir dir;
  VectorCursor cursor(cells, lines);
  CellFormatter formatter;
  writeSheetText(cursor, formatter, dir.file("out.txt"));
  return test::readFile(dir.file("out.txt"));
}

// Formatted rows and columns widen the range on every side: leading lines
// and fields before the first cell, trailing ones after the last.
TEST(TextWriter, FormattedRowsAndColumnsWidenTheRangeBeforeAndAfterTheCells) {
  const std::vector<VectorCursor::Stored> cells = {{2, 2, K::Number, 1, ""},
                                                   {3, 3, K::Text, 0, "x"}};
  EXPECT_EQ(writeWithLines(cells, {}), "1\t\r\n\tx\r\n");
  EXPECT_EQ(writeWithLines(cells, linesOf({0, 0}, {})), "\t\r\n\t\r\n1\t\r\n\tx\r\n");
  EXPECT_EQ(writeWithLines(cells, linesOf({5, 6}, {})), "1\t\r\n\tx\r\n\t\r\n\t\r\n\t\r\n");
  EXPECT_EQ(writeWithLines(cells, linesOf({}, {0, 0})), "\t\t1\t\r\n\t\t\tx\r\n");
  EXPECT_EQ(writeWithLines(cells, linesOf({3, 3}, {5, 5})), "1\t\t\t\r\n\tx\t\t\r\n");
  // Out of order cells go through the sorting path with the same range.
  EXPECT_EQ(writeWithLines({cells[1], cells[0]}, linesOf({1, 1}, {1, 1})),
            "\t\t\r\n\t1\t\r\n\t\tx\r\n");
}

TEST(TextWriter, FormattedRowsAndColumnsWithoutAStoredCellGiveAnEmptyFile) {
  EXPECT_EQ(writeWithLines({}, linesOf({0, 6}, {0, 3})), "");
}

TEST(TextWriter, ARecordedRangeMustAlsoCoverTheFormattedRowsAndColumns) {
  const std::vector<VectorCursor::Stored> cells = {{2, 1, K::Number, 1, ""},
                                                   {3, 2, K::Text, 0, "x"}};
  const FormattedLines lines = linesOf({0, 5}, {1, 3});
  const std::string expected = writeWithLines(cells, lines);
  ASSERT_EQ(expected, "\t\t\r\n\t\t\r\n1\t\t\r\n\tx\t\r\n\t\t\r\n\t\t\r\n");
  int opens = 0;
  EXPECT_EQ(writeRanged(cells, {0, 1, 5, 3}, opens, lines), expected);
  EXPECT_EQ(opens, 1);
  // A range of the cells alone, or one past the lines, is wrong: read again.
  for (CellRange wrong : {CellRange{2, 1, 3, 2}, CellRange{0, 1, 6, 3}, CellRange{0, 0, 5, 3}}) {
    EXPECT_EQ(writeRanged(cells, wrong, opens, lines), expected);
    EXPECT_EQ(opens, 2);
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet
