#include "engine/spreadsheet/xlsb/xlsb_reader.h"

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

std::unique_ptr<WorkbookReader> openXlsbWorkbook(std::unique_ptr<ZipPackage>, const std::string&) {
  fail(ErrorCode::Unsupported, "xlsb workbooks are not supported yet");
}

}  // namespace quorvel::spreadsheet
