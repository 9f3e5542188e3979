#include "engine/spreadsheet/xls/xls_reader.h"

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

std::unique_ptr<WorkbookReader> openXlsWorkbook(const std::string&, const OpenOptions&) {
  fail(ErrorCode::Unsupported, "legacy .xls workbooks are not supported yet");
}

}  // namespace quorvel::spreadsheet
