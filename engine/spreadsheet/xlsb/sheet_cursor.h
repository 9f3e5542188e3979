#pragma once
// Streams the cells of one worksheet part (sheetN.bin) record by record.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsb/record_reader.h"
#include "engine/spreadsheet/xlsb/workbook_parts.h"

namespace quorvel::spreadsheet::xlsb {

class XlsbSheetCursor final : public SheetCursor {
 public:
  XlsbSheetCursor(std::unique_ptr<ByteSource> source, std::string partName,
                  const SharedStrings& strings);
  bool next(Cell& cell) override;

 private:
  // Fills `cell` from the current cell record; `shortForm` records have no
  // column field.
  void readCell(Cell& cell, bool shortForm);
  [[noreturn]] void bad(const std::string& what) const;

  std::unique_ptr<ByteSource> source_;
  RecordReader reader_;
  const SharedStrings& strings_;
  bool inRow_ = false;
  std::uint32_t row_ = 0;
  std::int64_t previousColumn_ = -1;  // of the row's last cell, for the short forms
  bool done_ = false;
  std::string text_;  // the current cell's inline text
};

// The value of an RkNumber ([MS-XLSB] 2.5.122, as in [MS-XLS]).
double decodeRk(std::uint32_t rk);

}  // namespace quorvel::spreadsheet::xlsb
