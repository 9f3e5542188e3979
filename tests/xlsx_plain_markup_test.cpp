// The worksheet cursor reads cells and rows written the usual way by short
// paths of its own. Whatever it meets there, it must read exactly what its
// general path reads from the same markup (which a second space after a
// tag's name sends that way): the same cells, or the same error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

using test::XlsxBuilder;

// Every field of every cell of the first sheet of a workbook whose sheet
// data is `rows`, or the error reading it gave.
std::string readAll(const std::string& rows) {
  std::string strings;
  for (int i = 0; i < 20; ++i) strings += "<si><t>s" + std::to_string(i) + "</t></si>";
  test::TempDir dir;
  std::string path = dir.file("book.xlsx");
  XlsxBuilder()
      .worksheetXml("S", "<worksheet><sheetFormatPr defaultRowHeight=\"15\"/><sheetData>" + rows +
                             "</sheetData></worksheet>")
      .sharedStrings(strings)
      .styles("<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"2\"/></cellXfs>")
      .write(path);
  std::string out;
  try {
    auto reader = openWorkbookReader(path, {});
    auto cursor = reader->openWorksheet(0);
    Cell c;
    auto span = [](const LineSpan& s) {
      return s.empty() ? std::string("-") : std::to_string(s.first) + ":" + std::to_string(s.last);
    };
    while (cursor->next(c)) {
      char number[40];
      std::snprintf(number, sizeof number, "%.17g", c.number);
      out += std::to_string(c.row) + ',' + std::to_string(c.col) + " k" +
             std::to_string(static_cast<int>(c.kind)) + " s" + std::to_string(c.style) + ' ' +
             number + " [" + std::string(c.text) + "] [" + std::string(c.generalText) + "]\n";
    }
    out += "rows " + span(cursor->formattedLines().rows);
  } catch (const FormatError& e) {
    out += std::string("error: ") + e.what();
  }
  return out;
}

// `rows` with a second space after the name of each tag named `tag`, which
// no short path takes.
std::string theGeneralWay(std::string rows, const std::string& tag) {
  const std::string start = "<" + tag + " ";
  for (std::size_t at = rows.find(start); at != std::string::npos; at = rows.find(start, at + 1))
    rows.insert(at + start.size(), 1, ' ');
  return rows;
}

void expectReadAlike(const std::string& rows, const std::string& tag) {
  std::string general = readAll(theGeneralWay(rows, tag));
  EXPECT_EQ(readAll(rows), general) << rows;
  EXPECT_EQ(general.find("cannot be read"), std::string::npos) << general;
}

TEST(XlsxPlainMarkup, ValuesReadAsTheGeneralPathReadsThem) {
  // Runs of digits of every length around a word, followed by the value's
  // end or by what is not a digit; white space; what no number is.
  const std::vector<std::string> numbers = {"7",
                                            "12",
                                            "123",
                                            "1234",
                                            "12345",
                                            "123456",
                                            "1234567",
                                            "12345678",
                                            "123456789",
                                            "123456789012345",
                                            "1234567a",
                                            "12345678a",
                                            "123456789a",
                                            "1.2345678",
                                            "1.234567x",
                                            "0.00001",
                                            "-0",
                                            "-12.5",
                                            "12.",
                                            ".5",
                                            "-",
                                            "",
                                            " ",
                                            " 12",
                                            "12 ",
                                            "\t1.5\n",
                                            " -3.25 ",
                                            "+3",
                                            " +3 ",
                                            "1e5",
                                            "1E-3",
                                            "12345678901234567890",
                                            "9007199254740993",
                                            "0.1234567890123456",
                                            "99999999.99999999",
                                            "1 2",
                                            "inf",
                                            "nan",
                                            "0x10",
                                            "1,5"};
  std::string rows = "<row r=\"1\">";
  for (const std::string& v : numbers)
    rows += "<c r=\"A1\"><v>" + v + "</v></c><c r=\"B1\" s=\"1\"><v>" + v + "</v></c>";
  rows += "</row>";
  // Each cell alone as well: a bad value ends the reading of the rest.
  for (const std::string& v : numbers)
    expectReadAlike("<row r=\"1\"><c r=\"A1\"><v>" + v + "</v></c></row>", "c");
  expectReadAlike(rows, "c");

  for (const char* t : {"s", "b", "e", "d"})
    for (const char* v : {"1", "0", " 1 ", "\t0", "true", "false", "12", " 7", "007", "", " ", "x",
                          "1a", "1.5", "-1", "12345678", "123456789", "99999999999", "2024-02-29"})
      expectReadAlike(
          std::string("<row r=\"1\"><c r=\"A1\" t=\"") + t + "\"><v>" + v + "</v></c></row>", "c");
}

// Both paths share what follows; white space around a value is no part of it.
TEST(XlsxPlainMarkup, ValuesAreTrimmedOfWhiteSpace) {
  EXPECT_EQ(readAll("<row r=\"1\"><c r=\"A1\"><v> 12 </v></c><c r=\"B1\"><v>\t-1.5\n</v></c>"
                    "<c r=\"C1\" t=\"s\"><v> 3</v></c><c r=\"D1\" t=\"b\"><v>1 </v></c>"
                    "<c r=\"E1\"><v> </v></c><c r=\"F1\" t=\"s\"><v> </v></c></row>"),
            "0,0 k1 s0 12 [] [12]\n"
            "0,1 k1 s0 -1.5 [] [-1.5]\n"
            "0,2 k2 s0 0 [s3] []\n"
            "0,3 k3 s0 1 [] []\n"
            "0,4 k0 s0 0 [] []\n"
            "0,5 k0 s0 0 [] []\n"
            "rows -");
}

TEST(XlsxPlainMarkup, CellAttributesReadAsTheGeneralPathReadsThem) {
  const std::vector<std::string> attributes = {"r=\"B3\"",
                                               "r=\"XFD3\"",
                                               "r=\"XFE3\"",
                                               "r=\"AAAA3\"",
                                               "r=\"B2\"",
                                               "r=\"B03\"",
                                               "r=\"b3\"",
                                               "r=\"$B$3\"",
                                               "r=\"3\"",
                                               "r=\"B\"",
                                               "r=\"\"",
                                               "r=\"B3 \"",
                                               "r=\"B1048577\"",
                                               "r=\"B3\" r=\"C3\"",
                                               "s=\"1\"",
                                               "s=\"0001\"",
                                               "s=\"123456789\"",
                                               "s=\"1234567890\"",
                                               "s=\"9999999999\"",
                                               "s=\" 1\"",
                                               "s=\"\"",
                                               "s=\"x\"",
                                               "s=\"1\" s=\"0\"",
                                               "t=\"n\"",
                                               "t=\"str\"",
                                               "t=\"inlineStr\"",
                                               "t=\"x\"",
                                               "t=\"\"",
                                               "t=\"s\" t=\"n\"",
                                               "x=\"1\"",
                                               "rr=\"1\"",
                                               "x:r=\"C3\"",
                                               "xmlns:x=\"u\"",
                                               "spans=\"1:2\"",
                                               "r=\"B3\"/x",
                                               "r=\"B3\" /=\"1\"",
                                               "r=\"B3\" =\"1\"",
                                               "r=\"B3\"s=\"1\"",
                                               "r=\"B3\" s=1",
                                               "r=\"C3\" s=\"1\" t=\"b\"",
                                               "t=\"b\" s=\"1\" r=\"C3\""};
  for (const std::string& a : attributes) {
    expectReadAlike("<row r=\"3\"><c " + a + "><v>1</v></c><c " + a + "/></row>", "c");
    expectReadAlike("<row r=\"3\"><c " + a + "></c><c><v>2</v></c></row>", "c");
  }
}

TEST(XlsxPlainMarkup, RowNumbersReadAsTheGeneralPathReadsThem) {
  const std::vector<std::string> attributes = {"r=\"7\"",
                                               "r=\"1234567\"",
                                               "r=\"1048576\"",
                                               "r=\"1048577\"",
                                               "r=\"12345678\"",
                                               "r=\"0\"",
                                               "r=\"007\"",
                                               "r=\" 7\"",
                                               "r=\"7 \"",
                                               "r=\"\"",
                                               "r=\"x\"",
                                               "r=\"7\" r=\"8\"",
                                               "spans=\"1:3\" r=\"7\"",
                                               "r=\"7\" spans=\"1:3\"",
                                               "r=\"7\" x14ac:dyDescent=\"0.25\"",
                                               "x:r=\"8\"",
                                               "r=\"7\" x:r=\"8\"",
                                               "r=\"7\" ht=\"30\"",
                                               "r=\"7\" hidden=\"1\"",
                                               "r=\"7\" xmlns:x=\"u\"",
                                               "spans=\"1:3\""};
  for (const std::string& a : attributes) {
    // Cells with references in the row's number, in another, and without.
    const std::string cells =
        "<c r=\"B7\"><v>1</v></c><c r=\"C8\"><v>2</v></c><c r=\"D77\"><v>3</v></c><c><v>4</v></c>";
    expectReadAlike("<row " + a + ">" + cells + "</row><row>" + cells + "</row>", "row");
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet
