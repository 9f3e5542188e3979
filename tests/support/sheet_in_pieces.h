#pragma once
// One worksheet read on one thread and by several in pieces, for the tests
// that require both to give the same cells, text or error.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::test {

// The corpus workbooks whose names end in one of `extensions`, sorted.
std::vector<std::filesystem::path> corpusFiles(const std::vector<std::string>& extensions);

// What a conversion of one worksheet gave: its text, or its error.
struct Converted {
  std::string text, error;
  bool operator==(const Converted&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Converted& c);

// Worksheet `sheet` (1-based) of the workbook at `path` converted to `out`.
Converted convert(const std::string& path, int sheet, const spreadsheet::TextOptions& options,
                  const std::string& out, std::stop_token stop = {});

// Cut into pieces of `pieceBytes`, however small the sheet.
spreadsheet::TextOptions inPieces(unsigned threads, std::size_t pieceBytes);

// Every worksheet of the workbook converted on one thread and on `threads`,
// cut into tiny and into middling pieces; the texts (or errors) must match.
// Returns the number of worksheets compared.
int expectSameAtAnyThreadCount(const std::string& path, const std::vector<unsigned>& threads,
                               spreadsheet::TextOptions base = {});

// The same with commas for separators (at 2 and 8 threads), and with raw
// values (at 3): the workers write the fields as the writer would.
void expectSameSeparatedByCommasAndRaw(const std::string& path);

// The cells a cursor yields, with their fields as the writer writes them.
struct CellStream {
  std::vector<std::tuple<std::uint32_t, std::uint32_t, bool, std::string>> cells;
  std::optional<spreadsheet::CellRange> range;
  spreadsheet::FormattedLines lines;
};

CellStream streamOf(spreadsheet::SheetCursor& cursor, const spreadsheet::CellFormatter& formatter);
void expectSameStream(const CellStream& a, const CellStream& b, const std::string& what);

// The cell streams of worksheet `index` on one thread and cut into pieces;
// nullopt when the parallel reader declined or failed.
std::optional<std::pair<CellStream, CellStream>> bothStreams(spreadsheet::WorkbookReader& reader,
                                                             std::size_t index, unsigned threads,
                                                             std::size_t pieceBytes);

// The first worksheet read in pieces by three threads, dropped after 100
// cells: its workers must stop (else the test hangs or leaks).
void dropHalfRead(const std::string& path);

}  // namespace quorvel::test
