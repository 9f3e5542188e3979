// The used range as the application keeps it: stored cells, rows stored with
// properties of their own and formatted columns, in the rules shared by the
// readers and in each reader, on one sheet saved as .xls, .xlsx and .xlsb.
#include <gtest/gtest.h>

#include "engine/spreadsheet/package/random_access_source.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/xls/reader.h"
#include "engine/spreadsheet/xlsb/record_types.h"
#include "tests/support/biff_writer.h"
#include "tests/support/test_support.h"
#include "tests/support/xlsb_writer.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

// ---- the rules ----

LineSpan rowsOf(const FormattedLineTracker& t) {
  return t.lines().rows;
}
LineSpan columnsOf(const FormattedLineTracker& t) {
  return t.lines().columns;
}

TEST(UsedRangeRules, RowsCountWhenHiddenSetByHandFormattedOrOfAnotherHeight) {
  FormattedLineTracker t(255);
  t.addRow(1, {});                          // a plain row
  t.addRow(2, {false, false, false, 500});  // height alone, default not known yet
  EXPECT_TRUE(rowsOf(t).empty());
  t.setDefaultRowHeight(255);
  t.addRow(3, {false, false, false, 255});
  t.addRow(4, {false, false, false, std::nullopt});  // marked as the default height
  EXPECT_TRUE(rowsOf(t).empty());
  t.addRow(5, {false, false, false, 256});
  EXPECT_EQ(rowsOf(t), (LineSpan{5, 5}));
  t.addRow(9, {true, false, false, 255});
  t.addRow(0, {false, true, false, 255});
  EXPECT_EQ(rowsOf(t), (LineSpan{0, 9}));
  t.addRow(12, {false, false, true, 255});
  EXPECT_EQ(rowsOf(t), (LineSpan{0, 12}));
}

TEST(UsedRangeRules, ColumnsCountWhenHiddenOrFormattedExceptTheRunToTheLastColumn) {
  FormattedLineTracker t(255);
  t.addColumns(0, 1, false, 0, false);  // width only
  EXPECT_TRUE(columnsOf(t).empty());
  t.addColumns(2, 2, true, 0, false);
  t.addColumns(5, 6, false, 7, true);
  EXPECT_EQ(columnsOf(t), (LineSpan{2, 6}));
  // The rest of the sheet in two records of one style, then 300 clamped.
  t.addColumns(7, 9, false, 8, true);
  t.addColumns(10, 300, false, 8, true);
  EXPECT_EQ(columnsOf(t), (LineSpan{2, 6}));

  FormattedLineTracker u(255);
  u.addColumns(3, 4, false, 8, true);
  u.addColumns(5, 255, false, 9, true);  // another style: only this record is the rest
  EXPECT_EQ(columnsOf(u), (LineSpan{3, 4}));
  u.addColumns(0, 0, false, 9, true);  // out of order, after the rest
  EXPECT_EQ(columnsOf(u), (LineSpan{0, 4}));

  FormattedLineTracker v(16383);
  v.addColumns(3, 4, false, 8, true);
  v.addColumns(5, 5, false, 0, false);  // a plain column between ends the run
  v.addColumns(6, 16383, false, 8, true);
  EXPECT_EQ(columnsOf(v), (LineSpan{3, 4}));
  v.addColumns(20000, 20001, true, 0, false);  // past the sheet
  EXPECT_EQ(columnsOf(v), (LineSpan{3, 4}));
}

TEST(UsedRangeRules, GeneralIsTheCodeNotTheId) {
  GeneralFormatIds ids;
  EXPECT_TRUE(ids.isGeneral(0));
  EXPECT_FALSE(ids.isGeneral(164));
  ids.define(164, "GENERAL");
  ids.define(0, "0.00");
  EXPECT_TRUE(ids.isGeneral(164));
  EXPECT_FALSE(ids.isGeneral(0));
  EXPECT_TRUE(isGeneralFormatCode("General"));
  EXPECT_FALSE(isGeneralFormatCode("General;@"));
}

// ---- one sheet, three formats ----
//
// Default row height 300 twips. Cells: C3 = 1, D4 = "x", a blank G5.
// Rows: 1 hidden, 7 set by hand at the default height, 8 taller, 10 plain
// (0-based 0, 6, 7 and 9). Columns: A a width only, B hidden, H a date
// format, I:J a font only, K a border, L to the last column a fill. The
// range is B1:K8.
const char kExpected[] =
    "\t\t\t\t\t\t\t\t\t\r\n"
    "\t\t\t\t\t\t\t\t\t\r\n"
    "\t1\t\t\t\t\t\t\t\t\r\n"
    "\t\tx\t\t\t\t\t\t\t\r\n"
    "\t\t\t\t\t\t\t\t\t\r\n"
    "\t\t\t\t\t\t\t\t\t\r\n"
    "\t\t\t\t\t\t\t\t\t\r\n"
    "\t\t\t\t\t\t\t\t\t\r\n";

enum Style : std::uint16_t { kPlain, kDate, kFontOnly, kFilled, kBordered };

// The first worksheet's text, written as a conversion writes it.
std::string sheetText(const std::string& path) {
  auto reader = openWorkbookReader(path, {});
  test::TempDir dir;
  writeSheetText([&] { return reader->openWorksheet(0); }, reader->formatter(),
                 dir.file("out.txt"));
  return test::readFile(dir.file("out.txt"));
}

std::string xlsBook(int version, bool ownFormatRow = false, bool defaultHeightFlag = false) {
  test::WorkbookWriter w(version);
  w.addXf(0);
  w.addXf(14);
  w.addXf(0);  // another font, which a value reader never sees
  w.addXf(0, true, false);
  w.addXf(0, false, true);
  std::size_t s = w.addSheet("Range");
  w.defaultRowHeight(s, 300);
  w.colInfo(s, 0, 0, kPlain);
  w.colInfo(s, 1, 1, kPlain, true);
  w.colInfo(s, 7, 7, kDate);
  w.colInfo(s, 8, 9, kFontOnly);
  w.colInfo(s, 10, 10, kBordered);
  w.colInfo(s, 11, 255, kFilled);
  w.row(s, 0, 300, 0x20);
  w.number(s, 2, 2, 1);
  w.label(s, 3, 3, "x");
  w.blank(s, 4, 6);
  w.row(s, 6, 300, 0x40);
  w.row(s, 7, defaultHeightFlag ? 0x8000 | 400 : 400);
  w.row(s, 9, 300, ownFormatRow ? 0x80 : 0);
  return w.file();
}

// `extra`: more records before the cell table, such as a dimension.
void writeXlsb(const std::string& path, std::string_view extra = {}) {
  using namespace test::xlsb;
  WorkbookWriter w;
  w.setCellStyles(std::vector<CellStyle>{{0}, {14}, {0}, {0, 2, 0}, {0, 0, 1}});
  std::uint32_t x = w.addSharedString("x");
  std::string before = formatInfoRecord(300) + std::string(extra);
  before += columnsRecord(0, 0, kPlain) + columnsRecord(1, 1, kPlain, true);
  before += columnsRecord(7, 7, kDate) + columnsRecord(8, 9, kFontOnly);
  before += columnsRecord(10, 10, kBordered) + columnsRecord(11, 16383, kFilled);
  SheetWriter s(before);
  s.row(0, 300, 0x10);
  s.row(2);
  s.number(2, 1);
  s.row(3);
  s.sharedString(3, x);
  s.row(4);
  s.cell(xlsb::BrtCellBlank, 6, 0, "");
  s.row(6, 300, 0x20);
  s.row(7, 400, 0);
  s.row(9, 300, 0);
  w.addSheet({"Range", 0, "worksheet", s.finish()});
  w.save(path);
}

const char kStyles[] =
    "<fonts><font/><font><b/></font></fonts>"
    "<fills><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/></patternFill></fill>"
    "</fills>"
    "<borders><border><left/><right/><top/><bottom/><diagonal/></border>"
    "<border><left style=\"thin\"/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellXfs><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"2\" borderId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\"/></cellXfs>";

std::string xlsxSheet(const std::string& dimension = "") {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
         dimension +
         "<sheetFormatPr defaultRowHeight=\"15\"/>"
         "<cols><col min=\"1\" max=\"1\" width=\"20\" customWidth=\"1\"/>"
         "<col min=\"2\" max=\"2\" width=\"9\" hidden=\"1\"/>"
         "<col min=\"8\" max=\"8\" width=\"9\" style=\"1\"/>"
         "<col min=\"9\" max=\"10\" width=\"9\" style=\"2\"/>"
         "<col min=\"11\" max=\"11\" width=\"9\" style=\"4\"/>"
         "<col min=\"12\" max=\"16384\" width=\"9\" style=\"3\"/></cols>"
         "<sheetData><row r=\"1\" hidden=\"1\"/>"
         "<row r=\"3\"><c r=\"C3\"><v>1</v></c></row>"
         "<row r=\"4\"><c r=\"D4\" t=\"inlineStr\"><is><t>x</t></is></c></row>"
         "<row r=\"5\"><c r=\"G5\"/></row>"
         "<row r=\"7\" ht=\"15\" customHeight=\"1\"/>"
         "<row r=\"8\" ht=\"20\"/>"
         "<row r=\"10\" ht=\"15\"/></sheetData></worksheet>";
}

TEST(UsedRange, OneSheetSavedAsXlsXlsxAndXlsbGivesOneText) {
  test::TempDir dir;
  test::writeFile(dir.file("range.xls"), xlsBook(8));
  EXPECT_EQ(sheetText(dir.file("range.xls")), kExpected);

  test::XlsxBuilder xlsx;
  xlsx.worksheetXml("Range", xlsxSheet()).styles(kStyles);
  xlsx.write(dir.file("range.xlsx"));
  EXPECT_EQ(sheetText(dir.file("range.xlsx")), kExpected);

  writeXlsb(dir.file("range.xlsb"));
  EXPECT_EQ(sheetText(dir.file("range.xlsb")), kExpected);
}

// The first `rows` lines of the expected text, and `more` lines after them.
std::string expectedLines(std::size_t rows, std::size_t more = 0) {
  const std::string all = kExpected;
  std::size_t end = 0;
  for (std::size_t i = 0; i < rows; ++i) end = all.find('\n', end) + 1;
  std::string out = all.substr(0, end);
  for (std::size_t i = 0; i < more; ++i) out += "\t\t\t\t\t\t\t\t\t\r\n";
  return out;
}

TEST(UsedRange, XlsRowFlagsAndBiff5StylesAsTheApplicationStoresThem) {
  test::TempDir dir;
  auto textOf = [&](const std::string& bytes) {
    test::writeFile(dir.file("book.xls"), bytes);
    return sheetText(dir.file("book.xls"));
  };
  // BIFF5 keeps its fills and lines in other places of the XF.
  EXPECT_EQ(textOf(xlsBook(5)), kExpected);
  // Bit 15 of a row's height marks the default height: the taller row is not.
  EXPECT_EQ(textOf(xlsBook(8, false, true)), expectedLines(7));
  // A row with a format of its own counts, cells or not.
  EXPECT_EQ(textOf(xlsBook(8, true)), expectedLines(8, 2));
}

TEST(UsedRange, Biff2And3RowsAndColumnsInTheirOwnRecords) {
  auto textOf = [](const std::string& stream) {
    auto reader = xls::openWorkbook(memorySource(stream), {}, "Lone");
    test::TempDir dir;
    writeSheetText(*reader->openWorksheet(0), reader->formatter(), dir.file("out.txt"));
    return test::readFile(dir.file("out.txt"));
  };
  using test::biffRecord;
  using test::put16;
  auto u16s = [](std::initializer_list<std::uint16_t> values) {
    std::string out;
    for (std::uint16_t v : values) put16(out, v);
    return out;
  };
  // BIFF3: XF 1 is filled; column C has it, row 1 is hidden, C5 holds 7.
  std::string b3 = biffRecord(0x0209, std::string("\0\0\x10\0\0\0", 6));
  b3 += biffRecord(0x001E, std::string("\x07General", 8));
  b3 += biffRecord(0x0243, std::string(12, '\0'));
  b3 += biffRecord(0x0243, std::string(6, '\0') + u16s({1, 0, 0}));
  b3 += biffRecord(0x0225, u16s({0, 255}));
  b3 += biffRecord(0x007D, u16s({2, 2, 2560, 1, 0, 0}));
  b3 += biffRecord(0x0208, u16s({0, 0, 0, 255, 0, 0, 0x120, 15}));
  std::string cell = u16s({4, 1, 0});
  test::putDouble(cell, 7);
  b3 += biffRecord(0x0203, cell);
  b3 += biffRecord(0x000A, {});
  EXPECT_EQ(textOf(b3), "\t\r\n\t\r\n\t\r\n\t\r\n7\t\r\n");

  // BIFF2: column D's cell attributes show format 1 ("0.00"); row 1 has
  // attributes of its own; the cell B3 holds 2.
  std::string b2 = biffRecord(0x0009, std::string("\x02\x00\x10\x00", 4));
  b2 += biffRecord(0x001E, std::string("\x07General", 8));
  b2 += biffRecord(0x001E, std::string("\x04"
                                       "0.00",
                                       5));
  b2 += biffRecord(0x0025, u16s({255}));
  b2 += biffRecord(0x0020, u16s({3, 4}) + std::string("\x00\x01\x00", 3));
  b2 += biffRecord(0x0008, u16s({0, 0, 0, 255, 0}) + std::string("\x01\x00\x00\x00\x00\x00", 6));
  std::string integer = u16s({2, 1}) + std::string("\0\0\0", 3) + u16s({2});
  b2 += biffRecord(0x0002, integer);
  b2 += biffRecord(0x000A, {});
  EXPECT_EQ(textOf(b2), "\t\t\r\n\t\t\r\n2\t\t\r\n");
}

TEST(UsedRange, XlsbTakesTheRecordedDimensionOnlyAsAHint) {
  test::TempDir dir;
  using test::xlsb::dimensionRecord;
  for (const std::string& dimension :
       {dimensionRecord(0, 7, 1, 10), dimensionRecord(2, 4, 2, 6), dimensionRecord(0, 0, 0, 0)}) {
    writeXlsb(dir.file("range.xlsb"), dimension);
    EXPECT_EQ(sheetText(dir.file("range.xlsb")), kExpected);
  }
}

TEST(UsedRange, XlsbFillsAreJudgedByTheirPatternAndGray125ShowsNothing) {
  using namespace test::xlsb;
  test::TempDir dir;
  auto textOf = [&](std::uint16_t fill) {
    WorkbookWriter w;
    w.setCellStyles(std::vector<CellStyle>{{0}, {0, fill, 0}});
    SheetWriter s(columnsRecord(2, 2, 1));
    s.row(0);
    s.number(0, 5);
    w.addSheet({"S", 0, "worksheet", s.finish()});
    w.save(dir.file("fill.xlsb"));
    return sheetText(dir.file("fill.xlsb"));
  };
  EXPECT_EQ(textOf(1), "5\r\n");      // gray125
  EXPECT_EQ(textOf(2), "5\t\t\r\n");  // solid
  EXPECT_EQ(textOf(3), "5\t\t\r\n");  // gradient
}

TEST(UsedRange, XlsxFromOtherWritersFormatsJudgedByWhatTheyShow) {
  const std::string styles =
      "<numFmts><numFmt numFmtId=\"164\" formatCode=\"GENERAL\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"0.0\"/></numFmts>"
      "<fills><fill><patternFill/></fill><fill><patternFill patternType=\"gray125\"/></fill>"
      "<fill><gradientFill degree=\"90\"><stop position=\"0\"><color rgb=\"FF000000\"/></stop>"
      "</gradientFill></fill></fills>"
      "<borders><border><left/><right/><top/><bottom/><diagonal/></border>"
      "<border><diagonal style=\"thin\"/></border>"
      "<border diagonalUp=\"1\"><diagonal style=\"thin\"/></border>"
      "<border><left style=\"none\"/><vertical style=\"thin\"/></border></borders>"
      "<cellXfs><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"164\" fillId=\"1\"/>"
      "<xf numFmtId=\"164\" fillId=\"2\"/><xf numFmtId=\"164\" borderId=\"1\"/>"
      "<xf numFmtId=\"164\" borderId=\"2\"/><xf numFmtId=\"164\" borderId=\"3\"/></cellXfs>"
      "<dxfs><dxf><fill><patternFill patternType=\"solid\"/></fill></dxf></dxfs>";
  auto textOf = [&](int style) {
    // B1 holds 1; column D has the style; no dimension, rows without numbers.
    std::string sheet =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<cols><col min=\"4\" max=\"4\" style=\"" +
        std::to_string(style) +
        "\"/></cols><sheetData><row><c r=\"B1\" s=\"0\"><v>1</v></c></row></sheetData>"
        "</worksheet>";
    test::TempDir dir;
    test::XlsxBuilder().worksheetXml("S", sheet).styles(styles).write(dir.file("b.xlsx"));
    return sheetText(dir.file("b.xlsx"));
  };
  EXPECT_EQ(textOf(0), "1\r\n");  // a custom id whose code is General
  EXPECT_EQ(textOf(1), "1\t\t\r\n");
  EXPECT_EQ(textOf(2), "1\r\n");      // gray125
  EXPECT_EQ(textOf(3), "1\t\t\r\n");  // a gradient
  EXPECT_EQ(textOf(4), "1\r\n");      // a diagonal line that is drawn in no direction
  EXPECT_EQ(textOf(5), "1\t\t\r\n");
  EXPECT_EQ(textOf(6), "1\r\n");  // inner lines belong to ranges, not cells
}

TEST(UsedRange, XlsxRowsWithoutNumbersAndWithAFormatOfTheirOwn) {
  const std::string sheet =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<sheetData><row customFormat=\"1\" s=\"0\"/><row><c><v>4</v></c></row>"
      "<row customHeight=\"true\" ht=\"12.1\"/><row ht=\"99\"/></sheetData></worksheet>";
  test::TempDir dir;
  test::XlsxBuilder().worksheetXml("S", sheet).write(dir.file("b.xlsx"));
  // No default height is known: the last row's height alone does not count.
  EXPECT_EQ(sheetText(dir.file("b.xlsx")), "\r\n4\r\n\r\n");
}

}  // namespace
}  // namespace quorvel::spreadsheet
