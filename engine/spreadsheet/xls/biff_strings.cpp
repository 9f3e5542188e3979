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

// Reads across the SST's segments; only characters see the option byte that
// starts each Continue record.
class SegmentReader {
 public:
  explicit SegmentReader(const std::vector<std::string>& segments) : segs_(segments) {}

  bool atEnd() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
      ++seg_;
      pos_ = 0;
    }
    return seg_ >= segs_.size();
  }
  std::uint32_t uint(std::size_t bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      if (atEnd()) damaged("the shared-string table is cut short");
      v |= std::uint32_t{static_cast<unsigned char>(segs_[seg_][pos_++])} << (8 * i);
    }
    return v;
  }
  void skip(std::uint64_t n) {
    while (n > 0) {
      if (atEnd()) damaged("the shared-string table is cut short");
      std::size_t take =
          static_cast<std::size_t>(std::min<std::uint64_t>(n, segs_[seg_].size() - pos_));
      pos_ += take;
      n -= take;
    }
  }
  void chars(std::size_t count, bool twoBytes, std::string& out) {
    while (count > 0) {
      if (pos_ >= segs_[seg_].size()) {
        // A string continued in the next record: its option byte comes first.
        ++seg_;
        pos_ = 0;
        if (seg_ >= segs_.size() || segs_[seg_].empty()) damaged("a shared string is cut short");
        twoBytes = (static_cast<unsigned char>(segs_[seg_][pos_++]) & kHighByte) != 0;
      }
      std::size_t width = twoBytes ? 2 : 1;
      std::size_t avail = (segs_[seg_].size() - pos_) / width;
      if (avail == 0) damaged("a shared string character is split between records");
      std::size_t take = std::min(count, avail);
      appendBiff8Chars(reinterpret_cast<const unsigned char*>(segs_[seg_].data()) + pos_, take,
                       twoBytes, out);
      pos_ += take * width;
      count -= take;
    }
  }

 private:
  const std::vector<std::string>& segs_;
  std::size_t seg_ = 0, pos_ = 0;
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

void readSharedStrings(const std::vector<std::string>& segments, StringTable& table) {
  SegmentReader r(segments);
  r.uint(4);  // cstTotal
  std::uint32_t unique = r.uint(4);
  std::size_t bytes = 0;
  for (const auto& s : segments) bytes += s.size();
  // Every string takes at least 3 bytes: never trust the count further.
  table.reserve(std::min<std::size_t>(unique, bytes / 3), bytes);
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
