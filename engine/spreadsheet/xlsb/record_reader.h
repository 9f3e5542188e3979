#pragma once
// Streams the records of one .xlsb part ([MS-XLSB] 2.1.4 Record): a type of
// one or two bytes and a size of one to four bytes, seven bits each, then the
// payload. Payloads are read only when asked for; the rest is skipped.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/package/read_ahead.h"
#include "engine/spreadsheet/package/zip_package.h"

namespace quorvel::spreadsheet::xlsb {

// Where a part's bytes come from, in order: a zip part, or memory in tests
// and fuzzing.
class SequentialSource {
 public:
  virtual ~SequentialSource() = default;
  // Reads up to n bytes; 0 at the end.
  virtual std::size_t read(char* buffer, std::size_t n) = 0;
};

// A zip part, inflated ahead on a second thread when it is large, so that
// reading the records overlaps inflating the ones after them.
class PartSequentialSource final : public SequentialSource {
 public:
  explicit PartSequentialSource(std::unique_ptr<PartStream> part)
      : part_(std::move(part)), ahead_(*part_) {}
  std::size_t read(char* buffer, std::size_t n) override { return ahead_.read(buffer, n); }

 private:
  std::unique_ptr<PartStream> part_;
  ReadAhead ahead_;  // after part_: stopped before the part closes
};

class MemorySequentialSource final : public SequentialSource {
 public:
  explicit MemorySequentialSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* buffer, std::size_t n) override;

 private:
  std::string_view bytes_;
};

// A record's header: its type and payload size, and its own length in bytes.
struct RecordHeader {
  std::uint16_t type = 0;
  std::uint32_t size = 0;
  std::size_t length = 0;
};

enum class HeaderRead { Whole, Cut, TypeTooLong, SizeTooLong };

// Reads the header that starts `bytes`. Cut when the bytes end before it
// does; TypeTooLong and SizeTooLong as soon as the bytes show it.
inline HeaderRead readRecordHeader(std::string_view bytes, RecordHeader& header) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t at = 0;
  if (at == n) return HeaderRead::Cut;
  unsigned b0 = p[at++];
  std::uint32_t type = b0 & 0x7F;
  if (b0 & 0x80) {
    if (at == n) return HeaderRead::Cut;
    unsigned b1 = p[at++];
    if (b1 & 0x80) return HeaderRead::TypeTooLong;
    type |= (b1 & 0x7F) << 7;
  }
  std::uint32_t size = 0;
  for (int i = 0;; ++i) {
    if (at == n) return HeaderRead::Cut;
    unsigned c = p[at++];
    size |= static_cast<std::uint32_t>(c & 0x7F) << (7 * i);
    if (!(c & 0x80)) break;
    if (i == 3) return HeaderRead::SizeTooLong;
  }
  header.type = static_cast<std::uint16_t>(type);
  header.size = size;
  header.length = at;
  return HeaderRead::Whole;
}

class RecordReader {
 public:
  // `partName` names the part in error messages.
  RecordReader(SequentialSource& source, std::string partName);
  // Over bytes in memory, read where they lie (a piece of a part: offsets in
  // messages count from its start).
  RecordReader(std::string_view bytes, std::string partName);

  // Moves to the next record, skipping what was not read of the current one.
  // False at the end of the part; Damaged when the part ends inside a record.
  bool next();

  std::uint16_t type() const { return type_; }
  std::uint32_t size() const { return size_; }
  // The current record's payload, valid until next(). TooLarge past
  // kMaxXlsbRecordBytes, Damaged when the part ends first.
  std::string_view payload();

  const std::string& partName() const { return partName_; }
  // Offset of the current record's header in the part, for messages.
  std::uint64_t recordOffset() const { return recordOffset_; }

 private:
  bool refill();
  int nextByte();  // -1 at the end of the part
  void skipRest();
  [[noreturn]] void endsInside() const;

  SequentialSource* source_;  // none over bytes in memory
  std::string partName_;
  std::vector<char> chunk_;
  const char* base_ = nullptr;  // where the bytes at chunkOffset_ lie
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  std::uint64_t chunkOffset_ = 0;  // offset of base_[0] in the part
  std::uint64_t recordOffset_ = 0;

  std::uint16_t type_ = 0;
  std::uint32_t size_ = 0;
  std::uint32_t unread_ = 0;  // payload bytes not yet consumed
  bool loaded_ = false;
  std::string_view payload_;
  std::string spanning_;  // a payload that crosses a chunk boundary
};

}  // namespace quorvel::spreadsheet::xlsb
