#pragma once
// Readers of the short texts in a worksheet's cell markup (numbers, string
// and style indexes, references) as writers write them, a word at a time
// where the bytes allow. Each refuses what it does not read plainly, for the
// general readers to read or refuse.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet::xlsx::quick {

// `s` without the white space XML allows around it.
inline std::string_view trimmed(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// A decimal number without sign; false for anything else or past 2^53.
inline bool parseUnsigned(std::string_view s, std::uint64_t& out) {
  s = trimmed(s);
  if (s.empty() || s.size() > 15) return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + std::uint64_t(c - '0');
  }
  return true;
}

// The value of eight ASCII digits, the first in the lowest byte.
inline std::uint64_t eightDigits(std::uint64_t chunk) {
  static_assert(std::endian::native == std::endian::little, "digits read as a little-endian word");
  chunk = (chunk & 0x0F0F0F0F0F0F0F0Fu) * 2561 >> 8;
  chunk = (chunk & 0x00FF00FF00FF00FFu) * 6553601 >> 16;
  return (chunk & 0x0000FFFF0000FFFFu) * 42949672960001u >> 32;
}

// How many of the eight bytes of `chunk` (the first in the lowest byte) are
// ASCII digits before the first that is not.
inline int leadingDigits(std::uint64_t chunk) {
  const std::uint64_t x = chunk ^ 0x3030303030303030u;  // a digit's byte becomes 0 to 9
  // A byte's top bit is set here when it is 10 or more. A carry out of a byte
  // comes only from such a byte, and changes only the bytes after it.
  const std::uint64_t over = ((x + 0x7676767676767676u) | x) & 0x8080808080808080u;
  return over == 0 ? 8 : std::countr_zero(over) >> 3;
}

// A plain decimal such as "-12.5" whose digits, read as a whole number, are
// at most 2^53: its value, correctly rounded (the digits and the power of ten
// are both exact doubles, so one division rounds once), and whether the
// General format shows it exactly as written (at most 15 significant
// digits). False for anything else, left to from_chars. kPadded: eight bytes
// past the end of `v` may be read (they are the markup after a value in the
// scanner's buffer), so a short run of digits is read as one word too.
template <bool kPadded>
inline bool parsePlainDecimal(std::string_view v, double& value, bool& asGeneral) {
  static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
  const char* p = v.data();
  const char* end = p + v.size();
  bool negative = p < end && *p == '-';
  if (negative) ++p;
  std::uint64_t m = 0;  // wraps past 19 digits, which are refused below
  auto digits = [&] {
    const char* from = p;
    if constexpr (kPadded) {
      for (;;) {
        std::uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        // Bytes past the end are never digits of the value.
        const auto n = std::min<std::ptrdiff_t>(leadingDigits(chunk), end - p);
        if (n == 8) {
          m = m * 100000000u + eightDigits(chunk);
          p += 8;
          continue;
        }
        // The n digits moved to the top: the bytes below read as leading zeros.
        static constexpr std::uint64_t kScale[] = {1,     10,     100,     1000,
                                                   10000, 100000, 1000000, 10000000};
        if (n > 0) m = m * kScale[n] + eightDigits(chunk << (8 * (8 - n)));
        p += n;
        return p - from;
      }
    }
    // Eight digits at a time where eight are there (values often have 16).
    while (end - p >= 8) {
      std::uint64_t chunk;
      std::memcpy(&chunk, p, 8);
      if (leadingDigits(chunk) != 8) break;
      m = m * 100000000u + eightDigits(chunk);
      p += 8;
    }
    for (; p < end && *p >= '0' && *p <= '9'; ++p) m = m * 10 + std::uint64_t(*p - '0');
    return p - from;
  };
  const char* intStart = p;
  std::ptrdiff_t intDigits = digits();
  if (intDigits == 0) return false;
  std::ptrdiff_t fracDigits = 0;
  const char* fracStart = end;
  if (p < end && *p == '.') {
    fracStart = ++p;
    fracDigits = digits();
    if (fracDigits == 0) return false;
  }
  if (p != end || intDigits + fracDigits > 19 || m > (std::uint64_t(1) << 53)) return false;
  value = double(m) / kPow10[fracDigits];
  if (negative) value = -value;
  // The significant digits are those of m: leading zeros add nothing to it.
  if (m >= 1000000000000000u) {
    asGeneral = false;
    return true;
  }

  bool leadingZero = intDigits > 1 && intStart[0] == '0';
  bool trailingZero = fracDigits > 0 && end[-1] == '0';
  if (m == 0) {
    asGeneral = !negative && intDigits == 1 && fracDigits == 0;  // "0"
  } else {
    // Zeros between the point and the first digit of "0.000ddd": General
    // writes plain notation down to 1E-9 only.
    std::ptrdiff_t zeros = 0;
    if (intDigits == 1 && intStart[0] == '0')
      while (zeros < fracDigits && fracStart[zeros] == '0') ++zeros;
    asGeneral = !leadingZero && !trailingZero && zeros <= 8;
  }
  return true;
}

// One to nine decimal digits and nothing else, as writers write style and
// string indexes; false for anything else, which parseUnsigned reads or
// refuses.
inline bool quickDigits(std::string_view v, std::uint64_t& out) {
  if (v.empty() || v.size() > 9) return false;
  std::uint64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + std::uint64_t(c - '0');
  }
  out = n;
  return true;
}

// The same for one to eight digits, read as one word: eight bytes past the
// end of `v` may be read, as for parsePlainDecimal<true>.
inline bool quickDigitsPadded(std::string_view v, std::uint64_t& out) {
  if (v.empty() || v.size() > 8) return false;
  std::uint64_t chunk;
  std::memcpy(&chunk, v.data(), 8);
  if (static_cast<std::size_t>(leadingDigits(chunk)) < v.size()) return false;
  out = eightDigits(chunk << (8 * (8 - v.size())));
  return true;
}

// Up to four bytes as the word a memcpy of them reads, the first lowest.
constexpr std::uint32_t littleEndianWord(std::string_view s) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < s.size(); ++i)
    word |= std::uint32_t(static_cast<unsigned char>(s[i])) << (8 * i);
  return word;
}

// A reference as writers write it, "B12": capital letters, then a row
// number, within the sheet. False for anything else, which
// parseCellReference reads or refuses.
inline bool quickReference(std::string_view v, std::uint32_t& row, std::uint32_t& col) {
  std::size_t i = 0;
  std::uint32_t c = 0, r = 0;
  for (; i < v.size() && i < 3 && v[i] >= 'A' && v[i] <= 'Z'; ++i)
    c = c * 26 + std::uint32_t(v[i] - 'A' + 1);
  const std::size_t letters = i;
  for (; i < v.size() && i - letters < 7 && v[i] >= '0' && v[i] <= '9'; ++i)
    r = r * 10 + std::uint32_t(v[i] - '0');
  if (letters == 0 || i == letters || i != v.size() || r == 0 || r > kMaxRows || c > kMaxColumns)
    return false;
  row = r - 1;
  col = c - 1;
  return true;
}

}  // namespace quorvel::spreadsheet::xlsx::quick
