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
  // Whether a number shows as a point in time (a date, a time of day, or
  // both): the first section is a date section, and not an elapsed amount
  // such as [h]:mm.
  virtual bool showsPointInTime() const = 0;

  // Whether no number this code shows can hold a byte that makes a field
  // need quotes (a quote, a tab, a comma, a line end): its sections have no
  // thousands separator and no such literal. The writer then skips looking.
  bool numbersNeedNoQuotes() const { return numbersNeedNoQuotes_; }
  // Whether text shows as it is: the code has no text section.
  bool showsTextAsIs() const { return showsTextAsIs_; }

 protected:
  bool numbersNeedNoQuotes_ = false;
  bool showsTextAsIs_ = false;
};

// The code the en-US application uses for a built-in format id (with the
// CJK ids mapped to their fallbacks), or an empty view for custom ids.
std::string_view builtinFormatCode(std::uint32_t id);

// The General format: up to 15 significant digits, plain between 1E-9 and
// 1E+15, scientific outside.
void appendGeneral(double value, std::string& out);

// The shortest text that strtod reads back as the same double ("0.1",
// "1e+20", "-0").
void appendShortestNumber(double value, std::string& out);

// A serial date and time in ISO 8601, rounded to the millisecond:
// "2024-01-31" for a whole day, "2024-01-31T13:45:00" with a time of day,
// "13:45:00" for a value under one day (a time alone, in either date
// system), and ".5", ".25", ".125" after the seconds when there are
// milliseconds. False, with nothing appended, for a value that names no
// calendar day: negative, past 9999-12-31, or serial 60 of the 1900 system,
// the 1900-02-29 that the system counts and the calendar lacks.
bool appendIsoDateTime(double serial, bool date1904, std::string& out);

}  // namespace quorvel::spreadsheet
