#include "engine/spreadsheet/text_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet {

void appendField(std::string_view text, std::string& out) {
  if (text.find_first_of("\"\t\n\r,") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Row records: row, cell count, then per cell column, length, bytes. Kept in
// memory until it grows past a few megabytes, then moved to a temporary file.
class Spool {
 public:
  static constexpr std::size_t kMemoryLimit = 8u << 20;

  void putU32(std::uint32_t v) { buf_.append(reinterpret_cast<const char*>(&v), 4); }
  void putBytes(std::string_view s) { buf_ += s; }

  void maybeSpill() {
    if (buf_.size() < kMemoryLimit) return;
    if (!file_) {
      file_.reset(std::tmpfile());
      if (!file_)
        fail(ErrorCode::CannotWrite, "no temporary file: " + std::string(std::strerror(errno)));
    }
    if (std::fwrite(buf_.data(), 1, buf_.size(), file_.get()) != buf_.size())
      fail(ErrorCode::CannotWrite, "temporary file: " + std::string(std::strerror(errno)));
    spilled_ += buf_.size();
    buf_.clear();
  }

  // Sequential reading after the last record.
  void startReading() {
    if (file_) {
      maybeSpillAll();
      std::rewind(file_.get());
    }
    readPos_ = 0;
  }
  bool read(void* dst, std::size_t n) {
    if (file_) return std::fread(dst, 1, n, file_.get()) == n;
    if (readPos_ + n > buf_.size()) return false;
    std::memcpy(dst, buf_.data() + readPos_, n);
    readPos_ += n;
    return true;
  }
  std::uint64_t tell() {
    return file_ ? static_cast<std::uint64_t>(std::ftell(file_.get())) : readPos_;
  }
  void seek(std::uint64_t pos) {
    if (file_)
      std::fseek(file_.get(), static_cast<long>(pos), SEEK_SET);
    else
      readPos_ = pos;
  }

 private:
  void maybeSpillAll() {
    if (!buf_.empty()) {
      if (std::fwrite(buf_.data(), 1, buf_.size(), file_.get()) != buf_.size())
        fail(ErrorCode::CannotWrite, "temporary file: " + std::string(std::strerror(errno)));
      spilled_ += buf_.size();
      buf_.clear();
    }
    std::fflush(file_.get());
  }

  std::string buf_;
  FilePtr file_;
  std::uint64_t spilled_ = 0;
  std::size_t readPos_ = 0;
};

struct RowCell {
  std::uint32_t col;
  std::uint32_t offset;
  std::uint32_t length;
  std::uint32_t seq;  // arrival order: the later of two cells in one place wins
};

// The cells of one row, gathered before they go to the spool.
class RowBuffer {
 public:
  void add(std::uint32_t col, std::string_view text) {
    cells_.push_back({col, static_cast<std::uint32_t>(text_.size()),
                      static_cast<std::uint32_t>(text.size()),
                      static_cast<std::uint32_t>(cells_.size())});
    text_ += text;
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
  void writeTo(std::uint32_t row, Spool& spool) {
    normalise();
    spool.putU32(row);
    spool.putU32(static_cast<std::uint32_t>(cells_.size()));
    for (const RowCell& c : cells_) {
      spool.putU32(c.col);
      spool.putU32(c.length);
      spool.putBytes(std::string_view(text_).substr(c.offset, c.length));
    }
    spool.maybeSpill();
  }
  const std::vector<RowCell>& cells() const { return cells_; }
  std::string_view textOf(const RowCell& c) const {
    return std::string_view(text_).substr(c.offset, c.length);
  }

 private:
  std::vector<RowCell> cells_;
  std::string text_;
};

class OutputFile {
 public:
  explicit OutputFile(const std::string& path) : path_(path) {
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) raise();
    buf_.reserve(kFlushAt + 4096);
  }
  std::string& buffer() { return buf_; }
  void maybeFlush() {
    if (buf_.size() >= kFlushAt) flush();
  }
  void close() {
    flush();
    std::FILE* f = file_.release();
    if (std::fclose(f) != 0) raise();
  }

 private:
  static constexpr std::size_t kFlushAt = 1u << 20;
  void flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_.get()) != buf_.size())
      raise();
    buf_.clear();
  }
  [[noreturn]] void raise() {
    throw SpreadsheetError(ErrorCode::CannotWrite,
                           "cannot write '" + path_ + "': " + std::strerror(errno));
  }
  std::string path_;
  FilePtr file_;
  std::string buf_;
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
};

void writeRow(std::uint32_t left, std::uint32_t right, const RowBuffer& row, std::string& out) {
  std::uint32_t at = left;  // column the next character lands in
  for (const RowCell& c : row.cells()) {
    out.append(c.col - at, '\t');
    out += row.textOf(c);
    at = c.col;
  }
  out.append(right - at, '\t');
  out += "\r\n";
}

bool readRecord(Spool& spool, std::uint32_t& row, RowBuffer& into) {
  std::uint32_t count;
  if (!spool.read(&row, 4) || !spool.read(&count, 4)) return false;
  std::string text;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t col, len;
    spool.read(&col, 4);
    spool.read(&len, 4);
    text.resize(len);
    if (len) spool.read(text.data(), len);
    into.add(col, text);
  }
  return true;
}

}  // namespace

SheetStats writeSheetText(SheetCursor& cursor, const CellFormatter& formatter,
                          const std::string& outputPath) {
  Spool spool;
  RowBuffer row;
  Box box;
  std::uint32_t rowIndex = 0;
  bool haveRow = false;
  bool inOrder = true;
  std::uint32_t lastSpooledRow = 0;
  bool spooledAny = false;

  std::string text;
  auto flushRow = [&] {
    if (row.empty()) return;
    if (spooledAny && rowIndex <= lastSpooledRow) inOrder = false;
    row.writeTo(rowIndex, spool);
    lastSpooledRow = rowIndex;
    spooledAny = true;
    row.clear();
  };

  Cell cell;
  while (cursor.next(cell)) {
    if (cell.row >= kMaxRows || cell.col >= kMaxColumns)
      damaged("a cell lies outside the worksheet's " + std::to_string(kMaxRows) + " rows and " +
              std::to_string(kMaxColumns) + " columns");
    box.include(cell.row, cell.col);
    if (!haveRow || cell.row != rowIndex) {
      flushRow();
      rowIndex = cell.row;
      haveRow = true;
    }
    text.clear();
    switch (cell.kind) {
      case CellKind::Blank:
        continue;
      case CellKind::Number:
        formatter.appendNumber(cell.style, cell.number, text);
        break;
      case CellKind::Text:
        formatter.appendText(cell.style, cell.text, text);
        break;
      case CellKind::Boolean:
        text = cell.number != 0 ? "TRUE" : "FALSE";
        break;
      case CellKind::Error:
        text = cell.text;
        break;
    }
    std::string field;
    if (text.find_first_of("\"\t\n\r,") != std::string::npos) {
      appendField(text, field);
      row.add(cell.col, field);
    } else {
      row.add(cell.col, text);
    }
  }
  flushRow();

  OutputFile out(outputPath);
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
      buf.append(box.right - box.left, '\t');
      buf += "\r\n";
      out.maybeFlush();
    }
  };

  spool.startReading();
  RowBuffer rec;
  std::uint32_t next = box.top;  // next row to write
  if (inOrder) {
    std::uint32_t r;
    while (true) {
      rec.clear();
      if (!readRecord(spool, r, rec)) break;
      writeEmptyRows(next, r);
      writeRow(box.left, box.right, rec, buf);
      out.maybeFlush();
      next = r + 1;
    }
  } else {
    // Rows arrived out of order (rare): index the spooled records, then visit
    // them by row, merging a row stored in several pieces.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> index;
    while (true) {
      std::uint64_t at = spool.tell();
      std::uint32_t r;
      rec.clear();
      if (!readRecord(spool, r, rec)) break;
      index.emplace_back(r, at);
    }
    std::stable_sort(index.begin(), index.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < index.size();) {
      std::uint32_t r = index[i].first;
      rec.clear();
      for (; i < index.size() && index[i].first == r; ++i) {
        std::uint32_t got;
        spool.seek(index[i].second);
        readRecord(spool, got, rec);
      }
      rec.normalise();
      writeEmptyRows(next, r);
      writeRow(box.left, box.right, rec, buf);
      out.maybeFlush();
      next = r + 1;
    }
  }
  writeEmptyRows(next, box.bottom + 1);
  out.close();
  return stats;
}

}  // namespace quorvel::spreadsheet
