#pragma once
// The small parts of an .xlsb package, read whole before the first sheet:
// workbook.bin (the sheet list and the date system), styles.bin (number
// formats of the cell styles) and sharedStrings.bin.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/numfmt/cell_formatter.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsb/record_reader.h"

namespace quorvel::spreadsheet::xlsb {

// One BrtBundleSh: a sheet of any type, in workbook order.
struct BundleSheet {
  std::string name;
  SheetVisibility visibility = SheetVisibility::Visible;
  std::string relId;  // empty when the record holds none
};

struct WorkbookProperties {
  std::vector<BundleSheet> sheets;
  bool date1904 = false;
};

WorkbookProperties readWorkbookPart(ByteSource& source, const std::string& partName);

// Defines the workbook's format codes (BrtFmt) and the number format of each
// cell style (BrtXF inside BrtBeginCellXFs) in `formatter`.
void readStylesPart(ByteSource& source, const std::string& partName, CellFormatter& formatter);

// The shared-string table, every string flattened to its characters and kept
// in one arena.
class SharedStrings {
 public:
  void read(ByteSource& source, const std::string& partName);
  std::size_t size() const { return ends_.size(); }
  // String `index`; the caller checks the index against size().
  std::string_view at(std::size_t index) const {
    std::size_t begin = index ? ends_[index - 1] : 0;
    return std::string_view(arena_).substr(begin, ends_[index] - begin);
  }

 private:
  std::string arena_;
  std::vector<std::uint32_t> ends_;  // end offset of each string in arena_
};

}  // namespace quorvel::spreadsheet::xlsb
