#include "engine/spreadsheet/xlsb/sheet_cursor.h"

#include <cstring>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/xlsb/record_fields.h"
#include "engine/spreadsheet/xlsb/record_types.h"

namespace quorvel::spreadsheet::xlsb {

double decodeRk(std::uint32_t rk) {
  double value;
  if (rk & 0x2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    // The 30 high bits are the high bits of a double; the rest are zero.
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 0x1) ? value / 100 : value;
}

XlsbSheetCursor::XlsbSheetCursor(std::unique_ptr<ByteSource> source, std::string partName,
                                 const SharedStrings& strings)
    : source_(std::move(source)), reader_(*source_, std::move(partName)), strings_(strings) {}

void XlsbSheetCursor::bad(const std::string& what) const {
  damaged("the part " + reader_.partName() + " has " + what + " (record at byte " +
          std::to_string(reader_.recordOffset()) + ")");
}

bool XlsbSheetCursor::next(Cell& cell) {
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

void XlsbSheetCursor::readCell(Cell& cell, bool shortForm) {
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
      std::uint32_t index = f.u32();
      if (index >= strings_.size())
        bad("a shared string index " + std::to_string(index) + " past the table of " +
            std::to_string(strings_.size()) + " strings");
      cell.kind = CellKind::Text;
      cell.text = strings_.at(index);
      break;
    }
    default:
      break;
  }
}

}  // namespace quorvel::spreadsheet::xlsb
