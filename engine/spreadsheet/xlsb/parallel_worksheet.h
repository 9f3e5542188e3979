#pragma once
// One large worksheet part read by several threads (see parallel_pieces.h):
// its cell table is cut just before row headers, found by walking the
// record headers from each piece's start, and each piece is read by a
// WorksheetCursor over its bytes.
#include <memory>
#include <stop_token>
#include <string>

#include "engine/spreadsheet/parallel_pieces.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet::xlsb {

// What the cursors of one workbook's sheets share.
struct SheetContext {
  const StringTable& strings;
  const EmptyCellLooks& emptyCellLooks;
};

// A cursor over the part `partName` that `read` yields, its cells as
// CellKind::Field (runs of fields joined by `how.separator`, and blank
// cells); the cells, their order, the recorded range and the formatted lines
// are those a WorksheetCursor over the part gives. `how.threads` counts the
// calling thread. nullptr when the cell table cannot be found in the first
// kMaxSheetPieceBytes, or the records before it are not what they should be:
// one thread reads such a part. The formatter behind `write` must be
// prepared (CellFormatter::prepareAllStyles). Throws FormatError for damage
// and for a cell table that cannot be read in pieces: the caller then reads
// the part on one thread. StopRequested once `stop` is.
std::unique_ptr<SheetCursor> openParallelWorksheet(ReadBytes read, std::string partName,
                                                   const SheetContext& context,
                                                   const ParallelReading& how, FieldWriter write,
                                                   std::stop_token stop);

}  // namespace quorvel::spreadsheet::xlsb
