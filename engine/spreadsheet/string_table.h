#pragma once
// A workbook's shared-string table: the one thing a streaming reader keeps
// whole, since any cell of any sheet may refer to any string. A reader
// appends the strings of its format's table in order; its sheet cursors then
// look them up by index. Nothing else about the storage is promised, so the
// table may change how it holds its strings without the readers knowing.
//
// The strings' UTF-8, back to back, and the 32-bit end of each are kept in
// fixed chunks: in memory up to the table's memory limit, then in an unlinked
// temporary file read back through a small page cache. A table of any size
// thus costs about its limit in memory; only the disk holds the rest.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet {

class ScratchFile;

class StringTable {
 public:
  StringTable() : StringTable(defaultMemoryLimit()) {}
  // A table that holds up to about `memoryLimit` bytes in memory.
  explicit StringTable(std::size_t memoryLimit);
  ~StringTable();
  StringTable(StringTable&& other) noexcept;
  StringTable& operator=(StringTable&& other) noexcept;

  std::size_t size() const { return count_; }

  // Appends string number size(). Throws FormatError (TooLarge) when the
  // table would pass kMaxSharedStringBytes, or when its temporary file fails.
  void append(std::string_view text) {
    if (text.size() + sizeof(End) > kMaxSharedStringBytes - stored_) [[unlikely]]
      tooLarge();
    stored_ += text.size() + sizeof(End);
    put(text_, text.data(), text.size());
    End end = static_cast<End>(text_.size);
    put(ends_, reinterpret_cast<const char*>(&end), sizeof end);
    ++count_;
  }

  // String `index`. An index past the table is damaged data: FormatError
  // (Damaged) "the shared-string index N is past the table's M strings".
  // The view is valid until the next lookup in this table or until the
  // table changes, whichever comes first: long enough for a cell, which
  // lives until its cursor moves on.
  std::string_view at(std::uint64_t index) const { return at(index, indexPastEnd); }

  // The same, with the reader's own sentence for a missing string: the
  // detail of the FormatError is `describeMissing(index, size())`.
  template <typename DescribeMissing>
  std::string_view at(std::uint64_t index, const DescribeMissing& describeMissing) const {
    if (index >= count_) [[unlikely]]
      damaged(describeMissing(index, count_));
    return stored(static_cast<std::size_t>(index));
  }

  // The same, safe on several threads at once: a string that lies whole in
  // memory comes straight from there; any other is looked up under `lock`
  // (the page cache and the copy are shared) and copied to `copy`, where the
  // view points then.
  std::string_view at(std::uint64_t index, std::mutex& lock, std::string& copy) const {
    std::string_view text;
    if (inMemory(index, text)) [[likely]]
      return text;
    std::lock_guard<std::mutex> hold(lock);
    copy.assign(at(index));
    return copy;
  }
  // String `index` when it lies whole in memory (the view then stays valid
  // as long as the table does, on any thread); false for any other, and for
  // an index past the table.
  bool inMemory(std::uint64_t index, std::string_view& text) const {
    if (index >= count_) [[unlikely]]
      return false;
    const std::uint64_t endAt = index * sizeof(End);
    if (!inPlace(ends_, endAt, sizeof(End)) ||
        (index > 0 && !inPlace(ends_, endAt - sizeof(End), sizeof(End))))
      return false;
    End end = endOf(static_cast<std::size_t>(index));
    End begin = index == 0 ? 0 : endOf(static_cast<std::size_t>(index - 1));
    if (begin == end) {
      text = {};
      return true;
    }
    if (end < begin || !inPlace(text_, begin, end - begin)) return false;
    text = {bytes(text_, begin, end - begin), std::size_t{end - begin}};
    return true;
  }
  // Cache hints for a reader that knows which strings it will look up soon.
  // A large table is read at random, and each lookup would wait for memory
  // twice (the string's end, then its text): a reader fetches the ends of
  // strings well ahead, then their texts nearer. Strings not in memory are
  // left alone.
  void prefetchEnd(std::uint64_t index) const {
    if (index < count_ && inPlace(ends_, index * sizeof(End), sizeof(End)))
      __builtin_prefetch(bytes(ends_, index * sizeof(End), sizeof(End)));
  }
  void prefetchText(std::uint64_t index) const {
    if (index == 0 || index >= count_) return;  // string 0 starts where the text does
    const std::uint64_t endAt = (index - 1) * sizeof(End);
    if (!inPlace(ends_, endAt, sizeof(End))) return;
    End begin = endOf(static_cast<std::size_t>(index - 1));
    if (begin < text_.size && inPlace(text_, begin, 1)) __builtin_prefetch(bytes(text_, begin, 1));
  }
  // Bytes stored: strings and their ends.
  std::uint64_t storedBytes() const { return stored_; }

  // Bytes of this table in its temporary file (0 while it fits in memory).
  std::uint64_t spilledBytes() const { return nextFileOffset_; }

  // The memory limit of the tables made from now on, the readers' own
  // included: kStringTableMemoryBytes unless changed (tests lower it).
  static std::size_t defaultMemoryLimit();
  static void setDefaultMemoryLimit(std::size_t bytes);

 private:
  using End = std::uint32_t;
  static_assert(kMaxSharedStringBytes <= (std::uint64_t{1} << 32), "the ends are 32-bit");

  // A chunk in memory, or (bytes empty) one at an offset of the file.
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::uint64_t fileOffset = 0;
  };
  // Bytes appended in chunks. The chunk being filled is always in memory: a
  // chunk of its own, or the write buffer of one bound for the file.
  struct Stream {
    std::vector<Chunk> chunks;
    std::unique_ptr<char[]> writeBuffer;
    char* open = nullptr;
    std::size_t room = 0;  // free bytes of the open chunk
    std::uint64_t size = 0;
  };
  struct Page {
    std::uint64_t offset = UINT64_MAX;  // in the file; UINT64_MAX when empty
    std::unique_ptr<char[]> bytes;
  };

  void put(Stream& s, const char* p, std::size_t n) {
    while (n > 0) {
      if (s.room == 0) startChunk(s);
      std::size_t take = n < s.room ? n : s.room;
      std::memcpy(s.open + (chunkBytes_ - s.room), p, take);
      s.room -= take, s.size += take, p += take, n -= take;
    }
  }
  // Whether `n` bytes of `s` from `pos` lie in one chunk in memory.
  bool inPlace(const Stream& s, std::uint64_t pos, std::size_t n) const {
    const Chunk& c = s.chunks[pos >> chunkShift_];
    return c.bytes && (static_cast<std::size_t>(pos) & (chunkBytes_ - 1)) + n <= chunkBytes_;
  }
  // `n` bytes of `s` from `pos`, in place when they lie in one memory chunk.
  const char* bytes(const Stream& s, std::uint64_t pos, std::size_t n) const {
    const Chunk& c = s.chunks[pos >> chunkShift_];
    std::size_t offset = static_cast<std::size_t>(pos) & (chunkBytes_ - 1);
    if (c.bytes && offset + n <= chunkBytes_) [[likely]]
      return c.bytes.get() + offset;
    return bytesElsewhere(s, pos, n);
  }
  End endOf(std::size_t index) const {
    End end;
    std::memcpy(&end, bytes(ends_, std::uint64_t{index} * sizeof(End), sizeof end), sizeof end);
    return end;
  }
  std::string_view stored(std::size_t index) const {
    End end = endOf(index);
    End begin = index == 0 ? 0 : endOf(index - 1);
    if (begin == end) return {};
    return {bytes(text_, begin, end - begin), std::size_t{end - begin}};
  }

  void startChunk(Stream& s);
  const char* bytesElsewhere(const Stream& s, std::uint64_t pos, std::size_t n) const;
  const char* fromFile(std::uint64_t fileOffset) const;  // its page, at the offset
  void reset();
  [[noreturn]] void fileFailed(const std::exception& e) const;
  [[noreturn]] static void tooLarge();
  static std::string indexPastEnd(std::uint64_t index, std::size_t size);

  std::size_t memoryLimit_;
  std::size_t chunkBytes_, chunkShift_, pageBytes_;
  std::size_t memoryChunks_ = 0;  // chunks of either stream held in memory
  Stream text_;                   // every string's UTF-8, back to back
  Stream ends_;                   // where each string ends in text_
  std::size_t count_ = 0;
  std::uint64_t stored_ = 0;  // text and ends
  std::unique_ptr<ScratchFile> file_;
  std::uint64_t nextFileOffset_ = 0;
  mutable std::vector<Page> pages_;
  mutable std::string copy_;  // a string that spans chunks or pages
};

}  // namespace quorvel::spreadsheet
