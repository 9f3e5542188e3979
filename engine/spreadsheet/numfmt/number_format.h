#pragma once
// A number format code compiled once into sections and tokens; formatting a
// value walks the compiled form and parses nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel::spreadsheet {

class NumberFormat {
 public:
  virtual ~NumberFormat() = default;
  // Never fails: a code we cannot make sense of formats as General.
  static std::unique_ptr<NumberFormat> compile(std::string_view code);

  virtual void appendNumber(double value, bool date1904, std::string& out) const = 0;
  virtual void appendText(std::string_view text, std::string& out) const = 0;
  // TRUE or FALSE, through the text section when the code has all four
  // sections (with fewer, a text section is for text only).
  virtual void appendBoolean(bool value, std::string& out) const = 0;

  // Whether the code was understood (false: it formats as General).
  virtual bool understood() const = 0;
  // Whether a number in the first section shows as a date or time.
  virtual bool showsDate() const = 0;
};

// The code the en-US application uses for a built-in format id (with the
// CJK ids mapped to their fallbacks), or an empty view for custom ids.
std::string_view builtinFormatCode(std::uint32_t id);

// The General format: up to 15 significant digits, plain between 1E-9 and
// 1E+15, scientific outside.
void appendGeneral(double value, std::string& out);

}  // namespace quorvel::spreadsheet
