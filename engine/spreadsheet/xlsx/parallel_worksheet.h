#pragma once
// One large worksheet part read by several threads (see parallel_pieces.h):
// its cell data is cut after row end tags, and each piece is read by a
// WorksheetCursor started inside the cell data.
#include <memory>
#include <stop_token>

#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsx/worksheet_cursor.h"

namespace quorvel::spreadsheet::xlsx {

// What the cursors of one workbook's sheets share.
struct SheetContext {
  const StringTable& strings;
  bool date1904;
  const GeneralStyles& generalStyles;
  const EmptyCellLooks& emptyCellLooks;
};

// A cursor over the part `stream` yields, its cells as CellKind::Field (runs
// of fields joined by `how.separator`, and blank cells); the cells, their
// order, the recorded range and the formatted lines are those a
// WorksheetCursor over the part gives. `how.threads` counts the calling
// thread. nullptr when the part is smaller than
// `how.minSheetBytes`, or its cell data cannot be found or holds no cells:
// one thread reads such a part. The formatter behind `write` must be
// prepared (CellFormatter::prepareAllStyles). Throws FormatError for damage,
// and for cell data that turns out not to be cut where it was cut (a row
// that counts on the row before it, a piece that ends inside a cell): the
// caller then reads the part on one thread. StopRequested once `stop` is.
std::unique_ptr<SheetCursor> openParallelWorksheet(std::unique_ptr<PartStream> stream,
                                                   const SheetContext& context,
                                                   const ParallelReading& how, FieldWriter write,
                                                   std::stop_token stop);

}  // namespace quorvel::spreadsheet::xlsx
