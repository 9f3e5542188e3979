#pragma once
// Reads the fields of one record payload in order. Every read is checked
// against the payload's end, so a record shorter than its fields is a clear
// error rather than a read past the buffer.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/spreadsheet/little_endian.h"

namespace quorvel::spreadsheet::xlsb {

class RecordFields {
 public:
  RecordFields(std::string_view payload, std::uint16_t type, const std::string& partName)
      : p_(payload.data()), end_(payload.data() + payload.size()), type_(type), part_(partName) {}

  std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

  std::uint8_t u8() { return static_cast<std::uint8_t>(*take(1)); }
  std::uint16_t u16() { return le16(take(2)); }
  std::uint32_t u24() { return le24(take(3)); }
  std::uint32_t u32() { return le32(take(4)); }
  double f64() { return leDouble(take(8)); }
  void skip(std::size_t n) {
    need(n);
    p_ += n;
  }

  // An XLWideString (a 4-byte character count, then UTF-16LE), appended to
  // `out` as UTF-8.
  void wideString(std::string& out);
  // A RichStr ([MS-XLSB] 2.5.121): its characters only; the formatting runs
  // and phonetic text after them are not part of the displayed value.
  void richString(std::string& out) {
    skip(1);
    wideString(out);
  }
  // An XLNullableWideString: false, and nothing appended, when it is null.
  bool nullableWideString(std::string& out);

 private:
  // The next `n` bytes, checked against the payload's end.
  const char* take(std::size_t n) {
    need(n);
    const char* at = p_;
    p_ += n;
    return at;
  }
  void need(std::size_t n) {
    if (remaining() < n) tooShort();
  }
  [[noreturn]] void tooShort() const;

  const char* p_;
  const char* end_;
  std::uint16_t type_;
  const std::string& part_;
};

}  // namespace quorvel::spreadsheet::xlsb
