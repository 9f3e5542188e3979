#pragma once
// Decoding of the value notations of SpreadsheetML: `_xHHHH_` escapes in
// strings, A1 cell references and ISO 8601 dates of `t="d"` cells.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet::xlsx {

// Appends `in` with every `_xHHHH_` escape decoded to UTF-8 (UTF-16 surrogate
// pairs joined, `_x005F_` an underscore, a lone surrogate U+FFFD).
void appendUnescaped(std::string_view in, std::string& out);

struct CellReference {
  std::uint32_t row = 0;  // 0-based
  std::uint32_t col = 0;  // 0-based
};

// "B3" -> row 2, column 1. Throws FormatError (Damaged) for a malformed
// reference or one past the worksheet's last row or column.
CellReference parseCellReference(std::string_view ref);

// "AB" for column 27 (0-based), for messages.
std::string columnName(std::uint32_t col);

// The serial number of an ISO 8601 date, time or date-time ("2023-03-15",
// "2023-03-15T18:00:00.5Z", "18:00:00") in the workbook's date system; no
// value when the text is not one.
std::optional<double> isoDateToSerial(std::string_view text, bool date1904);

}  // namespace quorvel::spreadsheet::xlsx
