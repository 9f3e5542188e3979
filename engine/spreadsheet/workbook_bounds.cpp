#include "engine/spreadsheet/workbook_bounds.h"

#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet {

void checkSheetCount(std::size_t count) {
  if (count >= static_cast<std::size_t>(kMaxSheetsInWorkbook))
    fail(ErrorCode::TooLarge,
         "it lists more than " + std::to_string(kMaxSheetsInWorkbook) + " sheets");
}

void checkSheetField(std::string_view value, std::size_t number, std::string_view what) {
  if (value.size() > kMaxSheetNameBytes)
    fail(ErrorCode::TooLarge, "the " + std::string(what) + " of sheet " + std::to_string(number) +
                                  " is longer than " + std::to_string(kMaxSheetNameBytes) +
                                  " bytes");
}

void checkCellStyleCount(std::size_t count) {
  if (count >= kMaxCellStyles)
    fail(ErrorCode::TooLarge,
         "it has more than " + std::to_string(kMaxCellStyles) + " cell styles");
}

}  // namespace quorvel::spreadsheet
