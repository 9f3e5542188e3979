// Compiles a format code (grammar: the Format record's ABNF in [MS-XLS]
// 2.4.126) into sections of tokens.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/format_program.h"

namespace quorvel::spreadsheet::numfmt {

char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lower(s[at + i]) != word[i]) return false;
  return true;
}

namespace {

constexpr int kMaxSubSecondDigits = 3;

// Length of the UTF-8 sequence that starts with byte `c` (1 for stray bytes).
std::size_t utf8Length(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 0xF0) return 4;
  if (u >= 0xE0) return 3;
  if (u >= 0xC0) return 2;
  return 1;
}

std::size_t charEnd(std::string_view s, std::size_t at) {
  return std::min(s.size(), at + utf8Length(s[at]));
}

}  // namespace

bool isElapsedBracket(std::string_view inner) {
  if (inner.empty()) return false;
  char c = lower(inner[0]);
  if (c != 'h' && c != 'm' && c != 's') return false;
  return std::all_of(inner.begin(), inner.end(), [c](char x) { return lower(x) == c; });
}

namespace {

class SectionParser {
 public:
  SectionParser(std::string_view text, bool date) : s_(text), date_(date) {}

  // False when the code is malformed (an unclosed bracket, a bad condition).
  bool parse(Section& out) {
    sec_ = &out;
    for (i_ = 0; i_ < s_.size();) {
      if (!step()) return false;
    }
    if (date_) resolveMinutes();
    analyse();
    return out.fracDigits <= kMaxFormatDigits && out.expDigits <= kMaxFormatDigits;
  }

 private:
  void literal(std::string_view text) {
    if (text.empty()) return;
    auto& toks = sec_->tokens;
    if (!toks.empty() && toks.back().kind == Tok::Literal &&
        toks.back().offset + toks.back().length == sec_->literals.size()) {
      toks.back().length = static_cast<std::uint16_t>(toks.back().length + text.size());
    } else {
      Token t;
      t.offset = static_cast<std::uint32_t>(sec_->literals.size());
      t.length = static_cast<std::uint16_t>(text.size());
      toks.push_back(t);
    }
    sec_->literals.append(text);
  }

  void push(Tok kind, char ch = 0, int width = 0) {
    Token t;
    t.kind = kind;
    t.ch = ch;
    t.width = static_cast<std::uint8_t>(width);
    sec_->tokens.push_back(t);
  }

  std::size_t run(char letter) const {
    std::size_t n = 0;
    while (i_ + n < s_.size() && lower(s_[i_ + n]) == letter) ++n;
    return n;
  }

  bool step() {
    char c = s_[i_];
    switch (c) {
      case '"': {
        std::size_t close = s_.find('"', i_ + 1);
        if (close == std::string_view::npos) close = s_.size();
        literal(s_.substr(i_ + 1, close - i_ - 1));
        i_ = close + 1;
        return true;
      }
      case '\\':
        if (i_ + 1 < s_.size()) {
          std::size_t end = charEnd(s_, i_ + 1);
          literal(s_.substr(i_ + 1, end - i_ - 1));
          i_ = end;
        } else {
          ++i_;
        }
        return true;
      case '_':
        literal(" ");
        i_ = i_ + 1 < s_.size() ? charEnd(s_, i_ + 1) : i_ + 1;
        return true;
      case '*':
        i_ = i_ + 1 < s_.size() ? charEnd(s_, i_ + 1) : i_ + 1;
        return true;
      case '[':
        return bracket();
      case '@':
        push(Tok::Text);
        sec_->hasText = true;
        ++i_;
        return true;
      default:
        break;
    }
    if (startsWithNoCase(s_, i_, "general")) {
      push(Tok::General);
      i_ += 7;
      return true;
    }
    if (date_ ? dateToken() : numberToken()) return true;
    std::size_t end = charEnd(s_, i_);
    literal(s_.substr(i_, end - i_));
    i_ = end;
    return true;
  }

  bool bracket() {
    std::size_t close = s_.find(']', i_ + 1);
    if (close == std::string_view::npos) return false;
    std::string_view inner = s_.substr(i_ + 1, close - i_ - 1);
    i_ = close + 1;
    if (inner.empty()) return false;
    if (inner[0] == '$') {
      // [$text-lcid]: only the currency text shows.
      std::size_t dash = inner.find('-', 1);
      literal(inner.substr(1, (dash == std::string_view::npos ? inner.size() : dash) - 1));
      return true;
    }
    if (inner[0] == '<' || inner[0] == '>' || inner[0] == '=') return condition(inner);
    if (date_ && isElapsedBracket(inner)) {
      char c = lower(inner[0]);
      Tok kind = c == 'h'   ? Tok::ElapsedHours
                 : c == 'm' ? Tok::ElapsedMinutes
                            : Tok::ElapsedSeconds;
      push(kind, c, static_cast<int>(std::min<std::size_t>(inner.size(), 255)));
      return true;
    }
    return true;  // colours, [DBNum1], locale switches: no text of their own
  }

  bool condition(std::string_view inner) {
    std::size_t n = 1;
    CondOp op;
    if (inner.substr(0, 2) == "<=") {
      op = CondOp::Le, n = 2;
    } else if (inner.substr(0, 2) == ">=") {
      op = CondOp::Ge, n = 2;
    } else if (inner.substr(0, 2) == "<>") {
      op = CondOp::Ne, n = 2;
    } else {
      op = inner[0] == '<' ? CondOp::Lt : inner[0] == '>' ? CondOp::Gt : CondOp::Eq;
    }
    std::string_view number = inner.substr(n);
    while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double limit = 0;
    auto r = std::from_chars(number.data(), number.data() + number.size(), limit);
    if (r.ec != std::errc() || r.ptr != number.data() + number.size()) return false;
    sec_->op = op;
    sec_->limit = limit;
    return true;
  }

  bool lastIsDigit() const {
    return !sec_->tokens.empty() && sec_->tokens.back().kind == Tok::Digit;
  }
  bool anyDigit() const {
    return std::any_of(sec_->tokens.begin(), sec_->tokens.end(),
                       [](const Token& t) { return t.kind == Tok::Digit; });
  }
  static bool isPlaceholder(char c) { return c == '0' || c == '#' || c == '?'; }

  bool numberToken() {
    char c = s_[i_];
    if (isPlaceholder(c)) {
      push(Tok::Digit, c);
      ++i_;
      return true;
    }
    if (c == '.' && !seenPoint_ && !seenExponent_ && !seenSlash_) {
      seenPoint_ = true;
      push(Tok::Point);
      ++i_;
      return true;
    }
    if (c == ',') {
      std::size_t n = 0;
      while (i_ + n < s_.size() && s_[i_ + n] == ',') ++n;
      bool afterDigit =
          lastIsDigit() || (!sec_->tokens.empty() && sec_->tokens.back().kind == Tok::Point);
      bool beforeDigit = i_ + n < s_.size() && isPlaceholder(s_[i_ + n]);
      if (afterDigit && beforeDigit && !seenPoint_) {
        sec_->thousands = true;
      } else if (afterDigit && !beforeDigit) {
        sec_->decimalShift -= 3 * static_cast<int>(n);
      } else {
        literal(s_.substr(i_, n));
      }
      i_ += n;
      return true;
    }
    if (c == '%') {
      sec_->decimalShift += 2;
      literal("%");
      ++i_;
      return true;
    }
    if ((c == 'E' || c == 'e') && i_ + 1 < s_.size() && (s_[i_ + 1] == '+' || s_[i_ + 1] == '-') &&
        anyDigit() && !seenExponent_) {
      seenExponent_ = true;
      push(Tok::Exponent, s_[i_ + 1]);
      i_ += 2;
      return true;
    }
    if (c == '/' && !seenSlash_ && !seenExponent_ && anyDigit() && denominatorFollows()) {
      seenSlash_ = true;
      push(Tok::Slash);
      ++i_;
      return true;
    }
    if (c >= '1' && c <= '9' && seenSlash_ && sec_->fixedDenom == 0 && !digitAfterSlash()) {
      std::size_t end = i_;
      while (end < s_.size() && end - i_ < 9 && s_[end] >= '0' && s_[end] <= '9') ++end;
      int denom = 0;
      std::from_chars(s_.data() + i_, s_.data() + end, denom);
      sec_->fixedDenom = denom;
      Token t;
      t.kind = Tok::FixedDenom;
      t.offset = static_cast<std::uint32_t>(sec_->literals.size());
      t.length = static_cast<std::uint16_t>(end - i_);
      sec_->literals.append(s_.substr(i_, end - i_));
      sec_->tokens.push_back(t);
      i_ = end;
      return true;
    }
    return false;
  }

  // Whether a denominator (a placeholder or a fixed number) follows a '/',
  // perhaps after literals such as `=/=`.
  bool denominatorFollows() const {
    for (std::size_t j = i_ + 1; j < s_.size(); ++j) {
      char c = s_[j];
      if (isPlaceholder(c) || (c >= '1' && c <= '9')) return true;
      if (c == '"') {
        std::size_t close = s_.find('"', j + 1);
        if (close == std::string_view::npos) return false;
        j = close;
      } else if (c == '\\' || c == '_') {
        ++j;
      } else if (c == '.' || c == '/' || c == 'E' || c == 'e' || c == '[' || c == '@') {
        return false;
      }
    }
    return false;
  }

  bool digitAfterSlash() const {
    for (auto it = sec_->tokens.rbegin(); it != sec_->tokens.rend(); ++it) {
      if (it->kind == Tok::Slash) return false;
      if (it->kind == Tok::Digit) return true;
    }
    return false;
  }

  bool dateToken() {
    char c = lower(s_[i_]);
    if (startsWithNoCase(s_, i_, "am/pm")) {
      push(Tok::AmPm);
      sec_->hour12 = true;
      i_ += 5;
      return true;
    }
    if (startsWithNoCase(s_, i_, "a/p")) {
      push(Tok::AP, s_[i_]);
      sec_->hour12 = true;
      i_ += 3;
      return true;
    }
    std::size_t n = run(c);
    switch (c) {
      case 'y':
        push(n <= 2 ? Tok::Year2 : Tok::Year4);
        break;
      case 'e':
        push(Tok::Year4);
        break;
      case 'b':
        if (n == 1 && i_ + 1 < s_.size() && (s_[i_ + 1] == '1' || s_[i_ + 1] == '2')) {
          i_ += 2;  // calendar switch B1/B2: the Gregorian calendar is shown
          return true;
        }
        push(n <= 2 ? Tok::BuddhistYear2 : Tok::BuddhistYear4);
        break;
      case 'g':
        break;  // era names belong to Japanese calendars
      case 'm':
        push(n == 1   ? Tok::Month
             : n == 2 ? Tok::Month2
             : n == 3 ? Tok::MonthAbbr
             : n == 5 ? Tok::MonthLetter
                      : Tok::MonthName);
        break;
      case 'd':
        push(n == 1 ? Tok::Day : n == 2 ? Tok::Day2 : n == 3 ? Tok::DayAbbr : Tok::DayName);
        break;
      case 'h':
        push(n == 1 ? Tok::Hour : Tok::Hour2);
        break;
      case 's':
        push(n == 1 ? Tok::Second : Tok::Second2);
        break;
      case '.': {
        std::size_t zeros = 0;
        while (i_ + 1 + zeros < s_.size() && s_[i_ + 1 + zeros] == '0') ++zeros;
        if (zeros == 0) return false;
        int width = static_cast<int>(std::min<std::size_t>(zeros, kMaxSubSecondDigits));
        push(Tok::SubSecond, 0, width);
        sec_->subSecondDigits = std::max(sec_->subSecondDigits, width);
        i_ += 1 + zeros;
        return true;
      }
      default:
        return false;
    }
    i_ += n;
    return true;
  }

  static bool isDateTime(Tok k) { return k >= Tok::Year2 && k <= Tok::AP; }

  // `m` and `mm` are minutes right after an hour or right before seconds.
  void resolveMinutes() {
    auto& toks = sec_->tokens;
    for (std::size_t i = 0; i < toks.size(); ++i) {
      if (toks[i].kind != Tok::Month && toks[i].kind != Tok::Month2) continue;
      bool minute = false;
      for (std::size_t j = i; j-- > 0;) {
        if (!isDateTime(toks[j].kind)) continue;
        Tok k = toks[j].kind;
        minute = k == Tok::Hour || k == Tok::Hour2 || k == Tok::ElapsedHours;
        break;
      }
      for (std::size_t j = i + 1; !minute && j < toks.size(); ++j) {
        if (!isDateTime(toks[j].kind)) continue;
        Tok k = toks[j].kind;
        minute = k == Tok::Second || k == Tok::Second2 || k == Tok::ElapsedSeconds;
        break;
      }
      if (minute) toks[i].kind = toks[i].kind == Tok::Month ? Tok::Minute : Tok::Minute2;
    }
  }

  // An elapsed hour, minute or second count, perhaps with minutes, seconds
  // and fractions after it, and literals: no date, hour of the day or AM/PM.
  bool elapsedOnly() const {
    bool elapsed = false;
    for (const Token& t : sec_->tokens) {
      switch (t.kind) {
        case Tok::ElapsedHours:
        case Tok::ElapsedMinutes:
        case Tok::ElapsedSeconds:
          elapsed = true;
          break;
        case Tok::Literal:
        case Tok::Minute:
        case Tok::Minute2:
        case Tok::Second:
        case Tok::Second2:
        case Tok::SubSecond:
          break;
        default:
          return false;
      }
    }
    return elapsed;
  }

  // Assigns each digit placeholder its role (kept in `width`) and counts them.
  void analyse() {
    Section& s = *sec_;
    auto& toks = s.tokens;
    if (date_) {
      s.kind = SectionKind::Date;
      s.elapsedOnly = elapsedOnly();
      return;
    }
    bool digits = anyDigit();
    bool general = std::any_of(toks.begin(), toks.end(),
                               [](const Token& t) { return t.kind == Tok::General; });
    if (!digits) {
      s.kind = general        ? SectionKind::General
               : toks.empty() ? SectionKind::Empty
                              : SectionKind::Literal;
      return;
    }
    if (seenSlash_) {
      s.kind = SectionKind::Fraction;
      std::size_t slash = 0;
      while (toks[slash].kind != Tok::Slash) ++slash;
      // The numerator: the last run of placeholders before the bar.
      std::size_t numEnd = slash;
      while (numEnd > 0 && toks[numEnd - 1].kind != Tok::Digit) --numEnd;
      std::size_t numStart = numEnd;
      while (numStart > 0 && toks[numStart - 1].kind == Tok::Digit) --numStart;
      std::size_t intEnd = numStart;  // one past the whole part's last placeholder
      while (intEnd > 0 && toks[intEnd - 1].kind != Tok::Digit) --intEnd;
      std::size_t denomEnd = toks.size();
      while (denomEnd > slash && toks[denomEnd - 1].kind != Tok::Digit &&
             toks[denomEnd - 1].kind != Tok::FixedDenom)
        --denomEnd;
      for (std::size_t i = 0; i < toks.size(); ++i) {
        Token& t = toks[i];
        if (t.kind == Tok::Literal) {
          // Literals between the whole part and the numerator, and inside the
          // fraction, vanish or turn to spaces with the fraction.
          if (intEnd > 0 && i >= intEnd && i < numStart) t.ch = kLiteralSeparator;
          if (i > numStart && i < denomEnd) t.ch = kLiteralFraction;
          continue;
        }
        if (t.kind != Tok::Digit) continue;
        s.fractionQuestion = s.fractionQuestion || t.ch == '?';
        if (i < numStart) {
          t.width = kRoleInteger, ++s.intDigits;
          s.lastIntPlaceholder = t.ch;
        } else if (i < slash) {
          t.width = kRoleNumerator, ++s.numDigits;
          s.numeratorZero = s.numeratorZero || t.ch == '0';
          s.numeratorQuestion = s.numeratorQuestion || t.ch == '?';
        } else {
          t.width = kRoleDenominator, ++s.denomDigits;
          if (t.ch == '0') ++s.denomZeros;
          if (t.ch == '?') ++s.denomQuestions;
        }
      }
      s.mixed = s.intDigits > 0;
      return;
    }
    s.kind = seenExponent_ ? SectionKind::Exponent : SectionKind::Number;
    bool afterPoint = false, afterE = false, hash = false;
    for (Token& t : toks) {
      if (t.kind == Tok::Point) afterPoint = true;
      if (t.kind == Tok::Exponent) afterE = true;
      if (t.kind != Tok::Digit) continue;
      if (afterE) {
        t.width = kRoleExponent, ++s.expDigits;
      } else if (afterPoint) {
        t.width = kRoleDecimal, ++s.fracDigits;
      } else {
        t.width = kRoleInteger, ++s.intDigits;
        hash = hash || t.ch == '#';
      }
    }
    s.engineering = seenExponent_ && hash && s.intDigits > 1;
  }

  std::string_view s_;
  bool date_;
  Section* sec_ = nullptr;
  std::size_t i_ = 0;
  bool seenPoint_ = false, seenExponent_ = false, seenSlash_ = false;
};

}  // namespace

bool parseSection(std::string_view text, bool date, Section& out) {
  return SectionParser(text, date).parse(out);
}

}  // namespace quorvel::spreadsheet::numfmt
