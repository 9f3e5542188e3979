// The General format of text-format.md rule 8: up to 15 significant digits,
// plain between 1E-9 and 1E+15, scientific outside.
#include <charconv>
#include <cmath>

#include "engine/spreadsheet/numfmt/decimal.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

using numfmt::Decimal;

namespace {

// 2^-52 (2.22e-16) with an eighth to spare.
constexpr double kTieMargin = 2.5e-16;

// 1 <= a < 1E+15 with 15 significant digits from one binary product, when
// the product is clearly away from a rounding tie; false leaves the case to
// the decimal digits. The product is within y x 2^-53 of a x 10^d, and the
// shortest decimal of a within as much again, so a product farther than
// y x 2^-52 from the tie rounds as the digits would.
bool appendPlainFast(double a, bool negative, std::string& out) {
  auto whole = static_cast<std::uint64_t>(a);
  int intDigits = 1;
  while (intDigits < 15 && whole >= numfmt::kPow10Int[intDigits]) ++intDigits;
  int decimals = numfmt::kSignificantDigits - intDigits;
  double y = a * numfmt::kPow10[decimals];
  double r = std::floor(y);
  double frac = y - r;
  if (!(std::fabs(frac - 0.5) > y * kTieMargin)) return false;
  auto scaled = static_cast<std::uint64_t>(r) + (frac > 0.5 ? 1 : 0);
  std::uint64_t unit = numfmt::kPow10Int[decimals];
  std::uint64_t ip = scaled / unit, fp = scaled % unit;
  if (ip >= numfmt::kPow10Int[15]) return false;  // rounded up to 1E+15: scientific
  // Sign, whole digits, point and decimals into one buffer, appended once.
  char buf[48];
  char* p = buf;
  if (negative) *p++ = '-';
  p = numfmt::writeUnsigned(p, ip);
  if (fp != 0) {
    while (fp % 10 == 0) {
      fp /= 10;
      --decimals;
    }
    *p++ = '.';
    p += decimals;
    for (char* d = p; d > p - decimals; fp /= 10) *--d = static_cast<char>('0' + fp % 10);
  }
  out.append(buf, p);
  return true;
}

}  // namespace

void appendGeneral(double value, std::string& out) {
  if (value == 0 || !std::isfinite(value)) {
    out += '0';
    return;
  }
  double a = std::fabs(value);
  char buf[32];
  if (a < 1e15 && a == std::floor(a)) {
    if (value < 0) out += '-';
    out.append(buf, numfmt::writeUnsigned(buf, static_cast<std::uint64_t>(a)));
    return;
  }
  if (a >= 1 && a < 1e15 && appendPlainFast(a, value < 0, out)) return;
  Decimal d;
  numfmt::toDecimal(a, d);
  if (value < 0) out += '-';
  int exponent = d.point - 1;
  if (exponent >= -9 && exponent < 15) {
    if (d.point <= 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-d.point), '0');
      out.append(d.digits, d.count);
    } else if (d.count <= d.point) {
      out.append(d.digits, d.count);
      out.append(static_cast<std::size_t>(d.point - d.count), '0');
    } else {
      out.append(d.digits, d.point);
      out += '.';
      out.append(d.digits + d.point, d.count - d.point);
    }
    return;
  }
  out += d.digits[0];
  if (d.count > 1) {
    out += '.';
    out.append(d.digits + 1, d.count - 1);
  }
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  int e = std::abs(exponent);
  if (e < 10) out += '0';
  out.append(buf, numfmt::writeUnsigned(buf, static_cast<std::uint64_t>(e)));
}

void appendShortestNumber(double value, std::string& out) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  out.append(buf, static_cast<std::size_t>(end - buf));
}

}  // namespace quorvel::spreadsheet
