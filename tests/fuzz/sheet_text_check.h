#pragma once
// What every fuzz target does with a worksheet it could read: write its text
// the way the component does (the sheet's recorded range first, the spool
// when that range is wrong) and through the spool alone, and check that both
// files are the same and hold exactly the rows and fields the writer counted.
// Damage may surface as FormatError; anything else is a finding.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/text_writer.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::fuzz {

using spreadsheet::CellFormatter;
using spreadsheet::SheetCursor;
using SheetOpener = std::function<std::unique_ptr<SheetCursor>()>;

// A folder of this process's own, in memory where the system offers one.
inline const std::filesystem::path& scratchFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
      std::string name = base + "/quorvel-fuzz-XXXXXX";
      if (!mkdtemp(name.data())) std::abort();
      path = name;
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static Folder folder;
  return folder.path;
}

inline std::string scratchFile(const char* name) {
  return (scratchFolder() / name).string();
}

inline std::string readWhole(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

// Counts the line ends and the tabs that are not inside a quoted field.
inline void countSeparators(const std::string& text, std::uint64_t& lines, std::uint64_t& tabs) {
  lines = tabs = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      quoted = !quoted;  // a doubled quote toggles twice
    } else if (!quoted && c == '\t') {
      ++tabs;
    } else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++lines;
      ++i;
    }
  }
}

// The writer pads every row of the range; a sheet whose range would take more
// than this many fields is left alone (bounding such output is the
// converter's own guard, not the writer's).
inline constexpr std::uint64_t kMaxFields = std::uint64_t(1) << 22;

inline bool rangeIsSmall(SheetCursor& cursor) {
  spreadsheet::Cell cell;
  std::uint32_t top = UINT32_MAX, left = UINT32_MAX, bottom = 0, right = 0;
  while (cursor.next(cell)) {
    top = std::min(top, cell.row), bottom = std::max(bottom, cell.row);
    left = std::min(left, cell.col), right = std::max(right, cell.col);
  }
  return top == UINT32_MAX ||
         std::uint64_t(bottom - top + 1) * std::uint64_t(right - left + 1) <= kMaxFields;
}

inline void writeAndCheck(const SheetOpener& open, const CellFormatter& formatter) {
  try {
    if (!rangeIsSmall(*open())) return;
    const std::string direct = scratchFile("direct.txt"), spooled = scratchFile("spooled.txt");
    spreadsheet::SheetStats stats = spreadsheet::writeSheetText(open, formatter, direct);
    auto cursor = open();
    spreadsheet::SheetStats again = spreadsheet::writeSheetText(*cursor, formatter, spooled);
    std::string a = readWhole(direct), b = readWhole(spooled);
    if (a != b || stats.rows != again.rows || stats.columns != again.columns) __builtin_trap();
    std::uint64_t lines = 0, tabs = 0;
    countSeparators(a, lines, tabs);
    if (lines != stats.rows) __builtin_trap();
    if (stats.rows && tabs != std::uint64_t(stats.rows) * (stats.columns - 1)) __builtin_trap();
  } catch (const spreadsheet::FormatError&) {
  }
}

using PiecesOpener = std::function<std::unique_ptr<SheetCursor>(const spreadsheet::ParallelReading&,
                                                                spreadsheet::FieldWriter)>;

// The worksheet read by two threads in pieces of 64 bytes, where the
// reader can: its text must be the one thread's, byte for byte, unless the
// pieces are refused (FormatError), when the component reads it on one.
inline void checkInPieces(const SheetOpener& open, const PiecesOpener& openInPieces,
                          const CellFormatter& formatter) {
  try {
    if (!rangeIsSmall(*open())) return;
    spreadsheet::ParallelReading how;
    how.threads = 2;
    how.pieceBytes = 64;
    how.minSheetBytes = 0;
    auto write = [&formatter](const spreadsheet::Cell& c, std::string& out) {
      spreadsheet::appendCellField(c, formatter, spreadsheet::CellValues::Displayed, out);
    };
    auto pieces = openInPieces(how, write);
    if (!pieces) return;
    const std::string one = scratchFile("one.txt"), many = scratchFile("pieces.txt");
    spreadsheet::writeSheetText(*pieces, formatter, many);
    pieces.reset();
    spreadsheet::writeSheetText(*open(), formatter, one);
    if (readWhole(one) != readWhole(many)) __builtin_trap();
  } catch (const spreadsheet::FormatError&) {
  }
}

inline void checkInPieces(spreadsheet::WorkbookReader& reader, std::size_t index) {
  checkInPieces([&] { return reader.openWorksheet(index); },
                [&](const spreadsheet::ParallelReading& how, spreadsheet::FieldWriter write) {
                  return reader.openWorksheetInParallel(index, how, std::move(write), {});
                },
                reader.formatter());
}

// Opens the workbook at `path` as the converter does and writes every
// worksheet it can read, on one thread and in pieces; damage ends it quietly.
inline void writeEveryWorksheet(const std::string& path) {
  try {
    auto reader = spreadsheet::openWorkbookReader(path, {});
    for (std::size_t i = 0; i < reader->worksheets().size(); ++i) {
      writeAndCheck([&] { return reader->openWorksheet(i); }, reader->formatter());
      checkInPieces(*reader, i);
    }
  } catch (const spreadsheet::FormatError&) {
  }
}

}  // namespace quorvel::fuzz
