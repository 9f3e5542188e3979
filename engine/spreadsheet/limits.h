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
// Read-ahead of the sheet XML scanner; one tag or text run of a streamed
// part; the whole shared-string table.
inline constexpr std::size_t kXmlScanBufferBytes = std::size_t(256) << 10;
inline constexpr std::size_t kMaxXmlTokenBytes = std::size_t(64) << 20;
inline constexpr std::size_t kMaxSharedStringBytes = std::size_t(1) << 31;
// Blocks a streamed part is inflated ahead in, on a second thread.
inline constexpr std::size_t kReadAheadBlockBytes = std::size_t(256) << 10;
inline constexpr std::size_t kReadAheadBlocks = 2;

}  // namespace quorvel
