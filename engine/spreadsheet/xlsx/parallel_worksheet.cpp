#include "engine/spreadsheet/xlsx/parallel_worksheet.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/zip_package.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

// Bytes inflated at a time while looking for a place to cut.
constexpr std::size_t kReadBytes = std::size_t(256) << 10;

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// Whether the local name at `nameAt` is a tag's, with or without a prefix:
// `<name`, or `</name` for an end tag.
bool isTagName(std::string_view s, std::size_t nameAt, bool endTag) {
  std::size_t j = nameAt;
  if (j > 0 && s[j - 1] == ':') {
    --j;
    while (j > 0 && isNameChar(s[j - 1])) --j;
  }
  if (endTag) return j >= 2 && s[j - 1] == '/' && s[j - 2] == '<';
  return j >= 1 && s[j - 1] == '<';
}

// Just past the first row end tag at or after `from`; npos when there is
// none. Only a place to try: the scanner reading the piece before it
// confirms that the tag is one (a comment or a tag cut open makes it fail).
std::size_t afterRowEnd(std::string_view s, std::size_t from) {
  for (;;) {
    std::size_t at = s.find("row>", from);
    if (at == std::string_view::npos) return at;
    if (isTagName(s, at, true)) return at + 4;
    from = at + 1;
  }
}

// Just past the start tag of the cell data, <sheetData ...>, looking from
// `from` on; npos when `s` does not hold it whole yet (`from` then says
// where to look again once more bytes are there).
std::size_t afterCellDataStart(std::string_view s, std::size_t& from, bool& selfClosing) {
  static constexpr std::string_view kName = "sheetData";
  for (;;) {
    std::size_t at = s.find(kName, from);
    if (at == std::string_view::npos) {
      from = s.size() > kName.size() ? s.size() - kName.size() : 0;
      return at;
    }
    std::size_t p = at + kName.size();
    if (p >= s.size()) {
      from = at;
      return std::string_view::npos;
    }
    char c = s[p];
    if (!isTagName(s, at, false) ||
        !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '>' || c == '/')) {
      from = at + 1;
      continue;
    }
    char quote = 0;
    for (; p < s.size(); ++p) {
      c = s[p];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        selfClosing = s[p - 1] == '/';
        return p + 1;
      }
    }
    from = at;
    return std::string_view::npos;
  }
}

// Bytes read from the part, grown without being cleared first: the part
// passes through such buffers whole, and zeroing them would cost a pass.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view from) { append(from); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char* data() { return data_.get(); }
  std::string_view view() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }
  void resize(std::size_t n) {  // within the room made by reserve()
    size_ = n;
  }
  void reserve(std::size_t n) {
    if (n <= capacity_) return;
    std::unique_ptr<char[]> more(new char[n]);
    if (size_ > 0) std::memcpy(more.get(), data_.get(), size_);
    data_ = std::move(more);
    capacity_ = n;
  }
  void append(std::string_view more) {
    reserve(size_ + more.size());
    if (!more.empty()) std::memcpy(data_.get() + size_, more.data(), more.size());
    size_ += more.size();
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// A cell of a piece: its field lies in the piece's field text.
// Cells in a row, one after another, whose fields are not empty go as one
// run: their fields joined by separators, handed on at once.
struct PieceCell {
  std::uint32_t row, col, lastCol;
  std::uint32_t offset, length;
  bool blank;
};

struct Piece {
  Bytes xml;           // the piece of the part, emptied once read
  bool first = false;  // starts right after <sheetData>
  // Filled by the worker.
  std::vector<PieceCell> cells;
  std::string fields;
  FormattedLines lines;
  bool closed = false;  // met </sheetData>: the cells end here
  std::exception_ptr error;
  bool done = false;
};

void include(FormattedLines& into, const FormattedLines& more) {
  if (!more.rows.empty()) into.rows.include(more.rows.first, more.rows.last);
  if (!more.columns.empty()) into.columns.include(more.columns.first, more.columns.last);
}

class ParallelWorksheetCursor final : public SheetCursor {
 public:
  ParallelWorksheetCursor(std::unique_ptr<PartStream> stream, std::string rest,
                          const SheetContext& context, const WorksheetCursor& prefix,
                          const ParallelReading& how, FieldWriter write, std::stop_token stop)
      : stream_(std::move(stream)),
        partName_(stream_->partName()),
        context_(context),
        pending_(rest),
        storedRange_(prefix.storedRange()),
        prefixLines_(prefix.lineTracker()),
        lines_(prefix.formattedLines()),
        pieceBytes_(std::clamp<std::size_t>(kSheetPiecesInFlightBytes / (how.threads + 2), 1,
                                            std::max<std::size_t>(how.pieceBytes, 1))),
        inFlight_(how.threads + 2),
        write_(std::move(write)),
        separator_(how.separator),
        stop_(std::move(stop)) {
    // This thread is one of them: it reads pieces too while it waits.
    workers_.reserve(how.threads - 1);
    for (unsigned i = 1; i < how.threads; ++i) workers_.emplace_back([this] { work(); });
  }

  ~ParallelWorksheetCursor() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cancel_ = true;
    }
    work_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  bool next(Cell& cell) override {
    for (;;) {
      if (current_ && at_ < current_->cells.size()) {
        const PieceCell& c = current_->cells[at_++];
        cell.row = c.row;
        cell.col = c.col;
        cell.style = 0;
        cell.number = 0;
        cell.generalText = {};
        cell.kind = c.blank ? CellKind::Blank : CellKind::Field;
        cell.lastCol = c.lastCol;
        cell.text = std::string_view(current_->fields).substr(c.offset, c.length);
        return true;
      }
      if (current_) {
        if (current_->closed) ended_ = true;
        current_ = nullptr;
        // Kept for a later piece with its buffers: every thread has its own
        // allocator arena, and buffers made afresh in each would pile up there.
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(pieces_.front()));
        pieces_.pop_front();
      }
      if (ended_) return false;
      while (pieces_.size() < inFlight_ && cutPiece()) {
      }
      if (pieces_.empty())  // the part ended inside the cell data
        damaged(partText(partName_) + " ends before its cell data does");
      Piece* front = pieces_.front().get();
      for (;;) {
        // While the next piece is not read, this thread reads one that waits
        // rather than sleep: it is one of the threads the sheet may keep busy.
        Piece* mine = nullptr;
        {
          std::unique_lock<std::mutex> lock(mutex_);
          if (front->done) break;
          if (waiting_.empty()) {
            done_.wait(lock, [&] { return front->done; });
            break;
          }
          mine = waiting_.front();
          waiting_.pop_front();
        }
        readAndMark(*mine);
      }
      if (front->error) std::rethrow_exception(front->error);
      current_ = front;
      at_ = 0;
      include(lines_, front->lines);
    }
  }

  std::optional<CellRange> storedRange() const override { return storedRange_; }
  FormattedLines formattedLines() const override { return lines_; }

 private:
  // Reads more of the part into pending_; false at its end.
  bool readMore() {
    if (inputEnded_) return false;
    std::size_t had = pending_.size();
    pending_.reserve(had + kReadBytes);
    std::size_t got = stream_->read(pending_.data() + had, kReadBytes);
    pending_.resize(had + got);
    if (got == 0) inputEnded_ = true;
    return got != 0;
  }

  // Cuts the next piece off the part and hands it to the workers; false
  // when the part has no more.
  bool cutPiece() {
    pending_.reserve(pieceBytes_ + kReadBytes);
    while (pending_.size() < pieceBytes_ && readMore()) {
    }
    if (pending_.empty()) return false;
    std::size_t from = pieceBytes_ > 8 ? std::min(pending_.size(), pieceBytes_ - 8) : 0;
    std::size_t cut = afterRowEnd(pending_.view(), from);
    while (cut == std::string::npos && !inputEnded_) {
      if (pending_.size() > std::max(kMaxSheetPieceBytes, 4 * pieceBytes_))
        damaged(partText(partName_) + " has no row end in " +
                std::to_string(kMaxSheetPieceBytes >> 20) + " MB");
      from = pending_.size() > 8 ? pending_.size() - 8 : 0;
      readMore();
      cut = afterRowEnd(pending_.view(), from);
    }
    std::unique_ptr<Piece> piece;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        piece = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    if (piece) {
      piece->cells.clear();
      piece->fields.clear();
      piece->lines = {};
      piece->closed = piece->done = false;
      piece->error = nullptr;
    } else {
      piece = std::make_unique<Piece>();
    }
    // The piece takes the buffer; only the few bytes past the cut move.
    std::swap(piece->xml, pending_);
    pending_.clear();
    if (cut != std::string::npos && cut < piece->xml.size()) {
      pending_.append(piece->xml.view().substr(cut));
      piece->xml.resize(cut);
    }
    piece->first = !cutAny_;
    cutAny_ = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_.push_back(piece.get());
      pieces_.push_back(std::move(piece));
    }
    work_.notify_one();
    return true;
  }

  void work() {
    for (;;) {
      Piece* piece = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [&] { return cancel_ || !waiting_.empty(); });
        if (cancel_) return;
        piece = waiting_.front();
        waiting_.pop_front();
      }
      readAndMark(*piece);
    }
  }

  void readAndMark(Piece& piece) {
    try {
      read(piece);
    } catch (...) {
      piece.error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      piece.done = true;
    }
    done_.notify_all();
  }

  void read(Piece& piece) {
    PieceStart start;
    start.inCellData = true;
    start.rowKnown = piece.first;
    start.lines = prefixLines_;
    start.stringsLock = &stringsLock_;
    WorksheetCursor cursor(piece.xml.view(), partName_, context_.strings, context_.date1904,
                           context_.generalStyles, context_.emptyCellLooks, std::move(start));
    Cell cell;
    std::uint32_t count = 0;
    std::string& fields = piece.fields;
    bool inRun = false;  // the last of piece.cells is a run that may grow
    while (cursor.next(cell)) {
      // As often as the writer looks: a stop ends the workers as soon.
      if (++count % 4096 == 0 && (stop_.stop_requested() || cancelled())) throw StopRequested();
      const auto offset = static_cast<std::uint32_t>(fields.size());
      if (cell.kind == CellKind::Blank) {
        piece.cells.push_back({cell.row, cell.col, cell.col, offset, 0, true});
        inRun = false;
        continue;
      }
      if (inRun) {
        PieceCell& run = piece.cells.back();
        if (cell.row == run.row && cell.col > run.lastCol) {
          if (cell.col - run.lastCol == 1)
            fields += separator_;  // the next column, as nearly always
          else
            fields.append(cell.col - run.lastCol, separator_);
          const std::size_t at = fields.size();
          write_(cell, fields);
          if (fields.size() > at) {
            run.lastCol = cell.col;
            run.length = static_cast<std::uint32_t>(fields.size() - run.offset);
            continue;
          }
          fields.resize(offset);  // an empty field goes alone
        }
      }
      write_(cell, fields);
      const auto length = static_cast<std::uint32_t>(fields.size() - offset);
      piece.cells.push_back({cell.row, cell.col, cell.col, offset, length, false});
      inRun = length > 0;
    }
    // Ending inside a tag or a cell has thrown; ending anywhere but inside
    // the cell data means the cut was not after a row.
    if (!cursor.inCellData()) damaged(partText(partName_) + " was cut outside its cell data");
    piece.closed = cursor.cellDataClosed();
    piece.lines = cursor.formattedLines();
    piece.xml.clear();  // its room serves a later piece
  }

  bool cancelled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancel_;
  }

  std::unique_ptr<PartStream> stream_;
  std::string partName_;
  SheetContext context_;
  Bytes pending_;  // read, not yet cut off; starts after a row end
  bool inputEnded_ = false, cutAny_ = false, ended_ = false;
  std::optional<CellRange> storedRange_;
  FormattedLineTracker prefixLines_;
  FormattedLines lines_;
  std::size_t pieceBytes_;
  std::size_t inFlight_;  // pieces cut and not yet handed on, at most
  FieldWriter write_;
  char separator_;
  std::stop_token stop_;
  std::mutex stringsLock_;

  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<std::unique_ptr<Piece>> pieces_;  // in order; the front is handed on next
  std::deque<Piece*> waiting_;                 // for a worker
  std::vector<std::unique_ptr<Piece>> spare_;  // handed on, their buffers kept
  bool cancel_ = false;
  Piece* current_ = nullptr;  // the front piece, being handed on
  std::size_t at_ = 0;

  std::vector<std::thread> workers_;  // last: they start once the rest is made
};

}  // namespace

std::unique_ptr<SheetCursor> openParallelWorksheet(std::unique_ptr<PartStream> stream,
                                                   const SheetContext& context,
                                                   const ParallelReading& how, FieldWriter write,
                                                   std::stop_token stop) {
  if (how.threads < 2 || stream->size() < how.minSheetBytes) return nullptr;
  // The part up to and with <sheetData>, read on this thread.
  std::string bytes;
  std::size_t from = 0, start = std::string::npos;
  bool selfClosing = false;
  while (start == std::string::npos) {
    if (bytes.size() > kMaxSheetPieceBytes) return nullptr;
    std::size_t had = bytes.size();
    bytes.resize(had + kReadBytes);
    std::size_t got = stream->read(bytes.data() + had, kReadBytes);
    bytes.resize(had + got);
    if (got == 0) return nullptr;
    start = afterCellDataStart(bytes, from, selfClosing);
  }
  if (selfClosing) return nullptr;
  std::optional<WorksheetCursor> prefix;
  try {
    prefix.emplace(std::string_view(bytes).substr(0, start), stream->partName(), context.strings,
                   context.date1904, context.generalStyles, context.emptyCellLooks, PieceStart{});
    Cell cell;
    if (prefix->next(cell) || !prefix->inCellData() || prefix->cellDataClosed()) return nullptr;
  } catch (const FormatError&) {
    return nullptr;  // one thread reads the part and says what is wrong
  }
  bytes.erase(0, start);
  return std::make_unique<ParallelWorksheetCursor>(std::move(stream), std::move(bytes), context,
                                                   *prefix, how, std::move(write), std::move(stop));
}

}  // namespace quorvel::spreadsheet::xlsx
