#include "engine/spreadsheet/xlsx/ooxml_values.h"

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of an escape `_xHHHH_` at `in[i]`, or -1.
long escapeAt(std::string_view in, std::size_t i) {
  if (i + 7 > in.size() || in[i] != '_' || in[i + 1] != 'x' || in[i + 6] != '_') return -1;
  long v = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    int d = hexDigit(in[k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
long daysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

bool digits(std::string_view s, std::size_t at, std::size_t n, long& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

}  // namespace

void appendUnescaped(std::string_view in, std::string& out) {
  std::size_t i = 0;
  for (;;) {
    std::size_t u = in.find("_x", i);
    if (u == std::string_view::npos) {
      out.append(in.substr(i));
      return;
    }
    long unit = escapeAt(in, u);
    if (unit < 0) {
      out.append(in.substr(i, u + 1 - i));
      i = u + 1;
      continue;
    }
    out.append(in.substr(i, u - i));
    i = u + 7;
    char32_t cp = static_cast<char32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      long low = escapeAt(in, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
             (static_cast<char32_t>(low) - 0xDC00);
        i += 7;
      }
    }
    appendUtf8(cp, out);  // a lone surrogate becomes U+FFFD
  }
}

std::string columnName(std::uint32_t col) {
  std::string name;
  for (std::uint64_t c = std::uint64_t(col) + 1; c > 0; c = (c - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
  return name;
}

CellReference parseCellReference(std::string_view ref) {
  std::size_t i = 0;
  std::uint64_t col = 0, row = 0;
  while (i < ref.size() && i < 8) {
    char c = ref[i];
    if (c >= 'A' && c <= 'Z')
      col = col * 26 + std::uint64_t(c - 'A' + 1);
    else if (c >= 'a' && c <= 'z')
      col = col * 26 + std::uint64_t(c - 'a' + 1);
    else
      break;
    ++i;
  }
  std::size_t letters = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - letters < 10)
    row = row * 10 + std::uint64_t(ref[i++] - '0');
  if (letters == 0 || i == letters || i != ref.size() || row == 0)
    damaged("the cell reference '" + printable(ref, kQuotedContentBytes) +
            "' is not a cell reference");
  if (col > kMaxColumns)
    damaged("the cell " + std::string(ref) + " lies past the worksheet's last column (" +
            columnName(kMaxColumns - 1) + ")");
  if (row > kMaxRows)
    damaged("the cell " + std::string(ref) + " lies past the worksheet's last row (" +
            std::to_string(kMaxRows) + ")");
  return {static_cast<std::uint32_t>(row - 1), static_cast<std::uint32_t>(col - 1)};
}

std::optional<double> isoDateToSerial(std::string_view s, bool date1904) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  double serial = 0;
  std::size_t i = 0;
  long y, m, d;
  if (digits(s, 0, 4, y) && s.size() >= 10 && s[4] == '-' && digits(s, 5, 2, m) && s[7] == '-' &&
      digits(s, 8, 2, d)) {
    static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > static_cast<long>(kDays[m - 1])) return std::nullopt;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return std::nullopt;
    long days = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    if (date1904) {
      serial = double(days - daysFromCivil(1904, 1, 1));
    } else {
      // The 1900 system counts the non-existent 1900-02-29 as serial 60.
      long base = days >= daysFromCivil(1900, 3, 1) ? daysFromCivil(1899, 12, 30)
                                                    : daysFromCivil(1899, 12, 31);
      serial = double(days - base);
    }
    i = 10;
    if (i < s.size() && (s[i] == 'T' || s[i] == 't' || s[i] == ' '))
      ++i;
    else if (i < s.size() && s[i] != 'Z' && s[i] != '+' && s[i] != '-')
      return std::nullopt;
  }
  long h, mi, sec = 0;
  if (i < s.size() && digits(s, i, 2, h) && i + 2 < s.size() && s[i + 2] == ':' &&
      digits(s, i + 3, 2, mi)) {
    i += 5;
    double frac = 0;
    if (i < s.size() && s[i] == ':') {
      if (!digits(s, i + 1, 2, sec)) return std::nullopt;
      i += 3;
      if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10)
          frac += (s[i] - '0') * scale;
      }
    }
    if (h > 24 || mi > 59 || sec > 60) return std::nullopt;
    serial += (double(h) * 3600 + double(mi) * 60 + double(sec) + frac) / 86400.0;
  } else if (i == 0) {
    return std::nullopt;
  }
  // A zone designator is accepted and ignored: the workbook holds local time.
  if (i < s.size()) {
    std::string_view zone = s.substr(i);
    long zh, zm;
    bool ok = zone == "Z" || ((zone[0] == '+' || zone[0] == '-') &&
                              ((zone.size() == 6 && digits(zone, 1, 2, zh) && zone[3] == ':' &&
                                digits(zone, 4, 2, zm)) ||
                               (zone.size() == 5 && digits(zone, 1, 4, zh)) ||
                               (zone.size() == 3 && digits(zone, 1, 2, zh))));
    if (!ok) return std::nullopt;
  }
  return serial;
}

}  // namespace quorvel::spreadsheet::xlsx
