#pragma once
// Streams the cells of one worksheet part (sheetN.bin) record by record.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsb/record_reader.h"

namespace quorvel::spreadsheet::xlsb {

class WorksheetCursor final : public SheetCursor {
 public:
  WorksheetCursor(std::unique_ptr<SequentialSource> source, std::string partName,
                  const StringTable& strings);
  bool next(Cell& cell) override;

 private:
  // Fills `cell` from the current cell record; `shortForm` records have no
  // column field.
  void readCell(Cell& cell, bool shortForm);
  // "the part ... has `what` (record at byte ...)", for errors.
  std::string problem(const std::string& what) const;
  [[noreturn]] void bad(const std::string& what) const;

  std::unique_ptr<SequentialSource> source_;
  RecordReader reader_;
  const StringTable& strings_;
  bool inRow_ = false;
  std::uint32_t row_ = 0;
  std::int64_t previousColumn_ = -1;  // of the row's last cell, for the short forms
  bool done_ = false;
  std::string text_;  // the current cell's inline text
};

}  // namespace quorvel::spreadsheet::xlsb
