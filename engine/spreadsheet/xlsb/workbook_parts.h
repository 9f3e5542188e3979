#pragma once
// The small parts of an .xlsb package, read whole before the first sheet:
// workbook.bin (the sheet list and the date system), styles.bin (number
// formats of the cell styles) and sharedStrings.bin.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/spreadsheet/numfmt/cell_formatter.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/used_range.h"
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

WorkbookProperties readWorkbookPart(SequentialSource& source, const std::string& partName);

// Defines the workbook's format codes (BrtFmt) and the number format of each
// cell style (BrtXF inside BrtBeginCellXFs) in `formatter`; returns which
// cell styles show in an empty cell (a format, a fill or a border).
EmptyCellLooks readStylesPart(SequentialSource& source, const std::string& partName,
                              CellFormatter& formatter);

// Appends the strings of the shared-strings part to `table`, every string
// flattened to its characters.
void readSharedStrings(SequentialSource& source, const std::string& partName, StringTable& table);

}  // namespace quorvel::spreadsheet::xlsb
