#pragma once
// Streams the cells of one worksheet part (sheetN.bin) record by record.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsb/record_reader.h"

namespace quorvel::spreadsheet::xlsb {

class WorksheetCursor final : public SheetCursor {
 public:
  WorksheetCursor(std::unique_ptr<SequentialSource> source, std::string partName,
                  const StringTable& strings, const EmptyCellLooks& emptyCellLooks);
  bool next(Cell& cell) override;
  std::optional<CellRange> storedRange() const override { return storedRange_; }
  FormattedLines formattedLines() const override { return lines_.lines(); }

 private:
  void readRowHeader();
  // The records before the cell table that the used range needs.
  void readSheetProperty(std::uint16_t type);
  // Fills `cell` from the current cell record; `shortForm` records have no
  // column field.
  void readCell(Cell& cell, bool shortForm);
  // "the part ... has `what` (record at byte ...)", for errors.
  std::string problem(const std::string& what) const;
  [[noreturn]] void bad(const std::string& what) const;

  std::unique_ptr<SequentialSource> source_;
  RecordReader reader_;
  const StringTable& strings_;
  const EmptyCellLooks& emptyCellLooks_;
  FormattedLineTracker lines_;
  std::optional<CellRange> storedRange_;  // the sheet's BrtWsDim
  bool inRow_ = false;
  std::uint32_t row_ = 0;
  std::int64_t previousColumn_ = -1;  // of the row's last cell, for the short forms
  bool done_ = false;
  std::string text_;  // the current cell's inline text
};

}  // namespace quorvel::spreadsheet::xlsb
