#pragma once
// Turns a cell's value into the text the spreadsheet application displays,
// through the number format of the cell's style.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {

class CellFormatter {
 public:
  CellFormatter();
  ~CellFormatter();
  CellFormatter(CellFormatter&&) noexcept;
  CellFormatter& operator=(CellFormatter&&) noexcept;

  // Workbook set-up, done by the reader before the first cell.
  void setDate1904(bool on) { date1904_ = on; }
  bool date1904() const { return date1904_; }
  // A format code the workbook defines for `numFmtId` (custom ids, and the
  // locale-dependent built-in ones it stores). Throws FormatError (TooLarge)
  // past kMaxNumberFormats formats or kMaxNumberFormatBytes of codes.
  void defineFormat(std::uint32_t numFmtId, std::string code);
  // The number format id of each cell style (XF), by style index.
  void setStyleFormats(std::vector<std::uint32_t> numFmtIdByStyle);

  // Appends the displayed text of a number in `style` to `out`.
  void appendNumber(std::uint32_t style, double value, std::string& out) const {
    compiledForStyle(style).appendNumber(value, date1904_, out);
  }
  // The same; false when the text appended cannot need quotes in a field
  // (see NumberFormat::numbersNeedNoQuotes).
  bool appendNumberMayNeedQuotes(std::uint32_t style, double value, std::string& out) const {
    const NumberFormat& format = compiledForStyle(style);
    format.appendNumber(value, date1904_, out);
    return !format.numbersNeedNoQuotes();
  }
  // Whether a text cell in `style` shows its text as it is.
  bool showsTextAsIs(std::uint32_t style) const { return compiledForStyle(style).showsTextAsIs(); }
  // Appends a text cell as displayed (a format's text section applies).
  void appendText(std::uint32_t style, std::string_view text, std::string& out) const {
    compiledForStyle(style).appendText(text, out);
  }
  // Appends TRUE or FALSE as displayed (a fourth, text, section applies).
  void appendBoolean(std::uint32_t style, bool value, std::string& out) const {
    compiledForStyle(style).appendBoolean(value, out);
  }
  // Appends a number as a value rather than as displayed: in ISO 8601 when
  // the style shows a date or time of day and the value is a calendar day,
  // else in the shortest form that reads back as the same double.
  void appendRawNumber(std::uint32_t style, double value, std::string& out) const;

  // Compiles the format of every style now, and General for styles past the
  // table: the append calls then only read, and several threads may make
  // them at once (until the next defineFormat or setStyleFormats).
  void prepareAllStyles() const;

  // The number format id of a style (0, General, for an unknown style).
  std::uint32_t formatIdOf(std::uint32_t style) const;

 private:
  // Every cell comes here: the style's format when compiled, at once.
  const NumberFormat& compiledForStyle(std::uint32_t style) const {
    if (style < byStyle_.size() && byStyle_[style]) [[likely]]
      return *byStyle_[style];
    return compileForStyle(style);
  }
  const NumberFormat& compileForStyle(std::uint32_t style) const;

  bool date1904_ = false;
  std::map<std::uint32_t, std::string> codes_;
  std::size_t codeBytes_ = 0;
  std::vector<std::uint32_t> numFmtIdByStyle_;
  // Compiled lazily, once per format id used.
  mutable std::map<std::uint32_t, std::unique_ptr<NumberFormat>> compiled_;
  mutable std::vector<const NumberFormat*> byStyle_;
};

}  // namespace quorvel::spreadsheet
