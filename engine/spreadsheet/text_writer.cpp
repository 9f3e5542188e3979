#include "engine/spreadsheet/text_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/spreadsheet/atomic_file.h"
#include "engine/spreadsheet/byte_search.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/spool.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"

namespace quorvel::spreadsheet {

namespace {

// Whether a field must be quoted.
bool needsQuotes(std::string_view text) {
  return holdsAnyOf(text.data(), text.data() + text.size(), '"', '\t', '\n', '\r', ',');
}

}  // namespace

void appendField(std::string_view text, std::string& out) {
  if (!needsQuotes(text)) {
    out += text;
    return;
  }
  out += '"';
  for (;;) {  // each quote doubled, the runs between copied whole
    std::size_t quote = text.find('"');
    if (quote == std::string_view::npos) break;
    out.append(text.substr(0, quote + 1));
    out += '"';
    text.remove_prefix(quote + 1);
  }
  out += text;
  out += '"';
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct RowCell {
  std::uint32_t col;
  std::uint32_t offset;
  std::uint32_t length;
  std::uint32_t seq;  // arrival order: the later of two cells in one place wins
};

// The cells of one row, gathered before they go to the spool.
class RowBuffer {
 public:
  // `text` is the field as written (already quoted where needed).
  void add(std::uint32_t col, std::string_view text) {
    cells_.push_back({col, static_cast<std::uint32_t>(text_.size()),
                      static_cast<std::uint32_t>(text.size()),
                      static_cast<std::uint32_t>(cells_.size())});
    text_ += text;
  }
  std::string& textBuffer() { return text_; }
  // After appending a field's bytes to textBuffer() from `offset` on.
  void added(std::uint32_t col, std::size_t offset) {
    cells_.push_back({col, static_cast<std::uint32_t>(offset),
                      static_cast<std::uint32_t>(text_.size() - offset),
                      static_cast<std::uint32_t>(cells_.size())});
  }
  bool empty() const { return cells_.empty(); }
  void clear() {
    cells_.clear();
    text_.clear();
  }
  // Sorted by column, one cell per column (the last one stored).
  void normalise() {
    bool sorted = true;
    for (std::size_t i = 1; i < cells_.size(); ++i)
      if (cells_[i].col <= cells_[i - 1].col) sorted = false;
    if (sorted) return;
    std::sort(cells_.begin(), cells_.end(), [](const RowCell& a, const RowCell& b) {
      return a.col != b.col ? a.col < b.col : a.seq < b.seq;
    });
    std::vector<RowCell> unique;
    for (const RowCell& c : cells_) {
      if (!unique.empty() && unique.back().col == c.col)
        unique.back() = c;
      else
        unique.push_back(c);
    }
    cells_.swap(unique);
  }
  // The fields from the first to the last cell joined by separators; the
  // row holds at least one cell.
  void body(std::string& out, RecordHeader& h, char separator) {
    normalise();
    out.clear();
    h.first = cells_.front().col;
    h.last = cells_.back().col;
    std::uint32_t at = h.first;
    for (const RowCell& c : cells_) {
      out.append(c.col - at, separator);
      out.append(text_, c.offset, c.length);
      at = c.col;
    }
    h.length = static_cast<std::uint32_t>(out.size());
  }

 private:
  std::vector<RowCell> cells_;
  std::string text_;
};

// Splits a body back into its fields (for rows stored in several pieces).
// An empty field between the first and the last is a gap, not a cell; the
// first and the last field are always cells, even empty ones, so a piece of
// empty texts still gives the row a cell.
void addFields(const RecordHeader& h, std::string_view body, char separator, RowBuffer& into) {
  std::uint32_t col = h.first;
  std::size_t i = 0;
  for (;;) {
    std::size_t start = i;
    if (i < body.size() && body[i] == '"') {  // a quoted field may hold tabs
      for (++i; i < body.size(); ++i)
        if (body[i] == '"') {
          if (i + 1 < body.size() && body[i + 1] == '"')
            ++i;
          else
            break;
        }
    }
    std::size_t tab = body.find(separator, i);
    if (tab == std::string_view::npos) tab = body.size();
    if (tab > start || col == h.first || col == h.last)
      into.add(col, body.substr(start, tab - start));
    if (tab == body.size()) break;
    ++col;
    i = tab + 1;
  }
}

// The text file, under its name only once close() succeeds; until then a
// hidden temporary file, removed when the writing breaks off.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path, std::stop_token stop)
      : file_(path), stop_(std::move(stop)) {
    buf_.reserve(kFlushAt + 4096);
  }
  std::string& buffer() { return buf_; }
  void maybeFlush() {
    if (buf_.size() >= kFlushAt) flush();
  }
  void close() {
    flush();
    file_.commit();
  }

 private:
  static constexpr std::size_t kFlushAt = 256u << 10;
  void flush() {
    // At every flush: a stop is seen quickly even in a sheet of empty rows.
    if (stop_.stop_requested()) throw StopRequested();
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_.stream()) != buf_.size())
      throw SpreadsheetError(
          ErrorCode::CannotWrite,
          describeError(ErrorCode::CannotWrite, file_.path(), std::strerror(errno)));
    buf_.clear();
  }
  AtomicFile file_;
  std::stop_token stop_;
  std::string buf_;
};

// Looks at the stop request every few thousand cells, so that a stop breaks
// off a long worksheet at once.
class StopCheck {
 public:
  explicit StopCheck(std::stop_token stop) : stop_(std::move(stop)) {}
  void operator()() {
    if (++count_ % kInterval == 0 && stop_.stop_requested()) throw StopRequested();
  }

 private:
  static constexpr std::uint32_t kInterval = 4096;
  std::stop_token stop_;
  std::uint32_t count_ = 0;
};

struct Box {
  std::uint32_t top = UINT32_MAX, left = UINT32_MAX, bottom = 0, right = 0;
  bool empty() const { return top == UINT32_MAX; }
  void include(std::uint32_t row, std::uint32_t col) {
    top = std::min(top, row);
    bottom = std::max(bottom, row);
    left = std::min(left, col);
    right = std::max(right, col);
  }
  // Rows and columns stored with properties that put them in the range; a
  // sheet without a stored cell stays empty.
  void include(const FormattedLines& lines) {
    if (empty()) return;
    if (!lines.rows.empty()) {
      top = std::min(top, lines.rows.first);
      bottom = std::max(bottom, lines.rows.last);
    }
    if (!lines.columns.empty()) {
      left = std::min(left, lines.columns.first);
      right = std::max(right, lines.columns.last);
    }
  }
};

void writeLine(std::uint32_t left, std::uint32_t right, const RecordHeader& h,
               std::string_view body, char separator, std::string& out) {
  out.append(h.first - left, separator);
  out += body;
  out.append(right - h.last, separator);
  out += "\r\n";
}

// Appends the cell's field to `text` as written, quoted where needed. False
// for a blank cell, which adds nothing.
bool appendCell(const Cell& cell, const CellFormatter& formatter, CellValues values,
                std::string& text, std::string& scratch) {
  std::size_t start = text.size();
  const bool raw = values == CellValues::Raw;
  switch (cell.kind) {
    case CellKind::Blank:
      return false;
    case CellKind::Number:
      if (raw) {
        formatter.appendRawNumber(cell.style, cell.number, text);  // never quoted
        return true;
      }
      if (!cell.generalText.empty()) {
        text += cell.generalText;  // digits, a point and a sign: never quoted
        return true;
      }
      if (!formatter.appendNumberMayNeedQuotes(cell.style, cell.number, text)) return true;
      break;
    case CellKind::Text:
      if (raw || formatter.showsTextAsIs(cell.style)) {
        // Looked at where it lies rather than in the copy: reading back bytes
        // just written waits for the writes.
        appendField(cell.text, text);
        return true;
      }
      formatter.appendText(cell.style, cell.text, text);
      break;
    case CellKind::Boolean:
      if (raw)
        text += cell.number != 0 ? "TRUE" : "FALSE";
      else
        formatter.appendBoolean(cell.style, cell.number != 0, text);
      break;
    case CellKind::Error:
      text += cell.text;
      break;
    case CellKind::Field:
      text += cell.text;  // written whole already
      return true;
  }
  const std::string_view field = std::string_view(text).substr(start);
  if (needsQuotes(field)) {
    if (field.find('"') == std::string_view::npos) {  // "1,234.50": quotes around it
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(start), '"');
      text += '"';
    } else {
      scratch.assign(text, start);
      text.resize(start);
      appendField(scratch, text);
    }
  }
  return true;
}

}  // namespace

bool appendCellField(const Cell& cell, const CellFormatter& formatter, CellValues values,
                     std::string& out) {
  std::string scratch;  // allocates only for a field that needs quotes
  return appendCell(cell, formatter, values, out, scratch);
}

namespace {

// Formats a cell with a value into the row (blank cells add nothing).
void addCell(const Cell& cell, const CellFormatter& formatter, CellValues values, RowBuffer& row,
             std::string& scratch) {
  std::size_t start = row.textBuffer().size();
  if (appendCell(cell, formatter, values, row.textBuffer(), scratch)) row.added(cell.col, start);
}

// "16 GiB", "1.5 MiB", "900 bytes": a size for a message.
std::string sizeText(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  double value = static_cast<double>(bytes);
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 || value >= 100 ? "%.0f %s" : "%.3g %s", value,
                kUnits[unit]);
  return text;
}

// Refuses a range whose empty cells alone would make more text than allowed.
void checkPadding(std::uint32_t top, std::uint32_t left, std::uint32_t bottom, std::uint32_t right,
                  const TextOptions& options) {
  const std::uint64_t bytes = paddingBytes(bottom - top + 1ull, right - left + 1ull);
  if (bytes <= options.maxPaddingBytes) return;
  throw SheetTooLarge("spans " + xlsx::columnName(left) + std::to_string(top + 1) + ":" +
                      xlsx::columnName(right) + std::to_string(bottom + 1) +
                      ", whose separators and line ends alone would take " + sizeText(bytes) +
                      ", past the limit of " + sizeText(options.maxPaddingBytes));
}

// The column of the last field a cell gives: a run of fields ends past its
// first (see CellKind::Field).
std::uint32_t lastColumnOf(const Cell& cell) {
  return cell.kind == CellKind::Field && cell.lastCol > cell.col ? cell.lastCol : cell.col;
}

void checkLimits(const Cell& cell) {
  if (cell.row >= kMaxRows || lastColumnOf(cell) >= kMaxColumns)
    damaged("a cell lies outside the worksheet's " + std::to_string(kMaxRows) + " rows and " +
            std::to_string(kMaxColumns) + " columns");
}

// Writes rows straight to the file, padded to the range the sheet records,
// each field as its cell arrives. False, with the file half written, as soon
// as a cell shows that range to be wrong or the cells to be out of order
// (which the spool sorts out): the caller starts over.
bool writeWithStoredRange(SheetCursor& cursor, Cell& cell, const CellRange& range,
                          const CellFormatter& formatter, const TextOptions& options,
                          OutputFile& out, SheetStats& stats, StopCheck& stopCheck) {
  const char separator = options.separator;
  std::string& buf = out.buffer();
  std::uint32_t next = range.top;  // next row to write
  auto writeEmptyRows = [&](std::uint32_t to) {
    for (; next < to; ++next) {
      buf.append(range.right - range.left, separator);
      buf += "\r\n";
      out.maybeFlush();
    }
  };
  bool lineOpen = false;  // a field of row `next - 1` is written, its line not ended
  std::uint32_t at = 0;   // the column of the last field written on the open line
  auto endLine = [&] {
    if (!lineOpen) return;
    buf.append(range.right - at, separator);
    buf += "\r\n";
    out.maybeFlush();
    lineOpen = false;
  };
  std::string scratch;
  Box box;
  std::uint32_t rowIndex = cell.row;
  do {
    stopCheck();
    checkLimits(cell);
    const std::uint32_t last = lastColumnOf(cell);
    if (cell.row < range.top || cell.row > range.bottom || cell.col < range.left ||
        last > range.right || cell.row < rowIndex)
      return false;
    box.include(cell.row, cell.col);
    if (last != cell.col) box.include(cell.row, last);
    if (cell.row != rowIndex) {
      endLine();
      rowIndex = cell.row;
    }
    if (cell.kind == CellKind::Blank) continue;
    if (lineOpen && cell.col <= at) return false;  // out of order or twice in one place
    if (!lineOpen) {
      writeEmptyRows(cell.row);
      lineOpen = true;
      at = range.left;
      next = cell.row + 1;
    }
    buf.append(cell.col - at, separator);
    appendCell(cell, formatter, options.values, buf, scratch);
    at = last;
  } while (cursor.next(cell));
  endLine();
  box.include(cursor.formattedLines());
  if (box.top != range.top || box.left != range.left || box.bottom != range.bottom ||
      box.right != range.right)
    return false;
  writeEmptyRows(range.bottom + 1);
  stats.rows = range.bottom - range.top + 1;
  stats.columns = range.right - range.left + 1;
  return true;
}

// A cursor whose first cell was already read.
class ReplayCursor final : public SheetCursor {
 public:
  ReplayCursor(SheetCursor& inner, const Cell& first) : inner_(inner), first_(first) {}
  bool next(Cell& cell) override {
    if (pending_) {
      pending_ = false;
      cell = first_;
      return true;
    }
    return inner_.next(cell);
  }
  FormattedLines formattedLines() const override { return inner_.formattedLines(); }

 private:
  SheetCursor& inner_;
  Cell first_;
  bool pending_ = true;
};

}  // namespace

std::uint64_t paddingBytes(std::uint64_t rows, std::uint64_t columns) {
  return columns == 0 ? 0 : rows * (columns - 1 + 2);  // separators, then CR LF
}

SheetStats writeSheetText(const std::function<std::unique_ptr<SheetCursor>()>& open,
                          const CellFormatter& formatter, const std::string& outputPath,
                          std::stop_token stop, const TextOptions& options) {
  std::unique_ptr<SheetCursor> cursor = open();
  Cell cell;
  if (!cursor->next(cell))
    return writeSheetText(*cursor, formatter, outputPath, stop, options);  // empty
  std::optional<CellRange> range = cursor->storedRange();
  if (range && range->top <= range->bottom && range->left <= range->right &&
      range->bottom < kMaxRows && range->right < kMaxColumns &&
      paddingBytes(range->bottom - range->top + 1ull, range->right - range->left + 1ull) <=
          options.maxPaddingBytes) {
    {
      OutputFile out(outputPath, stop);
      SheetStats stats;
      StopCheck stopCheck(stop);
      if (writeWithStoredRange(*cursor, cell, *range, formatter, options, out, stats, stopCheck)) {
        out.close();
        return stats;
      }
    }
    cursor.reset();   // one reader of the package at a time
    cursor = open();  // the recorded range is wrong: read the sheet again
    return writeSheetText(*cursor, formatter, outputPath, stop, options);
  }
  ReplayCursor replay(*cursor, cell);
  return writeSheetText(replay, formatter, outputPath, stop, options);
}

SheetStats writeSheetText(SheetCursor& cursor, const CellFormatter& formatter,
                          const std::string& outputPath, std::stop_token stop,
                          const TextOptions& options) {
  const char separator = options.separator;
  StopCheck stopCheck(stop);
  Spool spool;
  RowBuffer row;
  Box box;
  std::uint32_t rowIndex = 0;
  bool haveRow = false;
  bool inOrder = true;
  std::uint32_t lastSpooledRow = 0;
  bool spooledAny = false;

  std::string body, unquoted;
  auto flushRow = [&] {
    if (row.empty()) return;
    if (spooledAny && rowIndex <= lastSpooledRow) inOrder = false;
    RecordHeader h;
    h.row = rowIndex;
    row.body(body, h, separator);
    spool.put(h, body);
    lastSpooledRow = rowIndex;
    spooledAny = true;
    row.clear();
  };

  Cell cell;
  while (cursor.next(cell)) {
    stopCheck();
    checkLimits(cell);
    const std::uint32_t last = lastColumnOf(cell);
    box.include(cell.row, cell.col);
    if (last != cell.col) box.include(cell.row, last);
    if (!haveRow || cell.row != rowIndex) {
      flushRow();
      rowIndex = cell.row;
      haveRow = true;
    }
    if (last != cell.col) {
      // A run of fields: each goes into the row as the cell it was, since
      // a later cell in one of its places must still win.
      RecordHeader run{cell.row, cell.col, last, static_cast<std::uint32_t>(cell.text.size())};
      addFields(run, cell.text, separator, row);
    } else {
      addCell(cell, formatter, options.values, row, unquoted);
    }
  }
  flushRow();
  box.include(cursor.formattedLines());
  if (!box.empty()) checkPadding(box.top, box.left, box.bottom, box.right, options);

  OutputFile out(outputPath, stop);
  SheetStats stats;
  if (box.empty()) {
    out.close();
    return stats;
  }
  stats.rows = box.bottom - box.top + 1;
  stats.columns = box.right - box.left + 1;

  std::string& buf = out.buffer();
  auto writeEmptyRows = [&](std::uint32_t from, std::uint32_t to) {  // [from, to)
    for (std::uint32_t r = from; r < to; ++r) {
      buf.append(box.right - box.left, separator);
      buf += "\r\n";
      out.maybeFlush();
    }
  };

  spool.startReading();
  RecordHeader h;
  std::string_view piece;
  std::uint32_t next = box.top;  // next row to write
  if (inOrder) {
    while (spool.next(h, piece)) {
      writeEmptyRows(next, h.row);
      writeLine(box.left, box.right, h, piece, separator, buf);
      out.maybeFlush();
      next = h.row + 1;
    }
  } else {
    // Rows arrived out of order (rare): index the spooled records, then visit
    // them by row, merging a row stored in several pieces.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> index;
    for (std::uint64_t at = spool.tell(); spool.next(h, piece); at = spool.tell())
      index.emplace_back(h.row, at);
    std::stable_sort(index.begin(), index.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < index.size();) {
      std::uint32_t r = index[i].first;
      row.clear();
      for (; i < index.size() && index[i].first == r; ++i) {
        spool.seek(index[i].second);
        spool.next(h, piece);
        addFields(h, piece, separator, row);
      }
      row.body(body, h, separator);
      writeEmptyRows(next, r);
      writeLine(box.left, box.right, h, body, separator, buf);
      out.maybeFlush();
      next = r + 1;
    }
  }
  writeEmptyRows(next, box.bottom + 1);
  out.close();
  return stats;
}

}  // namespace quorvel::spreadsheet
