#pragma once
#include <memory>
#include <string>

#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

// Reads a compound file (a BIFF5/BIFF8 workbook, or an encrypted OOXML
// package) or a bare BIFF2-4 stream. Throws FormatError.
std::unique_ptr<WorkbookReader> openXlsWorkbook(const std::string& path,
                                                const OpenOptions& options);

// Reads an OOXML package (.xlsx, .xlsm, .xlsb) from a zip file.
std::unique_ptr<WorkbookReader> openOoxmlPackage(const std::string& path);

}  // namespace quorvel::spreadsheet
