#include "engine/spreadsheet/xlsb/parallel_worksheet.h"

#include <optional>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/xlsb/record_reader.h"
#include "engine/spreadsheet/xlsb/record_types.h"
#include "engine/spreadsheet/xlsb/worksheet_cursor.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

class RecordPieces final : public PieceFormat {
 public:
  RecordPieces(std::string partName, const SheetContext& context)
      : partName_(std::move(partName)), context_(context) {}

  // Each piece starts at a record: the walk over the headers from there
  // finds the next row header past the wanted size, and where the cell
  // table ends. `from` is the next header to look at.
  std::size_t cutAt(std::string_view bytes, std::size_t want, std::size_t& from,
                    bool& last) const override {
    while (from < bytes.size()) {
      RecordHeader header;
      HeaderRead read = readRecordHeader(bytes.substr(from), header);
      if (read == HeaderRead::Cut) break;
      if (read != HeaderRead::Whole)
        damaged(partText(partName_) + " has a record header longer than a header can be");
      if (header.type == BrtRowHdr && from >= want) return from;
      const std::size_t end = from + header.length + header.size;
      if (header.type == BrtEndSheetData) {
        if (end > bytes.size()) break;
        last = true;
        return end;
      }
      from = end;
    }
    return std::string_view::npos;
  }

  void readPiece(std::string_view bytes, bool, PieceCells& cells) const override {
    WorksheetCursor cursor(bytes, partName_, context_.strings, context_.emptyCellLooks,
                           PieceStart{cells.prefixLines(), &cells.sharedLock()});
    Cell cell;
    while (cursor.next(cell)) cells.add(cell);
    cells.end(cursor.cellDataClosed(), cursor.formattedLines());
  }

 private:
  std::string partName_;
  SheetContext context_;
};

// Where the cell table starts: just past the BrtBeginSheetData record that
// `bytes` holds whole, walking from the record at `from` (moved on as far as
// the bytes go); npos when the bytes hold it not yet, or their records are
// damaged (`damaged` set).
std::size_t afterCellTableStart(std::string_view bytes, std::size_t& from, bool& damaged) {
  while (from < bytes.size()) {
    RecordHeader header;
    HeaderRead read = readRecordHeader(bytes.substr(from), header);
    if (read == HeaderRead::Cut) break;
    if (read != HeaderRead::Whole) {
      damaged = true;
      break;
    }
    const std::size_t end = from + header.length + header.size;
    if (header.type == BrtBeginSheetData) return end <= bytes.size() ? end : std::string::npos;
    from = end;
  }
  return std::string_view::npos;
}

}  // namespace

std::unique_ptr<SheetCursor> openParallelWorksheet(ReadBytes read, std::string partName,
                                                   const SheetContext& context,
                                                   const ParallelReading& how, FieldWriter write,
                                                   std::stop_token stop) {
  if (how.threads < 2) return nullptr;
  // The records up to and with BrtBeginSheetData, read on this thread.
  std::string bytes;
  std::size_t from = 0, start = 0;
  auto find = [&](std::string_view b) {
    bool broken = false;
    const std::size_t at = afterCellTableStart(b, from, broken);
    return broken ? kNoPieces : at;
  };
  if (!readToCellData(read, find, bytes, start)) return nullptr;
  std::optional<WorksheetCursor> prefix;
  try {
    prefix.emplace(std::string_view(bytes).substr(0, start), partName, context.strings,
                   context.emptyCellLooks);
    Cell cell;
    if (prefix->next(cell) || prefix->cellDataClosed()) return nullptr;
  } catch (const FormatError&) {
    return nullptr;  // one thread reads the part and says what is wrong
  }
  bytes.erase(0, start);
  auto format = std::make_unique<RecordPieces>(partName, context);
  return readInPieces(std::move(read), std::move(partName),
                      PiecesPrefix{prefix->storedRange(), prefix->lineTracker(), std::move(bytes)},
                      std::move(format), how, std::move(write), std::move(stop));
}

}  // namespace quorvel::spreadsheet::xlsb
