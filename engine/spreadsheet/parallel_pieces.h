#pragma once
// One large worksheet part read by several threads, whatever its format: the
// calling thread reads the part and cuts its cell data into pieces where the
// format says a piece may end; worker threads (and the calling thread while
// it waits) read the pieces' cells and write their fields, joining those of
// cells that follow one another in a row into runs, and the cursor hands them
// on in the part's order. A bounded number of pieces is in flight, so memory
// stays bounded whatever the sheet's size.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/used_range.h"
#include "engine/spreadsheet/workbook_reader.h"

namespace quorvel::spreadsheet {

struct SheetPiece;
struct PiecesShared;

// A cell of a piece: its field lies in the piece's field text.
// Cells in a row, one after another, whose fields are not empty go as one
// run: their fields joined by separators, handed on at once.
struct PieceCell {
  std::uint32_t row, col, lastCol;
  std::uint32_t offset, length;
  bool blank;
};

// Where a worker leaves the cells of the piece it reads.
class PieceCells {
 public:
  PieceCells(SheetPiece& piece, PiecesShared& shared);
  // The piece's next cell, in order. Throws StopRequested once the sheet is
  // stopped or its cursor dropped. Inline: every cell of the sheet comes here.
  void add(const Cell& cell) {
    if (++count_ % 4096 == 0) checkStop();  // as often as the writer looks
    const auto offset = static_cast<std::uint32_t>(fields_.size());
    if (cell.kind == CellKind::Blank) {
      cells_.push_back({cell.row, cell.col, cell.col, offset, 0, true});
      inRun_ = false;
      return;
    }
    if (inRun_) {
      PieceCell& run = cells_.back();
      if (cell.row == run.row && cell.col > run.lastCol) {
        if (cell.col - run.lastCol == 1)
          fields_ += separator_;  // the next column, as nearly always
        else
          fields_.append(cell.col - run.lastCol, separator_);
        const std::size_t at = fields_.size();
        write_(cell, fields_);
        if (fields_.size() > at) {
          run.lastCol = cell.col;
          run.length = static_cast<std::uint32_t>(fields_.size() - run.offset);
          return;
        }
        fields_.resize(offset);  // an empty field goes alone
      }
    }
    write_(cell, fields_);
    const auto length = static_cast<std::uint32_t>(fields_.size() - offset);
    cells_.push_back({cell.row, cell.col, cell.col, offset, length, false});
    inRun_ = length > 0;
  }
  // After the last cell: whether the cell data ends in this piece, and the
  // formatted rows and columns the piece gave.
  void end(bool closed, const FormattedLines& lines);
  // Shared by the workers of one sheet, for what only one may do at a time
  // (a shared string looked up in a table's file, see StringTable::at).
  std::mutex& sharedLock() const;
  // The formatted rows and columns read before the cell data, where every
  // piece starts from.
  const FormattedLineTracker& prefixLines() const;

 private:
  void checkStop() const;

  SheetPiece& piece_;
  PiecesShared& shared_;
  std::vector<PieceCell>& cells_;
  std::string& fields_;
  const FieldWriter& write_;
  const char separator_;
  std::uint32_t count_ = 0;
  bool inRun_ = false;  // the piece's last cell is a run that may grow
};

// What one format knows of its pieces.
class PieceFormat {
 public:
  virtual ~PieceFormat() = default;
  // Where the piece that starts at `bytes[0]` ends, once it holds about
  // `want` bytes; npos while `bytes` holds no such place yet (it is asked
  // again with more bytes, or the piece takes all there is). `from` is 0 for
  // each new piece, and keeps where to look on from when more bytes come.
  // Sets `last` when the cell data ends at the place returned: nothing after
  // it is read. Throws FormatError for bytes no piece can be cut from.
  virtual std::size_t cutAt(std::string_view bytes, std::size_t want, std::size_t& from,
                            bool& last) const = 0;
  // Reads the cells of one piece into `cells`, ending with cells.end().
  // `first`: the piece starts where the cell data does. Called on several
  // threads at once. Throws FormatError for damage and for a piece that turns
  // out not to be cut where it can be.
  virtual void readPiece(std::string_view bytes, bool first, PieceCells& cells) const = 0;
};

// Bytes read from a part at a time, while looking for its cell data or a
// place to cut.
inline constexpr std::size_t kPieceReadBytes = std::size_t(256) << 10;
// Bytes read past a piece's wanted size, where it is cut after a row: enough
// for the rest of a row of most sheets.
inline constexpr std::size_t kPieceSlackBytes = std::size_t(8) << 10;

// Reads up to n bytes of the part; 0 at its end.
using ReadBytes = std::function<std::size_t(char* buffer, std::size_t n)>;

// What a format's search for the start of the cell data gives when the part
// cannot be read in pieces (npos: the bytes so far do not hold it yet).
inline constexpr std::size_t kNoPieces = std::string::npos - 1;

// Reads the part on the calling thread until `find`, given all the bytes so
// far, says where its cell data starts. False when the part ends first, more
// than kMaxSheetPieceBytes go by, or `find` gives kNoPieces: one thread then
// reads the part. `bytes` holds what was read, `start` the place found.
bool readToCellData(const ReadBytes& read, const std::function<std::size_t(std::string_view)>& find,
                    std::string& bytes, std::size_t& start);

// What the part gave before its cell data, read on the calling thread.
struct PiecesPrefix {
  std::optional<CellRange> storedRange;
  FormattedLineTracker lines;
  std::string rest;  // the bytes read past the start of the cell data
};

// A cursor over the cell data that `read` yields after `prefix`, its cells
// as CellKind::Field (runs of fields joined by `how.separator`, and blank
// cells). `how.threads` counts the calling thread. `partName` names the part
// in errors. Throws FormatError when the cell data ends before it closes, or
// a piece cannot be read: the caller then reads the part on one thread.
// StopRequested once `stop` is.
std::unique_ptr<SheetCursor> readInPieces(ReadBytes read, std::string partName, PiecesPrefix prefix,
                                          std::unique_ptr<const PieceFormat> format,
                                          const ParallelReading& how, FieldWriter write,
                                          std::stop_token stop);

}  // namespace quorvel::spreadsheet
