#include "engine/spreadsheet/xls/biff_strings.h"

#include <algorithm>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/little_endian.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet::xls {

namespace {

constexpr std::uint8_t kHighByte = 0x01;
constexpr std::uint8_t kExtSt = 0x04;
constexpr std::uint8_t kRichSt = 0x08;

// Reads across the SST's segments, each fetched when the one before is used
// up; only characters see the option byte that starts each Continue record.
class SegmentReader {
 public:
  SegmentReader(std::string_view first, const NextSegment& next) : seg_(first), next_(next) {}

  bool atEnd() {
    while (pos_ >= seg_.size()) {
      if (ended_ || !next_(seg_)) {
        ended_ = true;
        return true;
      }
      pos_ = 0;
    }
    return false;
  }
  std::uint32_t uint(std::size_t bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      if (atEnd()) damaged("the shared-string table is cut short");
      v |= std::uint32_t{static_cast<unsigned char>(seg_[pos_++])} << (8 * i);
    }
    return v;
  }
  void skip(std::uint64_t n) {
    while (n > 0) {
      if (atEnd()) damaged("the shared-string table is cut short");
      std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, seg_.size() - pos_));
      pos_ += take;
      n -= take;
    }
  }
  void chars(std::size_t count, bool twoBytes, std::string& out) {
    while (count > 0) {
      if (pos_ >= seg_.size()) {
        // A string continued in the next record: its option byte comes first.
        pos_ = 0;
        if (ended_ || !next_(seg_) || seg_.empty()) {
          ended_ = true;
          damaged("a shared string is cut short");
        }
        twoBytes = (static_cast<unsigned char>(seg_[pos_++]) & kHighByte) != 0;
      }
      std::size_t width = twoBytes ? 2 : 1;
      std::size_t avail = (seg_.size() - pos_) / width;
      if (avail == 0) damaged("a shared string character is split between records");
      std::size_t take = std::min(count, avail);
      appendBiff8Chars(reinterpret_cast<const unsigned char*>(seg_.data()) + pos_, take, twoBytes,
                       out);
      pos_ += take * width;
      count -= take;
    }
  }

 private:
  std::string_view seg_;
  const NextSegment& next_;
  std::size_t pos_ = 0;
  bool ended_ = false;
};

}  // namespace

void appendBiff8Chars(const unsigned char* p, std::size_t count, bool twoBytes, std::string& out) {
  if (!twoBytes) {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned char c = p[i];
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    return;
  }
  appendUtf16le(p, count, out);
}

std::size_t readBiffString(std::string_view data, std::size_t countBytes, bool biff8,
                           const CodePage& codePage, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t n = data.size();
  if (n < countBytes) return n;
  std::size_t count = countBytes == 1 ? p[0] : le16(p);
  std::size_t pos = countBytes;
  if (!biff8) {
    std::size_t take = std::min(count, n - pos);
    codePage.append(p + pos, take, out);
    return pos + take;
  }
  if (pos >= n) return n;
  std::uint8_t flags = p[pos++];
  std::size_t runs = 0;
  std::uint32_t ext = 0;
  if ((flags & kRichSt) && pos + 2 <= n) runs = le16(p + pos), pos += 2;
  if ((flags & kExtSt) && pos + 4 <= n) ext = le32(p + pos), pos += 4;
  bool twoBytes = flags & kHighByte;
  std::size_t take = std::min(count, (n - pos) / (twoBytes ? 2 : 1));
  appendBiff8Chars(p + pos, take, twoBytes, out);
  pos += take * (twoBytes ? 2 : 1);
  std::uint64_t tail = std::uint64_t{runs} * 4 + ext;
  return static_cast<std::size_t>(std::min<std::uint64_t>(n, pos + tail));
}

void readSharedStrings(std::string_view sst, const NextSegment& next, StringTable& table) {
  SegmentReader r(sst, next);
  r.uint(4);  // cstTotal
  std::uint32_t unique = r.uint(4);
  std::string text;
  for (std::uint32_t i = 0; i < unique && !r.atEnd(); ++i) {
    std::size_t count = r.uint(2);
    std::uint8_t flags = static_cast<std::uint8_t>(r.uint(1));
    std::uint32_t runs = (flags & kRichSt) ? r.uint(2) : 0;
    std::uint32_t ext = (flags & kExtSt) ? r.uint(4) : 0;
    text.clear();
    r.chars(count, flags & kHighByte, text);
    // Rich-text runs and phonetic data are not shown.
    r.skip(std::uint64_t{runs} * 4 + ext);
    table.append(text);
  }
}

}  // namespace quorvel::spreadsheet::xls
