#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

namespace {

// Placeholder until the full format engine lands: every number as General,
// text as stored.
class GeneralFormat final : public NumberFormat {
 public:
  void appendNumber(double value, bool, std::string& out) const override {
    appendGeneral(value, out);
  }
  void appendText(std::string_view text, std::string& out) const override { out += text; }
};

}  // namespace

std::unique_ptr<NumberFormat> NumberFormat::compile(std::string_view) {
  return std::make_unique<GeneralFormat>();
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
      return {};
  }
}

}  // namespace quorvel::spreadsheet
