// The General format of text-format.md rule 8: up to 15 significant digits,
// plain between 1E-9 and 1E+15, scientific outside.
#include <cmath>

#include "engine/spreadsheet/numfmt/decimal.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

using numfmt::Decimal;

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

}  // namespace quorvel::spreadsheet
