#pragma once
#include <memory>
#include <string>

#include "engine/spreadsheet/crypto/ooxml_decrypt.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

// Reads a compound file (a BIFF5/BIFF8 workbook, or an encrypted OOXML
// package) or a bare BIFF2-4 stream. Throws FormatError.
std::unique_ptr<WorkbookReader> openXlsWorkbook(const std::string& path,
                                                const OpenOptions& options);

// The same from the file's bytes; `loneSheetName` names the sheet of a
// BIFF2-4 worksheet file (they store no sheet name).
std::unique_ptr<WorkbookReader> openXlsSource(std::unique_ptr<ByteSource> file,
                                              const OpenOptions& options,
                                              const std::string& loneSheetName);

// Reads an OOXML package (.xlsx, .xlsm, .xlsb) from a zip file.
std::unique_ptr<WorkbookReader> openOoxmlPackage(const std::string& path);

}  // namespace quorvel::spreadsheet
