#include "engine/spreadsheet/numfmt/decimal.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace quorvel::spreadsheet::numfmt {

namespace {

void trimTrailingZeros(Decimal& x) {
  while (x.count > 0 && x.digits[x.count - 1] == '0') --x.count;
}

}  // namespace

char* writeUnsigned(char* buf, std::uint64_t value) {
  return std::to_chars(buf, buf + 24, value).ptr;
}

void toDecimal(double value, Decimal& out) {
  double v = std::fabs(value);
  out.count = 0;
  out.point = 0;
  if (v == 0) return;
  if (v < 1e15 && v == std::floor(v)) {
    char* end = writeUnsigned(out.digits, static_cast<std::uint64_t>(v));
    out.count = static_cast<int>(end - out.digits);
    out.point = out.count;
    trimTrailingZeros(out);
    return;
  }
  // The shortest text that reads back as the same double: at most 17 digits,
  // and when it has 15 or fewer they are the 15-digit rounding exactly.
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const char* p = buf;
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', res.ptr - buf));
  for (; p < e; ++p)
    if (*p != '.') out.digits[out.count++] = *p;
  int exponent = 0;
  const char* expStart = e + 1;
  if (*expStart == '+') ++expStart;
  std::from_chars(expStart, res.ptr, exponent);
  out.point = exponent + 1;
  if (out.count > kSignificantDigits) roundDecimal(out, kSignificantDigits - out.point);
  trimTrailingZeros(out);
}

void roundDecimal(Decimal& x, int decimals) {
  int keep = x.point + decimals;  // significant digits that remain
  if (keep >= x.count) return;
  if (keep < 0) {
    x.count = 0;
    return;
  }
  bool up = x.digits[keep] >= '5';
  x.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && x.digits[i] == '9') x.digits[i--] = '0';
    if (i >= 0) {
      ++x.digits[i];
    } else {
      // All nines (or nothing kept): the value becomes 10^point.
      x.digits[0] = '1';
      x.count = 1;
      ++x.point;
    }
  }
  trimTrailingZeros(x);
}

}  // namespace quorvel::spreadsheet::numfmt
