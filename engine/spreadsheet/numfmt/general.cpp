#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

void appendGeneral(double value, std::string& out) {
  if (value == 0 || !std::isfinite(value)) {
    out += '0';
    return;
  }
  // 15 significant digits: d.dddddddddddddde+XX
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, res.ptr - buf);
  bool negative = sci[0] == '-';
  if (negative) sci.remove_prefix(1);
  std::size_t ePos = sci.find('e');
  int exponent = 0;
  std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                  exponent);
  char digits[16];
  int n = 0;
  for (std::size_t i = 0; i < ePos; ++i)
    if (sci[i] != '.') digits[n++] = sci[i];
  while (n > 1 && digits[n - 1] == '0') --n;

  if (negative) out += '-';
  if (exponent >= -9 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out.append(digits, n);
    } else if (n <= exponent + 1) {
      out.append(digits, n);
      out.append(static_cast<std::size_t>(exponent + 1 - n), '0');
    } else {
      out.append(digits, exponent + 1);
      out += '.';
      out.append(digits + exponent + 1, n - exponent - 1);
    }
    return;
  }
  out += digits[0];
  if (n > 1) {
    out += '.';
    out.append(digits + 1, n - 1);
  }
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  int e = std::abs(exponent);
  if (e < 10) out += '0';
  char eb[8];
  auto er = std::to_chars(eb, eb + sizeof eb, e);
  out.append(eb, er.ptr);
}

}  // namespace quorvel::spreadsheet
