#pragma once
// The cells of one worksheet substream of a BIFF2-8 stream, record by record.
#include <cstdint>
#include <string>

#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xls/biff_stream.h"
#include "engine/spreadsheet/xls/code_page.h"
#include "engine/spreadsheet/xls/line_records.h"

namespace quorvel::spreadsheet::xls {

// What a sheet's records need from the workbook: all of it outlives the
// cursor, and none of it is null once the workbook is read.
struct SheetContext {
  int biffVersion = 8;  // 2, 3, 4, 5 or 8
  RandomAccessSource* stream = nullptr;
  BiffDecryptor* decryptor = nullptr;
  const StringTable* sharedStrings = nullptr;
  const CodePage* codePage = nullptr;
  LineContext lines;
};

bool isBofRecord(std::uint16_t type);

class WorksheetCursor final : public SheetCursor {
 public:
  // `offset`: the stream offset of the sheet's BOF record.
  WorksheetCursor(const SheetContext& context, std::uint64_t offset);
  bool next(Cell& cell) override;
  FormattedLines formattedLines() const override { return lines_.lines(); }

 private:
  bool decode(const BiffRecord& record, Cell& cell);
  void decodeFormula(const BiffRecord& record, std::size_t valueAt, Cell& cell);
  void readStringResult();
  bool nextOfMultiple(Cell& cell);
  static bool checked(const Cell& cell);
  std::uint32_t biff2Style(const unsigned char* attributes) const;

  SheetContext context_;
  BiffStream stream_;
  std::uint64_t start_;
  bool started_ = false, ended_ = false;
  std::uint32_t depth_ = 0;  // nested substreams (embedded charts) being skipped
  // A MulRk or MulBlank record being yielded cell by cell.
  std::string multiple_;
  std::uint16_t multipleType_ = 0;
  std::size_t multipleAt_ = 0, multipleCount_ = 0;
  std::string text_;
  FormattedLineTracker lines_;
};

}  // namespace quorvel::spreadsheet::xls
