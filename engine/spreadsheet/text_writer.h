#pragma once
// Writes one worksheet as tab-separated (or comma-separated) text: UTF-8,
// CR LF after every row, the used range computed from the stored cells and
// the formatted rows and columns, every row padded to the range's width,
// cells with quotes, tabs, line breaks or commas quoted.
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/cell_formatter.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

struct SheetStats {
  std::uint32_t rows = 0;     // rows written (the used range's height)
  std::uint32_t columns = 0;  // fields per row (the used range's width)
};

// What a cell's field holds.
enum class CellValues {
  Displayed,  // the text the spreadsheet shows, through the cell's number format
  // The value itself: numbers in the shortest form that reads back to the
  // same double, dates and times of date-formatted cells in ISO 8601,
  // TRUE/FALSE, errors as shown, text as stored.
  Raw,
};

// How a worksheet's text is written. The defaults are the window's.
struct TextOptions {
  char separator = '\t';  // between fields: '\t', or ',' for comma-separated text
  CellValues values = CellValues::Displayed;
  // The most bytes the separators and line ends of a worksheet's used range
  // may take (what its empty cells alone cost): a larger sheet is refused
  // before anything is written.
  std::uint64_t maxPaddingBytes = kMaxSheetPaddingBytes;
  // Threads that read one large worksheet; the text is the same for any number.
  ParallelReading parallel;
};

// A worksheet refused by TextOptions::maxPaddingBytes. The detail says the
// range and the sizes; the component adds the file and worksheet names.
class SheetTooLarge : public FormatError {
 public:
  explicit SheetTooLarge(std::string detail)
      : FormatError(ErrorCode::TooLarge, std::move(detail)) {}
};

// The bytes the separators and line ends of `rows` lines of `columns`
// fields take: the size of the text when every cell is empty.
std::uint64_t paddingBytes(std::uint64_t rows, std::uint64_t columns);

// Reads the cursor to its end and writes `outputPath`, replacing an existing
// file once the text is complete (until then it is written under a hidden
// temporary name beside it, removed on any failure); kStandardOutput
// (atomic_file.h) sends the complete text to standard output. The range is
// only known after the last cell, so the cells' texts are spooled (in
// memory, then in an anonymous temporary file) and the file is written from
// the spool: memory stays bounded by one row.
// Throws FormatError for damaged cell data, SheetTooLarge (before creating
// any file) for a range past `options.maxPaddingBytes`, SpreadsheetError
// (CannotWrite) when the file cannot be written, and StopRequested soon
// after `stop` is requested, even in the middle of the sheet.
SheetStats writeSheetText(SheetCursor& cursor, const CellFormatter& formatter,
                          const std::string& outputPath, std::stop_token stop = {},
                          const TextOptions& options = {});

// The same for the worksheet that `open` gives cursors over. When the sheet
// records its used range, rows go straight to the file and every cell is
// checked against that range; if any disagrees, a fresh cursor reads the
// sheet again through the spool. A recorded range past the padding limit is
// not believed either: the spool finds the real one before refusing it.
SheetStats writeSheetText(const std::function<std::unique_ptr<SheetCursor>()>& open,
                          const CellFormatter& formatter, const std::string& outputPath,
                          std::stop_token stop = {}, const TextOptions& options = {});

// Appends the field of `cell` to `out` as writeSheetText writes it: through
// `formatter` as `values` says, quoted where needed; a Field cell's text as
// it stands. False for a blank cell, which adds nothing. Safe on several
// threads at once once CellFormatter::prepareAllStyles() has run.
bool appendCellField(const Cell& cell, const CellFormatter& formatter, CellValues values,
                     std::string& out);

// Appends `text` to `out` as one field: quoted when it holds a double quote,
// tab, line feed, carriage return or comma, with inner quotes doubled.
void appendField(std::string_view text, std::string& out);

}  // namespace quorvel::spreadsheet
