#pragma once
// The text writer's spool. A sheet's used range is known only after its last
// cell, yet every line is padded to it, so the rows wait here until then.
//
// Row records: row, first column, last column, body length, then the body:
// the row's fields from its first to its last stored cell, joined by the
// tabs between them. Writing the file then only adds the padding on either
// side. Kept in memory up to a megabyte, then moved to a temporary file and
// read back in large blocks (a larger memory spool only costs page faults).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet {

struct RecordHeader {
  std::uint32_t row, first, last, length;
};

// Throws FormatError (CannotWrite) when the temporary file fails.
class Spool {
 public:
  static constexpr std::size_t kMemoryLimit = 1u << 20;
  static constexpr std::size_t kReadBlock = 1u << 20;

  void put(const RecordHeader& h, std::string_view body) {
    buf_.append(reinterpret_cast<const char*>(&h), sizeof h);
    buf_ += body;
    if (buf_.size() >= kMemoryLimit) spill();
  }

  // Sequential reading after the last record.
  void startReading();
  std::uint64_t tell() const { return file_ ? blockStart_ + readPos_ : readPos_; }
  void seek(std::uint64_t pos);
  // The next record; the body stays valid until the next call.
  bool next(RecordHeader& h, std::string_view& body) {
    const char* p = bytes(sizeof h);
    if (!p) return false;
    std::memcpy(&h, p, sizeof h);
    readPos_ += sizeof h;
    p = bytes(h.length);
    if (!p) return false;
    body = std::string_view(p, h.length);
    readPos_ += h.length;
    return true;
  }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  void spill();
  [[noreturn]] void ioError();
  // `n` readable bytes at the read position, or nullptr at the end.
  const char* bytes(std::size_t n) {
    if (!file_) return readPos_ + n <= buf_.size() ? buf_.data() + readPos_ : nullptr;
    if (readPos_ + n > block_.size()) return readBlock(n);
    return block_.data() + readPos_;
  }
  // The same when the block read back from the file holds fewer than `n`.
  const char* readBlock(std::size_t n);

  std::string buf_;  // records not yet spilled
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string block_;  // read back from the file
  std::uint64_t blockStart_ = 0;
  std::size_t readPos_ = 0;
};

}  // namespace quorvel::spreadsheet
