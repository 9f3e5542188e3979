// Rendering of date and time sections from a serial number in the 1900 or
// 1904 date system.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/spreadsheet/numfmt/decimal.h"
#include "engine/spreadsheet/numfmt/format_program.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet::numfmt {

namespace {

// The last serial numbers that are dates (9999-12-31).
constexpr double kLastSerial1900 = 2958465;
constexpr double kLastSerial1904 = 2957003;
// Serial 0 of the 1904 system is serial 1462 of the 1900 system.
constexpr std::int64_t kDays1904 = 1462;
// Serial 25569 of the 1900 system is 1970-01-01.
constexpr std::int64_t kUnixEpochSerial = 25569;

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

struct CivilDate {
  std::int64_t year;
  int month, day;
};

// Days since 1970-01-01 (from about -12 million on) to a proleptic
// Gregorian date, by C. Neri and L. Schneider's Euclidean affine functions
// ("Euclidean affine functions and their application to calendar
// algorithms", 2022): a handful of multiplications and shifts.
CivilDate civilFromDays(std::int64_t days) {
  constexpr std::uint32_t kShift = 82;  // whole 400-year cycles added, so all is unsigned
  constexpr std::uint32_t kDaysShift = 719468 + 146097 * kShift;
  constexpr std::uint32_t kYearsShift = 400 * kShift;
  const auto n = static_cast<std::uint32_t>(days + kDaysShift);
  const std::uint32_t n1 = 4 * n + 3;
  const std::uint32_t century = n1 / 146097;
  const std::uint32_t inCentury = n1 % 146097 / 4;
  const std::uint64_t p2 = std::uint64_t{2939745} * (4 * inCentury + 3);
  const auto yearOfCentury = static_cast<std::uint32_t>(p2 >> 32);
  const auto dayOfYear = static_cast<std::uint32_t>(p2) / 2939745 / 4;  // from March 1st
  const std::uint32_t n3 = 2141 * dayOfYear + 197913;
  const std::uint32_t month = n3 >> 16;
  const std::uint32_t day = (n3 & 0xFFFF) / 2141 + 1;
  const bool january = dayOfYear >= 306;  // or February: of the next year
  return {static_cast<std::int64_t>(100 * century + yearOfCentury) - kYearsShift + january,
          static_cast<int>(january ? month - 12 : month), static_cast<int>(day)};
}

// The calendar date of a 1900-system serial day, with the application's
// 1900-02-29 (serial 60) and 1900-01-00 (serial 0).
CivilDate dateOfSerial(std::int64_t serial) {
  if (serial == 0) return {1900, 1, 0};
  if (serial == 60) return {1900, 2, 29};
  return civilFromDays(serial - kUnixEpochSerial + (serial < 60 ? 1 : 0));
}

void appendPadded(std::uint64_t value, int width, std::string& out) {
  char buf[24];
  int len = static_cast<int>(writeUnsigned(buf, value) - buf);
  if (len < width) out.append(static_cast<std::size_t>(width - len), '0');
  out.append(buf, static_cast<std::size_t>(len));
}

bool pastLastDate(double nonNegative, bool date1904) {
  return !(nonNegative < (date1904 ? kLastSerial1904 : kLastSerial1900) + 1);
}

// The value in the section's finest unit (a second, or its tenth, hundredth
// or thousandth), rounded; a tie within the precision of 15 significant
// digits rounds up (23:59:59.9995 as h:mm:ss.000 is the next day).
std::uint64_t unitsOf(const Section& s, double nonNegative) {
  double units = nonNegative * static_cast<double>(86400 * kPow10Int[s.subSecondDigits]);
  return static_cast<std::uint64_t>(std::floor(units + 0.5 + units * 1e-15));
}

// The fewest units an elapsed section shows as something other than zero.
std::uint64_t smallestShown(const Section& s) {
  if (s.subSecondDigits > 0) return 1;
  std::uint64_t smallest = 3600;
  for (const Token& t : s.tokens) {
    if (t.kind == Tok::Second || t.kind == Tok::Second2 || t.kind == Tok::ElapsedSeconds) return 1;
    if (t.kind == Tok::Minute || t.kind == Tok::Minute2 || t.kind == Tok::ElapsedMinutes)
      smallest = 60;
  }
  return smallest;
}

// "00" to "99", two bytes a number.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// One or two digits, as appendPadded writes a value under 100 in width 1
// or 2, straight into `p`.
inline char* putSmall(char* p, unsigned value, bool twoDigits) {
  if (!twoDigits && value < 10) {
    *p = static_cast<char>('0' + value);
    return p + 1;
  }
  std::memcpy(p, kDigitPairs + 2 * value, 2);
  return p + 2;
}

// The longest text a date plan writes: its buffer's size.
constexpr std::size_t kDateStepsBytes = 160;

void renderUnits(const Section& s, std::uint64_t total, bool date1904, std::string& out) {
  std::uint64_t perSecond = kPow10Int[s.subSecondDigits];
  std::uint64_t perDay = 86400 * perSecond;
  std::uint64_t days = total / perDay;
  std::uint64_t inDay = total % perDay;
  std::uint64_t seconds = inDay / perSecond;
  std::uint64_t sub = inDay % perSecond;
  int hour = static_cast<int>(seconds / 3600);
  int minute = static_cast<int>(seconds / 60 % 60);
  int second = static_cast<int>(seconds % 60);

  std::int64_t serial1900 = static_cast<std::int64_t>(days) + (date1904 ? kDays1904 : 0);
  CivilDate date = dateOfSerial(serial1900);
  int weekday = static_cast<int>((serial1900 + 6) % 7);

  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        out.append(s.literals, t.offset, t.length);
        break;
      case Tok::Year2:
        appendPadded(static_cast<std::uint64_t>(date.year % 100), 2, out);
        break;
      case Tok::Year4:
        appendPadded(static_cast<std::uint64_t>(date.year), 4, out);
        break;
      case Tok::BuddhistYear2:
        appendPadded(static_cast<std::uint64_t>((date.year + 543) % 100), 2, out);
        break;
      case Tok::BuddhistYear4:
        appendPadded(static_cast<std::uint64_t>(date.year + 543), 4, out);
        break;
      case Tok::Month:
      case Tok::Month2:
        appendPadded(static_cast<std::uint64_t>(date.month), t.kind == Tok::Month2 ? 2 : 1, out);
        break;
      case Tok::MonthAbbr:
        out.append(kMonthNames[date.month - 1], 3);
        break;
      case Tok::MonthName:
        out += kMonthNames[date.month - 1];
        break;
      case Tok::MonthLetter:
        out += kMonthNames[date.month - 1][0];
        break;
      case Tok::Day:
      case Tok::Day2:
        appendPadded(static_cast<std::uint64_t>(date.day), t.kind == Tok::Day2 ? 2 : 1, out);
        break;
      case Tok::DayAbbr:
        out.append(kDayNames[weekday], 3);
        break;
      case Tok::DayName:
        out += kDayNames[weekday];
        break;
      case Tok::Hour:
      case Tok::Hour2: {
        int h = hour;
        if (s.hour12) h = h % 12 == 0 ? 12 : h % 12;
        appendPadded(static_cast<std::uint64_t>(h), t.kind == Tok::Hour2 ? 2 : 1, out);
        break;
      }
      case Tok::Minute:
      case Tok::Minute2:
        appendPadded(static_cast<std::uint64_t>(minute), t.kind == Tok::Minute2 ? 2 : 1, out);
        break;
      case Tok::Second:
      case Tok::Second2:
        appendPadded(static_cast<std::uint64_t>(second), t.kind == Tok::Second2 ? 2 : 1, out);
        break;
      case Tok::ElapsedHours:
        appendPadded(total / (3600 * perSecond), t.width, out);
        break;
      case Tok::ElapsedMinutes:
        appendPadded(total / (60 * perSecond), t.width, out);
        break;
      case Tok::ElapsedSeconds:
        appendPadded(total / perSecond, t.width, out);
        break;
      case Tok::SubSecond: {
        out += '.';
        char buf[4];
        std::uint64_t v = sub;
        for (int i = s.subSecondDigits - 1; i >= 0; --i, v /= 10)
          buf[i] = static_cast<char>('0' + v % 10);
        out.append(buf, static_cast<std::size_t>(t.width));
        break;
      }
      case Tok::AmPm:
        out += hour < 12 ? "AM" : "PM";
        break;
      case Tok::AP:
        out += hour < 12 ? (t.ch == 'a' ? 'a' : 'A') : (t.ch == 'a' ? 'p' : 'P');
        break;
      default:
        break;
    }
  }
}

}  // namespace

void planDate(Section& s) {
  s.dateSteps.clear();
  if (s.kind != SectionKind::Date || s.elapsedOnly || s.subSecondDigits != 0) return;
  std::vector<DateStep> steps;
  std::size_t longest = 0;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal: {
        // Joined to the step before it: one step a part, its literal after it.
        if (steps.empty()) steps.emplace_back();  // a literal first: a step of its own
        DateStep& step = steps.back();
        if (step.length + t.length > sizeof step.text) return;
        std::memcpy(step.text + step.length, s.literals.data() + t.offset, t.length);
        step.length = static_cast<std::uint8_t>(step.length + t.length);
        continue;
      }
      case Tok::Year4:
        longest += 4;
        break;
      case Tok::Year2:
      case Tok::Month:
      case Tok::Month2:
      case Tok::Day:
      case Tok::Day2:
      case Tok::Hour:
      case Tok::Hour2:
      case Tok::Minute:
      case Tok::Minute2:
      case Tok::Second:
      case Tok::Second2:
      case Tok::AmPm:
        longest += 2;
        break;
      default:
        return;
    }
    DateStep step;
    step.kind = t.kind;
    steps.push_back(step);
  }
  longest += steps.size() * sizeof(DateStep::text);  // each literal is copied whole
  if (steps.empty() || longest > kDateStepsBytes) return;
  s.dateSteps = std::move(steps);
}

// A date section's plan: whole seconds, the usual parts, into one buffer
// appended once (a date column costs a dozen appends a cell otherwise).
bool renderDateSteps(const Section& s, double value, bool date1904, std::string& out) {
  if (s.dateSteps.empty() || !(value >= 0) || pastLastDate(value, date1904)) return false;
  // Whole seconds (a plan has no fractions): the divisions below are by constants.
  const std::uint64_t total = unitsOf(s, value);
  std::uint64_t days = total / 86400;
  auto seconds = static_cast<unsigned>(total % 86400);
  unsigned hour = seconds / 3600, minute = seconds / 60 % 60, second = seconds % 60;
  CivilDate date = dateOfSerial(static_cast<std::int64_t>(days) + (date1904 ? kDays1904 : 0));
  // The last second of 9999-12-31 may round up into the year 10000, whose
  // five digits the token walk writes.
  if (date.year > 9999) return false;
  char buf[kDateStepsBytes];
  char* p = buf;
  for (const DateStep& step : s.dateSteps) {
    switch (step.kind) {
      case Tok::Literal:  // only a leading literal
        break;
      case Tok::Year4:
        p = putSmall(p, static_cast<unsigned>(date.year / 100), true);
        p = putSmall(p, static_cast<unsigned>(date.year % 100), true);
        break;
      case Tok::Year2:
        p = putSmall(p, static_cast<unsigned>(date.year % 100), true);
        break;
      case Tok::Month:
      case Tok::Month2:
        p = putSmall(p, static_cast<unsigned>(date.month), step.kind == Tok::Month2);
        break;
      case Tok::Day:
      case Tok::Day2:
        p = putSmall(p, static_cast<unsigned>(date.day), step.kind == Tok::Day2);
        break;
      case Tok::Hour:
      case Tok::Hour2: {
        unsigned h = hour;
        if (s.hour12) h = h % 12 == 0 ? 12 : h % 12;
        p = putSmall(p, h, step.kind == Tok::Hour2);
        break;
      }
      case Tok::Minute:
      case Tok::Minute2:
        p = putSmall(p, minute, step.kind == Tok::Minute2);
        break;
      case Tok::Second:
      case Tok::Second2:
        p = putSmall(p, second, step.kind == Tok::Second2);
        break;
      default:  // AM/PM, the only other step planDate takes
        p[0] = hour < 12 ? 'A' : 'P';
        p[1] = 'M';
        p += 2;
        break;
    }
    std::memcpy(p, step.text, sizeof step.text);
    p += step.length;
  }
  out.append(buf, static_cast<std::size_t>(p - buf));
  return true;
}

bool renderDateTokens(const Section& s, double value, bool date1904, std::string& out) {
  if (!(value >= 0) || pastLastDate(value, date1904)) return false;
  renderUnits(s, unitsOf(s, value), date1904, out);
  return true;
}

bool renderDate(const Section& s, double value, bool date1904, std::string& out) {
  return renderDateSteps(s, value, date1904, out) || renderDateTokens(s, value, date1904, out);
}

bool renderElapsed(const Section& s, double absValue, bool minus, bool date1904, std::string& out) {
  if (pastLastDate(absValue, date1904)) return false;
  std::uint64_t total = unitsOf(s, absValue);
  // As with numbers, a negative amount that shows as zero shows no sign.
  if (minus && total >= smallestShown(s)) out += '-';
  renderUnits(s, total, date1904, out);
  return true;
}

}  // namespace quorvel::spreadsheet::numfmt

namespace quorvel::spreadsheet {

bool appendIsoDateTime(double serial, bool date1904, std::string& out) {
  using namespace numfmt;
  constexpr std::uint64_t kMsPerDay = 86400000;
  if (!(serial >= 0) || pastLastDate(serial, date1904)) return false;
  const auto total = static_cast<std::uint64_t>(std::floor(serial * double(kMsPerDay) + 0.5));
  const std::uint64_t days = total / kMsPerDay;
  std::uint64_t ms = total % kMsPerDay;
  if (pastLastDate(double(days), date1904) || (!date1904 && days == 60)) return false;
  if (days > 0) {
    const CivilDate date =
        dateOfSerial(static_cast<std::int64_t>(days) + (date1904 ? kDays1904 : 0));
    appendPadded(static_cast<std::uint64_t>(date.year), 4, out);
    out += '-';
    appendPadded(static_cast<std::uint64_t>(date.month), 2, out);
    out += '-';
    appendPadded(static_cast<std::uint64_t>(date.day), 2, out);
    if (ms == 0) return true;
    out += 'T';
  }
  appendPadded(ms / 3600000, 2, out);
  out += ':';
  appendPadded(ms / 60000 % 60, 2, out);
  out += ':';
  appendPadded(ms / 1000 % 60, 2, out);
  if ((ms %= 1000) != 0) {
    out += '.';
    for (std::uint64_t unit = 100; ms != 0; unit /= 10) {
      out += static_cast<char>('0' + ms / unit);
      ms %= unit;
    }
  }
  return true;
}

}  // namespace quorvel::spreadsheet
