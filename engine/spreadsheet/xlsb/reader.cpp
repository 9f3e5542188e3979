#include "engine/spreadsheet/xlsb/reader.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/xlsb/parallel_worksheet.h"
#include "engine/spreadsheet/xlsb/workbook_parts.h"
#include "engine/spreadsheet/xlsb/worksheet_cursor.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

class Reader final : public WorkbookReader {
 public:
  Reader(std::unique_ptr<ZipPackage> package, const std::string& workbookPart)
      : package_(std::move(package)) {
    auto source = open(workbookPart);
    WorkbookProperties props = readWorkbookPart(*source, workbookPart);
    formatter_.setDate1904(props.date1904);

    std::vector<Relationship> rels = package_->relationships(workbookPart);
    for (const BundleSheet& sheet : props.sheets) {
      const Relationship* rel = findRelationship(rels, sheet.relId);
      if (!rel || rel->external)
        damaged("the sheet '" + sheet.name + "' has no relationship in the part " + workbookPart);
      // Chart, dialog and macro sheets are not worksheets.
      if (!relTypeIs(*rel, "/worksheet")) continue;
      worksheets_.push_back({sheet.name, sheet.visibility});
      sheetParts_.push_back(rel->target);
    }

    const Relationship* styles = findRelationshipOfType(rels, "/styles");
    if (styles && package_->has(styles->target)) {
      auto source = open(styles->target);
      emptyCellLooks_ = readStylesPart(*source, styles->target, formatter_);
    }
    const Relationship* strings = findRelationshipOfType(rels, "/sharedStrings");
    if (strings && package_->has(strings->target)) stringsPart_ = strings->target;
  }

  const std::vector<WorksheetInfo>& worksheets() const override { return worksheets_; }

  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override {
    if (index >= sheetParts_.size())
      fail(ErrorCode::NoSuchSheet, "worksheet " + std::to_string(index + 1));
    readStrings();
    const std::string& part = sheetParts_[index];
    return std::make_unique<WorksheetCursor>(open(part), part, strings_, emptyCellLooks_);
  }

  std::unique_ptr<SheetCursor> openWorksheetInParallel(std::size_t index,
                                                       const ParallelReading& how,
                                                       FieldWriter write,
                                                       std::stop_token stop) override {
    if (how.threads < 2 || index >= sheetParts_.size()) return nullptr;
    const std::string& part = sheetParts_[index];
    std::shared_ptr<PartStream> stream = package_->openPart(part);
    if (stream->size() < how.minSheetBytes) return nullptr;
    readStrings();
    formatter_.prepareAllStyles();  // before the workers share it
    return openParallelWorksheet(
        [stream](char* buffer, std::size_t n) { return stream->read(buffer, n); }, part,
        SheetContext{strings_, emptyCellLooks_}, how, std::move(write), std::move(stop));
  }

  const CellFormatter& formatter() const override { return formatter_; }

 private:
  // Listing the sheets needs no strings: they are read with the first sheet.
  void readStrings() {
    if (stringsPart_.empty()) return;
    auto source = open(stringsPart_);
    StringTable table;
    readSharedStrings(*source, stringsPart_, table);
    strings_ = std::move(table);
    stringsPart_.clear();
  }

  std::unique_ptr<PartSequentialSource> open(const std::string& part) const {
    return std::make_unique<PartSequentialSource>(package_->openPart(part));
  }

  std::unique_ptr<ZipPackage> package_;
  std::vector<WorksheetInfo> worksheets_;
  std::vector<std::string> sheetParts_;
  CellFormatter formatter_;
  std::string stringsPart_;  // until the strings are read
  StringTable strings_;
  EmptyCellLooks emptyCellLooks_;
};

}  // namespace

std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<ZipPackage> package,
                                             const std::string& workbookPart) {
  return std::make_unique<Reader>(std::move(package), workbookPart);
}

}  // namespace quorvel::spreadsheet::xlsb
