// The .xlsb reader on workbooks the tests write themselves: every cell
// record, long and short, the sheet list, styles and shared strings.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/xlsb/record_types.h"
#include "engine/spreadsheet/xlsb/workbook_parts.h"
#include "engine/spreadsheet/xlsb/worksheet_cursor.h"
#include "tests/support/test_support.h"
#include "tests/support/xlsb_writer.h"

namespace quorvel::spreadsheet::xlsb {
namespace {

using test::xlsb::Payload;
using test::xlsb::SheetWriter;
using test::xlsb::WorkbookWriter;

struct Got {
  std::uint32_t row, col;
  CellKind kind;
  double number;
  std::string text;
  std::uint32_t style;
  bool operator==(const Got&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Got& g) {
  return os << "R" << g.row << "C" << g.col << " kind " << int(g.kind) << " " << g.number << " '"
            << g.text << "' style " << g.style;
}

std::vector<Got> cellsOf(const std::string& part, const StringTable& strings) {
  EmptyCellLooks looks;
  WorksheetCursor cursor(std::make_unique<MemorySequentialSource>(part), "xl/worksheets/sheet1.bin",
                         strings, looks);
  std::vector<Got> out;
  Cell c;
  while (cursor.next(c))
    out.push_back({c.row, c.col, c.kind, c.number, std::string(c.text), c.style});
  return out;
}

std::string sharedStringsPart(const std::vector<std::string>& strings) {
  WorkbookWriter w;
  for (const auto& s : strings) w.addSharedString(s);
  return w.sharedStringsPart();
}

StringTable tableOf(const std::string& part) {
  StringTable t;
  MemorySequentialSource source(part);
  readSharedStrings(source, "xl/sharedStrings.bin", t);
  return t;
}

TEST(XlsbSheetCursor, EveryLongCellForm) {
  StringTable sst = tableOf(sharedStringsPart({"zero", "one"}));
  SheetWriter s;
  s.row(2);
  s.cell(BrtCellBlank, 0, 3, "");
  s.cell(BrtCellRk, 1, 0, Payload().u32(test::xlsb::rkInteger(-7)));
  s.cell(BrtCellError, 2, 0, Payload().u8(0x07));
  s.cell(BrtCellBool, 3, 0, Payload().u8(1));
  s.cell(BrtCellReal, 4, 5, Payload().f64(3.25));
  s.cell(BrtCellSt, 5, 0, Payload().wide("inline, text"));
  s.cell(BrtCellIsst, 6, 0, Payload().u32(1));
  s.cell(BrtCellRString, 16383, 0,
         Payload().u8(1).wide("rich").u32(1).u16(0).u16(2));  // one formatting run
  auto cells = cellsOf(s.finish(), sst);
  std::vector<Got> want = {
      {2, 0, CellKind::Blank, 0, "", 3},        {2, 1, CellKind::Number, -7, "", 0},
      {2, 2, CellKind::Error, 0, "#DIV/0!", 0}, {2, 3, CellKind::Boolean, 1, "", 0},
      {2, 4, CellKind::Number, 3.25, "", 5},    {2, 5, CellKind::Text, 0, "inline, text", 0},
      {2, 6, CellKind::Text, 0, "one", 0},      {2, 16383, CellKind::Text, 0, "rich", 0},
  };
  EXPECT_EQ(cells, want);
}

TEST(XlsbSheetCursor, FormulaCachedResultsOfEveryType) {
  // Each cached value is followed by grbitFlags and a parsed formula (here
  // cce = 3 and a few token bytes), which are not read.
  const std::string formula = Payload().u16(0).u32(3).bytes("\x1E\x01\x00").u32(0).str();
  SheetWriter s;
  s.row(0);
  s.cell(BrtFmlaString, 0, 0, Payload().wide("result").bytes(formula));
  s.cell(BrtFmlaNum, 1, 0, Payload().f64(-0.125).bytes(formula));
  s.cell(BrtFmlaBool, 2, 0, Payload().u8(0).bytes(formula));
  s.cell(BrtFmlaError, 3, 0, Payload().u8(0x2A).bytes(formula));
  s.cell(BrtFmlaString, 4, 0, Payload().wide("").bytes(formula));
  auto cells = cellsOf(s.finish(), {});
  std::vector<Got> want = {
      {0, 0, CellKind::Text, 0, "result", 0}, {0, 1, CellKind::Number, -0.125, "", 0},
      {0, 2, CellKind::Boolean, 0, "", 0},    {0, 3, CellKind::Error, 0, "#N/A", 0},
      {0, 4, CellKind::Text, 0, "", 0},
  };
  EXPECT_EQ(cells, want);
}

TEST(XlsbSheetCursor, ShortFormsTakeTheColumnAfterThePreviousCell) {
  StringTable sst = tableOf(sharedStringsPart({"a", "b", "c"}));
  SheetWriter s;
  s.row(0);
  // A short form first in a row lands in column A.
  s.shortCell(BrtShortIsst, 1, Payload().u32(2));
  s.shortCell(BrtShortBlank, 0, "");
  s.row(4);
  s.cell(BrtCellReal, 3, 0, Payload().f64(1));  // D5
  s.shortCell(BrtShortRk, 0, Payload().u32(test::xlsb::rkInteger(150, true)));
  s.shortCell(BrtShortError, 0, Payload().u8(0x17));
  s.shortCell(BrtShortBool, 0, Payload().u8(1));
  s.shortCell(BrtShortReal, 2, Payload().f64(1e-10));
  s.shortCell(BrtShortSt, 0, Payload().wide("st"));
  s.shortCell(BrtShortIsst, 0, Payload().u32(0));
  s.cell(BrtCellBool, 20, 0, Payload().u8(0));  // a long form resets the chain
  s.shortCell(BrtShortBlank, 0, "");
  auto cells = cellsOf(s.finish(), sst);
  std::vector<Got> want = {
      {0, 0, CellKind::Text, 0, "c", 1},      {0, 1, CellKind::Blank, 0, "", 0},
      {4, 3, CellKind::Number, 1, "", 0},     {4, 4, CellKind::Number, 1.5, "", 0},
      {4, 5, CellKind::Error, 0, "#REF!", 0}, {4, 6, CellKind::Boolean, 1, "", 0},
      {4, 7, CellKind::Number, 1e-10, "", 2}, {4, 8, CellKind::Text, 0, "st", 0},
      {4, 9, CellKind::Text, 0, "a", 0},      {4, 20, CellKind::Boolean, 0, "", 0},
      {4, 21, CellKind::Blank, 0, "", 0},
  };
  EXPECT_EQ(cells, want);
}

TEST(XlsbSheetCursor, OtherRecordsAreSkippedAndTheCellTableEndsTheSheet) {
  SheetWriter s;
  s.raw(0x0094, Payload().u32(0).u32(999).u32(0).u32(99));  // BrtWsDim, not trusted
  s.row(1);
  s.raw(0x01AB, std::string(300, '\x7F'));  // an unknown record between cells
  s.number(1, 42);
  std::string part = s.finish();
  // A cell after BrtEndSheetData is not part of the sheet.
  test::xlsb::appendRecord(part, BrtCellReal, Payload().u32(0).u32(0).f64(9).str());
  auto cells = cellsOf(part, {});
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_EQ(cells[0], (Got{1, 1, CellKind::Number, 42, "", 0}));
}

TEST(XlsbSheetCursor, DamagedCellsFailCleanly) {
  StringTable sst = tableOf(sharedStringsPart({"only"}));
  auto failure = [&](const std::function<void(SheetWriter&)>& build) -> std::string {
    SheetWriter s;
    build(s);
    try {
      cellsOf(s.finish(), sst);
    } catch (const FormatError& e) {
      EXPECT_EQ(e.code(), ErrorCode::Damaged);
      return e.what();
    }
    return "no error";
  };
  EXPECT_NE(failure([](SheetWriter& s) { s.number(0, 1); }).find("before the first row"),
            std::string::npos);
  EXPECT_NE(failure([](SheetWriter& s) {
              s.row(0);
              s.sharedString(0, 1);
            }).find("shared string index 1"),
            std::string::npos);
  EXPECT_NE(failure([](SheetWriter& s) {
              s.row(0);
              s.number(16384, 1);
            }).find("last column"),
            std::string::npos);
  EXPECT_NE(failure([](SheetWriter& s) {
              s.row(0);
              s.number(16383, 1);
              s.shortCell(BrtShortBlank, 0, "");
            }).find("last column"),
            std::string::npos);
  EXPECT_NE(failure([](SheetWriter& s) { s.row(1048576); }).find("last row"), std::string::npos);
  // A cell record too short for its value.
  EXPECT_NE(failure([](SheetWriter& s) {
              s.row(0);
              s.cell(BrtCellReal, 0, 0, Payload().u32(1));
            }).find("shorter than its fields"),
            std::string::npos);
  EXPECT_NE(failure([](SheetWriter& s) {
              s.row(0);
              s.shortCell(BrtShortSt, 0, Payload().u32(10).u16('x'));
            }).find("xl/worksheets/sheet1.bin"),
            std::string::npos);
}

TEST(XlsbSharedStrings, RichAndPhoneticStringsKeepOnlyTheirText) {
  WorkbookWriter w;
  w.addSharedString("plain");
  // fRichStr: two formatting runs follow the text.
  w.addSharedStringRecord(
      Payload().u8(1).wide("bold part").u32(2).u16(0).u16(1).u16(4).u16(2).str());
  // fRichStr and fExtStr: runs, then phonetic text and its runs.
  w.addSharedStringRecord(Payload()
                              .u8(3)
                              .wide("漢字")
                              .u32(1)
                              .u16(0)
                              .u16(0)
                              .wide("かんじ")
                              .u32(1)
                              .bytes(std::string(8, '\0'))
                              .str());
  w.addSharedString("");
  w.addSharedString("last");
  StringTable t = tableOf(w.sharedStringsPart());
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t.at(0), "plain");
  EXPECT_EQ(t.at(1), "bold part");
  EXPECT_EQ(t.at(2), "漢字");
  EXPECT_EQ(t.at(3), "");
  EXPECT_EQ(t.at(4), "last");
}

TEST(XlsbWorkbookPart, SheetListInBothLayoutsOfTheBundleRecord) {
  auto read = [](const std::string& part) {
    MemorySequentialSource source(part);
    return readWorkbookPart(source, "xl/workbook.bin");
  };
  std::string part;
  test::xlsb::appendRecord(part, BrtWbProp, Payload().u32(1).u32(0).wide(""));
  test::xlsb::appendRecord(part, BrtBundleSh, Payload().u32(2).u32(1).wide("rId7").wide("Usual"));
  // Excel 2007 Beta 2 wrote the state in eight bytes (poi__Simple.xlsb).
  test::xlsb::appendRecord(part, BrtBundleSh,
                           Payload().u32(1).u32(0).u32(2).wide("rId8").wide("Early"));
  // A null relationship id.
  test::xlsb::appendRecord(part, BrtBundleSh,
                           Payload().u32(0).u32(3).u32(0xFFFFFFFF).wide("No part"));
  WorkbookProperties props = read(part);
  EXPECT_TRUE(props.date1904);
  ASSERT_EQ(props.sheets.size(), 3u);
  EXPECT_EQ(props.sheets[0].name, "Usual");
  EXPECT_EQ(props.sheets[0].relId, "rId7");
  EXPECT_EQ(props.sheets[0].visibility, SheetVisibility::VeryHidden);
  EXPECT_EQ(props.sheets[1].name, "Early");
  EXPECT_EQ(props.sheets[1].relId, "rId8");
  EXPECT_EQ(props.sheets[1].visibility, SheetVisibility::Hidden);
  EXPECT_EQ(props.sheets[2].relId, "");

  // Fitting neither layout is damage.
  std::string bad;
  test::xlsb::appendRecord(bad, BrtBundleSh, Payload().u32(0).u32(1).u32(40).u16('r'));
  EXPECT_THROW(read(bad), FormatError);
}

// Whole packages through the nine steps.
class XlsbWorkbook : public ::testing::Test {
 protected:
  std::string save(const WorkbookWriter& w) {
    std::string path = dir_.file("book.xlsb");
    w.save(path);
    return path;
  }
  test::TempDir dir_;
};

TEST_F(XlsbWorkbook, WorksheetsInOrderWithTheirStateAndNoOtherSheets) {
  WorkbookWriter w;
  auto sheet = [](double v) {
    SheetWriter s;
    s.row(0);
    s.number(0, v);
    return s.finish();
  };
  w.addSheet({"First", 0, "worksheet", sheet(1)});
  w.addSheet({"Chart1", 0, "chartsheet", "\x81\x01\x00"});
  w.addSheet({"Hidden one", 1, "worksheet", sheet(2)});
  w.addSheet({"Dialog1", 0, "dialogsheet", sheet(9)});
  w.addSheet({"Macro1", 0, "xlMacrosheet", sheet(9)});
  w.addSheet({"Sehr versteckt ä", 2, "worksheet", sheet(3)});
  auto reader = openWorkbookReader(save(w), {});
  const auto& sheets = reader->worksheets();
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[0].name, "First");
  EXPECT_EQ(sheets[0].visibility, SheetVisibility::Visible);
  EXPECT_EQ(sheets[1].name, "Hidden one");
  EXPECT_EQ(sheets[1].visibility, SheetVisibility::Hidden);
  EXPECT_EQ(sheets[2].name, "Sehr versteckt ä");
  EXPECT_EQ(sheets[2].visibility, SheetVisibility::VeryHidden);
  // Each worksheet reads its own part.
  Cell c;
  auto cursor = reader->openWorksheet(2);
  ASSERT_TRUE(cursor->next(c));
  EXPECT_EQ(c.number, 3);
}

TEST_F(XlsbWorkbook, DateSystemAndCellStyleFormats) {
  WorkbookWriter w;
  w.setDate1904(true);
  w.defineFormat(164, "0.000");
  w.setCellStyles({0, 164, 14});
  SheetWriter s;
  s.row(0);
  s.number(0, 1);
  w.addSheet({"S", 0, "worksheet", s.finish()});
  auto reader = openWorkbookReader(save(w), {});
  const CellFormatter& f = reader->formatter();
  EXPECT_TRUE(f.date1904());
  EXPECT_EQ(f.formatIdOf(0), 0u);
  EXPECT_EQ(f.formatIdOf(1), 164u);
  EXPECT_EQ(f.formatIdOf(2), 14u);
  // Only the cell XFs count, not the style XF written before them.
  EXPECT_EQ(f.formatIdOf(3), 0u);

  WorkbookWriter plain;
  plain.addSheet({"S", 0, "worksheet", SheetWriter().finish()});
  EXPECT_FALSE(openWorkbookReader(save(plain), {})->formatter().date1904());
}

TEST_F(XlsbWorkbook, ConvertsToTextThroughTheNineSteps) {
  WorkbookWriter w;
  std::uint32_t hello = w.addSharedString("hello, world");
  SheetWriter s;
  s.row(1);
  s.cell(BrtCellBlank, 1, 0, "");  // B2: counts for the used range
  s.row(3);
  s.sharedString(2, hello);
  s.shortCell(BrtShortBool, 0, Payload().u8(1));
  s.shortCell(BrtShortRk, 0, Payload().u32(test::xlsb::rkInteger(12345, true)));
  w.addSheet({"Data", 0, "worksheet", s.finish()});
  w.addSheet({"Empty", 0, "worksheet", SheetWriter().finish()});
  std::string path = save(w);

  auto app = createApplication();
  Workbook& book = app->open(path);
  app->setDisplayAlerts(false);
  ASSERT_EQ(book.worksheetCount(), 2);
  EXPECT_EQ(book.worksheetName(1), "Data");
  std::string out = dir_.file("data.txt");
  book.selectSheet(1);
  book.saveAs(out, xlCurrentPlatformText);
  EXPECT_EQ(test::readFile(out), "\t\t\t\r\n\t\t\t\r\n\t\"hello, world\"\tTRUE\t123.45\r\n");
  book.selectSheet(2);
  book.saveAs(out, xlCurrentPlatformText);
  EXPECT_EQ(test::readFile(out), "");
  book.close();
  app->quit();
}

// A part past one read-ahead block is inflated on a second thread while its
// records are read: every row arrives, in order, and a part cut inside its
// last record still fails cleanly.
TEST_F(XlsbWorkbook, APartLargerThanAReadAheadBlockArrivesWholeAndInOrder) {
  constexpr std::uint32_t kRows = 60000;  // about 2 MB of records
  SheetWriter s;
  for (std::uint32_t r = 0; r < kRows; ++r) {
    s.row(r);
    s.number(0, r);
  }
  std::string part = s.finish();
  ASSERT_GT(part.size(), 4 * kReadAheadBlockBytes);
  WorkbookWriter w;
  w.addSheet({"Big", 0, "worksheet", part});
  auto reader = openWorkbookReader(save(w), {});
  auto cursor = reader->openWorksheet(0);
  Cell c;
  std::uint32_t next = 0;
  while (cursor->next(c)) {
    ASSERT_EQ(c.row, next);
    ASSERT_EQ(c.number, next);
    ++next;
  }
  EXPECT_EQ(next, kRows);

  WorkbookWriter cut;
  cut.addSheet({"Cut", 0, "worksheet", part.substr(0, part.size() - 12)});
  auto damaged = openWorkbookReader(save(cut), {});
  auto cutCursor = damaged->openWorksheet(0);
  try {
    while (cutCursor->next(c)) {
    }
    FAIL() << "no error";
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("ends inside the record"), std::string::npos) << e.what();
  }
}

TEST_F(XlsbWorkbook, ListingSheetsLeavesTheSharedStringsUnread) {
  WorkbookWriter w;
  w.addSharedStringRecord(Payload().u8(0).u32(50).u16('x').str());  // 50 characters promised
  SheetWriter s;
  s.row(0);
  s.number(0, 1);
  w.addSheet({"Listed", 0, "worksheet", s.finish()});
  auto app = createApplication();
  Workbook& book = app->open(save(w));
  EXPECT_EQ(book.worksheetCount(), 1);
  EXPECT_EQ(book.worksheetName(1), "Listed");
  // Every save then meets the damage, not only the first.
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      book.saveAs(dir_.file("s.txt"), xlCurrentPlatformText);
      ADD_FAILURE() << "no error";
    } catch (const SpreadsheetError& e) {
      EXPECT_EQ(e.code(), ErrorCode::Damaged);
      EXPECT_NE(e.description().find("xl/sharedStrings.bin"), std::string::npos) << e.description();
    }
  }
}

TEST_F(XlsbWorkbook, DamagedWorkbooksNameTheFile) {
  WorkbookWriter w;
  SheetWriter s;
  s.row(0);
  s.cell(BrtCellIsst, 0, 0, Payload().u32(0));  // no shared strings at all
  w.addSheet({"S", 0, "worksheet", s.finish()});
  auto app = createApplication();
  Workbook& book = app->open(save(w));
  try {
    book.saveAs(dir_.file("s.txt"), xlCurrentPlatformText);
    FAIL() << "no error";
  } catch (const SpreadsheetError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Damaged);
    EXPECT_NE(e.description().find("'book.xlsb' is damaged"), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet::xlsb
