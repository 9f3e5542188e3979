#pragma once
// A cell cursor that says how far through its worksheet it is, so that a
// long worksheet shows progress while it is read.
#include <memory>

#include "engine/spreadsheet/automation.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

class ProgressCursor final : public SheetCursor {
 public:
  // Reports at the first cell and then every kInterval cells: the rows
  // before the current cell's row, of the rows of the recorded range.
  ProgressCursor(std::unique_ptr<SheetCursor> inner, SheetProgress progress);

  bool next(Cell& cell) override;
  std::optional<CellRange> storedRange() const override { return inner_->storedRange(); }
  FormattedLines formattedLines() const override { return inner_->formattedLines(); }

  static constexpr std::uint32_t kInterval = 4096;

 private:
  std::unique_ptr<SheetCursor> inner_;
  SheetProgress progress_;
  std::uint32_t cells_ = 0;
};

}  // namespace quorvel::spreadsheet
