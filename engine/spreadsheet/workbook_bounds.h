#pragma once
// What a workbook's sheet list and styles may hold, the same in every format:
// a hostile list must not take memory without end. These throw FormatError
// (TooLarge).
#include <cstddef>
#include <string_view>

namespace quorvel::spreadsheet {

// Before a sheet is added to the `count` listed so far: at most
// kMaxSheetsInWorkbook.
void checkSheetCount(std::size_t count);

// `value`, the `what` ("name", "relationship id") of sheet `number`
// (1-based): at most kMaxSheetNameBytes.
void checkSheetField(std::string_view value, std::size_t number, std::string_view what);

// Before a cell style is added to the `count` read so far: at most
// kMaxCellStyles.
void checkCellStyleCount(std::size_t count);

}  // namespace quorvel::spreadsheet
