// One large worksheet read by several threads: the cells, and the text
// written from them, must be exactly those of one thread, at any number of
// threads and wherever the sheet is cut; damage must give the same error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <tuple>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/text_writer.h"
#include "tests/support/generated_workbooks.h"
#include "tests/support/sheet_in_pieces.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

namespace fs = std::filesystem;
using test::bothStreams;
using test::CellStream;
using test::convert;
using test::Converted;
using test::expectSameAtAnyThreadCount;
using test::expectSameStream;
using test::inPieces;
using test::streamOf;

std::vector<fs::path> corpusWorkbooks() {
  return test::corpusFiles({".xlsx", ".xlsm"});
}

// A styled sheet of `rows` rows: shared and inline strings, numbers shown
// through formats, booleans, errors, blanks with a format, formula texts,
// rows stored hidden or high; `rowTag` opens each row (after its number).
std::string styledSheetData(int rows, const std::string& rowExtra = "",
                            const std::string& badValueAt = "") {
  std::string xml;
  for (int r = 1; r <= rows; ++r) {
    std::string n = std::to_string(r);
    xml += "<row r=\"" + n + "\"";
    if (r % 97 == 0) xml += " hidden=\"1\"";
    if (r % 101 == 0) xml += " ht=\"30\" customHeight=\"1\"";
    xml += rowExtra + ">";
    xml += "<c r=\"A" + n + "\" t=\"s\"><v>" + std::to_string(r % 3) + "</v></c>";
    xml += "<c r=\"B" + n + "\" s=\"1\"><v>" + std::to_string(r) + ".25</v></c>";
    xml += "<c r=\"C" + n + "\" s=\"2\"><v>" + std::to_string(40000 + r % 500) + ".5</v></c>";
    xml += "<c r=\"D" + n + "\" t=\"inlineStr\"><is><t>line " + n + ", \"q\"\ttab</t></is></c>";
    if (r % 5 == 0) xml += "<c r=\"E" + n + "\" t=\"b\"><v>1</v></c>";
    if (r % 7 == 0) xml += "<c r=\"F" + n + "\" t=\"e\"><v>#N/A</v></c>";
    if (r % 11 == 0) xml += "<c r=\"G" + n + "\" s=\"1\"/>";
    if (r % 13 == 0) xml += "<c r=\"H" + n + "\" t=\"str\"><f>A1</f><v>f&amp;x</v></c>";
    if (r % 17 == 0) xml += "<c r=\"I" + n + "\"><v>1.0000000000000002</v></c>";
    if (n == badValueAt) xml += "<c r=\"J" + n + "\"><v>twelve</v></c>";
    xml += "</row>";
  }
  return xml;
}

test::XlsxBuilder styledBook(const std::string& sheetData, const std::string& dimension = "",
                             const std::string& end = "</sheetData></worksheet>") {
  std::string sheet =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
      dimension +
      "<sheetFormatPr defaultRowHeight=\"15\"/><cols><col min=\"12\" max=\"12\" "
      "hidden=\"1\"/></cols><sheetData>" +
      sheetData + end;
  test::XlsxBuilder book;
  book.worksheetXml("Data", sheet)
      .sharedStrings("<si><t>alpha</t></si><si><t>be,ta</t></si><si><t></t></si>")
      .styles(
          "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"#,##0.000\"/>"
          "<numFmt numFmtId=\"165\" formatCode=\"yyyy-mm-dd hh:mm\"/></numFmts>"
          "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
          "</cellXfs>");
  return book;
}

TEST(ParallelSheet, CorpusCellsAreThoseOfOneThreadWhereverTheSheetIsCut) {
  int readInPieces = 0, sheets = 0, withoutRowNumbers = 0;
  for (const fs::path& path : corpusWorkbooks()) {
    std::unique_ptr<WorkbookReader> reader;
    try {
      reader = openWorkbookReader(path.string(), {});
    } catch (const FormatError&) {
      continue;
    }
    for (std::size_t i = 0; i < reader->worksheets().size(); ++i) {
      ++sheets;
      const std::string what = path.string() + " sheet " + std::to_string(i);
      bool oneThreadFails = false;
      CellStream one;
      try {
        one = streamOf(*reader->openWorksheet(i), reader->formatter());
      } catch (const FormatError&) {
        oneThreadFails = true;
      }
      for (std::size_t piece : {std::size_t(1), std::size_t(200)}) {
        try {
          auto both = bothStreams(*reader, i, 3, piece);
          if (!both) {  // only a sheet without cell data is left to one thread
            EXPECT_TRUE(oneThreadFails || one.cells.empty()) << what;
            continue;
          }
          expectSameStream(both->first, both->second, what);
          if (piece == 1) ++readInPieces;
        } catch (const FormatError& e) {
          // Damage, or rows without numbers that count on the row before:
          // the writer then reads on one thread (checked through the component).
          if (std::string(e.what()).find("counts on the row before") != std::string::npos) {
            if (piece == 1) ++withoutRowNumbers;
          } else {
            EXPECT_TRUE(oneThreadFails) << what << ": " << e.what();
          }
        }
      }
    }
  }
  // Nearly every corpus worksheet with cells is read in pieces, not left to
  // the fallback: otherwise the comparison above would prove little.
  EXPECT_GT(sheets, 80);
  EXPECT_GT(readInPieces, 100) << readInPieces << " of " << sheets;
  EXPECT_LE(withoutRowNumbers, 4);
}

TEST(ParallelSheet, CorpusTextIsByteIdenticalAtOneTwoThreeAndEightThreads) {
  int sheets = 0;
  for (const fs::path& path : corpusWorkbooks())
    sheets += expectSameAtAnyThreadCount(path.string(), {2, 3, 8});
  EXPECT_GT(sheets, 80);
}

TEST(ParallelSheet, CommaSeparatedAndRawValuesAreWrittenAlikeByTheWorkers) {
  test::TempDir dir;
  const std::string path = dir.file("styled.xlsx");
  styledBook(styledSheetData(600)).write(path);
  test::expectSameSeparatedByCommasAndRaw(path);
}

TEST(ParallelSheet, GeneratedWorkbooksAreByteIdentical) {
  test::TempDir dir;
  // Written by another library: numbers, shared strings, quotes, a gap.
  std::vector<std::vector<test::GeneratedCell>> rows;
  for (int r = 0; r < 3000; ++r)
    rows.push_back({"row " + std::to_string(r), r * 0.1, double(r % 7), std::string("a\tb"),
                    r % 3 ? test::GeneratedCell(std::string()) : test::GeneratedCell(1e-12 * r)});
  const std::string library = dir.file("library.xlsx");
  test::writeWorkbook(library, {{"Numbers", rows}, {"Empty", {}}});
  EXPECT_EQ(expectSameAtAnyThreadCount(library, {2, 3, 8}), 2);

  // Styled cells, formatted rows and columns, a recorded range (right or
  // wrong: the writer reads a wrong one again).
  const std::string right = dir.file("right.xlsx");
  styledBook(styledSheetData(2500), "<dimension ref=\"A1:L2500\"/>").write(right);
  expectSameAtAnyThreadCount(right, {2, 3, 8});
  const std::string wrong = dir.file("wrong.xlsx");
  styledBook(styledSheetData(2500), "<dimension ref=\"A1:C10\"/>").write(wrong);
  expectSameAtAnyThreadCount(wrong, {2, 8});

  // The rows really were read in pieces.
  auto reader = openWorkbookReader(right, {});
  auto both = bothStreams(*reader, 0, 2, 4096);
  ASSERT_TRUE(both.has_value());
  expectSameStream(both->first, both->second, "styled sheet");
  EXPECT_EQ(both->second.range, (CellRange{0, 0, 2499, 11}));
  EXPECT_EQ(both->second.lines.rows, (LineSpan{96, 2424}));
}

TEST(ParallelSheet, ALargeSheetTakesThePiecesWithTheDefaultSizes) {
  test::TempDir dir;
  const std::string path = dir.file("large.xlsx");
  styledBook(styledSheetData(40000)).write(path);  // about 9 MB of sheet XML
  auto reader = openWorkbookReader(path, {});
  ParallelReading how;
  how.threads = 2;
  const CellFormatter& formatter = reader->formatter();
  auto cursor =
      reader->openWorksheetInParallel(0, how,
                                      [&](const Cell& c, std::string& out) {
                                        appendCellField(c, formatter, CellValues::Displayed, out);
                                      },
                                      {});
  ASSERT_NE(cursor, nullptr);
  expectSameStream(streamOf(*reader->openWorksheet(0), formatter), streamOf(*cursor, formatter),
                   "large sheet");

  TextOptions two;
  two.parallel.threads = 2;
  EXPECT_EQ(convert(path, 1, two, dir.file("two.txt")), convert(path, 1, {}, dir.file("one.txt")));

  // Small sheets stay on one thread.
  const std::string small = dir.file("small.xlsx");
  styledBook(styledSheetData(50)).write(small);
  auto smallReader = openWorkbookReader(small, {});
  EXPECT_EQ(smallReader->openWorksheetInParallel(0, how, nullptr, {}), nullptr);
}

TEST(ParallelSheet, DamageGivesTheErrorOfOneThread) {
  test::TempDir dir;
  // A bad number deep in the sheet: found by a worker, told as one thread tells it.
  const std::string bad = dir.file("bad.xlsx");
  styledBook(styledSheetData(3000, "", "2718")).write(bad);
  TextOptions one;
  const Converted expected = convert(bad, 1, one, dir.file("one.txt"));
  ASSERT_NE(expected.error.find("J2718"), std::string::npos) << expected;
  for (unsigned n : {2u, 8u})
    EXPECT_EQ(convert(bad, 1, inPieces(n, 2048), dir.file("many.txt")), expected);
  EXPECT_FALSE(fs::exists(dir.file("many.txt")));

  // Cut short inside the cell data, and a damaged tag further on.
  std::string data = styledSheetData(3000);
  const std::string truncated = dir.file("truncated.xlsx");
  styledBook(data.substr(0, data.size() / 2), "", "").write(truncated);
  expectSameAtAnyThreadCount(truncated, {2, 8});
  const std::string badTag = dir.file("badtag.xlsx");
  std::string broken = data;
  broken.insert(broken.size() * 3 / 4, "<c r=\"Z1\" s=\"x\"");
  styledBook(broken).write(badTag);
  expectSameAtAnyThreadCount(badTag, {2, 8});
}

TEST(ParallelSheet, ALargeStringTableIsLookedUpBehindTheCursorAlike) {
  // Past the size where a worker looks shared strings up a few cells after
  // reading them: strings at random between cells whose text lies in the
  // cursor's own buffers (inline, escaped, errors), and an index past the end.
  std::string items;
  for (int i = 0; i < 6000; ++i)
    items += "<si><t>string " + std::to_string(i) + (i % 9 ? "" : ", with a comma") + "</t></si>";
  items += "<si><t></t></si>";
  auto bookOf = [&](int badIndexRow) {
    std::string data;
    for (int r = 1; r <= 3000; ++r) {
      std::string n = std::to_string(r);
      data += "<row r=\"" + n + "\">";
      for (char col : std::string("ABCDEF")) {
        const int index = (r * 7919 + col * 104729) % 6001;
        data += std::string("<c r=\"") + col + n + "\" t=\"s\"><v>" +
                std::to_string(r == badIndexRow && col == 'D' ? 6001 : index) + "</v></c>";
      }
      if (r % 4 == 0)
        data += "<c r=\"G" + n + "\" t=\"inlineStr\"><is><t>in " + n + "</t></is></c>";
      if (r % 5 == 0) data += "<c r=\"H" + n + "\" t=\"str\"><v>a&amp;b</v></c>";
      if (r % 6 == 0) data += "<c r=\"I" + n + "\" t=\"e\"><v>#REF!</v></c>";
      data += "<c r=\"J" + n + "\" s=\"1\"><v>" + n + ".5</v></c></row>";
    }
    test::XlsxBuilder book = styledBook(data);
    book.sharedStrings(items);
    return book;
  };
  test::TempDir dir;
  const std::string path = dir.file("strings.xlsx");
  bookOf(0).write(path);
  expectSameAtAnyThreadCount(path, {2, 3, 8});
  test::expectSameSeparatedByCommasAndRaw(path);
  auto reader = openWorkbookReader(path, {});
  for (std::size_t piece : {std::size_t(300), std::size_t(8192)}) {
    auto both = bothStreams(*reader, 0, 2, piece);
    ASSERT_TRUE(both.has_value());
    expectSameStream(both->first, both->second, "piece " + std::to_string(piece));
  }

  // Most of the table in its temporary file: those strings are looked up
  // under the lock when their cells are handed on.
  const std::size_t saved = StringTable::defaultMemoryLimit();
  StringTable::setDefaultMemoryLimit(std::size_t(32) << 10);
  const Converted spilledOne = convert(path, 1, {}, dir.file("spilled1.txt"));
  const Converted spilledTwo = convert(path, 1, inPieces(2, 4096), dir.file("spilled2.txt"));
  StringTable::setDefaultMemoryLimit(saved);
  EXPECT_EQ(spilledTwo, spilledOne);
  EXPECT_EQ(spilledOne, convert(path, 1, {}, dir.file("inmemory.txt")));

  const std::string bad = dir.file("badindex.xlsx");
  bookOf(2500).write(bad);
  const Converted expected = convert(bad, 1, {}, dir.file("one.txt"));
  ASSERT_NE(expected.error.find("6001"), std::string::npos) << expected;
  EXPECT_EQ(convert(bad, 1, inPieces(2, 2048), dir.file("two.txt")), expected);
}

TEST(ParallelSheet, CutsThatAreNoRowEndsAreNotBelieved) {
  test::TempDir dir;
  // Row ends inside a comment, a CDATA text and a processing instruction;
  // rows and cells without references that count on the row before; an
  // end tag with a prefix; cells after the cell data.
  std::string data;
  for (int r = 1; r <= 800; ++r) {
    std::string n = std::to_string(r);
    if (r % 50 == 0) data += "<!-- </row> --><?pi </row>?>";
    if (r % 3 == 0)
      data += "<row><c><v>" + n + "</v></c><c t=\"str\"><v><![CDATA[a</row>b]]></v></c></row>";
    else
      data += "<row r=\"" + std::to_string(r * 2) + "\"><c r=\"B" + std::to_string(r * 2) +
              "\"><v>" + n + "</v></c></row>";
  }
  const std::string odd = dir.file("odd.xlsx");
  styledBook(data + "</sheetData><sheetData><row r=\"9999\"><c><v>1</v></c></row>").write(odd);
  expectSameAtAnyThreadCount(odd, {2, 3, 8});

  // Prefixed names (x:row, x:c) throughout.
  const std::string strict = dir.file("strict.xlsx");
  std::string prefixed;
  for (char c : styledSheetData(400)) {
    prefixed += c;
    if (c == '<') prefixed += "x:";
  }
  for (std::size_t at = 0; (at = prefixed.find("x:/", at)) != std::string::npos;)
    prefixed.replace(at, 3, "/x:");
  test::XlsxBuilder()
      .worksheet("S", prefixed)
      .sharedStrings("<x:si><x:t>a</x:t></x:si><x:si><x:t>b</x:t></x:si><x:si><x:t/></x:si>")
      .strict()
      .write(strict);
  auto reader = openWorkbookReader(strict, {});
  auto both = bothStreams(*reader, 0, 2, 512);
  ASSERT_TRUE(both.has_value());
  EXPECT_EQ(both->second.cells.size(), both->first.cells.size());
  EXPECT_GT(both->first.cells.size(), 1600u);
  expectSameAtAnyThreadCount(strict, {2, 8});
}

TEST(ParallelSheet, AStopEndsTheWorkersAndLeavesNoFile) {
  test::TempDir dir;
  const std::string path = dir.file("large.xlsx");
  styledBook(styledSheetData(20000)).write(path);
  std::stop_source stop;
  stop.request_stop();
  auto app = createApplication();
  Workbook& book = app->open(path);
  const std::string out = dir.file("out.txt");
  EXPECT_THROW(book.saveAs(out, xlCurrentPlatformText, stop.get_token(), inPieces(4, 4096)),
               StopRequested);
  EXPECT_FALSE(fs::exists(out));
  // A cursor dropped half read stops its workers.
  test::dropHalfRead(path);
}

TEST(SheetProgress, ReportingProgressKeepsTheFormattedRowsAndColumns) {
  test::TempDir dir;
  const std::string path = dir.file("styled.xlsx");
  styledBook(styledSheetData(5000)).write(path);  // column L hidden, past every cell
  const Converted plain = convert(path, 1, {}, dir.file("plain.txt"));
  ASSERT_TRUE(plain.error.empty()) << plain;
  for (unsigned threads : {1u, 2u}) {
    auto app = createApplication();
    Workbook& book = app->open(path);
    int reports = 0;
    book.setProgress([&](std::uint64_t, std::uint64_t) { ++reports; });
    const std::string out = dir.file("progress.txt");
    book.saveAs(out, xlCurrentPlatformText, {}, inPieces(threads, 4096));
    EXPECT_EQ(test::readFile(out), plain.text) << threads << " threads";
    EXPECT_GT(reports, 1);
  }
}

TEST(ParallelSheet, WorkbooksAtOnceAndSheetThreadsShareTheCores) {
  EXPECT_EQ(SheetThreads(2, 2, 10), 1u);  // -j 2 on a folder: one thread each
  EXPECT_EQ(SheetThreads(2, 2, 1), 2u);   // one workbook: both cores on its sheets
  EXPECT_EQ(SheetThreads(8, 3, 10), 2u);
  EXPECT_EQ(SheetThreads(8, 16, 3), 2u);  // only three workbooks run at once
  EXPECT_EQ(SheetThreads(1, 4, 4), 1u);
  EXPECT_GE(SheetThreads(0, 1, 1), 1u);  // the machine's cores
}

}  // namespace
}  // namespace quorvel::spreadsheet
