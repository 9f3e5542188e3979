#include "engine/spreadsheet/xlsb/xlsb_reader.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/xlsb/sheet_cursor.h"
#include "engine/spreadsheet/xlsb/workbook_parts.h"

namespace quorvel::spreadsheet {

namespace {

using xlsb::PartByteSource;

class XlsbWorkbookReader final : public WorkbookReader {
 public:
  XlsbWorkbookReader(std::unique_ptr<ZipPackage> package, const std::string& workbookPart)
      : package_(std::move(package)) {
    auto source = open(workbookPart);
    xlsb::WorkbookProperties props = xlsb::readWorkbookPart(*source, workbookPart);
    formatter_.setDate1904(props.date1904);

    std::vector<Relationship> rels = package_->relationships(workbookPart);
    for (const xlsb::BundleSheet& sheet : props.sheets) {
      const Relationship* rel = find(rels, sheet.relId);
      if (!rel)
        damaged("the sheet '" + sheet.name + "' has no relationship in the part " + workbookPart);
      // Chart, dialog and macro sheets are not worksheets.
      if (!relTypeIs(*rel, "/worksheet")) continue;
      worksheets_.push_back({sheet.name, sheet.visibility});
      sheetParts_.push_back(rel->target);
    }

    for (const Relationship& rel : rels) {
      if (rel.external || !package_->has(rel.target)) continue;
      if (relTypeIs(rel, "/styles")) {
        auto styles = open(rel.target);
        xlsb::readStylesPart(*styles, rel.target, formatter_);
      } else if (relTypeIs(rel, "/sharedStrings")) {
        stringsPart_ = rel.target;
      }
    }
  }

  const std::vector<WorksheetInfo>& worksheets() const override { return worksheets_; }

  std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) override {
    if (index >= sheetParts_.size())
      fail(ErrorCode::NoSuchSheet, "worksheet " + std::to_string(index + 1));
    // Listing the sheets needs no strings: they are read with the first sheet.
    if (!stringsPart_.empty()) {
      auto source = open(stringsPart_);
      xlsb::SharedStrings table;
      table.read(*source, stringsPart_);
      strings_ = std::move(table);
      stringsPart_.clear();
    }
    const std::string& part = sheetParts_[index];
    return std::make_unique<xlsb::XlsbSheetCursor>(open(part), part, strings_);
  }

  const CellFormatter& formatter() const override { return formatter_; }

 private:
  std::unique_ptr<PartByteSource> open(const std::string& part) const {
    return std::make_unique<PartByteSource>(package_->openPart(part));
  }

  static const Relationship* find(const std::vector<Relationship>& rels, const std::string& id) {
    for (const Relationship& rel : rels)
      if (!rel.external && rel.id == id) return &rel;
    return nullptr;
  }

  std::unique_ptr<ZipPackage> package_;
  std::vector<WorksheetInfo> worksheets_;
  std::vector<std::string> sheetParts_;
  CellFormatter formatter_;
  std::string stringsPart_;  // until the strings are read
  xlsb::SharedStrings strings_;
};

}  // namespace

std::unique_ptr<WorkbookReader> openXlsbWorkbook(std::unique_ptr<ZipPackage> package,
                                                 const std::string& workbookPart) {
  return std::make_unique<XlsbWorkbookReader>(std::move(package), workbookPart);
}

}  // namespace quorvel::spreadsheet
