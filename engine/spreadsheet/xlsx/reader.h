#pragma once
// A SpreadsheetML workbook (.xlsx, .xlsm) in its zip package.
// A SpreadsheetML workbook (.xlsx, .xlsm) in its zip package.
#include <memory>
#include <string>

#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet::xlsx {

// Reads the workbook whose main part is `workbookPart` of the package.
// Throws FormatError.
std::unique_ptr<WorkbookReader> openWorkbook(std::unique_ptr<ZipPackage> package,
                                             const std::string& workbookPart);

}  // namespace quorvel::spreadsheet::xlsx
