#include "tests/support/sheet_in_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

using namespace quorvel::spreadsheet;
namespace fs = std::filesystem;

std::vector<fs::path> corpusFiles(const std::vector<std::string>& extensions) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(corpusDir())) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() &&
        std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::ostream& operator<<(std::ostream& os, const Converted& c) {
  return os << (c.error.empty() ? "text of " + std::to_string(c.text.size()) + " bytes"
                                : "error: " + c.error);
}

Converted convert(const std::string& path, int sheet, const TextOptions& options,
                  const std::string& out, std::stop_token stop) {
  Converted result;
  try {
    auto app = createApplication();
    Workbook& book = app->open(path);
    book.selectSheet(sheet);
    book.saveAs(out, xlCurrentPlatformText, stop, options);
    result.text = test::readFile(out);
  } catch (const SpreadsheetError& e) {
    result.error = std::to_string(e.number()) + " " + e.what();
  }
  return result;
}

TextOptions inPieces(unsigned threads, std::size_t pieceBytes) {
  TextOptions options;
  options.parallel.threads = threads;
  options.parallel.pieceBytes = pieceBytes;
  options.parallel.minSheetBytes = 0;
  return options;
}

int expectSameAtAnyThreadCount(const std::string& path, const std::vector<unsigned>& threads,
                               TextOptions base) {
  test::TempDir dir;
  int sheets = 0;
  try {
    sheets = createApplication()->open(path).worksheetCount();
  } catch (const SpreadsheetError&) {
    return 0;  // a workbook that does not open has no sheet to read in pieces
  }
  for (int s = 1; s <= sheets; ++s) {
    const Converted one = convert(path, s, base, dir.file("one.txt"));
    for (unsigned n : threads)
      for (std::size_t piece : {std::size_t(1), std::size_t(300), std::size_t(64) << 10}) {
        TextOptions options = inPieces(n, piece);
        options.separator = base.separator;
        options.values = base.values;
        EXPECT_EQ(convert(path, s, options, dir.file("many.txt")), one)
            << path << " sheet " << s << ", " << n << " threads, pieces of " << piece;
      }
  }
  return sheets;
}

void expectSameSeparatedByCommasAndRaw(const std::string& path) {
  TextOptions csv;
  csv.separator = ',';
  expectSameAtAnyThreadCount(path, {2, 8}, csv);
  TextOptions raw;
  raw.values = CellValues::Raw;
  expectSameAtAnyThreadCount(path, {3}, raw);
}

namespace {

// The fields of a run (see CellKind::Field) at their columns; empty ones
// are gaps. A quoted field may hold tabs.
std::vector<std::pair<std::uint32_t, std::string>> runFields(const Cell& run) {
  std::vector<std::pair<std::uint32_t, std::string>> out;
  std::uint32_t col = run.col;
  std::string field;
  bool quoted = false;
  for (char c : run.text) {
    if (c == '"') quoted = !quoted;
    if (c == '\t' && !quoted) {
      if (!field.empty()) out.emplace_back(col, field);
      field.clear();
      ++col;
    } else {
      field += c;
    }
  }
  out.emplace_back(col, field);
  EXPECT_EQ(col, run.lastCol) << run.text;
  return out;
}

}  // namespace

CellStream streamOf(SheetCursor& cursor, const CellFormatter& formatter) {
  CellStream s;
  Cell cell;
  while (cursor.next(cell)) {
    if (cell.kind == CellKind::Field && cell.lastCol > cell.col) {
      for (auto& [col, field] : runFields(cell)) s.cells.emplace_back(cell.row, col, false, field);
      if (s.range == std::nullopt) s.range = cursor.storedRange();
      continue;
    }
    std::string field;
    bool blank = !appendCellField(cell, formatter, CellValues::Displayed, field);
    s.cells.emplace_back(cell.row, cell.col, blank, field);
    if (s.cells.size() == 1) s.range = cursor.storedRange();
  }
  s.lines = cursor.formattedLines();
  return s;
}

void expectSameStream(const CellStream& a, const CellStream& b, const std::string& what) {
  EXPECT_EQ(a.cells, b.cells) << what;
  EXPECT_EQ(a.range, b.range) << what;
  EXPECT_EQ(a.lines.rows, b.lines.rows) << what;
  EXPECT_EQ(a.lines.columns, b.lines.columns) << what;
}

std::optional<std::pair<CellStream, CellStream>> bothStreams(WorkbookReader& reader,
                                                             std::size_t index, unsigned threads,
                                                             std::size_t pieceBytes) {
  const CellFormatter& formatter = reader.formatter();
  CellStream one = streamOf(*reader.openWorksheet(index), formatter);
  ParallelReading how;
  how.threads = threads;
  how.pieceBytes = pieceBytes;
  how.minSheetBytes = 0;
  auto cursor =
      reader.openWorksheetInParallel(index, how,
                                     [&](const Cell& c, std::string& out) {
                                       appendCellField(c, formatter, CellValues::Displayed, out);
                                     },
                                     {});
  if (!cursor) return std::nullopt;
  return std::make_pair(std::move(one), streamOf(*cursor, formatter));
}

void dropHalfRead(const std::string& path) {
  auto reader = openWorkbookReader(path, {});
  const CellFormatter& formatter = reader->formatter();
  ParallelReading how;
  how.threads = 3;
  how.pieceBytes = 1024;
  how.minSheetBytes = 0;
  auto cursor = reader->openWorksheetInParallel(
      0, how,
      [&](const Cell& c, std::string& o) { appendCellField(c, formatter, CellValues::Raw, o); },
      {});
  ASSERT_NE(cursor, nullptr);
  Cell cell;
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(cursor->next(cell));
  cursor.reset();
}

}  // namespace quorvel::test
