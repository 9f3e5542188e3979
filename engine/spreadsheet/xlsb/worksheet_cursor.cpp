#include "engine/spreadsheet/xlsb/worksheet_cursor.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/rk_number.h"
#include "engine/spreadsheet/xlsb/record_fields.h"
#include "engine/spreadsheet/xlsb/record_types.h"

namespace quorvel::spreadsheet::xlsb {

WorksheetCursor::WorksheetCursor(std::unique_ptr<SequentialSource> source, std::string partName,
                                 const StringTable& strings, const EmptyCellLooks& emptyCellLooks)
    : source_(std::move(source)),
      reader_(*source_, std::move(partName)),
      strings_(strings),
      emptyCellLooks_(emptyCellLooks),
      lines_(kMaxColumns - 1) {}

WorksheetCursor::WorksheetCursor(std::string_view bytes, std::string partName,
                                 const StringTable& strings, const EmptyCellLooks& emptyCellLooks,
                                 std::optional<PieceStart> piece)
    : reader_(bytes, std::move(partName)),
      strings_(strings),
      emptyCellLooks_(emptyCellLooks),
      lines_(piece ? std::move(piece->lines) : FormattedLineTracker(kMaxColumns - 1)) {
  if (piece) {
    inPiece_ = true;
    stringsLock_ = piece->stringsLock;
  }
}

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
      readRowHeader();
    } else if (type <= BrtFmlaError) {
      readCell(cell, false);
      return true;
    } else if (type <= BrtShortIsst || type == BrtCellRString) {
      readCell(cell, type != BrtCellRString);
      return true;
    } else if (type == BrtEndSheetData) {
      // Nothing after the cell table holds a value.
      done_ = closed_ = true;
    } else {
      readSheetProperty(type);
    }
  }
  done_ = true;
  return false;
}

void WorksheetCursor::readRowHeader() {
  RecordFields f(reader_.payload(), BrtRowHdr, reader_.partName());
  std::uint32_t row = f.u32();
  if (row >= kMaxRows) bad("a row number past the sheet's last row");
  row_ = row;
  inRow_ = true;
  previousColumn_ = -1;
  // ixfe, miyRw, then fExtraAsc/fExtraDsc and a byte of iOutLevel (3 bits),
  // fCollapsed, fDyZero (hidden), fUnsynced (custom height), fGhostDirty
  // (own format). Rows written without them are plain rows.
  if (f.remaining() < 8) return;
  f.u32();
  StoredRow stored;
  stored.heightTwips = f.u16();
  f.u8();
  std::uint8_t flags = f.u8();
  stored.hidden = flags & 0x10;
  stored.customHeight = flags & 0x20;
  stored.ownFormat = flags & 0x40;
  lines_.addRow(row, stored);
}

void WorksheetCursor::readSheetProperty(std::uint16_t type) {
  if (inPiece_ && (type == BrtWsDim || type == BrtWsFmtInfo || type == BrtColInfo))
    bad("a sheet property among its cells");
  switch (type) {
    case BrtWsDim: {
      // rwFirst, rwLast, colFirst, colLast; only a hint, so a bad one is none.
      RecordFields f(reader_.payload(), type, reader_.partName());
      if (f.remaining() < 16) return;
      CellRange r;
      r.top = f.u32();
      r.bottom = f.u32();
      r.left = f.u32();
      r.right = f.u32();
      if (r.top <= r.bottom && r.left <= r.right && r.bottom < kMaxRows && r.right < kMaxColumns)
        storedRange_ = r;
      return;
    }
    case BrtWsFmtInfo: {
      // dxGCol, cchDefColWidth, miyDefRwHeight.
      RecordFields f(reader_.payload(), type, reader_.partName());
      if (f.remaining() < 8) return;
      f.skip(6);
      lines_.setDefaultRowHeight(f.u16());
      return;
    }
    case BrtColInfo: {
      // colFirst, colLast, coldx, ixfe, flags (bit 0: hidden).
      RecordFields f(reader_.payload(), type, reader_.partName());
      if (f.remaining() < 18) return;
      std::uint32_t first = f.u32(), last = f.u32();
      f.u32();
      std::uint32_t style = f.u32();
      bool hidden = f.u16() & 1;
      lines_.addColumns(first, last, hidden, style, emptyCellLooks_.shows(style));
      return;
    }
    default:
      return;
  }
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
      const std::uint32_t index = f.u32();
      if (stringsLock_)
        cell.text = strings_.at(index, *stringsLock_, text_);
      else
        cell.text = strings_.at(index, [&](std::uint64_t i, std::size_t size) {
          return problem("a shared string index " + std::to_string(i) + " past the table of " +
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
