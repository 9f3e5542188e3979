#pragma once
// The one interface every workbook format's reader offers: the worksheet
// list, a streaming cursor over one worksheet's cells, and the cell formats.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/spreadsheet/cell.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/cell_formatter.h"

namespace quorvel::spreadsheet {

enum class SheetVisibility { Visible, Hidden, VeryHidden };

struct WorksheetInfo {
  std::string name;
  SheetVisibility visibility = SheetVisibility::Visible;
};

// A block of cells, 0-based, bounds included.
struct CellRange {
  std::uint32_t top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const CellRange&) const = default;
};

// Rows, or columns, `first` to `last` (0-based, both included); none while
// first > last.
struct LineSpan {
  std::uint32_t first = UINT32_MAX, last = 0;
  bool empty() const { return first > last; }
  void include(std::uint32_t from, std::uint32_t to) {
    first = from < first ? from : first;
    last = to > last ? to : last;
  }
  bool operator==(const LineSpan&) const = default;
};

// The rows and columns that belong to the used range although no cell may be
// stored in them: rows stored hidden, with a height of their own or a format
// of their own; columns hidden, or formatted so that an empty cell shows it.
struct FormattedLines {
  LineSpan rows, columns;
};

// Yields the stored cells of one worksheet, usually row by row and left to
// right; the writer copes with cells out of that order. Holds at most what one
// row needs, never the sheet.
class SheetCursor {
 public:
  virtual ~SheetCursor() = default;
  // Fills `cell` with the next stored cell; false at the end of the sheet.
  // Throws FormatError on damaged data.
  virtual bool next(Cell& cell) = 0;
  // The used range the worksheet records about itself, known once next() has
  // been called: a hint that lets the writer skip its spool, checked against
  // every cell and never trusted.
  virtual std::optional<CellRange> storedRange() const { return std::nullopt; }
  // The rows and columns that widen the used range beyond the stored cells;
  // complete once next() has returned false.
  virtual FormattedLines formattedLines() const { return {}; }
};

// How a large worksheet is read by several threads at once.
struct ParallelReading {
  unsigned threads = 1;  // for one worksheet; 1 reads it on the caller's thread alone
  // The worksheet's data is cut into pieces of about this size (tests
  // lower it to cut small sheets into many pieces).
  std::size_t pieceBytes = kSheetPieceBytes;
  // Smaller worksheets are read on the caller's thread alone.
  std::uint64_t minSheetBytes = kParallelSheetBytes;
  // The writer's separator: the fields of the cells of one row, formatted
  // ahead, are joined with it and handed on as one (see CellKind::Field).
  char separator = '\t';
};

// Appends the field of a cell that is not blank, as the writer writes it.
// Called from several threads at once.
using FieldWriter = std::function<void(const Cell&, std::string& out)>;

class WorkbookReader {
 public:
  virtual ~WorkbookReader() = default;
  // Worksheets only (no chart, macro, dialog or module sheets), in workbook
  // order, hidden ones included.
  virtual const std::vector<WorksheetInfo>& worksheets() const = 0;
  // A cursor over worksheet `index` (0-based into worksheets()).
  virtual std::unique_ptr<SheetCursor> openWorksheet(std::size_t index) = 0;
  // A cursor over worksheet `index` whose cells come as fields (CellKind::
  // Field) that `how.threads` threads read and `write` at once, yielded in
  // the order openWorksheet() would yield them; nullptr for a worksheet too
  // small to gain from it, or one this reader can only read on one thread.
  // Throws FormatError where openWorksheet() would, and also for data that
  // cannot be cut into pieces: the caller then reads the sheet with
  // openWorksheet(), which gives the text or the error for the user.
  virtual std::unique_ptr<SheetCursor> openWorksheetInParallel(std::size_t index,
                                                               const ParallelReading& how,
                                                               FieldWriter write,
                                                               std::stop_token stop) {
    (void)index, (void)how, (void)write, (void)stop;
    return nullptr;
  }
  // Number formats of the cells' styles and the workbook's date system.
  virtual const CellFormatter& formatter() const = 0;
};

struct OpenOptions {
  // Passwords tried after the application's default one, in order.
  std::vector<std::string> passwords;
  // The names messages give the workbooks at these paths, where the file
  // name would not tell the user which workbook it is (standard input
  // spooled to an unnamed file). Others are named by their file name.
  std::map<std::string, std::string> displayNames = {};
};

// Opens any workbook we read, recognised by its content, never its extension.
// Throws FormatError.
std::unique_ptr<WorkbookReader> openWorkbookReader(const std::string& path,
                                                   const OpenOptions& options);

}  // namespace quorvel::spreadsheet
