#pragma once
// Streams the cells of one worksheet part (sheetN.bin) record by record.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsb/record_reader.h"

namespace quorvel::spreadsheet::xlsb {

// How a cursor over a piece of the cell table starts: right after
// BrtBeginSheetData or at a row header.
struct PieceStart {
  // The column records and row height read before the cell table.
  FormattedLineTracker lines;
  // Shared by the cursors that look up shared strings at once (see
  // StringTable::at).
  std::mutex* stringsLock = nullptr;
};

class WorksheetCursor final : public SheetCursor {
 public:
  WorksheetCursor(std::unique_ptr<SequentialSource> source, std::string partName,
                  const StringTable& strings, const EmptyCellLooks& emptyCellLooks);
  // A cursor over `bytes` in memory: the part's records before its cell
  // table, or with `piece`, a piece of the cell table that ends at a row
  // header or at the part's end. A piece that holds a record the cells
  // after it count on (column records, the default row height, the
  // recorded range) throws FormatError: the caller reads the part whole.
  WorksheetCursor(std::string_view bytes, std::string partName, const StringTable& strings,
                  const EmptyCellLooks& emptyCellLooks, std::optional<PieceStart> piece = {});
  bool next(Cell& cell) override;
  std::optional<CellRange> storedRange() const override { return storedRange_; }
  FormattedLines formattedLines() const override { return lines_.lines(); }
  // BrtEndSheetData was met: the cells end here.
  bool cellDataClosed() const { return closed_; }
  const FormattedLineTracker& lineTracker() const { return lines_; }

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
  bool done_ = false, closed_ = false;
  std::mutex* stringsLock_ = nullptr;  // for a piece
  bool inPiece_ = false;
  std::string text_;  // the current cell's inline text, or a shared one copied
};

}  // namespace quorvel::spreadsheet::xlsb
