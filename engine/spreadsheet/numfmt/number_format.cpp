#include "engine/spreadsheet/numfmt/number_format.h"

#include <cmath>

#include "engine/spreadsheet/numfmt/format_program.h"

namespace quorvel::spreadsheet {

namespace {

using numfmt::CondOp;
using numfmt::Section;
using numfmt::SectionKind;
using numfmt::Tok;

// A condition every matching value of which is negative: the section shows
// the value without its minus sign, as a negative section would.
bool conditionIsNegative(const Section& s) {
  return (s.op == CondOp::Lt && s.limit <= 0) || (s.op == CondOp::Le && s.limit < 0) ||
         (s.op == CondOp::Eq && s.limit < 0);
}

// A condition that takes every value >= 0, leaving only negatives to the next section.
bool conditionTakesNonNegatives(const Section& s) {
  return (s.op == CondOp::Ge && s.limit <= 0) || (s.op == CondOp::Gt && s.limit < 0);
}

class CompiledFormat final : public NumberFormat {
 public:
  explicit CompiledFormat(numfmt::Program program) : p_(std::move(program)) {
    numbersNeedNoQuotes_ = true;
    for (const Section& s : p_.numeric) {
      conditional_ = conditional_ || s.op != CondOp::None;
      if (s.thousands ||
          s.literals.find_first_of(std::string_view("\"\t\n\r,", 5)) != std::string::npos)
        numbersNeedNoQuotes_ = false;
    }
    showsTextAsIs_ = !p_.hasTextSection;
  }

  void appendNumber(double value, bool date1904, std::string& out) const override {
    if (!std::isfinite(value)) {
      appendGeneral(value, out);
      return;
    }
    bool minus = false;
    const Section* s = choose(value, minus);
    if (!s) {
      appendGeneral(value, out);
      return;
    }
    double a = std::fabs(value);
    switch (s->kind) {
      case SectionKind::Empty:
        break;
      case SectionKind::Literal:
        numfmt::renderLiterals(*s, {}, out);
        break;
      case SectionKind::General:
        for (const auto& t : s->tokens) {
          if (t.kind == Tok::Literal) {
            out.append(s->literals, t.offset, t.length);
          } else if (t.kind == Tok::General) {
            appendGeneral(minus ? -a : a, out);
          }
        }
        break;
      case SectionKind::Number:
        numfmt::renderNumber(*s, a, minus, out);
        break;
      case SectionKind::Exponent:
        numfmt::renderExponent(*s, a, minus, out);
        break;
      case SectionKind::Fraction:
        numfmt::renderFraction(*s, a, minus, out);
        break;
      case SectionKind::Date:
        // Elapsed times have a sign; dates and times of day do not.
        if (s->elapsedOnly ? !numfmt::renderElapsed(*s, a, minus, date1904, out)
                           : !numfmt::renderDate(*s, value, date1904, out))
          appendGeneral(value, out);
        break;
    }
  }

  void appendText(std::string_view text, std::string& out) const override {
    if (p_.hasTextSection && !text.empty())
      numfmt::renderLiterals(p_.text, text, out);
    else
      out += text;
  }

  void appendBoolean(bool value, std::string& out) const override {
    std::string_view shown = value ? "TRUE" : "FALSE";
    if (p_.textIsFourth)
      numfmt::renderLiterals(p_.text, shown, out);
    else
      out += shown;
  }

  bool understood() const override { return p_.valid; }
  bool showsDate() const override { return p_.date; }
  bool showsPointInTime() const override {
    return !p_.numeric.empty() && p_.numeric[0].kind == SectionKind::Date &&
           !p_.numeric[0].elapsedOnly;
  }

 private:
  // The section a value falls in, and whether it shows a minus sign; null
  // when no section takes the value.
  const Section* choose(double v, bool& minus) const {
    const auto& n = p_.numeric;
    std::size_t count = n.size();
    if (!conditional_) {
      if (count == 1 || (v > 0) || (v == 0 && count == 2)) {
        minus = v < 0;
        return &n[0];
      }
      if (v < 0) return &n[1];
      return &n[2];
    }
    for (std::size_t i = 0; i < count && i < 2; ++i) {
      if (n[i].op != CondOp::None && n[i].matches(v)) {
        minus = v < 0 && !conditionIsNegative(n[i]);
        return &n[i];
      }
    }
    if (count >= 2 && n[1].op == CondOp::None) {
      minus = v < 0 && !conditionTakesNonNegatives(n[0]);
      return &n[1];
    }
    if (count >= 3) {
      minus = v < 0;
      return &n[2];
    }
    return nullptr;
  }

  numfmt::Program p_;
  bool conditional_ = false;
};

}  // namespace

std::unique_ptr<NumberFormat> NumberFormat::compile(std::string_view code) {
  return std::make_unique<CompiledFormat>(numfmt::compileProgram(code));
}

std::string_view builtinFormatCode(std::uint32_t id) {
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 5:
      return "\"$\"#,##0_);(\"$\"#,##0)";
    case 6:
      return "\"$\"#,##0_);[Red](\"$\"#,##0)";
    case 7:
      return "\"$\"#,##0.00_);(\"$\"#,##0.00)";
    case 8:
      return "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?\?/?\?";
    case 14:
      return "m/d/yyyy";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "m/d/yyyy h:mm";
    case 37:
      return "#,##0_);(#,##0)";
    case 38:
      return "#,##0_);[Red](#,##0)";
    case 39:
      return "#,##0.00_);(#,##0.00)";
    case 40:
      return "#,##0.00_);[Red](#,##0.00)";
    case 41:
      return "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)";
    case 42:
      return "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)";
    case 43:
      return "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)";
    case 44:
      return "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mm:ss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      break;
  }
  // CJK ids fall back to the en-US formats they stand for.
  if (id >= 23 && id <= 26) return builtinFormatCode(0);
  if ((id >= 27 && id <= 31) || id == 36) return builtinFormatCode(14);
  if (id >= 32 && id <= 35) return builtinFormatCode(21);
  if (id >= 50 && id <= 58) return builtinFormatCode(14);
  if (id >= 59 && id <= 62) return builtinFormatCode(id - 58);
  if (id >= 63 && id <= 66) return builtinFormatCode(id - 58);
  if (id >= 67 && id <= 68) return builtinFormatCode(id - 58);
  if (id >= 69 && id <= 70) return builtinFormatCode(id - 57);
  if (id >= 71 && id <= 72) return builtinFormatCode(14);
  if (id >= 73 && id <= 75) return builtinFormatCode(id - 58);
  if (id >= 76 && id <= 78) return builtinFormatCode(id - 56);
  if (id >= 79 && id <= 81) return builtinFormatCode(id - 34);
  return {};
}

}  // namespace quorvel::spreadsheet
