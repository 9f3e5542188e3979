#include "engine/spreadsheet/xlsb/record_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

constexpr std::size_t kChunkBytes = 64u << 10;
constexpr std::size_t kLongestHeader = 6;  // two type bytes, four size bytes

}  // namespace

std::size_t MemorySequentialSource::read(char* buffer, std::size_t n) {
  n = std::min(n, bytes_.size());
  std::memcpy(buffer, bytes_.data(), n);
  bytes_.remove_prefix(n);
  return n;
}

RecordReader::RecordReader(SequentialSource& source, std::string partName)
    : source_(source), partName_(std::move(partName)), chunk_(kChunkBytes) {
  pos_ = end_ = chunk_.data();
}

bool RecordReader::refill() {
  chunkOffset_ += static_cast<std::uint64_t>(end_ - chunk_.data());
  std::size_t got = source_.read(chunk_.data(), chunk_.size());
  pos_ = chunk_.data();
  end_ = pos_ + got;
  return got > 0;
}

int RecordReader::nextByte() {
  if (pos_ == end_ && !refill()) return -1;
  return static_cast<unsigned char>(*pos_++);
}

void RecordReader::endsInside() const {
  damaged("the part " + partName_ + " ends inside the record at byte " +
          std::to_string(recordOffset_));
}

void RecordReader::skipRest() {
  while (unread_ > 0) {
    if (pos_ == end_ && !refill()) endsInside();
    std::size_t take = std::min<std::size_t>(unread_, static_cast<std::size_t>(end_ - pos_));
    pos_ += take;
    unread_ -= static_cast<std::uint32_t>(take);
  }
}

bool RecordReader::next() {
  skipRest();
  loaded_ = false;
  payload_ = {};
  if (pos_ == end_ && !refill()) return false;
  recordOffset_ = chunkOffset_ + static_cast<std::uint64_t>(pos_ - chunk_.data());

  const auto* p = reinterpret_cast<const unsigned char*>(pos_);
  unsigned b[kLongestHeader];
  std::size_t have = 0;
  // Fast path: the longest header fits in the chunk and is peeked at once.
  auto byteAt = [&](std::size_t i) -> unsigned {
    if (i < have) return b[i];
    int c = nextByte();
    if (c < 0) endsInside();
    b[have++] = static_cast<unsigned>(c);
    return b[i];
  };
  const bool peeked = static_cast<std::size_t>(end_ - pos_) >= kLongestHeader;
  if (peeked) {
    for (std::size_t i = 0; i < kLongestHeader; ++i) b[i] = p[i];
    have = kLongestHeader;
  }

  std::size_t at = 0;
  unsigned b0 = byteAt(at++);
  std::uint32_t type = b0 & 0x7F;
  if (b0 & 0x80) {
    unsigned b1 = byteAt(at++);
    if (b1 & 0x80)
      damaged("the record at byte " + std::to_string(recordOffset_) + " of the part " + partName_ +
              " has a type longer than two bytes");
    type |= (b1 & 0x7F) << 7;
  }
  std::uint32_t size = 0;
  for (int i = 0;; ++i) {
    unsigned c = byteAt(at++);
    size |= static_cast<std::uint32_t>(c & 0x7F) << (7 * i);
    if (!(c & 0x80)) break;
    if (i == 3)
      damaged("the record at byte " + std::to_string(recordOffset_) + " of the part " + partName_ +
              " has a size longer than four bytes");
  }
  // On the fast path the bytes were only peeked at.
  if (peeked) pos_ += at;

  type_ = static_cast<std::uint16_t>(type);
  size_ = size;
  unread_ = size;
  return true;
}

std::string_view RecordReader::payload() {
  if (loaded_) return payload_;
  if (size_ > kMaxXlsbRecordBytes)
    fail(ErrorCode::TooLarge, "the record at byte " + std::to_string(recordOffset_) +
                                  " of the part " + partName_ + " claims " + std::to_string(size_) +
                                  " bytes");
  std::size_t inChunk = static_cast<std::size_t>(end_ - pos_);
  if (inChunk >= unread_) {
    payload_ = std::string_view(pos_, unread_);
    pos_ += unread_;
  } else {
    // Grows with the bytes that really arrive, never by the claimed size.
    spanning_.assign(pos_, inChunk);
    pos_ = end_;
    std::size_t left = unread_ - inChunk;
    while (left > 0) {
      if (!refill()) endsInside();
      std::size_t take = std::min(left, static_cast<std::size_t>(end_ - pos_));
      spanning_.append(pos_, take);
      pos_ += take;
      left -= take;
    }
    payload_ = spanning_;
  }
  unread_ = 0;
  loaded_ = true;
  return payload_;
}

}  // namespace quorvel::spreadsheet::xlsb
