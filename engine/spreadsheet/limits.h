#pragma once
// Every fixed limit of the workbook formats and their readers, in one place
// (the engine's own limits are in engine/limits.h).
#include <cstddef>
#include <cstdint>

namespace quorvel {

inline constexpr std::uint32_t kMaxRows = 1048576;     // rows of a worksheet
inline constexpr std::uint32_t kMaxColumns = 16384;    // columns of a worksheet
inline constexpr std::uint32_t kLastBiffColumn = 255;  // column IV, an .xls sheet's last
inline constexpr std::size_t kMaxCellChars = 32767;    // characters of one cell
inline constexpr int kMaxFormatDigits = 255;   // digit placeholders after the point in a format
inline constexpr int kMaxIntegerDigits = 400;  // integer digits a formatted number can have
inline constexpr int kMaxFractionDigits = 7;   // denominator digits a fraction can have
inline constexpr std::size_t kMaxFormatCodeBytes = 4096;  // a number format code (Excel: 255 chars)
// Number formats a workbook defines (their ids are 16-bit in .xls and
// .xlsb), the bytes of all their codes, and its cell styles (Excel: 64,000).
inline constexpr std::size_t kMaxNumberFormats = 65536;
inline constexpr std::size_t kMaxNumberFormatBytes = std::size_t(16) << 20;
inline constexpr std::size_t kMaxCellStyles = std::size_t(1) << 20;
// One binary record of an .xlsb part that we read (the largest Excel writes,
// a rich shared string or a formula with array constants, is far smaller).
inline constexpr std::size_t kMaxXlsbRecordBytes = 16u << 20;
// Sheets a workbook may list: sheet references in formulas are 16-bit, and
// the bound keeps a damaged sheet list from making a listing endless.
inline constexpr int kMaxSheetsInWorkbook = 65535;
inline constexpr std::size_t kMaxSheetNameChars = 31;  // characters of a sheet name shown
// A sheet's name (or its relationship id) as a workbook part stores it: the
// application writes 31 characters, other programs a few more.
inline constexpr std::size_t kMaxSheetNameBytes = 1024;
// Relationships of one part, and the bytes of their ids, types and targets.
inline constexpr std::size_t kMaxRelationships = 100000;
inline constexpr std::size_t kMaxRelationshipsBytes = std::size_t(16) << 20;
// An EncryptionInfo stream is read whole; hashing a password takes at most
// the spin count [MS-OFFCRYPTO] allows.
inline constexpr std::size_t kMaxEncryptionInfoBytes = 1u << 20;
inline constexpr std::uint32_t kMaxSpinCount = 10000000;
// Read-ahead of the sheet XML scanner, and what it starts with on a
// smaller part.
inline constexpr std::size_t kXmlScanBufferBytes = 256u << 10;
inline constexpr std::size_t kMinXmlScanBufferBytes = 4u << 10;
// One tag or text run of a streamed part.
inline constexpr std::size_t kMaxXmlTokenBytes = 64u << 20;
// The parts parsed with expat (workbook, styles, relationships): one tag,
// comment or processing instruction, which expat holds whole, and the
// depth of their elements, which it holds all open.
inline constexpr std::size_t kMaxXmlTagBytes = std::size_t(1) << 20;
inline constexpr std::size_t kMaxXmlDepth = 256;
// The shared-string table: held in memory up to this much, the rest in a
// temporary file ...
inline constexpr std::size_t kStringTableMemoryBytes = std::size_t(256) << 20;
// ... which holds at most this much, text and a 4-byte end per string: a
// bomb of a few megabytes must not fill the disk either.
inline constexpr std::uint64_t kMaxSharedStringBytes = std::uint64_t(4) << 30;
// A zip package: entries of its central directory, and the directory's size
// (libzip holds it whole). Workbooks have a few hundred parts.
inline constexpr std::uint64_t kMaxPackageEntries = 100000;
inline constexpr std::uint64_t kMaxPackageDirectoryBytes = std::uint64_t(32) << 20;
// Blocks a streamed part is inflated ahead in, on a second thread.
inline constexpr std::size_t kReadAheadBlockBytes = std::size_t(256) << 10;
inline constexpr std::size_t kReadAheadBlocks = 2;
// A worksheet part read by several threads is cut into pieces of about this
// much XML, each cut after a row; only parts past the second size are (a
// smaller sheet takes less time than starting the threads saves). A piece
// that finds no row end within the last size is not cut: one thread reads it.
// Pieces of 256 KB keep the few in flight within a core's cache: 1 MB pieces
// were no faster and took 6 MB more.
inline constexpr std::size_t kSheetPieceBytes = std::size_t(256) << 10;
inline constexpr std::uint64_t kParallelSheetBytes = std::uint64_t(4) << 20;
inline constexpr std::size_t kMaxSheetPieceBytes = std::size_t(16) << 20;
// The XML of all the pieces in flight at once (cut, being read, or read and
// waiting to be written), whatever the number of threads: more threads cut
// smaller pieces, so memory stays bounded.
inline constexpr std::size_t kSheetPiecesInFlightBytes = std::size_t(4) << 20;
// One file or folder name, in bytes: the file system's limit (NAME_MAX).
inline constexpr std::size_t kMaxFileNameBytes = 255;
// The separators and line ends a worksheet's used range may take by default
// (1 GiB). A few stored cells far apart make a range of billions of empty
// fields: one blank cell at XFD1048576 alone is 16 GiB of tabs.
inline constexpr std::uint64_t kMaxSheetPaddingBytes = std::uint64_t(1) << 30;

}  // namespace quorvel
