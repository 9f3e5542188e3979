// The BIFF reader on workbook streams the tests build: sheets, strings,
// numbers, formula results, styles, older BIFF versions and damage.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/rk_number.h"
#include "engine/spreadsheet/xls/reader.h"
#include "tests/support/biff_writer.h"

namespace quorvel::spreadsheet::xls {
namespace {

using test::biffRecord;
using test::put16;
using test::WorkbookWriter;

struct Got {
  std::uint32_t row, col;
  CellKind kind;
  double number;
  std::string text;
  std::uint32_t style;
};

std::unique_ptr<WorkbookReader> open(const std::string& bytes, OpenOptions options = {}) {
  return openWorkbook(memorySource(bytes), options, "Lone");
}

std::vector<Got> cells(WorkbookReader& book, std::size_t sheet) {
  std::vector<Got> out;
  auto cursor = book.openWorksheet(sheet);
  Cell c;
  while (cursor->next(c))
    out.push_back({c.row, c.col, c.kind, c.number, std::string(c.text), c.style});
  return out;
}

ErrorCode errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const FormatError& e) {
    EXPECT_STRNE(e.what(), "");
    return e.code();
  }
  ADD_FAILURE() << "no error";
  return ErrorCode::CannotOpen;
}

TEST(XlsReader, ListsWorksheetsOnlyInOrderWithTheirVisibility) {
  WorkbookWriter w;
  w.addSheet("First");
  w.addSheet("Chart", 0, 2);
  w.addSheet("Hidden", 1);
  w.addSheet("Macro", 0, 1);
  w.addSheet("Dialog", 0, 0, true);
  w.addSheet("Module", 0, 6);
  w.addSheet("Very hidden", 2);
  w.addSheet("A name longer than thirty-one characters");
  auto book = open(w.file());
  const auto& sheets = book->worksheets();
  ASSERT_EQ(sheets.size(), 4u);
  EXPECT_EQ(sheets[0].name, "First");
  EXPECT_EQ(sheets[1].name, "Hidden");
  EXPECT_EQ(sheets[1].visibility, SheetVisibility::Hidden);
  EXPECT_EQ(sheets[2].name, "Very hidden");
  EXPECT_EQ(sheets[2].visibility, SheetVisibility::VeryHidden);
  EXPECT_EQ(sheets[3].name, "A name longer than thirty-one c");
  EXPECT_TRUE(cells(*book, 0).empty());
  EXPECT_EQ(errorOf([&] { book->openWorksheet(4); }), ErrorCode::NoSuchSheet);
}

TEST(XlsReader, SharedStringsContinueAcrossRecordsAndChangeWidth) {
  WorkbookWriter w;
  w.setMaxRecordData(40);  // every longer string splits
  std::size_t s = w.addSheet("S");
  std::vector<std::string> texts = {
      "short",
      "a Latin-1 string of some length: caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9",
      // Starts 8-bit, goes on in UTF-16 in a later Continue record.
      "plain letters first, then \xD0\x96\xD0\xB8\xD0\xB2\xD0\xBE\xD0\xB9 \xE6\x97\xA5\xE6\x9C\xAC",
      // Starts in UTF-16, goes back to 8-bit.
      "\xE2\x82\xAC then many plain ASCII letters that no longer need two bytes each",
      "",
      "emoji \xF0\x9F\x8D\xA3 sushi",
  };
  std::uint32_t i = 0;
  for (const auto& t : texts)
    w.labelSst(s, static_cast<std::uint16_t>(i), 0, w.sharedString(t)), ++i;
  // Rich-text runs and phonetic data are skipped, even when split.
  w.labelSst(s, static_cast<std::uint16_t>(i++), 0, w.sharedString("rich text", 3, 25));
  w.labelSst(s, static_cast<std::uint16_t>(i++), 0, w.sharedString("after it"));
  auto book = open(w.file());
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), texts.size() + 2);
  for (std::size_t k = 0; k < texts.size(); ++k) {
    EXPECT_EQ(got[k].kind, CellKind::Text);
    EXPECT_EQ(got[k].text, texts[k]) << k;
  }
  EXPECT_EQ(got[texts.size()].text, "rich text");
  EXPECT_EQ(got[texts.size() + 1].text, "after it");
}

TEST(XlsReader, DecodesRkNumbers) {
  auto rkOfDouble = [](double d, bool x100) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    return static_cast<std::uint32_t>(bits >> 32) | (x100 ? 1u : 0u);
  };
  EXPECT_EQ(decodeRk((42u << 2) | 2), 42.0);
  EXPECT_EQ(decodeRk((static_cast<std::uint32_t>(-7) << 2) | 2), -7.0);
  EXPECT_DOUBLE_EQ(decodeRk((12345u << 2) | 3), 123.45);
  EXPECT_DOUBLE_EQ(decodeRk((static_cast<std::uint32_t>(-1) << 2) | 3), -0.01);
  EXPECT_EQ(decodeRk(rkOfDouble(1.5, false)), 1.5);
  EXPECT_EQ(decodeRk(rkOfDouble(-1536.75, false)), -1536.75);
  EXPECT_DOUBLE_EQ(decodeRk(rkOfDouble(1234.5, true)), 12.345);
  // The largest and smallest 30-bit integers.
  EXPECT_EQ(decodeRk(0x7FFFFFFEu), 536870911.0);
  EXPECT_EQ(decodeRk(0x80000002u), -536870912.0);
}

TEST(XlsReader, ReadsNumbersRkMulRkBlanksAndStyles) {
  WorkbookWriter w;
  w.addFormat(164, "0.000");
  std::uint16_t general = w.addXf(0);
  std::uint16_t custom = w.addXf(164);
  std::uint16_t date = w.addXf(14);
  w.setDate1904(true);
  std::size_t s = w.addSheet("Numbers");
  w.number(s, 0, 0, 3.25, custom);
  w.rk(s, 1, 2, (99u << 2) | 2, date);
  w.mulRk(s, 2, 1, {(1u << 2) | 2, (250u << 2) | 3, (static_cast<std::uint32_t>(-3) << 2) | 2},
          custom);
  w.mulBlank(s, 3, 4, 3, custom);
  w.blank(s, 7, 9, general);
  auto book = open(w.file());
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 9u);
  EXPECT_EQ(got[0].number, 3.25);
  EXPECT_EQ(got[0].style, custom);
  EXPECT_EQ(got[1].number, 99);
  EXPECT_EQ(got[1].col, 2u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(got[2 + k].row, 2u);
    EXPECT_EQ(got[2 + k].col, 1 + k);
    EXPECT_EQ(got[2 + k].kind, CellKind::Number);
  }
  EXPECT_EQ(got[2].number, 1);
  EXPECT_DOUBLE_EQ(got[3].number, 2.5);
  EXPECT_EQ(got[4].number, -3);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(got[5 + k].kind, CellKind::Blank);
    EXPECT_EQ(got[5 + k].col, 4 + k);
    EXPECT_EQ(got[5 + k].style, custom);
  }
  EXPECT_EQ(got[8].row, 7u);
  EXPECT_EQ(got[8].col, 9u);
  const CellFormatter& f = book->formatter();
  EXPECT_EQ(f.formatIdOf(custom), 164u);
  EXPECT_EQ(f.formatIdOf(date), 14u);
  EXPECT_TRUE(f.date1904());
}

TEST(XlsReader, ReadsFormulaResultsOfEveryType) {
  WorkbookWriter w;
  std::size_t s = w.addSheet("F");
  w.formulaNumber(s, 0, 0, 6.5);
  w.formulaOther(s, 1, 0, 0, 0, "text result \xE2\x82\xAC");
  w.formulaOther(s, 2, 0, 0, 0, "after a shared formula", true);
  w.formulaOther(s, 3, 0, 1, 1);
  w.formulaOther(s, 4, 0, 1, 0);
  w.formulaOther(s, 5, 0, 2, 0x07);
  w.formulaOther(s, 6, 0, 2, 0x2A);
  w.formulaOther(s, 7, 0, 3, 0);
  w.number(s, 8, 0, 1);
  w.boolErr(s, 9, 0, 1, false);
  w.boolErr(s, 9, 1, 0x17, true);
  auto book = open(w.file());
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 11u);
  EXPECT_EQ(got[0].kind, CellKind::Number);
  EXPECT_EQ(got[0].number, 6.5);
  EXPECT_EQ(got[1].kind, CellKind::Text);
  EXPECT_EQ(got[1].text, "text result \xE2\x82\xAC");
  EXPECT_EQ(got[2].text, "after a shared formula");
  EXPECT_EQ(got[3].kind, CellKind::Boolean);
  EXPECT_EQ(got[3].number, 1);
  EXPECT_EQ(got[4].number, 0);
  EXPECT_EQ(got[5].kind, CellKind::Error);
  EXPECT_EQ(got[5].text, "#DIV/0!");
  EXPECT_EQ(got[6].text, "#N/A");
  EXPECT_EQ(got[7].kind, CellKind::Text);
  EXPECT_EQ(got[7].text, "");
  EXPECT_EQ(got[8].row, 8u);  // the record after the results is not lost
  EXPECT_EQ(got[9].kind, CellKind::Boolean);
  EXPECT_EQ(got[10].kind, CellKind::Error);
  EXPECT_EQ(got[10].text, "#REF!");
}

TEST(XlsReader, SkipsEmbeddedChartSubstreamsInsideASheet) {
  WorkbookWriter w;
  std::size_t s = w.addSheet("S");
  w.number(s, 0, 0, 1);
  std::string chartBof;
  put16(chartBof, 0x0600);
  put16(chartBof, 0x0020);
  chartBof.resize(16, '\0');
  w.raw(s, 0x0809, chartBof);
  w.number(s, 50, 50, 99);  // a chart's own records are not cells of the sheet
  w.raw(s, 0x000A, {});
  w.number(s, 1, 0, 2);
  auto got = cells(*open(w.file()), 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].number, 2);
}

TEST(XlsReader, Biff5TextIsDecodedFromTheCodePage) {
  WorkbookWriter w(5);
  w.setCodePage(1251);
  std::size_t s = w.addSheet("\xC8\xEC\xFF");    // "Имя" in Windows-1251
  w.label(s, 0, 0, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет"
  auto book = open(w.file());
  ASSERT_EQ(book->worksheets().size(), 1u);
  EXPECT_EQ(book->worksheets()[0].name, "\xD0\x98\xD0\xBC\xD1\x8F");
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");

  // Without a CodePage record the application reads Windows-1252.
  CodePage missing(0);
  std::string out;
  const unsigned char euro[] = {0x80, 'x', 0xE9};
  missing.append(euro, 3, out);
  EXPECT_EQ(out,
            "\xE2\x82\xAC"
            "x\xC3\xA9");
  CodePage japanese(932);
  out.clear();
  const unsigned char nihon[] = {0x93, 0xFA, 0x96, 0x7B};
  japanese.append(nihon, 4, out);
  EXPECT_EQ(out, "\xE6\x97\xA5\xE6\x9C\xAC");
}

std::string biff2Cell(std::uint16_t row, std::uint16_t col, std::uint8_t format) {
  std::string d;
  put16(d, row);
  put16(d, col);
  d.push_back(0);
  d.push_back(static_cast<char>(format));
  d.push_back(0);
  return d;
}

TEST(XlsReader, ReadsABareBiff2Worksheet) {
  std::string s = biffRecord(0x0009, std::string("\x02\x00\x10\x00", 4));
  s += biffRecord(0x001E, std::string("\x07General", 8));
  s += biffRecord(0x001E, std::string("\x04"
                                      "0.00",
                                      5));
  s += biffRecord(0x0002, biff2Cell(0, 0, 0) + std::string("\x2A\x00", 2));
  std::string number = biff2Cell(0, 1, 1);
  test::putDouble(number, 2.5);
  s += biffRecord(0x0003, number);
  s += biffRecord(0x0004, biff2Cell(1, 0, 0) + std::string("\x05"
                                                           "ab\x80"
                                                           "cd",
                                                           6));
  s += biffRecord(0x0005, biff2Cell(1, 1, 0) + std::string("\x01\x00", 2));
  std::string formula = biff2Cell(2, 0, 0) + std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8);
  s += biffRecord(0x0006, formula + std::string("\x00\x00", 2));
  s += biffRecord(0x0007, std::string("\x03xyz", 4));
  s += biffRecord(0x0001, biff2Cell(3, 3, 0));
  s += biffRecord(0x000A, {});
  auto book = open(s);
  ASSERT_EQ(book->worksheets().size(), 1u);
  EXPECT_EQ(book->worksheets()[0].name, "Lone");
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].number, 42);
  EXPECT_EQ(got[1].number, 2.5);
  EXPECT_EQ(book->formatter().formatIdOf(got[1].style), 1u);
  EXPECT_EQ(got[2].text,
            "ab\xE2\x82\xAC"
            "cd");
  EXPECT_EQ(got[3].kind, CellKind::Boolean);
  EXPECT_EQ(got[4].text, "xyz");
  EXPECT_EQ(got[5].kind, CellKind::Blank);
  EXPECT_EQ(got[5].col, 3u);
}

TEST(XlsReader, Biff3CellsNameTheirStyleInEitherRecordForm) {
  std::string s = biffRecord(0x0209, std::string("\0\0\x10\0\0\0", 6));
  s += biffRecord(0x001E, std::string("\x07General", 8));
  s += biffRecord(0x001E, std::string("\x04"
                                      "0.00",
                                      5));
  s += biffRecord(0x0243, std::string("\0\0", 2) + std::string(10, '\0'));
  s += biffRecord(0x0243, std::string("\0\x01", 2) + std::string(10, '\0'));
  std::string old = biff2Cell(0, 0, 0);
  old[4] = 1;  // XF 1 in the attributes' first byte
  test::putDouble(old, 1.5);
  s += biffRecord(0x0003, old);
  std::string current;
  put16(current, 0);
  put16(current, 1);
  put16(current, 1);
  test::putDouble(current, 2.5);
  s += biffRecord(0x0203, current);
  s += biffRecord(0x000A, {});
  auto book = open(s);
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 2u);
  for (const Got& g : got) EXPECT_EQ(book->formatter().formatIdOf(g.style), 1u) << g.col;
  EXPECT_EQ(got[0].number, 1.5);
  EXPECT_EQ(got[1].number, 2.5);
}

TEST(XlsReader, ReadsABiff4WorkbookWhoseSheetsFollowTheGlobals) {
  auto bof = [](std::uint16_t dt) {
    std::string d;
    put16(d, 0x0000);
    put16(d, dt);
    put16(d, 0);
    return biffRecord(0x0409, d);
  };
  std::string number;
  put16(number, 4);
  put16(number, 1);
  put16(number, 0);
  test::putDouble(number, 7.5);
  std::string s = bof(0x0100);
  s += biffRecord(0x041E, std::string("\0\0\x04"
                                      "0.00",
                                      7));
  s += biffRecord(0x008F, std::string("\x06"
                                      "Charts",
                                      7));
  s += biffRecord(0x008F, std::string("\x05"
                                      "Table",
                                      6));
  s += biffRecord(0x000A, {});
  s += bof(0x0020) + biffRecord(0x0203, number) + biffRecord(0x000A, {});
  s += bof(0x0010) + biffRecord(0x0203, number) + biffRecord(0x000A, {});
  auto book = open(s);
  ASSERT_EQ(book->worksheets().size(), 1u);
  EXPECT_EQ(book->worksheets()[0].name, "Table");
  auto got = cells(*book, 0);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].row, 4u);
  EXPECT_EQ(got[0].number, 7.5);
}

TEST(XlsReader, DamagedWorkbookStreamsGiveAClearError) {
  test::CompoundFileWriter noWorkbook;
  noWorkbook.addStream("WordDocument", std::string(100, 'x'));
  EXPECT_EQ(errorOf([&] { open(noWorkbook.build()); }), ErrorCode::NotAWorkbook);

  test::CompoundFileWriter noBof;
  noBof.addStream("Workbook", biffRecord(0x0293, "abcd"));
  EXPECT_EQ(errorOf([&] { open(noBof.build()); }), ErrorCode::Damaged);

  WorkbookWriter badIndex;
  std::size_t s = badIndex.addSheet("S");
  badIndex.sharedString("only one");
  badIndex.labelSst(s, 0, 0, 5);
  auto book = open(badIndex.file());
  EXPECT_EQ(errorOf([&] { cells(*book, 0); }), ErrorCode::Damaged);

  WorkbookWriter cut;
  std::size_t c = cut.addSheet("S");
  cut.number(c, 0, 0, 1);
  std::string stream = cut.stream();
  test::CompoundFileWriter cfb;
  cfb.addStream("Workbook", stream.substr(0, stream.size() - 10));  // inside the Number
  EXPECT_EQ(errorOf([&] { cells(*open(cfb.build()), 0); }), ErrorCode::Damaged);

  WorkbookWriter shortCell;
  std::size_t sc = shortCell.addSheet("S");
  shortCell.raw(sc, 0x0203, "abc");
  auto shortBook = open(shortCell.file());
  EXPECT_EQ(errorOf([&] { cells(*shortBook, 0); }), ErrorCode::Damaged);

  // A run of blanks that goes on past the last column.
  WorkbookWriter wide;
  std::size_t wc = wide.addSheet("S");
  wide.mulBlank(wc, 0, 16380, 10);
  auto wideBook = open(wide.file());
  EXPECT_EQ(errorOf([&] { cells(*wideBook, 0); }), ErrorCode::Damaged);
}

}  // namespace
}  // namespace quorvel::spreadsheet::xls
