// SpreadsheetML value notations: `_xHHHH_` escapes, A1 references and the
// ISO 8601 dates of `t="d"` cells.
#include "engine/spreadsheet/xlsx/ooxml_values.h"

#include <gtest/gtest.h>

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet::xlsx {
namespace {

std::string unescaped(std::string_view in) {
  std::string out;
  appendUnescaped(in, out);
  return out;
}

TEST(OoxmlValues, EscapesDecodeToUtf8) {
  EXPECT_EQ(unescaped("a_x000D__x000A_b"), "a\r\nb");
  EXPECT_EQ(unescaped("_x005F_x000D_"), "_x000D_");  // an escaped underscore
  EXPECT_EQ(unescaped("_xd83d__xDE00_!"), "\xf0\x9f\x98\x80!");
  EXPECT_EQ(unescaped("_xDE00_ _xD83D_x"), "\xef\xbf\xbd \xef\xbf\xbdx");
  EXPECT_EQ(unescaped("_x00E9_t_x00e9_"), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(unescaped("__x41_ _x004 _x0041"), "__x41_ _x004 _x0041");
}

TEST(OoxmlValues, CellReferencesWithinTheWorksheetLimits) {
  CellReference a1 = parseCellReference("A1");
  EXPECT_EQ(a1.row, 0u);
  EXPECT_EQ(a1.col, 0u);
  CellReference last = parseCellReference("XFD1048576");
  EXPECT_EQ(last.row, 1048575u);
  EXPECT_EQ(last.col, 16383u);
  EXPECT_EQ(parseCellReference("ab12").col, 27u);
  for (const char* bad : {"XFE1", "A1048577", "A0", "12", "A", "A1:B2", "", "AAAAAAAAAAA1"})
    EXPECT_THROW(parseCellReference(bad), FormatError) << bad;
  EXPECT_EQ(columnName(0), "A");
  EXPECT_EQ(columnName(25), "Z");
  EXPECT_EQ(columnName(26), "AA");
  EXPECT_EQ(columnName(16383), "XFD");
}

TEST(OoxmlValues, IsoDatesBecomeSerialNumbersOfEitherDateSystem) {
  EXPECT_EQ(isoDateToSerial("1900-01-01", false), 1.0);
  EXPECT_EQ(isoDateToSerial("1900-02-28", false), 59.0);
  EXPECT_EQ(isoDateToSerial("1900-03-01", false), 61.0);  // 60 is the phantom 1900-02-29
  EXPECT_EQ(isoDateToSerial("2023-03-15T18:00:00", false), 45000.75);
  EXPECT_EQ(isoDateToSerial("2023-03-15T18:00:00.5Z", false), 45000.75 + 0.5 / 86400);
  EXPECT_EQ(isoDateToSerial("2023-03-15T06:00+02:00", false), 45000.25);
  EXPECT_EQ(isoDateToSerial("1904-01-01", true), 0.0);
  EXPECT_EQ(isoDateToSerial("2023-03-15", true), 45000.0 - 1462);
  EXPECT_EQ(isoDateToSerial("06:00:00", false), 0.25);
  EXPECT_EQ(isoDateToSerial("1899-12-30", false), -1.0);
  for (const char* bad : {"", "2023-13-01", "2023-02-29", "15/03/2023", "2023-03-15X", "25:00"})
    EXPECT_FALSE(isoDateToSerial(bad, false).has_value()) << bad;
  EXPECT_TRUE(isoDateToSerial("2024-02-29", false).has_value());
}

}  // namespace
}  // namespace quorvel::spreadsheet::xlsx
