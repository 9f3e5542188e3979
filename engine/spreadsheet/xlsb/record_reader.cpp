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
    : source_(&source), partName_(std::move(partName)), chunk_(kChunkBytes) {
  base_ = pos_ = end_ = chunk_.data();
}

RecordReader::RecordReader(std::string_view bytes, std::string partName)
    : source_(nullptr), partName_(std::move(partName)) {
  base_ = pos_ = bytes.data();
  end_ = pos_ + bytes.size();
}

bool RecordReader::refill() {
  chunkOffset_ += static_cast<std::uint64_t>(end_ - base_);
  if (!source_) {
    base_ = pos_ = end_;
    return false;
  }
  std::size_t got = source_->read(chunk_.data(), chunk_.size());
  base_ = pos_ = chunk_.data();
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
  recordOffset_ = chunkOffset_ + static_cast<std::uint64_t>(pos_ - base_);

  RecordHeader header;
  HeaderRead read = readRecordHeader({pos_, static_cast<std::size_t>(end_ - pos_)}, header);
  if (read == HeaderRead::Whole) {
    pos_ += header.length;
  } else {
    // The header crosses the chunk's end: its bytes are gathered one by one.
    char gathered[kLongestHeader];
    std::size_t have = 0;
    while (read == HeaderRead::Cut && have < kLongestHeader) {
      int c = nextByte();
      if (c < 0) endsInside();
      gathered[have++] = static_cast<char>(c);
      read = readRecordHeader({gathered, have}, header);
    }
  }
  if (read == HeaderRead::TypeTooLong)
    damaged("the record at byte " + std::to_string(recordOffset_) + " of the part " + partName_ +
            " has a type longer than two bytes");
  if (read == HeaderRead::SizeTooLong)
    damaged("the record at byte " + std::to_string(recordOffset_) + " of the part " + partName_ +
            " has a size longer than four bytes");

  type_ = header.type;
  size_ = header.size;
  unread_ = header.size;
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
