#pragma once
// Writes one worksheet as tab-separated text: UTF-8, CR LF after every row,
// the used range computed from the stored cells and the formatted rows and
// columns, every row padded to the range's width, cells with quotes, tabs,
// line breaks or commas quoted.
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "engine/spreadsheet/numfmt/cell_formatter.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

struct SheetStats {
  std::uint32_t rows = 0;     // rows written (the used range's height)
  std::uint32_t columns = 0;  // fields per row (the used range's width)
};

// Reads the cursor to its end and writes `outputPath`, replacing an existing
// file once the text is complete (until then it is written under a hidden
// temporary name beside it, removed on any failure). The range is only known after the last cell,
// so the cells' texts are spooled (in memory, then in an anonymous temporary file) and the file is
// written from the spool: memory stays bounded by one row.
// Throws FormatError for damaged cell data, SpreadsheetError (CannotWrite)
// when the file cannot be written, and StopRequested soon after `stop` is
// requested, even in the middle of the sheet.
SheetStats writeSheetText(SheetCursor& cursor, const CellFormatter& formatter,
                          const std::string& outputPath, std::stop_token stop = {});

// The same for the worksheet that `open` gives cursors over. When the sheet
// records its used range, rows go straight to the file and every cell is
// checked against that range; if any disagrees, a fresh cursor reads the
// sheet again through the spool.
SheetStats writeSheetText(const std::function<std::unique_ptr<SheetCursor>()>& open,
                          const CellFormatter& formatter, const std::string& outputPath,
                          std::stop_token stop = {});

// Appends `text` to `out` as one field: quoted when it holds a double quote,
// tab, line feed, carriage return or comma, with inner quotes doubled.
void appendField(std::string_view text, std::string& out);

}  // namespace quorvel::spreadsheet
