#include "engine/spreadsheet/progress_cursor.h"

#include <algorithm>

namespace quorvel::spreadsheet {

ProgressCursor::ProgressCursor(std::unique_ptr<SheetCursor> inner, SheetProgress progress)
    : inner_(std::move(inner)), progress_(std::move(progress)) {}

bool ProgressCursor::next(Cell& cell) {
  if (!inner_->next(cell)) return false;
  if (cells_++ % kInterval == 0) {
    // The recorded range is only a hint: rows outside it count as its
    // first or last.
    std::uint64_t read = cell.row;
    std::uint64_t rows = 0;
    if (const std::optional<CellRange> range = inner_->storedRange()) {
      rows = std::uint64_t{range->bottom} - range->top + 1;
      read = cell.row < range->top ? 0 : std::min<std::uint64_t>(cell.row - range->top, rows);
    }
    progress_(read, rows);
  }
  return true;
}

}  // namespace quorvel::spreadsheet
