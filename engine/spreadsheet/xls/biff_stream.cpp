#include "engine/spreadsheet/xls/biff_stream.h"

#include <algorithm>
#include <cstring>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet::xls {

namespace {

// Reads start small (a probe of a sheet's first records) and double up to
// the largest, which holds the biggest record (4 + 65535 bytes) many times.
constexpr std::size_t kFirstReadBytes = 4 * 1024;
constexpr std::size_t kLargestReadBytes = 256 * 1024;

bool neverEncrypted(std::uint16_t type) {
  switch (type) {
    case biff::kBof:
    case biff::kFilePass:
    case biff::kUsrExcl:
    case biff::kFileLock:
    case biff::kInterfaceHdr:
    case biff::kRrdInfo:
    case biff::kRrdHead:
      return true;
    default:
      return false;
  }
}

}  // namespace

BiffStream::BiffStream(RandomAccessSource& source) : source_(source), size_(source.size()) {}

void BiffStream::seek(std::uint64_t offset) {
  // Buffered data may already be decrypted in place: read it again.
  pos_ = offset;
  bufStart_ = offset;
  bufLen_ = 0;
}

bool BiffStream::ensure(std::size_t n) {
  if (pos_ > size_ || n > size_ - pos_) return false;
  if (pos_ + n <= bufStart_ + bufLen_) return true;
  // Keep the unread tail, then read the next chunk after it.
  std::size_t keep = static_cast<std::size_t>(bufStart_ + bufLen_ - pos_);
  chunk_ = std::min(std::max(chunk_ * 2, kFirstReadBytes), kLargestReadBytes);
  std::size_t want = std::max(chunk_, n);
  if (buf_.size() < want) buf_.resize(want);
  std::memmove(buf_.data(), buf_.data() + (pos_ - bufStart_), keep);
  bufStart_ = pos_;
  bufLen_ = keep;
  std::uint64_t fill = std::min<std::uint64_t>(want - keep, size_ - (pos_ + keep));
  source_.read(pos_ + keep, buf_.data() + keep, static_cast<std::size_t>(fill));
  bufLen_ += static_cast<std::size_t>(fill);
  return true;
}

bool BiffStream::peekType(std::uint16_t& type) {
  if (!ensure(4)) return false;
  type = le16(buf_.data() + (pos_ - bufStart_));
  return true;
}

bool BiffStream::next(BiffRecord& record) {
  if (!ensure(4)) return false;
  const unsigned char* h = buf_.data() + (pos_ - bufStart_);
  std::uint16_t type = le16(h);
  std::uint16_t size = le16(h + 2);
  if (!ensure(4u + size))
    damaged("a record at offset " + std::to_string(pos_) + " runs past the end of the workbook");
  unsigned char* data = buf_.data() + (pos_ + 4 - bufStart_);
  if (decryptor_ && size > 0 && !neverEncrypted(type)) {
    // The sheet offset in BoundSheet8 stays clear.
    std::size_t clear = type == biff::kBoundSheet ? std::min<std::size_t>(4, size) : 0;
    decryptor_->decrypt(pos_ + 4 + clear, size, data + clear, size - clear);
  }
  record.type = type;
  record.offset = pos_;
  record.data = std::string_view(reinterpret_cast<const char*>(data), size);
  pos_ += 4u + size;
  return true;
}

}  // namespace quorvel::spreadsheet::xls
