// Rendering of number sections: digit placeholders, the point, thousands
// separators, scientific notation and fractions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/decimal.h"
#include "engine/spreadsheet/numfmt/format_program.h"

namespace quorvel::spreadsheet::numfmt {

namespace {

// The integer digits of a value, filled into placeholders from the right.
// Digits beyond the placeholders all go to the first one; placeholders beyond
// the digits show '0', a space ('?') or nothing ('#').
class RightFill {
 public:
  RightFill(const char* digits, int len, int slots, bool thousands)
      : digits_(digits),
        total_(std::max(len, slots)),
        offset_(total_ - slots),
        empty_(total_ - len),
        thousands_(thousands) {}

  void slot(int index, char placeholder, std::string& out) {
    int from = index == 0 ? 0 : offset_ + index;
    for (int p = from; p <= offset_ + index; ++p) {
      char c = p < empty_ ? (placeholder == '0'   ? '0'
                             : placeholder == '?' ? ' '
                                                  : 0)
                          : digits_[p - empty_];
      if (!c) continue;
      out += c;
      // A separator among '?' spaces is a space too, so that columns align.
      int below = total_ - 1 - p;
      if (thousands_ && below > 0 && below % 3 == 0) out += c == ' ' ? ' ' : ',';
    }
  }

 private:
  const char* digits_;
  int total_, offset_, empty_;
  bool thousands_;
};

// Decimal digits filled from the left; trailing zeros show as the placeholder
// asks ('0' a zero, '?' a space, '#' nothing).
void decimalSlot(const char* digits, int lastNonZero, int index, char placeholder,
                 std::string& out) {
  if (index <= lastNonZero) {
    out += digits[index];
  } else if (placeholder == '0') {
    out += '0';
  } else if (placeholder == '?') {
    out += ' ';
  }
}

int lastNonZero(const char* digits, int n) {
  int k = n - 1;
  while (k >= 0 && digits[k] == '0') --k;
  return k;
}

// Splits a rounded decimal into integer digits (none for zero) and exactly
// `decimals` fraction digits.
struct Split {
  char intDigits[kMaxIntegerDigits];
  int intLen = 0;
  char fracDigits[kMaxFormatDigits];
};

void splitDecimal(const Decimal& d, int decimals, Split& out) {
  out.intLen = 0;
  for (int i = 0; i < d.point && out.intLen < kMaxIntegerDigits; ++i)
    out.intDigits[out.intLen++] = i < d.count ? d.digits[i] : '0';
  for (int j = 0; j < decimals; ++j) {
    int pos = d.point + j;
    out.fracDigits[j] = pos >= 0 && pos < d.count ? d.digits[pos] : '0';
  }
}

// |value| x 10^(decimals + shift) rounded to a whole number on a binary
// product, as `decimals` places would show it; false near a rounding tie
// (decided on the value reduced to 15 digits) or out of the product's reach.
inline bool roundScaled(double absValue, int shift, int decimals, std::uint64_t& rounded) {
  int scale = decimals + shift;
  if (scale < 0 || scale > 15 || decimals > 15) return false;
  double y = absValue * kPow10[scale];
  if (!(y < 1e15)) return false;
  double whole = std::floor(y);
  double frac = y - whole;
  double tolerance = y * 1e-14 + 1e-9;
  if (!(std::fabs(frac - 0.5) > tolerance)) return false;
  rounded = static_cast<std::uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
  return true;
}

// Rounds |value| x 10^shift to `decimals` places.
void roundValue(double absValue, int shift, int decimals, Split& out) {
  std::uint64_t r = 0;
  if (roundScaled(absValue, shift, decimals, r)) {
    std::uint64_t unit = kPow10Int[decimals];
    std::uint64_t ip = r / unit, fp = r % unit;
    out.intLen = ip ? static_cast<int>(writeUnsigned(out.intDigits, ip) - out.intDigits) : 0;
    for (int j = decimals - 1; j >= 0; --j) {
      out.fracDigits[j] = static_cast<char>('0' + fp % 10);
      fp /= 10;
    }
    return;
  }
  Decimal d;
  toDecimal(absValue, d);
  d.point += shift;
  roundDecimal(d, decimals);
  splitDecimal(d, decimals, out);
}

void literalOf(const Section& s, const Token& t, std::string& out) {
  out.append(s.literals, t.offset, t.length);
}

// Characters (not bytes) of a literal.
std::size_t charCount(const Section& s, const Token& t) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < t.length; ++i)
    if ((static_cast<unsigned char>(s.literals[t.offset + i]) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

// The most integer placeholders, decimals and bytes of text around them a
// plain number section may have: all of it then fits a small buffer (at
// most 20 digits, 6 separators, the point, 15 decimals, the sign, the text).
constexpr int kPlainMaxInt = 20, kPlainMaxDecimals = 15;
constexpr std::size_t kPlainMaxText = sizeof(PlainNumber::suffix);
constexpr std::size_t kPlainTextBytes = 48 + 2 * kPlainMaxText;

void planNumber(Section& s) {
  s.plain = PlainNumber{};
  if (s.kind != SectionKind::Number || s.intDigits == 0 || s.intDigits > kPlainMaxInt ||
      s.fracDigits > kPlainMaxDecimals)
    return;
  PlainNumber plan;
  // Text, then '#'s and '0's, then perhaps the point and '0's, then text.
  enum { Prefix, Integer, Decimals, Suffix } at = Prefix;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        if (at == Prefix) {
          plan.prefix.append(s.literals, t.offset, t.length);
        } else {
          at = Suffix;
          if (plan.suffixLength + t.length > kPlainMaxText) return;
          std::memcpy(plan.suffix + plan.suffixLength, s.literals.data() + t.offset, t.length);
          plan.suffixLength = static_cast<std::uint8_t>(plan.suffixLength + t.length);
        }
        break;
      case Tok::Digit:
        if (at == Prefix) at = Integer;
        if (at == Integer) {
          if (t.ch == '0') {
            ++plan.minIntDigits;
          } else if (t.ch != '#' || plan.minIntDigits > 0) {
            return;  // '?', or a '#' after a '0'
          }
        } else if (at != Decimals || t.ch != '0') {
          return;
        }
        break;
      case Tok::Point:
        if (at != Integer) return;
        at = Decimals;
        plan.point = true;
        break;
      default:
        return;
    }
  }
  if (plan.prefix.size() > kPlainMaxText) return;
  plan.on = true;
  s.plain = std::move(plan);
}

bool renderPlainNumber(const Section& s, double absValue, bool minus, std::string& out) {
  const PlainNumber& plan = s.plain;
  std::uint64_t r = 0;
  if (!plan.on || !roundScaled(absValue, s.decimalShift, s.fracDigits, r)) return false;
  std::uint64_t ip = r, fp = 0;
  switch (s.fracDigits) {  // constant divisors for the usual counts
    case 0:
      break;
    case 1:
      ip = r / 10, fp = r % 10;
      break;
    case 2:
      ip = r / 100, fp = r % 100;
      break;
    default:
      ip = r / kPow10Int[s.fracDigits], fp = r % kPow10Int[s.fracDigits];
      break;
  }
  // Written from the right into one buffer, appended once: the suffix, the
  // decimals, the point, the integer digits with a separator before every
  // third, the prefix and the sign.
  char buf[kPlainTextBytes + kPlainMaxText];  // the suffix is copied whole
  char* const end = buf + kPlainTextBytes;
  char* p = end - plan.suffixLength;
  std::memcpy(p, plan.suffix, kPlainMaxText);
  for (int j = 0; j < s.fracDigits; ++j, fp /= 10) *--p = static_cast<char>('0' + fp % 10);
  if (plan.point) *--p = '.';
  for (int n = 0; ip != 0 || n < plan.minIntDigits; ++n, ip /= 10) {
    if (s.thousands && n > 0 && n % 3 == 0) *--p = ',';
    *--p = static_cast<char>('0' + ip % 10);
  }
  for (std::size_t i = plan.prefix.size(); i > 0; --i) *--p = plan.prefix[i - 1];
  // A negative value that shows as zero shows no sign.
  if (minus && r != 0) *--p = '-';
  out.append(p, end);
  return true;
}

void renderNumber(const Section& s, double absValue, bool minus, std::string& out) {
  if (!renderPlainNumber(s, absValue, minus, out)) renderNumberTokens(s, absValue, minus, out);
}

void renderNumberTokens(const Section& s, double absValue, bool minus, std::string& out) {
  Split parts;
  roundValue(absValue, s.decimalShift, s.fracDigits, parts);
  int last = lastNonZero(parts.fracDigits, s.fracDigits);
  // A negative value that shows as zero shows no sign.
  if (minus && (parts.intLen > 0 || last >= 0)) out += '-';
  RightFill whole(parts.intDigits, parts.intLen, s.intDigits, s.thousands);
  int intIndex = 0, fracIndex = 0;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        literalOf(s, t, out);
        break;
      case Tok::Point:
        // Without integer placeholders the integer digits still show.
        if (s.intDigits == 0) out.append(parts.intDigits, parts.intLen);
        out += '.';
        break;
      case Tok::Digit:
        if (t.width == kRoleInteger)
          whole.slot(intIndex++, t.ch, out);
        else
          decimalSlot(parts.fracDigits, last, fracIndex++, t.ch, out);
        break;
      default:
        break;
    }
  }
}

void renderExponent(const Section& s, double absValue, bool minus, std::string& out) {
  Decimal d;
  toDecimal(absValue, d);
  d.point += s.decimalShift;
  int exponent = 0;
  Decimal mantissa = d;
  if (d.count > 0) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      int e10 = d.point - 1;
      if (s.engineering) {
        int n = s.intDigits;
        exponent = (e10 >= 0 ? e10 / n : -((-e10 + n - 1) / n)) * n;
      } else {
        exponent = e10 - (s.intDigits - 1);
      }
      mantissa = d;
      mantissa.point -= exponent;
      int before = mantissa.point;
      roundDecimal(mantissa, s.fracDigits);
      if (mantissa.point == before || mantissa.count == 0) break;
      // Rounding carried into a new digit (9.99 -> 10.0): place the exponent again.
      d = mantissa;
      d.point += exponent;
    }
  }
  Split parts;
  splitDecimal(mantissa, s.fracDigits, parts);
  char expBuf[24];
  int expLen = static_cast<int>(
      writeUnsigned(expBuf, static_cast<std::uint64_t>(std::abs(exponent))) - expBuf);

  if (minus && mantissa.count > 0) out += '-';
  RightFill whole(parts.intDigits, parts.intLen, s.intDigits, false);
  RightFill exp(expBuf, expLen, s.expDigits, false);
  int last = lastNonZero(parts.fracDigits, s.fracDigits);
  int intIndex = 0, fracIndex = 0, expIndex = 0;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        literalOf(s, t, out);
        break;
      case Tok::Point:
        out += '.';
        break;
      case Tok::Exponent:
        out += 'E';
        if (exponent < 0)
          out += '-';
        else if (t.ch == '+')
          out += '+';
        break;
      case Tok::Digit:
        if (t.width == kRoleInteger)
          whole.slot(intIndex++, t.ch, out);
        else if (t.width == kRoleDecimal)
          decimalSlot(parts.fracDigits, last, fracIndex++, t.ch, out);
        else
          exp.slot(expIndex++, t.ch == '#' ? '0' : t.ch, out);
        break;
      default:
        break;
    }
  }
}

namespace {

// Once the remainder of the continued fraction is this small the value is
// taken as reached.
constexpr double kContinuedFractionEnd = 5e-8;

// The last convergent of x's continued fraction, computed in doubles, whose
// denominator is at most `maxDenominator`. The application walks the same
// expansion with the same rounding: 0.3 as `# ?/?` is 2/7, not 1/3.
void continuedFraction(double x, std::int64_t maxDenominator, std::int64_t& num,
                       std::int64_t& den) {
  double p2 = 0, p1 = 1, q2 = 1, q1 = 0, p = 0, q = 0;
  double b = x;
  while (q1 < static_cast<double>(maxDenominator)) {
    double a = std::floor(b);
    p = a * p1 + p2;
    q = a * q1 + q2;
    if (b - a < kContinuedFractionEnd) break;
    b = 1 / (b - a);
    p2 = p1, p1 = p;
    q2 = q1, q1 = q;
  }
  if (q > static_cast<double>(maxDenominator)) {
    if (q1 > static_cast<double>(maxDenominator)) {
      p = p2, q = q2;
    } else {
      p = p1, q = q1;
    }
  }
  num = static_cast<std::int64_t>(p);
  den = std::max<std::int64_t>(1, static_cast<std::int64_t>(q));
}

}  // namespace

// Values from here on are whole numbers in a double.
constexpr double kLargestFraction = 9007199254740992.0;

void renderFraction(const Section& s, double absValue, bool minus, std::string& out) {
  double whole = std::floor(absValue);
  std::int64_t num = 0, den = 1;
  if (absValue >= kLargestFraction) {
    // Beyond 2^53 there is no fraction left to show.
  } else if (s.fixedDenom > 0) {
    den = s.fixedDenom;
    num =
        static_cast<std::int64_t>(std::floor((absValue - whole) * static_cast<double>(den) + 0.5));
  } else {
    auto maxDen =
        static_cast<std::int64_t>(kPow10Int[std::clamp(s.denomDigits, 1, kMaxFractionDigits)] - 1);
    std::int64_t p = 0;
    continuedFraction(absValue, maxDen, p, den);
    whole = static_cast<double>(p / den);
    num = p % den;
  }
  if (num == den) {
    whole += 1;
    num = 0;
  }
  if (!s.mixed) {
    num += static_cast<std::int64_t>(whole) * den;
    whole = 0;
  }
  // A whole number shows no fraction, unless a '0' in the numerator asks for 0/1.
  bool blank = s.mixed && num == 0 && !s.numeratorZero;
  // 0 as `?\:0/#` shows its whole part: "0:0/1".
  bool zeroWhole = blank || (s.mixed && num == 0 && s.lastIntPlaceholder == '?');
  bool wholeIsZero = whole < 1 && !zeroWhole;

  char intBuf[kMaxIntegerDigits], numBuf[24], denBuf[24];
  int intLen = 0;
  if (whole >= 1) {
    Decimal d;
    toDecimal(whole, d);
    Split parts;
    splitDecimal(d, 0, parts);
    intLen = parts.intLen;
    std::copy(parts.intDigits, parts.intDigits + intLen, intBuf);
  } else if (zeroWhole) {
    intBuf[0] = '0';  // 0.0004 as `# ?/?` shows "0"
    intLen = 1;
  }
  int numLen =
      num || !s.mixed || s.numeratorZero
          ? static_cast<int>(writeUnsigned(numBuf, static_cast<std::uint64_t>(num)) - numBuf)
          : 0;
  int denLen = static_cast<int>(writeUnsigned(denBuf, static_cast<std::uint64_t>(den)) - denBuf);

  if (minus) out += '-';  // unlike decimals, "-0    " keeps its sign
  RightFill intFill(intBuf, intLen, s.intDigits, s.thousands);
  RightFill numFill(numBuf, numLen, s.numDigits, false);
  // A blank fraction leaves spaces as wide as itself when it has a '?', else nothing.
  auto blankOut = [&](std::size_t chars) {
    if (s.fractionQuestion) out.append(chars, ' ');
  };
  int intIndex = 0, numIndex = 0;
  bool denominatorDone = false;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::Literal:
        if (blank && (t.ch == kLiteralSeparator || t.ch == kLiteralFraction)) {
          blankOut(charCount(s, t));
        } else if (wholeIsZero && t.ch == kLiteralSeparator) {
          // After a whole part shown as nothing or spaces, the separator goes
          // the same way: `#\:#/#` on 0.75 is "3/4", `?\:#/#` is "  3/4",
          // and `# ?/?` keeps a space for the numerator's '?'.
          if (s.lastIntPlaceholder == '0') {
            literalOf(s, t, out);
          } else if (s.lastIntPlaceholder == '?' || s.numeratorQuestion) {
            out.append(charCount(s, t), ' ');
          }
        } else {
          literalOf(s, t, out);
        }
        break;
      case Tok::Slash:
        if (blank)
          blankOut(1);
        else
          out += '/';
        break;
      case Tok::FixedDenom:
        if (blank)
          blankOut(t.length);
        else
          literalOf(s, t, out);
        break;
      case Tok::Digit:
        if (t.width == kRoleInteger) {
          intFill.slot(intIndex++, t.ch, out);
        } else if (blank) {
          blankOut(1);
        } else if (t.width == kRoleNumerator) {
          numFill.slot(numIndex++, t.ch, out);
        } else if (!denominatorDone) {
          // Zeros ahead of the denominator for its '0's, spaces after it for its '?'s.
          denominatorDone = true;
          int pad = std::max(0, s.denomDigits - denLen);
          int zeros = std::min(pad, s.denomZeros);
          out.append(static_cast<std::size_t>(zeros), '0');
          out.append(denBuf, static_cast<std::size_t>(denLen));
          out.append(static_cast<std::size_t>(std::min(pad - zeros, s.denomQuestions)), ' ');
        }
        break;
      default:
        break;
    }
  }
}

void renderLiterals(const Section& s, std::string_view text, std::string& out) {
  for (const Token& t : s.tokens) {
    if (t.kind == Tok::Literal)
      literalOf(s, t, out);
    else if (t.kind == Tok::Text || t.kind == Tok::General)
      out += text;
  }
}

}  // namespace quorvel::spreadsheet::numfmt
