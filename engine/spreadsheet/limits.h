#pragma once
// Every fixed limit of the program, in one place.
#include <cstddef>
#include <cstdint>

namespace quorvel {

inline constexpr int kMaxWorkbooksPerFolder = 500;             // workbooks taken from one folder
inline constexpr int kMaxStoredWorksheets = 5000;              // worksheets remembered per workbook
inline constexpr std::uint32_t kMaxRows = 1048576;             // rows of a worksheet
inline constexpr std::uint32_t kMaxColumns = 16384;            // columns of a worksheet
inline constexpr std::size_t kMaxCellChars = 32767;            // characters of one cell
inline constexpr std::size_t kMaxSmallPartBytes = 256u << 20;  // a workbook/styles part read whole
inline constexpr int kMaxFormatDigits = 255;   // digit placeholders after the point in a format
inline constexpr int kMaxIntegerDigits = 400;  // integer digits a formatted number can have
inline constexpr int kMaxFractionDigits = 7;   // denominator digits a fraction can have
inline constexpr std::size_t kMaxFormatCodeBytes = 4096;  // a number format code (Excel: 255 chars)
// One binary record of an .xlsb part that we read (the largest Excel writes,
// a rich shared string or a formula with array constants, is far smaller).
inline constexpr std::size_t kMaxXlsbRecordBytes = 16u << 20;
// Sheets a workbook may list: sheet references in formulas are 16-bit, and
// the bound keeps a damaged sheet list from making a listing endless.
inline constexpr int kMaxSheetsInWorkbook = 65535;
inline constexpr std::size_t kMaxSheetNameChars = 31;  // characters of a sheet name shown

}  // namespace quorvel
