#include "engine/spreadsheet/parallel_pieces.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet {

namespace {

// Bytes read from the part, grown without being cleared first: the part
// passes through such buffers whole, and zeroing them would cost a pass.
class Bytes {
 public:
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

void include(FormattedLines& into, const FormattedLines& more) {
  if (!more.rows.empty()) into.rows.include(more.rows.first, more.rows.last);
  if (!more.columns.empty()) into.columns.include(more.columns.first, more.columns.last);
}

}  // namespace

struct SheetPiece {
  Bytes bytes;         // the piece of the part, emptied once read
  bool first = false;  // starts where the cell data does
  // Filled by the worker.
  std::vector<PieceCell> cells;
  std::string fields;
  FormattedLines lines;
  bool closed = false;  // the cell data ends here
  std::exception_ptr error;
  bool done = false;
};

// What the workers of one sheet share.
struct PiecesShared {
  PiecesShared(FieldWriter write, char separator, std::stop_token stop,
               FormattedLineTracker prefixLines)
      : write(std::move(write)),
        separator(separator),
        stop(std::move(stop)),
        prefixLines(std::move(prefixLines)) {}
  FieldWriter write;
  char separator;
  std::stop_token stop;
  FormattedLineTracker prefixLines;
  std::atomic<bool> cancel{false};  // the cursor is dropped
  std::mutex sharedLock;
};

PieceCells::PieceCells(SheetPiece& piece, PiecesShared& shared)
    : piece_(piece),
      shared_(shared),
      cells_(piece.cells),
      fields_(piece.fields),
      write_(shared.write),
      separator_(shared.separator) {}

void PieceCells::checkStop() const {
  if (shared_.stop.stop_requested() || shared_.cancel.load(std::memory_order_relaxed))
    throw StopRequested();
}

void PieceCells::end(bool closed, const FormattedLines& lines) {
  piece_.closed = closed;
  piece_.lines = lines;
}

std::mutex& PieceCells::sharedLock() const {
  return shared_.sharedLock;
}

const FormattedLineTracker& PieceCells::prefixLines() const {
  return shared_.prefixLines;
}

namespace {

class PiecesCursor final : public SheetCursor {
 public:
  PiecesCursor(ReadBytes read, std::string partName, PiecesPrefix prefix,
               std::unique_ptr<const PieceFormat> format, const ParallelReading& how,
               FieldWriter write, std::stop_token stop)
      : read_(std::move(read)),
        partName_(std::move(partName)),
        format_(std::move(format)),
        storedRange_(prefix.storedRange),
        lines_(prefix.lines.lines()),
        pieceBytes_(std::clamp<std::size_t>(kSheetPiecesInFlightBytes / (how.threads + 2), 1,
                                            std::max<std::size_t>(how.pieceBytes, 1))),
        inFlight_(how.threads + 2),
        shared_(std::move(write), how.separator, std::move(stop), std::move(prefix.lines)) {
    pending_.append(prefix.rest);
    // This thread is one of them: it reads pieces too while it waits.
    workers_.reserve(how.threads - 1);
    for (unsigned i = 1; i < how.threads; ++i) workers_.emplace_back([this] { work(); });
  }

  ~PiecesCursor() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      shared_.cancel = true;
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
      SheetPiece* front = pieces_.front().get();
      for (;;) {
        // While the next piece is not read, this thread reads one that waits
        // rather than sleep: it is one of the threads the sheet may keep busy.
        SheetPiece* mine = nullptr;
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
  // Reads up to n more bytes of the part into pending_; false at its end.
  bool readMore(std::size_t n) {
    if (inputEnded_) return false;
    std::size_t had = pending_.size();
    pending_.reserve(had + n);
    std::size_t got = read_(pending_.data() + had, n);
    pending_.resize(had + got);
    if (got == 0) inputEnded_ = true;
    return got != 0;
  }

  // Cuts the next piece off the part and hands it to the workers; false
  // when the part has no more.
  bool cutPiece() {
    if (cellsCut_) return false;
    // Only a little past the wanted size is read: what lies past the cut
    // is copied to start the next piece.
    pending_.reserve(pieceBytes_ + kPieceSlackBytes);
    while (pending_.size() < pieceBytes_ &&
           readMore(pieceBytes_ + kPieceSlackBytes - pending_.size())) {
    }
    if (pending_.empty()) return false;
    std::size_t from = 0;
    bool last = false;
    std::size_t cut = format_->cutAt(pending_.view(), pieceBytes_, from, last);
    for (std::size_t more = kPieceSlackBytes; cut == std::string::npos && !inputEnded_;
         more = std::min(2 * more, kPieceReadBytes)) {
      if (pending_.size() > std::max(kMaxSheetPieceBytes, 4 * pieceBytes_))
        damaged(partText(partName_) + " has no row end in " +
                std::to_string(kMaxSheetPieceBytes >> 20) + " MB");
      readMore(more);
      cut = format_->cutAt(pending_.view(), pieceBytes_, from, last);
    }
    std::unique_ptr<SheetPiece> piece;
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
      piece = std::make_unique<SheetPiece>();
    }
    // The piece takes the buffer; only the few bytes past the cut move.
    std::swap(piece->bytes, pending_);
    pending_.clear();
    if (cut != std::string::npos && cut < piece->bytes.size()) {
      if (!last) pending_.append(piece->bytes.view().substr(cut));
      piece->bytes.resize(cut);
    }
    cellsCut_ = last;
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
      SheetPiece* piece = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [&] { return shared_.cancel || !waiting_.empty(); });
        if (shared_.cancel) return;
        piece = waiting_.front();
        waiting_.pop_front();
      }
      readAndMark(*piece);
    }
  }

  void readAndMark(SheetPiece& piece) {
    try {
      PieceCells cells(piece, shared_);
      format_->readPiece(piece.bytes.view(), piece.first, cells);
      piece.bytes.clear();  // its room serves a later piece
    } catch (...) {
      piece.error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      piece.done = true;
    }
    done_.notify_all();
  }

  ReadBytes read_;
  std::string partName_;
  std::unique_ptr<const PieceFormat> format_;
  Bytes pending_;  // read, not yet cut off; starts where a piece may
  bool inputEnded_ = false, cutAny_ = false, cellsCut_ = false, ended_ = false;
  std::optional<CellRange> storedRange_;
  FormattedLines lines_;
  std::size_t pieceBytes_;
  std::size_t inFlight_;  // pieces cut and not yet handed on, at most
  PiecesShared shared_;

  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<std::unique_ptr<SheetPiece>> pieces_;  // in order; the front is handed on next
  std::deque<SheetPiece*> waiting_;                 // for a worker
  std::vector<std::unique_ptr<SheetPiece>> spare_;  // handed on, their buffers kept
  SheetPiece* current_ = nullptr;                   // the front piece, being handed on
  std::size_t at_ = 0;

  std::vector<std::thread> workers_;  // last: they start once the rest is made
};

}  // namespace

bool readToCellData(const ReadBytes& read, const std::function<std::size_t(std::string_view)>& find,
                    std::string& bytes, std::size_t& start) {
  bytes.clear();
  for (;;) {
    if (bytes.size() > kMaxSheetPieceBytes) return false;
    const std::size_t had = bytes.size();
    bytes.resize(had + kPieceReadBytes);
    const std::size_t got = read(bytes.data() + had, kPieceReadBytes);
    bytes.resize(had + got);
    if (got == 0) return false;
    start = find(bytes);
    if (start == kNoPieces) return false;
    if (start != std::string::npos) return true;
  }
}

std::unique_ptr<SheetCursor> readInPieces(ReadBytes read, std::string partName, PiecesPrefix prefix,
                                          std::unique_ptr<const PieceFormat> format,
                                          const ParallelReading& how, FieldWriter write,
                                          std::stop_token stop) {
  return std::make_unique<PiecesCursor>(std::move(read), std::move(partName), std::move(prefix),
                                        std::move(format), how, std::move(write), std::move(stop));
}

}  // namespace quorvel::spreadsheet
