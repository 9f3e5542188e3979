#include "engine/spreadsheet/xlsb/worksheet_cursor.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/rk_number.h"
#include "engine/spreadsheet/xlsb/record_fields.h"
#include "engine/spreadsheet/xlsb/record_types.h"

namespace quorvel::spreadsheet::xlsb {

WorksheetCursor::WorksheetCursor(std::unique_ptr<SequentialSource> source, std::string partName,
                                 const StringTable& strings)
    : source_(std::move(source)), reader_(*source_, std::move(partName)), strings_(strings) {}

std::string WorksheetCursor::problem(const std::string& what) const {
  return "the part " + reader_.partName() + " has " + what + " (record at byte " +
         std::to_string(reader_.recordOffset()) + ")";
}

void WorksheetCursor::bad(const std::string& what) const {
  damaged(problem(what));
}

bool WorksheetCursor::next(Cell& cell) {
  while (!done_ && reader_.next()) {
    std::uint16_t type = reader_.type();
    if (type == BrtRowHdr) {
      RecordFields f(reader_.payload(), type, reader_.partName());
      std::uint32_t row = f.u32();
      if (row >= kMaxRows) bad("a row number past the sheet's last row");
      row_ = row;
      inRow_ = true;
      previousColumn_ = -1;
    } else if (type <= BrtFmlaError) {
      readCell(cell, false);
      return true;
    } else if (type <= BrtShortIsst || type == BrtCellRString) {
      readCell(cell, type != BrtCellRString);
      return true;
    } else if (type == BrtEndSheetData) {
      // Nothing after the cell table holds a value.
      done_ = true;
    }
  }
  done_ = true;
  return false;
}

void WorksheetCursor::readCell(Cell& cell, bool shortForm) {
  if (!inRow_) bad("a cell before the first row");
  std::uint16_t type = reader_.type();
  RecordFields f(reader_.payload(), type, reader_.partName());
  std::int64_t column = shortForm ? previousColumn_ + 1 : static_cast<std::int64_t>(f.u32());
  if (column >= kMaxColumns) bad("a cell past the sheet's last column");
  previousColumn_ = column;
  cell.row = row_;
  cell.col = static_cast<std::uint32_t>(column);
  cell.style = f.u24();
  f.u8();  // fPhShow and reserved bits
  cell.number = 0;
  cell.text = {};

  auto error = [&](std::uint8_t code) {
    cell.kind = CellKind::Error;
    cell.text = errorCodeText(code);
  };
  auto inlineText = [&](bool rich) {
    text_.clear();
    if (rich)
      f.richString(text_);
    else
      f.wideString(text_);
    cell.kind = CellKind::Text;
    cell.text = text_;
  };

  switch (type) {
    case BrtCellBlank:
    case BrtShortBlank:
      cell.kind = CellKind::Blank;
      break;
    case BrtCellRk:
    case BrtShortRk:
      cell.kind = CellKind::Number;
      cell.number = decodeRk(f.u32());
      break;
    case BrtCellError:
    case BrtShortError:
    case BrtFmlaError:
      error(f.u8());
      break;
    case BrtCellBool:
    case BrtShortBool:
    case BrtFmlaBool:
      cell.kind = CellKind::Boolean;
      cell.number = f.u8() != 0 ? 1 : 0;
      break;
    case BrtCellReal:
    case BrtShortReal:
    case BrtFmlaNum:
      cell.kind = CellKind::Number;
      cell.number = f.f64();
      break;
    case BrtCellSt:
    case BrtShortSt:
    case BrtFmlaString:
      inlineText(false);
      break;
    case BrtCellRString:
      inlineText(true);
      break;
    case BrtCellIsst:
    case BrtShortIsst: {
      cell.text = strings_.at(f.u32(), [&](std::uint64_t index, std::size_t size) {
        return problem("a shared string index " + std::to_string(index) + " past the table of " +
                       std::to_string(size) + " strings");
      });
      cell.kind = CellKind::Text;
      break;
    }
    default:
      break;
  }
}

}  // namespace quorvel::spreadsheet::xlsb
