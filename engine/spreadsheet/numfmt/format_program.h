#pragma once
// The compiled form of a number format code: sections of tokens, with what
// rendering needs worked out once (placeholder counts, scaling, date
// precision), so that formatting a value parses nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::spreadsheet::numfmt {

enum class Tok : std::uint8_t {
  Literal,     // text of `Section::literals` at [offset, offset + length)
  Digit,       // digit placeholder; `ch` is '0', '#' or '?'
  Point,       // the decimal point
  Exponent,    // E+ / E-; `ch` is '+' or '-'
  Slash,       // a fraction bar
  FixedDenom,  // a fixed denominator; its text is a literal range
  Text,        // @
  General,     // "General" inside a section
  Year2,
  Year4,
  BuddhistYear2,
  BuddhistYear4,
  Month,
  Month2,
  MonthAbbr,
  MonthName,
  MonthLetter,
  Day,
  Day2,
  DayAbbr,
  DayName,
  Hour,
  Hour2,
  Minute,
  Minute2,
  Second,
  Second2,
  ElapsedHours,    // [h]; `width` is the minimum digits
  ElapsedMinutes,  // [m]
  ElapsedSeconds,  // [s]
  SubSecond,       // .0 to .000; `width` digits
  AmPm,            // AM/PM; `ch` 'A' or 'a' for the case of A/P
  AP,              // A/P
};

// Where a literal of a fraction section stands, kept in `Token::ch`.
inline constexpr char kLiteralSeparator = 'S', kLiteralFraction = 'F';

// The role of a digit placeholder, kept in `Token::width`.
inline constexpr std::uint8_t kRoleInteger = 0, kRoleDecimal = 1, kRoleNumerator = 2,
                              kRoleDenominator = 3, kRoleExponent = 4;

struct Token {
  Tok kind = Tok::Literal;
  char ch = 0;
  std::uint8_t width = 0;
  std::uint16_t length = 0;
  std::uint32_t offset = 0;
};

enum class SectionKind : std::uint8_t { Empty, Literal, General, Number, Fraction, Exponent, Date };

enum class CondOp : std::uint8_t { None, Lt, Le, Gt, Ge, Eq, Ne };

// A number section of the usual shape (text, '#'s then '0's, perhaps a point
// and '0's, text), rendered without walking its tokens: most columns of
// amounts and percentages have one.
struct PlainNumber {
  bool on = false;
  bool point = false;
  int minIntDigits = 0;  // the integer part's '0' placeholders
  std::string prefix;
  char suffix[32] = {};  // copied whole
  std::uint8_t suffixLength = 0;
};

// One step of a date section of the usual parts (no fractions of a second,
// no names of months or days, short literals), as a date plan renders it:
// a part, then the literal that follows it.
struct DateStep {
  Tok kind = Tok::Literal;  // Literal: no part, only a leading literal
  std::uint8_t length = 0;  // of the literal
  char text[14] = {};       // the literal's bytes, copied whole
};

struct Section {
  SectionKind kind = SectionKind::Empty;
  std::vector<Token> tokens;
  std::string literals;
  bool hasText = false;  // holds @

  CondOp op = CondOp::None;
  double limit = 0;

  // Numbers: placeholders before and after the point, scaling.
  int intDigits = 0;
  int fracDigits = 0;
  bool thousands = false;
  int decimalShift = 0;  // +2 per %, -3 per scaling comma
  // Scientific.
  int expDigits = 0;
  bool engineering = false;
  // Fractions: placeholders of numerator and denominator, fixed denominator.
  int numDigits = 0;
  int denomDigits = 0;
  int fixedDenom = 0;
  bool mixed = false;  // a whole-number part precedes the fraction
  char lastIntPlaceholder = 0;
  bool numeratorZero = false;      // a '0' in the numerator: 0/1 shows, never blanks
  bool numeratorQuestion = false;  // a '?' in the numerator
  bool fractionQuestion = false;   // a '?' anywhere: a blank fraction leaves spaces
  int denomZeros = 0, denomQuestions = 0;
  // Dates.
  int subSecondDigits = 0;
  bool hour12 = false;
  // Only elapsed hours, minutes and seconds (and literals): such a section
  // shows a negative value as a minus sign and the elapsed amount.
  bool elapsedOnly = false;

  // Short ways for the usual sections, worked out by planSection.
  PlainNumber plain;
  std::vector<DateStep> dateSteps;

  bool matches(double v) const;
};

struct Program {
  std::vector<Section> numeric;  // the sections numbers use, in order
  bool hasTextSection = false;
  bool textIsFourth = false;  // booleans show through a fourth section only
  Section text;
  bool valid = true;
  bool date = false;  // the first section shows a date or time
};

Program compileProgram(std::string_view code);

// One section's tokens (format_parser.cpp); false when it is malformed.
bool parseSection(std::string_view text, bool date, Section& out);
// Helpers over the text of a code.
char lower(char c);
bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word);
bool isElapsedBracket(std::string_view inner);  // [h], [mm], [ss]...

// Works out the short way of rendering a parsed section, where it has one
// (planNumber in number_render.cpp, planDate in date_render.cpp).
void planNumber(Section& s);
void planDate(Section& s);

// Rendering of one section (number_render.cpp, date_render.cpp).
void renderNumber(const Section& s, double absValue, bool minus, std::string& out);
void renderFraction(const Section& s, double absValue, bool minus, std::string& out);
void renderExponent(const Section& s, double absValue, bool minus, std::string& out);
// False when the value cannot be shown as a date (negative, past 9999-12-31).
bool renderDate(const Section& s, double value, bool date1904, std::string& out);
// An elapsedOnly section; false when the amount is past 9999-12-31.
bool renderElapsed(const Section& s, double absValue, bool minus, bool date1904, std::string& out);
void renderLiterals(const Section& s, std::string_view text, std::string& out);

// The short ways alone, and the token walks alone, so that tests can hold
// one against the other. A short way returns false, having written
// nothing, where the token walk must decide.
bool renderPlainNumber(const Section& s, double absValue, bool minus, std::string& out);
void renderNumberTokens(const Section& s, double absValue, bool minus, std::string& out);
bool renderDateSteps(const Section& s, double value, bool date1904, std::string& out);
bool renderDateTokens(const Section& s, double value, bool date1904, std::string& out);

}  // namespace quorvel::spreadsheet::numfmt
