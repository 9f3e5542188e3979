#include "engine/spreadsheet/string_table.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <system_error>

#include "engine/spreadsheet/scratch_file.h"

namespace quorvel::spreadsheet {

namespace {

std::atomic<std::size_t> defaultLimit{kStringTableMemoryBytes};

// Chunks of a sixteenth of the limit, between 64 bytes and 1 MB: the limit
// is kept to within a chunk, and small limits still spill.
constexpr std::size_t kMinChunkBytes = 64;
constexpr std::size_t kMaxChunkBytes = std::size_t(1) << 20;
// The page cache of the file: 128 pages of 8 KB.
constexpr std::size_t kPageBytes = std::size_t(8) << 10;
constexpr std::size_t kPages = 128;

}  // namespace

std::size_t StringTable::defaultMemoryLimit() {
  return defaultLimit.load(std::memory_order_relaxed);
}

void StringTable::setDefaultMemoryLimit(std::size_t bytes) {
  defaultLimit.store(bytes, std::memory_order_relaxed);
}

StringTable::StringTable(std::size_t memoryLimit)
    : memoryLimit_(memoryLimit),
      chunkBytes_(std::clamp(std::bit_floor(memoryLimit / 16), kMinChunkBytes, kMaxChunkBytes)),
      chunkShift_(static_cast<std::size_t>(std::countr_zero(chunkBytes_))),
      pageBytes_(std::min(kPageBytes, chunkBytes_)) {}

StringTable::~StringTable() = default;

StringTable::StringTable(StringTable&& other) noexcept : StringTable(other.memoryLimit_) {
  *this = std::move(other);
}

StringTable& StringTable::operator=(StringTable&& other) noexcept {
  if (this == &other) return *this;
  memoryLimit_ = other.memoryLimit_;
  chunkBytes_ = other.chunkBytes_;
  chunkShift_ = other.chunkShift_;
  pageBytes_ = other.pageBytes_;
  memoryChunks_ = other.memoryChunks_;
  text_ = std::move(other.text_);
  ends_ = std::move(other.ends_);
  count_ = other.count_;
  stored_ = other.stored_;
  file_ = std::move(other.file_);
  nextFileOffset_ = other.nextFileOffset_;
  pages_ = std::move(other.pages_);
  copy_ = std::move(other.copy_);
  other.reset();
  return *this;
}

// An empty table with the same limit: the open chunks of a moved-from table
// belong to another now.
void StringTable::reset() {
  text_ = Stream();
  ends_ = Stream();
  memoryChunks_ = 0;
  count_ = 0;
  stored_ = 0;
  file_.reset();
  nextFileOffset_ = 0;
  pages_.clear();
}

void StringTable::startChunk(Stream& s) {
  try {
    // The chunk just filled, when bound for the file, goes there now whole:
    // the page cache never sees a chunk that may still change.
    if (!s.chunks.empty() && !s.chunks.back().bytes)
      file_->write(s.chunks.back().fileOffset, s.writeBuffer.get(), chunkBytes_);
    Chunk c;
    if ((memoryChunks_ + 1) * chunkBytes_ <= memoryLimit_) {
      c.bytes.reset(new char[chunkBytes_]);
      ++memoryChunks_;
      s.open = c.bytes.get();
    } else {
      if (!file_) file_ = std::make_unique<ScratchFile>();
      if (!s.writeBuffer) s.writeBuffer.reset(new char[chunkBytes_]);
      c.fileOffset = nextFileOffset_;
      nextFileOffset_ += chunkBytes_;
      s.open = s.writeBuffer.get();
    }
    s.chunks.push_back(std::move(c));
    s.room = chunkBytes_;
  } catch (const std::system_error& e) {
    fileFailed(e);
  }
}

const char* StringTable::fromFile(std::uint64_t fileOffset) const {
  if (pages_.empty()) pages_.resize(kPages);
  std::uint64_t start = fileOffset & ~std::uint64_t{pageBytes_ - 1};
  Page& page = pages_[(start / pageBytes_) % kPages];
  if (page.offset != start) {
    if (!page.bytes) page.bytes.reset(new char[pageBytes_]);
    page.offset = UINT64_MAX;
    try {
      file_->read(start, page.bytes.get(), pageBytes_);
    } catch (const std::system_error& e) {
      fileFailed(e);
    }
    page.offset = start;
  }
  return page.bytes.get() + (fileOffset - start);
}

const char* StringTable::bytesElsewhere(const Stream& s, std::uint64_t pos, std::size_t n) const {
  // Where the piece of `s` at `p`, of up to `want` bytes, lies, and how much
  // of it lies there.
  auto piece = [&](std::uint64_t p, std::size_t want, std::size_t& got) -> const char* {
    std::size_t index = static_cast<std::size_t>(p >> chunkShift_);
    std::size_t offset = static_cast<std::size_t>(p) & (chunkBytes_ - 1);
    const Chunk& c = s.chunks[index];
    got = std::min(want, chunkBytes_ - offset);
    if (c.bytes) return c.bytes.get() + offset;
    if (index + 1 == s.chunks.size()) return s.writeBuffer.get() + offset;  // still open
    got = std::min(got, pageBytes_ - (offset & (pageBytes_ - 1)));
    return fromFile(c.fileOffset + offset);
  };
  std::size_t got;
  const char* first = piece(pos, n, got);
  if (got == n) return first;
  copy_.assign(first, got);
  for (std::uint64_t p = pos + got; p < pos + n; p += got) {
    const char* next = piece(p, static_cast<std::size_t>(pos + n - p), got);
    copy_.append(next, got);
  }
  return copy_.data();
}

void StringTable::fileFailed(const std::exception& e) const {
  std::string limit = memoryLimit_ >= (std::size_t(1) << 20)
                          ? std::to_string(memoryLimit_ >> 20) + " MB"
                          : std::to_string(memoryLimit_) + " bytes";
  fail(ErrorCode::TooLarge, "its shared strings pass " + limit + " and their temporary file in " +
                                ScratchFile::folder() + " failed (" + e.what() + ")");
}

void StringTable::tooLarge() {
  fail(ErrorCode::TooLarge,
       "its shared strings take more than " + std::to_string(kMaxSharedStringBytes >> 20) + " MB");
}

std::string StringTable::indexPastEnd(std::uint64_t index, std::size_t size) {
  return "the shared-string index " + std::to_string(index) + " is past the table's " +
         std::to_string(size) + " strings";
}

}  // namespace quorvel::spreadsheet
