#pragma once
// The cells of one worksheet part, read in one streaming
// pass. Holds the scanner's buffer and one cell's value, never the sheet.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/spreadsheet/package/xml_scanner.h"
#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {
class PartStream;
class StringTable;
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet::xlsx {

// Which cell styles display numbers in the General format.
struct GeneralStyles {
  std::vector<bool> byStyle;
  bool otherwise = true;  // styles past the table use format id 0
  bool shows(std::uint32_t style) const {
    return style < byStyle.size() ? byStyle[style] : otherwise;
  }
};

// Where a cursor over a piece of a worksheet part, held in memory, starts:
// several threads read the pieces of one large part at once.
struct PieceStart {
  // Inside <sheetData>, right after a row's end tag or the start tag itself.
  bool inCellData = false;
  // Right after <sheetData>'s start tag: the rows before are known (none).
  // Elsewhere a row or cell that counts on the row before cannot be read.
  bool rowKnown = true;
  // The column records and row height read before <sheetData>.
  std::optional<FormattedLineTracker> lines;
  // Set when several cursors look up shared strings at once (see
  // StringTable::at).
  std::mutex* stringsLock = nullptr;
  // A shared-string cell comes as Text without its text, which the caller
  // looks up later (deferredShared, sharedIndex): the cursor only fetches
  // the string's place into the cache, so the lookup need not wait.
  bool deferSharedStrings = false;
};

class WorksheetCursor final : public SheetCursor {
 public:
  WorksheetCursor(std::unique_ptr<PartStream> stream, const StringTable& strings, bool date1904,
                  const GeneralStyles& generalStyles, const EmptyCellLooks& emptyCellLooks);
  // A cursor over `bytes`, a piece of the part `partName` that starts as
  // `start` says and may end after any row: its end is the end of the
  // piece's cells. A row or cell this piece alone cannot place throws
  // FormatError, as damage does: the caller reads the part whole instead.
  WorksheetCursor(std::string_view bytes, std::string partName, const StringTable& strings,
                  bool date1904, const GeneralStyles& generalStyles,
                  const EmptyCellLooks& emptyCellLooks, PieceStart start);
  ~WorksheetCursor() override;
  bool next(Cell& cell) override;
  std::optional<CellRange> storedRange() const override { return storedRange_; }
  FormattedLines formattedLines() const override { return lines_.lines(); }
  // For pieces: inside <sheetData> at the end, and whether its end tag was met.
  bool inCellData() const { return inSheetData_; }
  bool cellDataClosed() const { return closed_; }
  const FormattedLineTracker& lineTracker() const { return lines_; }
  // With PieceStart::deferSharedStrings: whether the cell next() gave is a
  // shared string left to look up, and its index in the table.
  bool deferredShared() const { return deferredShared_; }
  std::uint64_t sharedIndex() const { return sharedIndex_; }

 private:
  enum class Type : std::uint8_t { Number, Shared, FormulaText, Inline, Boolean, Error, Date };
  bool nextOther(Cell& cell);  // next() past the plain cells
  void readDimension();
  void readDefaultRowHeight();
  void readColumns();
  void startRow();
  std::size_t plainRow(std::string_view bytes);
  void enterRow(std::uint32_t row, const StoredRow& stored);
  // The row's number as its cells' references end: `digits` decimal digits
  // and a closing quote, then any bytes up to eight.
  void setRowKey(const char* key, std::size_t digits);
  void startCell();
  void cellAttribute(char name, std::string_view value, bool& haveRef);
  // The types written as one letter; false for any other letter.
  static bool letterType(char letter, Type& type);
  // The cell's place: its reference, or the place after the cell before it.
  void placeCell(bool haveRef) {
    if (!haveRef) placeAfterLast();
    lastCol_ = cellCol_;
  }
  void placeAfterLast();
  std::size_t plainCell(std::string_view bytes);
  void prefetchStrings();
  bool readCell(Cell& cell);  // the cell whose start tag was just read
  void readValueText(std::string& into);
  void readInlineString();
  // padded: valueText_ lies in the scanner's buffer with the cell's end tags
  // after it.
  bool finishCell(Cell& cell, bool padded);
  [[noreturn]] void badValue(const char* what);

  std::unique_ptr<PartStream> stream_;
  XmlScanner xml_;
  const StringTable& strings_;
  bool date1904_;
  const GeneralStyles& generalStyles_;
  const EmptyCellLooks& emptyCellLooks_;
  FormattedLineTracker lines_;
  bool inSheetData_ = false, done_ = false, closed_ = false;
  bool piece_ = false, rowKnown_ = true;
  std::mutex* stringsLock_ = nullptr;
  bool deferStrings_ = false, deferredShared_ = false;
  std::uint64_t sharedIndex_ = 0;
  std::optional<CellRange> storedRange_;  // the sheet's <dimension>

  std::uint32_t row_ = 0;  // row of the current <row>
  // Its number and a closing quote as a little-endian word, to match the
  // end of its cells' references at once; rowKeyBytes_ 0 before a row.
  std::uint64_t rowKey_ = 0, rowKeyMask_ = 0;
  std::uint8_t rowKeyBytes_ = 0;
  std::int64_t lastRow_ = -1;  // for rows without a reference
  std::int64_t lastCol_ = -1;  // for cells without a reference

  // Shared strings met ahead of the current position, their ends fetched
  // and their texts not yet (see prefetchStrings).
  struct AheadString {
    std::uint64_t at;  // offset in the part
    std::uint64_t index;
  };
  static constexpr std::size_t kAheadStrings = 64;
  bool prefetch_ = false;
  std::uint64_t aheadScanned_ = 0;  // offset up to which the part was looked at
  std::size_t aheadFirst_ = 0, aheadCount_ = 0;
  AheadString ahead_[kAheadStrings];

  // The cell being read. Its row and column are stored apart, each on its
  // own: one load of both right after the two were written would wait until
  // the writes reached the cache.
  std::uint32_t cellRow_ = 0, style_ = 0, cellCol_ = 0;
  Type type_ = Type::Number;
  bool hasValue_ = false, hasInline_ = false;
  std::string value_, text_, scratch_;
  std::string_view valueText_;  // the value's text: value_, or in the scanner's buffer
};

}  // namespace quorvel::spreadsheet::xlsx
