#include "engine/spreadsheet/xlsx/xlsx_reader.h"

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

std::unique_ptr<WorkbookReader> openXlsxWorkbook(std::unique_ptr<ZipPackage>, const std::string&) {
  fail(ErrorCode::Unsupported, "xlsx workbooks are not supported yet");
}

}  // namespace quorvel::spreadsheet
