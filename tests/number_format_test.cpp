// The hard cases of number formatting, one group per behaviour.
#include <gtest/gtest.h>

#include "engine/spreadsheet/numfmt/cell_formatter.h"
#include "engine/spreadsheet/numfmt/number_format.h"

namespace quorvel::spreadsheet {
namespace {

std::string fmt(std::string_view code, double v, bool date1904 = false) {
  std::string out;
  NumberFormat::compile(code)->appendNumber(v, date1904, out);
  return out;
}

std::string text(std::string_view code, std::string_view t) {
  std::string out;
  NumberFormat::compile(code)->appendText(t, out);
  return out;
}

std::string general(double v) {
  std::string out;
  appendGeneral(v, out);
  return out;
}

// Serial of 2023-03-15 in the 1900 system.
constexpr double kMarch15 = 45000;

TEST(GeneralFormat, FifteenDigitsPlainBetweenTheBounds) {
  EXPECT_EQ(general(123456789012), "123456789012");
  EXPECT_EQ(general(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(general(0.1 + 0.2), "0.3");
  EXPECT_EQ(general(1e-9), "0.000000001");
  EXPECT_EQ(general(1e-10), "1E-10");
  EXPECT_EQ(general(123456789012345678901.0), "1.23456789012346E+20");
  EXPECT_EQ(general(1e15), "1E+15");
  EXPECT_EQ(general(999999999999999.9), "1E+15");  // rounds up past the bound
  EXPECT_EQ(general(-1234567.891), "-1234567.891");
  EXPECT_EQ(general(2.675), "2.675");
  EXPECT_EQ(general(9.999999999999995), "10");  // the 15-digit tie rounds up
  EXPECT_EQ(general(123456789.123456789), "123456789.123457");
  EXPECT_EQ(general(1.7976931348623157e308), "1.79769313486232E+308");
  EXPECT_EQ(general(2.5e-300), "2.5E-300");
}

TEST(GeneralFormat, NegativeZeroIsZero) {
  EXPECT_EQ(general(-0.0), "0");
  EXPECT_EQ(fmt("0.00", -0.0), "0.00");
  EXPECT_EQ(fmt("0;(0);\"zero\"", -0.0), "zero");
  // A negative value that shows as zero loses its sign (Excel's export of
  // poi__47813.xlsx: -1.8E-16 as 0.000 is "0.000").
  EXPECT_EQ(fmt("0.000", -0.0001), "0.000");
  EXPECT_EQ(fmt("0.00E+00", -0.0), "0.00E+00");
  EXPECT_EQ(fmt("# ?/?", -0.01), "-0    ");         // fractions keep it
  EXPECT_EQ(fmt("0.00;(0.00)", -0.004), "(0.00)");  // the section is chosen by the value
}

TEST(DecimalRounding, HalfAwayFromZeroOnFifteenDigits) {
  EXPECT_EQ(fmt("0.00", 1.005), "1.01");
  EXPECT_EQ(fmt("0.00", 652.685), "652.69");
  EXPECT_EQ(fmt("0.00", 10.155), "10.16");
  EXPECT_EQ(fmt("0", 2.5), "3");
  EXPECT_EQ(fmt("0", -2.5), "-3");
  EXPECT_EQ(fmt("0.00", 0.125), "0.13");
  EXPECT_EQ(fmt("0.0", 0.04), "0.0");
  EXPECT_EQ(fmt("#,##0.00", 999999.995), "1,000,000.00");
  EXPECT_EQ(fmt("0", 1e20), "100000000000000000000");
}

TEST(Sections, SignRulesAndEmptySections) {
  EXPECT_EQ(fmt("0.00;(0.00);\"zero\"", -1.5), "(1.50)");
  EXPECT_EQ(fmt("0.00;(0.00);\"zero\"", 0), "zero");
  EXPECT_EQ(fmt("0.00;(0.00)", 0), "0.00");
  EXPECT_EQ(fmt("0;", -1), "");
  EXPECT_EQ(fmt(";;", 5), "");
  EXPECT_EQ(fmt("0", -7), "-7");
  EXPECT_EQ(fmt("\"Rs.\"#,##0.00", -5), "-Rs.5.00");
}

TEST(Sections, ConditionsChooseTheSection) {
  const char* phone = "[<=9999999]###-####;(###) ###-####";
  EXPECT_EQ(fmt(phone, 8675309), "867-5309");
  EXPECT_EQ(fmt(phone, 2813308004), "(281) 330-8004");
  const char* graded = "[>=100]0.0;[<0]\"neg \"0;\"small \"0";
  EXPECT_EQ(fmt(graded, 150), "150.0");
  EXPECT_EQ(fmt(graded, -5), "neg 5");  // a condition on negatives drops the sign
  EXPECT_EQ(fmt(graded, 5), "small 5");
  EXPECT_EQ(fmt("[=1]\"one\";0", 1), "one");
  EXPECT_EQ(fmt("[=1]\"one\";0", 2), "2");
  EXPECT_EQ(fmt("[=1]\"one\";0", -2), "-2");
  EXPECT_EQ(fmt("[>=0]0;0", -2), "2");  // the rest is all negative: a negative section
  // As Excel exported sheetjs__NumberFormatCondition.xlsb.
  const char* colours = "[Red][<-25]General;[Blue][>25]General;[Green]General;[Yellow]General\\ ";
  EXPECT_EQ(fmt(colours, -26), "26");
  EXPECT_EQ(fmt(colours, -25), "-25");
  EXPECT_EQ(fmt(colours, 26), "26");
  EXPECT_EQ(text(colours, "foo"), "foo ");
}

TEST(Digits, ScalingCommasPercentAndThousands) {
  EXPECT_EQ(fmt("#,##0.0,,\"M\"", 123456789), "123.5M");
  EXPECT_EQ(fmt("0,", 1500), "2");
  EXPECT_EQ(fmt("#,##0,", 999499), "999");
  EXPECT_EQ(fmt("0.0%", 0.1234), "12.3%");
  EXPECT_EQ(fmt("#,##0", 1234567.4), "1,234,567");
  EXPECT_EQ(fmt("#,##0", 0), "0");
  EXPECT_EQ(fmt("#,###", 0), "");
  EXPECT_EQ(fmt("00,000.00", 12), "00,012.00");
  EXPECT_EQ(fmt("?,?????????", -1234567), "-    1,234,567");  // as Excel's TEXT() gives it
}

TEST(Digits, PlaceholdersLiteralsAndEscapes) {
  EXPECT_EQ(fmt("000-00-0000", 123456789), "123-45-6789");
  EXPECT_EQ(fmt("0.##", 1), "1.");
  EXPECT_EQ(fmt("?.??", 1.5), "1.5 ");
  EXPECT_EQ(fmt("_(0_)", 3), " 3 ");
  EXPECT_EQ(fmt("**0", 3), "3");
  EXPECT_EQ(fmt("\\a0", 3), "a3");
  EXPECT_EQ(fmt("[$\xE2\x82\xAC-2] #,##0.00", 3.14159), "\xE2\x82\xAC 3.14");
  EXPECT_EQ(fmt("[$-409]0.0", 2), "2.0");
  EXPECT_EQ(fmt("[Red]0.0", 2), "2.0");
}

TEST(Scientific, ExponentsAndEngineeringGroups) {
  EXPECT_EQ(fmt("0.00E+00", 12345), "1.23E+04");
  EXPECT_EQ(fmt("0.00E+00", 0.00012345), "1.23E-04");
  EXPECT_EQ(fmt("0.00E-00", 12345), "1.23E04");
  EXPECT_EQ(fmt("0.0E+0", 9.96), "1.0E+1");  // rounding carries into the exponent
  EXPECT_EQ(fmt("##0.0E+0", 12345), "12.3E+3");
  EXPECT_EQ(fmt("##0.0E+0", 0.000123457), "123.5E-6");
  EXPECT_EQ(fmt("0.00E+00", 0), "0.00E+00");
}

TEST(Fractions, ApproximationAndFixedDenominators) {
  EXPECT_EQ(fmt("# ?/?", 0.3), " 2/7");  // the application's continued fraction in doubles
  EXPECT_EQ(fmt("# ?\?/?\?", 0.91), " 81/89");
  EXPECT_EQ(fmt("# ?/?", 3.5), "3 1/2");
  EXPECT_EQ(fmt("# ?/?", -0.5), "- 1/2");
  EXPECT_EQ(fmt("# ?/?", 0), "0    ");
  EXPECT_EQ(fmt("# ?/?", 1.999), "2    ");
  EXPECT_EQ(fmt("# ?/4", 3.75), "3 3/4");
  EXPECT_EQ(fmt("# ?\?/16", 2.9), "2 14/16");  // fixed denominators are not reduced
  EXPECT_EQ(fmt("# ?/10", 1.04), "1     ");
  EXPECT_EQ(fmt("?/?", 2.5), "5/2");
  EXPECT_EQ(fmt("?\?/?\?", 12.3456789), "1000/81");
  EXPECT_EQ(fmt("# ?\?/?\?", 1.2), "1  1/5 ");
}

TEST(Fractions, LiteralsAroundTheParts) {
  // As Excel's TEXT() gives them in poi__NumberFormatTests.xlsx.
  EXPECT_EQ(fmt("|#\\:#/#|", 23.75), "|23:3/4|");
  EXPECT_EQ(fmt("|#\\:#/#|", 0.75), "|3/4|");  // the separator goes with an empty whole part
  EXPECT_EQ(fmt("|#\\:#/#|", 0), "|0|");
  EXPECT_EQ(fmt("|#\\:#=/=?|", 1), "|1      |");
  EXPECT_EQ(fmt("|?\\:0=/=#|", 0), "|0:0=/=1|");  // a '0' numerator shows 0/1
  EXPECT_EQ(fmt("|#\\:? ?0#/000", 23.75), "|2:3  03/004");
  EXPECT_EQ(fmt("|#_#/#|", 3.75), "|15 /4|");
}

TEST(Dates, TheLeapDayOf1900AndBothSystems) {
  EXPECT_EQ(fmt("m/d/yyyy", 0), "1/0/1900");
  EXPECT_EQ(fmt("m/d/yyyy", 1), "1/1/1900");
  EXPECT_EQ(fmt("m/d/yyyy", 59), "2/28/1900");
  EXPECT_EQ(fmt("m/d/yyyy", 60), "2/29/1900");
  EXPECT_EQ(fmt("m/d/yyyy", 61), "3/1/1900");
  EXPECT_EQ(fmt("dddd", 61), "Thursday");
  EXPECT_EQ(fmt("m/d/yyyy", kMarch15), "3/15/2023");
  EXPECT_EQ(fmt("m/d/yyyy", 0, true), "1/1/1904");
  EXPECT_EQ(fmt("m/d/yyyy", kMarch15 - 1462, true), "3/15/2023");
  EXPECT_EQ(fmt("dddd d mmmm yy", kMarch15), "Wednesday 15 March 23");
  EXPECT_EQ(fmt("ddd mmm mmmmm", kMarch15), "Wed Mar M");
  // The system long date is the en-US one, whatever the code after it says.
  EXPECT_EQ(fmt("[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", 1), "Sunday, January 1, 1900");
}

TEST(Dates, MonthOrMinute) {
  double t = kMarch15 + (13 * 3600 + 5 * 60 + 9) / 86400.0;
  EXPECT_EQ(fmt("yyyy-mm-dd hh:mm:ss", t), "2023-03-15 13:05:09");
  EXPECT_EQ(fmt("h:mm", t), "13:05");
  EXPECT_EQ(fmt("mm:ss", t), "05:09");
  EXPECT_EQ(fmt("m/d", t), "3/15");
  EXPECT_EQ(fmt("h:mm AM/PM", t), "1:05 PM");
  EXPECT_EQ(fmt("h:mm AM/PM", kMarch15), "12:00 AM");
  EXPECT_EQ(fmt("h a/p", t), "1 p");
}

TEST(Dates, RoundingCarriesFromSecondsToDays) {
  double last = kMarch15 + 86399.9995 / 86400;  // 23:59:59.9995
  EXPECT_EQ(fmt("m/d/yyyy h:mm:ss", last), "3/16/2023 0:00:00");
  EXPECT_EQ(fmt("h:mm:ss.000", last), "0:00:00.000");
  EXPECT_EQ(fmt("h:mm:ss.00", kMarch15 + 86399.994 / 86400), "23:59:59.99");
  EXPECT_EQ(fmt("h:mm:ss", kMarch15 + 59.4 / 86400), "0:00:59");
  EXPECT_EQ(fmt("h:mm", kMarch15 + 59.6 / 86400), "0:01");
}

TEST(Dates, ElapsedTimeBeyondADay) {
  EXPECT_EQ(fmt("[h]:mm:ss", 1.5), "36:00:00");
  EXPECT_EQ(fmt("[mm]:ss", 2.75), "3960:00");
  EXPECT_EQ(fmt("[s]", 0.5), "43200");
  EXPECT_EQ(fmt("[h]:mm", 100.25), "2406:00");
}

TEST(Dates, ValuesNoDateCanShowAreWrittenInGeneral) {
  EXPECT_EQ(fmt("m/d/yyyy", -1), "-1");
  EXPECT_EQ(fmt("h:mm", -0.5), "-0.5");
  EXPECT_EQ(fmt("[h]:mm", 2958466), "2958466");  // elapsed times end with the dates
  EXPECT_EQ(fmt("[h]:mm", -2958466), "-2958466");
  EXPECT_EQ(fmt("m/d/yyyy", 2958465.5), "12/31/9999");
  EXPECT_EQ(fmt("m/d/yyyy", 2958466), "2958466");
  EXPECT_EQ(fmt("m/d/yyyy", 2957004, true), "2957004");
}

TEST(Dates, NegativeElapsedTimesShowASignAndTheAmount) {
  EXPECT_EQ(fmt("[h]", -1.2), "-28");
  EXPECT_EQ(fmt("[h]", -12.34), "-296");
  EXPECT_EQ(fmt("[hh]", -0.05), "-01");
  EXPECT_EQ(fmt("[h]:mm:ss", -1.5), "-36:00:00");
  EXPECT_EQ(fmt("[mm]:ss", -2.75), "-3960:00");
  EXPECT_EQ(fmt("[s]", -0.5), "-43200");
  EXPECT_EQ(fmt("[s].00", -0.125 / 86400), "-0.13");
  EXPECT_EQ(fmt("[h]\\ \"h\"", -1.2), "-28 h");    // literals around the amount
  EXPECT_EQ(fmt("[h]:mm", -1.2, true), "-28:48");  // the same in either date system
  EXPECT_EQ(fmt(builtinFormatCode(46), -12345.6789), "-296296:17:37");
}

TEST(Dates, NegativeElapsedTimesRoundAtTheShownPrecision) {
  EXPECT_EQ(fmt("[h]:mm:ss", -3599.4 / 86400), "-0:59:59");
  EXPECT_EQ(fmt("[h]:mm:ss", -3599.6 / 86400), "-1:00:00");  // seconds carry into hours
  EXPECT_EQ(fmt("[m]:ss.00", -59.996 / 86400), "-1:00.00");
  // An amount that shows as zero has no sign, as with numbers.
  EXPECT_EQ(fmt("[h]:mm", -1e-9), "0:00");
  EXPECT_EQ(fmt("[h]", -0.01), "0");
  EXPECT_EQ(fmt("[h]:mm", -0.01), "-0:14");
  EXPECT_EQ(fmt("[s].000", -0.0004 / 86400), "0.000");
}

TEST(Dates, NegativeValuesUnderOtherTimeTokensStayInGeneral) {
  EXPECT_EQ(fmt("[h]:mm AM/PM", -0.5), "-0.5");
  EXPECT_EQ(fmt("[h]:mm a/p", -0.5), "-0.5");
  EXPECT_EQ(fmt("h:mm:ss", -0.5), "-0.5");
  EXPECT_EQ(fmt("mm:ss.0", -0.5), "-0.5");  // minutes of the hour, not elapsed
  EXPECT_EQ(fmt("[h] d", -1.2), "-1.2");
  EXPECT_EQ(fmt("[s]:mm", -0.5), "-0.5");  // mm after seconds is the month
  EXPECT_EQ(fmt("d/m/yyyy [h]", -1.2), "-1.2");
}

TEST(Dates, ElapsedSectionsTakingNegativesShowTheAmountWithTheirOwnSign) {
  EXPECT_EQ(fmt("[h]:mm;\"minus \"[h]:mm", -0.5), "minus 12:00");
  EXPECT_EQ(fmt("[h]:mm;[h]:mm", -0.5), "12:00");
  EXPECT_EQ(fmt("[h]:mm;h:mm", -0.5), "-0.5");  // a time of day still cannot
  EXPECT_EQ(fmt("[<0]\"late \"[m];[m]", -0.5), "late 720");
}

TEST(TextSection, AppliesToTextOnly) {
  const char* four = "0;-0;0;\"<\"@\">\"";
  EXPECT_EQ(text(four, "ab"), "<ab>");
  EXPECT_EQ(fmt(four, 3), "3");
  EXPECT_EQ(text("0.00;-0.00", "ab"), "ab");
  EXPECT_EQ(text("\"x\";\"y\";\"z\";\"t\"", "ab"), "t");
  EXPECT_EQ(text("@\" kg\"", "5"), "5 kg");
  EXPECT_EQ(fmt("@", 12.5), "12.5");  // a number under a text format shows in General
  EXPECT_EQ(text("0;@_)", "ab"), "ab ");
}

std::string boolean(std::string_view code, bool v) {
  std::string out;
  NumberFormat::compile(code)->appendBoolean(v, out);
  return out;
}

TEST(TextSection, BooleansShowThroughAFourthSectionOnly) {
  EXPECT_EQ(boolean(builtinFormatCode(44), false), " FALSE ");
  EXPECT_EQ(boolean(builtinFormatCode(41), true), " TRUE ");
  EXPECT_EQ(boolean("0;-0;0;\"[\"@\"]\"", true), "[TRUE]");
  EXPECT_EQ(boolean("0;-0;0;\"text\"", true), "text");
  EXPECT_EQ(boolean("0;-0;0;", false), "");  // an empty text section hides text
  // Fewer sections: a text section shows text, booleans keep their words.
  EXPECT_EQ(boolean("0;\"[\"@\"]\"", true), "TRUE");
  EXPECT_EQ(boolean("\"<\"@\">\"", false), "FALSE");
  EXPECT_EQ(boolean("0.00", true), "TRUE");
  EXPECT_EQ(boolean("General", false), "FALSE");
  EXPECT_EQ(boolean("0;0;0;0;0", true), "TRUE");  // malformed: General
}

TEST(BuiltinIds, EnUsCodesAndCjkFallbacks) {
  EXPECT_EQ(fmt(builtinFormatCode(14), kMarch15 + 0.75), "3/15/2023");
  EXPECT_EQ(fmt(builtinFormatCode(22), kMarch15 + 0.75), "3/15/2023 18:00");
  EXPECT_EQ(fmt(builtinFormatCode(47), 12345.67876), "17:24.9");
  EXPECT_EQ(fmt(builtinFormatCode(5), -1234.5), "($1,235)");
  EXPECT_EQ(fmt(builtinFormatCode(7), 1234.5), "$1,234.50 ");
  EXPECT_EQ(fmt(builtinFormatCode(44), 0), " $-   ");
  EXPECT_EQ(fmt(builtinFormatCode(37), 1234), "1,234 ");
  EXPECT_EQ(builtinFormatCode(27), builtinFormatCode(14));
  EXPECT_EQ(builtinFormatCode(32), builtinFormatCode(21));
  EXPECT_EQ(builtinFormatCode(24), "General");
  EXPECT_EQ(builtinFormatCode(79), builtinFormatCode(45));
  EXPECT_TRUE(builtinFormatCode(164).empty());
}

TEST(Compile, MalformedCodesFormatAsGeneral) {
  for (const char* code : {"[Red", "0;0;0;0;0", "[<abc]0"}) {
    auto f = NumberFormat::compile(code);
    EXPECT_FALSE(f->understood()) << code;
    std::string out;
    f->appendNumber(1.5, false, out);
    EXPECT_EQ(out, "1.5") << code;
  }
  EXPECT_TRUE(NumberFormat::compile("m/d/yyyy")->showsDate());
  EXPECT_FALSE(NumberFormat::compile("[Red]0.00")->showsDate());
}

TEST(CellFormatter, FormatsThroughStylesAndTheDateSystem) {
  CellFormatter f;
  f.defineFormat(164, "0.0\" kg\"");
  f.setStyleFormats({0, 14, 164, 49});
  std::string out;
  f.appendNumber(0, 2.25, out);
  f.appendNumber(1, 61, out);
  f.appendNumber(2, 2.25, out);
  f.appendNumber(9, 2.25, out);  // a style the workbook does not define: General
  EXPECT_EQ(out, "2.253/1/19002.3 kg2.25");
  out.clear();
  f.setDate1904(true);
  f.appendNumber(1, 0, out);
  f.appendText(3, "abc", out);
  EXPECT_EQ(out, "1/1/1904abc");
  f.defineFormat(165, "0;0;0;@\"!\"");
  f.setStyleFormats({0, 14, 164, 49, 165});
  out.clear();
  f.appendBoolean(4, true, out);
  f.appendBoolean(3, false, out);
  EXPECT_EQ(out, "TRUE!FALSE");
  f.defineFormat(164, "0");  // redefined: the cached compilation is dropped
  out.clear();
  f.appendNumber(2, 2.25, out);
  EXPECT_EQ(out, "2");
}

}  // namespace
}  // namespace quorvel::spreadsheet
