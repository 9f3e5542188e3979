// The short ways of rendering the usual number and date sections must write
// exactly what walking the section's tokens writes, for every value.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/spreadsheet/numfmt/decimal.h"
#include "engine/spreadsheet/numfmt/format_program.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet::numfmt {
namespace {

// Values around the places where rounding, grouping and signs change.
std::vector<double> numberValues() {
  std::vector<double> v = {
      0,         0.004,    0.005, 0.0049999,   0.045,   0.125,          0.5,     0.95,   0.995,
      1,         1.005,    2.5,   9.995,       99.5,    999.5,          999.995, 1000,   1234.5,
      65432.105, 999999.5, 1e6,   1234567.891, 1e9,     123456789012.5, 1e14,    4.5e14, 9.99e14,
      1e15,      1e16,     1e20,  3e-10,       1.0 / 3, 2.0 / 3,        652.685, 10.155, 0.0001};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-6, 16);
  std::uniform_real_distribution<double> mantissa(1, 10);
  for (int i = 0; i < 3000; ++i) v.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  // Cents and tenths of a percent, as stored: ties at the rounding place.
  for (int i = 0; i < 2000; ++i) v.push_back(static_cast<double>(random() % 10000000) / 1000);
  return v;
}

TEST(NumberShortWay, WritesWhatTheTokensWrite) {
  const char* codes[] = {"0",          "0.00",       "#,##0",        "#,##0.00",
                         "0.0%",       "0%",         "0.00%",        "\"$\"#,##0.00_)",
                         "#,##0.000,", "0.000000,,", "000000",       "#,#00.0",
                         "\"Rs.\"0.0", "0.\"kg\"",   "0.",           "#,##0.000000000000000",
                         "#",          "##,###",     "[Red]#,##0.0", "#,##0.00 \"total\" %"};
  const std::vector<double> values = numberValues();
  for (const char* code : codes) {
    Program program = compileProgram(code);
    ASSERT_TRUE(program.valid) << code;
    const Section& s = program.numeric[0];
    ASSERT_TRUE(s.plain.on) << code << " should have the short way";
    int shortWays = 0;
    for (double v : values) {
      for (bool minus : {false, true}) {
        std::string fast, tokens;
        if (!renderPlainNumber(s, v, minus, fast)) {
          EXPECT_TRUE(fast.empty()) << code << " wrote before stepping aside on " << v;
          continue;
        }
        ++shortWays;
        renderNumberTokens(s, v, minus, tokens);
        EXPECT_EQ(fast, tokens) << code << " on " << (minus ? "-" : "") << v;
      }
    }
    EXPECT_GT(shortWays, static_cast<int>(values.size() / 10)) << code;  // it was taken
  }
}

TEST(NumberShortWay, OnlyForTheUsualShape) {
  // '?', a '#' after a '0', digits after text between them, decimals other
  // than '0', no integer placeholder, scientific and fractions walk tokens.
  for (const char* code :
       {"0.0#", "??0.00", "0#", "000-0000", ".00", "0.00E+00", "# ?/?", "@", "General", "0.00 @"}) {
    Program program = compileProgram(code);
    EXPECT_FALSE(program.numeric[0].plain.on) << code;
  }
}

TEST(DateShortWay, WritesWhatTheTokensWrite) {
  const char* codes[] = {"yyyy-mm-dd",
                         "m/d/yyyy h:mm",
                         "d-m-yy",
                         "h:mm:ss AM/PM",
                         "hh:mm",
                         "yyyy\"年\"m\"月\"d\"日\"",
                         "mm:ss",
                         "dd/mm/yyyy hh:mm:ss",
                         "yyyymmdd\"T\"hhmmss",
                         "h AM/PM \"on\" d/m",
                         "h:m:s"};
  std::vector<double> values = {0,
                                0.5,
                                1,
                                59,
                                60,
                                61,
                                0.99999,
                                0.999994,
                                0.9999949,
                                43831.5,
                                2958465,
                                2958465.99999,
                                2958465.999999,
                                2957003.999999,
                                2957003,
                                1462,
                                36525.25,
                                25569,
                                45000.75,
                                2958466};
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> serial(0, 2958466);
  for (int i = 0; i < 4000; ++i) values.push_back(serial(random));
  for (int i = 0; i < 1000; ++i) values.push_back(std::floor(serial(random)));
  for (const char* code : codes) {
    Program program = compileProgram(code);
    ASSERT_TRUE(program.valid) << code;
    const Section& s = program.numeric[0];
    ASSERT_FALSE(s.dateSteps.empty()) << code << " should have the short way";
    for (bool date1904 : {false, true}) {
      for (double v : values) {
        std::string fast, tokens, either;
        const bool shown = renderDateTokens(s, v, date1904, tokens);
        // The short way writes what the tokens do, or steps aside having
        // written nothing; together they always write what the tokens do.
        if (renderDateSteps(s, v, date1904, fast)) {
          EXPECT_TRUE(shown) << code << " on " << v;
          EXPECT_EQ(fast, tokens) << code << " on " << v << (date1904 ? " (1904)" : "");
        } else {
          EXPECT_EQ(fast, "") << code << " on " << v;
        }
        EXPECT_EQ(renderDate(s, v, date1904, either), shown) << code << " on " << v;
        EXPECT_EQ(either, tokens) << code << " on " << v << (date1904 ? " (1904)" : "");
      }
    }
  }
}

TEST(DateShortWay, DaysAreTheCalendarsDays) {
  // Both ways against the standard library's calendar (serial 25569 is
  // 1970-01-01): every day of 1900-03-01 to 2099, every 13th day after it,
  // and the days around the ends of February and of every year to 9999.
  Program program = compileProgram("yyyy-mm-dd");
  const Section& s = program.numeric[0];
  ASSERT_FALSE(s.dateSteps.empty());
  using namespace std::chrono;
  std::vector<int> serials;
  for (int serial = 61; serial <= 2958465; serial += serial < 73051 ? 1 : 13)
    serials.push_back(serial);
  for (int y = 2100; y <= 9999; ++y) {
    for (int around : {0, 1}) {
      const int first =
          (sys_days{year{y} / (around ? January : March) / 1}.time_since_epoch()).count();
      for (int d = -2; d <= 1; ++d) serials.push_back(first + d + 25569);
    }
  }
  std::string fast, tokens, firstWrong;
  for (int serial : serials) {
    if (serial > 2958465 || !firstWrong.empty()) continue;
    const year_month_day day{sys_days{days{serial - 25569}}};
    char expected[16];
    std::snprintf(expected, sizeof expected, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    fast.clear();
    tokens.clear();
    renderDateSteps(s, serial, false, fast);
    renderDateTokens(s, serial, false, tokens);
    if (fast != expected || tokens != expected)
      firstWrong = std::to_string(serial) + ": " + fast + " and " + tokens + ", not " + expected;
  }
  EXPECT_EQ(firstWrong, "");
}

TEST(DateShortWay, OnlyForTheUsualParts) {
  // Month and day names, fractions of a second, elapsed time, A/P, long
  // literals and Buddhist years walk tokens.
  for (const char* code : {"d-mmm-yy", "dddd", "mm:ss.0", "[h]:mm:ss", "h:mm A/P", "bbbb-mm-dd",
                           "yyyy \"a literal of more than fourteen bytes\" m"}) {
    Program program = compileProgram(code);
    EXPECT_TRUE(program.numeric[0].dateSteps.empty()) << code;
  }
}

// 1 <= a < 1E+15 in General written from its decimal digits, the long way.
std::string generalFromDigits(double a) {
  Decimal d;
  toDecimal(a, d);
  std::string out(d.digits, static_cast<std::size_t>(std::min(d.count, d.point)));
  if (d.count < d.point) out.append(static_cast<std::size_t>(d.point - d.count), '0');
  if (d.count > d.point) {
    out += '.';
    out.append(d.digits + d.point, d.digits + d.count);
  }
  return out;
}

TEST(GeneralShortWay, RoundsAsTheDigitsDo) {
  // Values whose sixteenth and seventeenth digits sit at and around the
  // fifteen-digit tie, at every place of the point, and random ones.
  std::mt19937_64 random(5);
  std::vector<double> values;
  for (int intDigits = 1; intDigits <= 15; ++intDigits) {
    for (int i = 0; i < 400; ++i) {
      std::string digits = std::to_string(1 + random() % 9);
      while (digits.size() < 15) digits += static_cast<char>('0' + random() % 10);
      const char* tails[] = {"5", "49", "51", "50", "499", "501", "4", "6", "45", "55"};
      digits += tails[random() % std::size(tails)];
      const auto point = static_cast<std::size_t>(intDigits);
      values.push_back(std::stod(digits.substr(0, point) + '.' + digits.substr(point)));
    }
  }
  std::uniform_real_distribution<double> exponent(0, 15);
  for (int i = 0; i < 5000; ++i) values.push_back(std::pow(10.0, exponent(random)));
  for (double v : values) {
    if (!(v >= 1 && v < 1e15) || generalFromDigits(v).size() > 16) continue;  // 1E+15 up
    std::string fast;
    appendGeneral(v, fast);
    EXPECT_EQ(fast, generalFromDigits(v)) << std::hexfloat << v;
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet::numfmt
