#pragma once
// A double as the decimal digits the application keeps: at most 15
// significant digits, rounded half away from zero.
#include <cstdint>

namespace quorvel::spreadsheet::numfmt {

inline constexpr int kSignificantDigits = 15;

struct Decimal {
  char digits[24];  // significant digits, no leading or trailing zero; none for zero
  int count = 0;
  int point = 0;  // the value is 0.d1d2d3... x 10^point
};

// |value| reduced to 15 significant digits; `value` must be finite.
void toDecimal(double value, Decimal& out);

// Rounds half away from zero so that `decimals` digits remain after the point
// (a negative count rounds to tens, hundreds...).
void roundDecimal(Decimal& x, int decimals);

// Writes `value` in decimal into `buf`, returning the end.
char* writeUnsigned(char* buf, std::uint64_t value);

inline constexpr double kPow10[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
inline constexpr std::uint64_t kPow10Int[] = {1ull,
                                              10ull,
                                              100ull,
                                              1000ull,
                                              10000ull,
                                              100000ull,
                                              1000000ull,
                                              10000000ull,
                                              100000000ull,
                                              1000000000ull,
                                              10000000000ull,
                                              100000000000ull,
                                              1000000000000ull,
                                              10000000000000ull,
                                              100000000000000ull,
                                              1000000000000000ull};

}  // namespace quorvel::spreadsheet::numfmt
