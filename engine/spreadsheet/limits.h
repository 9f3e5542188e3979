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
inline constexpr std::size_t kXmlScanBufferBytes = 256u
                                                   << 10;  // read-ahead of the sheet XML scanner
inline constexpr std::size_t kMaxXmlTokenBytes = 64u
                                                 << 20;  // one tag or text run of a streamed part
inline constexpr std::size_t kMaxSharedStringBytes = std::size_t(1)
                                                     << 31;  // the whole string table

}  // namespace quorvel
