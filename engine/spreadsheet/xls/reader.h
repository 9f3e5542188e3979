#pragma once
// A BIFF2-8 workbook stream: the globals (sheets, code page, date system,
// formats, shared strings, encryption) read once, then each worksheet read
// by seeking to its substream.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xls/biff_decryptor.h"
#include "engine/spreadsheet/xls/code_page.h"
#include "engine/spreadsheet/xls/line_records.h"
#include "engine/spreadsheet/xls/worksheet_cursor.h"

namespace quorvel::spreadsheet::xls {

class Reader final : public WorkbookReader {
 public:
  // `stream` is the workbook stream of `container`, or a bare BIFF2-4 file;
  // `loneSheetName` names the sheet of a stream that holds one worksheet
  // and no sheet list (BIFF2-4 worksheet files). Throws FormatError.
  Reader(std::unique_ptr<CompoundFile> container, std::unique_ptr<RandomAccessSource> stream,
         const OpenOptions& options, const std::string& loneSheetName);

  const std::vector<WorksheetInfo>& worksheets() const override { return worksheets_; }
  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override;
  const CellFormatter& formatter() const override { return formatter_; }
  int biffVersion() const { return context_.biffVersion; }

 private:
  struct BoundSheet {
    WorksheetInfo info;
    std::uint64_t offset = 0;
    std::uint8_t type = 0;  // BoundSheet8's dt
  };

  void readGlobals(const OpenOptions& options, const std::string& loneSheetName);
  // Handles a record of the workbook's set-up; false for other records.
  bool readSetupRecord(BiffStream& stream, const BiffRecord& record, const OpenOptions& options);
  void readSst(BiffStream& stream, const BiffRecord& sst);
  std::string sheetName(std::string_view data, bool shortCount);
  bool isWorksheetSubstream(std::uint64_t offset);
  void findBiff4Sheets(BiffStream& stream, const std::vector<std::string>& names);

  std::unique_ptr<CompoundFile> container_;
  std::unique_ptr<RandomAccessSource> stream_;
  std::unique_ptr<BiffDecryptor> decryptor_;
  std::unique_ptr<CodePage> codePage_;
  StringTable sharedStrings_;
  SheetContext context_;
  CellFormatter formatter_;
  std::vector<std::uint32_t> xfFormats_;
  std::vector<XfLook> xfLooks_;
  GeneralFormatIds generalFormats_;
  EmptyCellLooks emptyCellLooks_;
  std::uint32_t formatCount_ = 0;  // BIFF2-4 formats are numbered by order
  std::vector<BoundSheet> bound_;
  std::vector<WorksheetInfo> worksheets_;
  std::vector<std::uint64_t> offsets_;
};

// Reads the workbook stream of a compound file: "Workbook" (BIFF8) or "Book"
// (BIFF5), in any letter case; `loneSheetName` as for Reader. Throws
// FormatError: NotAWorkbook when the compound file holds neither.
std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<CompoundFile> container,
                                             const OpenOptions& options,
                                             const std::string& loneSheetName);

// The same from a compound file's bytes, or those of a bare BIFF2-4 stream.
std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<RandomAccessSource> file,
                                             const OpenOptions& options,
                                             const std::string& loneSheetName);

// The same from a file, whose name names a lone sheet.
std::unique_ptr<WorkbookReader> openWorkbook(const std::string& path, const OpenOptions& options);

}  // namespace quorvel::spreadsheet::xls
