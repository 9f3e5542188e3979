// One large .xlsb worksheet read by several threads: the record stream is
// cut before row headers, and the cells and text must be exactly those of
// one thread, at any number of threads and wherever the stream is cut;
// damage must give the error of one thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>
#include <string>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/xlsb/record_types.h"
#include "tests/support/sheet_in_pieces.h"
#include "tests/support/test_support.h"
#include "tests/support/xlsb_writer.h"

namespace quorvel::spreadsheet::xlsb {
namespace {

namespace fs = std::filesystem;
using test::convert;
using test::Converted;
using test::expectSameAtAnyThreadCount;
using test::inPieces;
using test::xlsb::Payload;
using test::xlsb::SheetWriter;
using test::xlsb::WorkbookWriter;

// Column L hidden, a default row height, and (when asked) a recorded range.
std::string sheetProperties(bool withRange) {
  std::string props = withRange ? test::xlsb::dimensionRecord(0, 2999, 0, 11) : "";
  return props + test::xlsb::formatInfoRecord(300) + test::xlsb::columnsRecord(11, 11, 0, true);
}

// `rows` rows of every kind of cell record, long and short forms, with rows
// stored hidden or high; `extra(s, r)` adds to row r.
template <typename Extra>
std::string styledRecords(std::uint32_t rows, bool withRange, Extra extra) {
  SheetWriter s(sheetProperties(withRange));
  for (std::uint32_t r = 0; r < rows; ++r) {
    if (r % 97 == 0)
      s.row(r, 300, 0x10);
    else if (r % 101 == 0)
      s.row(r, 600, 0x20);
    else
      s.row(r);
    s.sharedString(0, r % 3);
    s.number(1, r + 0.25, 1);
    s.cell(BrtCellRk, 2, 2, Payload().u32(test::xlsb::rkInteger(40000 + r % 500)));
    s.cell(BrtCellSt, 3, 0, Payload().wide("line " + std::to_string(r) + ", \"q\"\ttab"));
    if (r % 5 == 0) s.boolean(4, true);
    if (r % 7 == 0) s.cell(BrtCellError, 5, 0, Payload().u8(0x2A));
    if (r % 11 == 0) s.cell(BrtCellBlank, 6, 1, "");
    if (r % 13 == 0) {
      // Short forms go right of the cell before them.
      s.shortCell(BrtShortSt, 0, Payload().wide("short"));
      s.shortCell(BrtShortIsst, 0, Payload().u32(1));
      s.shortCell(BrtShortRk, 1, Payload().u32(test::xlsb::rkInteger(12, true)));
    }
    extra(s, r);
  }
  return s.finish();
}

std::string styledRecords(std::uint32_t rows, bool withRange = false) {
  return styledRecords(rows, withRange, [](SheetWriter&, std::uint32_t) {});
}

std::string saveBook(const test::TempDir& dir, const std::string& name, const std::string& part) {
  WorkbookWriter w;
  w.addSharedString("alpha");
  w.addSharedString("be,ta");
  w.addSharedString("");
  w.defineFormat(164, "#,##0.000");
  w.defineFormat(165, "yyyy-mm-dd hh:mm");
  w.setCellStyles({0, 164, 165});
  w.addSheet({"Data", 0, "worksheet", part});
  const std::string path = dir.file(name);
  w.save(path);
  return path;
}

TEST(ParallelXlsb, CorpusCellsAndTextAreThoseOfOneThread) {
  int sheets = 0, readInPieces = 0;
  for (const fs::path& path : test::corpusFiles({".xlsb"})) {
    const int count = expectSameAtAnyThreadCount(path.string(), {2, 3, 8});
    sheets += count;
    if (count == 0) continue;  // the workbook does not open
    auto reader = openWorkbookReader(path.string(), {});
    // The cells too, in pieces of a few dozen bytes.
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      try {
        auto both = test::bothStreams(*reader, i, 3, 40);
        if (!both) continue;
        test::expectSameStream(both->first, both->second, path.string());
        ++readInPieces;
      } catch (const FormatError&) {
        // The converter reads such a sheet on one thread: compared above.
      }
    }
  }
  EXPECT_GT(sheets, 60);
  // Nearly every corpus worksheet is read in pieces, not left to the
  // fallback: otherwise the comparisons would prove little.
  EXPECT_GT(readInPieces, sheets * 3 / 4) << readInPieces << " of " << sheets;
}

TEST(ParallelXlsb, GeneratedSheetsAreByteIdenticalAndReallyCut) {
  test::TempDir dir;
  const std::string right = saveBook(dir, "right.xlsb", styledRecords(3000, true));
  expectSameAtAnyThreadCount(right, {2, 3, 8});
  test::expectSameSeparatedByCommasAndRaw(right);

  auto reader = openWorkbookReader(right, {});
  auto both = test::bothStreams(*reader, 0, 2, 48);
  ASSERT_TRUE(both.has_value());
  test::expectSameStream(both->first, both->second, "generated sheet");
  EXPECT_GT(both->second.cells.size(), 13000u);
  EXPECT_EQ(both->second.range, (CellRange{0, 0, 2999, 11}));
  EXPECT_EQ(both->second.lines.rows, (LineSpan{0, 2929}));
  EXPECT_EQ(both->second.lines.columns, (LineSpan{11, 11}));

  // Records after the cell table are not read, however many.
  std::string part = styledRecords(500);
  for (int i = 0; i < 2000; ++i) test::xlsb::appendRecord(part, 0x01FF, std::string(40, 'x'));
  expectSameAtAnyThreadCount(saveBook(dir, "tail.xlsb", part), {2, 8});
}

TEST(ParallelXlsb, DamageGivesTheResultOfOneThread) {
  test::TempDir dir;
  auto same = [&](const std::string& name, const std::string& part) {
    const std::string path = saveBook(dir, name, part);
    const Converted one = convert(path, 1, {}, dir.file("one.txt"));
    for (unsigned n : {2u, 3u, 8u})
      for (std::size_t piece : {std::size_t(30), std::size_t(700)})
        EXPECT_EQ(convert(path, 1, inPieces(n, piece), dir.file("many.txt")), one)
            << name << ", " << n << " threads, pieces of " << piece;
    return one;
  };
  // A cell before any row header.
  SheetWriter early;
  early.number(0, 1);
  early.row(0);
  early.number(1, 2);
  EXPECT_NE(same("early.xlsb", early.finish()).error.find("before the first row"),
            std::string::npos);

  // The record stream ends inside a record, deep in the cell table.
  std::string whole = styledRecords(2000);
  EXPECT_NE(same("cut.xlsb", whole.substr(0, whole.size() * 2 / 3 + 3)).error.find("ends inside"),
            std::string::npos);
  // It ends between records, without closing the cell table: one thread
  // takes the cells it has.
  // (BrtEndSheetData and BrtEndSheet take three bytes each.)
  EXPECT_TRUE(same("short.xlsb", whole.substr(0, whole.size() - 6)).error.empty());

  // A shared string past the table, deep in the sheet.
  const Converted past = same("past.xlsb", styledRecords(2000, false, [](SheetWriter& s, auto r) {
                                if (r == 1717) s.sharedString(9, 40);
                              }));
  EXPECT_NE(past.error.find("shared string index 40"), std::string::npos) << past;

  // Sheet properties among the cells (the column run and the default
  // height count for the rows after them) and a header too long.
  same("columns.xlsb", styledRecords(1500, false, [](SheetWriter& s, auto r) {
         if (r == 700) s.raw(BrtColInfo, Payload().u32(12).u32(12).u32(0).u32(0).u16(1));
         if (r == 900) s.raw(BrtWsFmtInfo, Payload().u32(0).u16(0).u16(600));
       }));
  // The pieces refuse them, rather than count them for their own rows only.
  auto reader = openWorkbookReader(dir.file("columns.xlsb"), {});
  EXPECT_THROW(test::bothStreams(*reader, 0, 2, 30), FormatError);
  std::string longHeader = styledRecords(1500);
  const std::size_t row1000 = longHeader.find(std::string("\x00\x11\xE8\x03\x00\x00", 6));
  ASSERT_NE(row1000, std::string::npos);
  longHeader.insert(row1000, "\xFF\xFF\x01");
  EXPECT_NE(same("header.xlsb", longHeader).error.find("type longer than two bytes"),
            std::string::npos);
}

TEST(ParallelXlsb, AStopMidSheetEndsTheWorkersAndLeavesNoFile) {
  test::TempDir dir;
  const std::string path = saveBook(dir, "large.xlsb", styledRecords(20000));
  auto app = createApplication();
  Workbook& book = app->open(path);
  const std::string out = dir.file("out.txt");
  std::stop_source stop;
  // Asked for once the first fields are written by the workers.
  TextOptions options = inPieces(4, 2048);
  book.setProgress([&](std::uint64_t done, std::uint64_t) {
    if (done > 0) stop.request_stop();
  });
  EXPECT_THROW(book.saveAs(out, xlCurrentPlatformText, stop.get_token(), options), StopRequested);
  EXPECT_TRUE(stop.stop_requested());
  EXPECT_FALSE(fs::exists(out));

  test::dropHalfRead(path);
  // Small sheets stay on one thread.
  auto reader = openWorkbookReader(path, {});
  ParallelReading how;
  how.threads = 2;
  EXPECT_EQ(reader->openWorksheetInParallel(0, how, nullptr, {}), nullptr);
}

}  // namespace
}  // namespace quorvel::spreadsheet::xlsb
