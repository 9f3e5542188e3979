// The .xlsx reader on small packages the tests write themselves: the sheet
// list, every cell type, references left out, strings with escapes and
// phonetic runs, date systems, unusual packages, and damage.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/numfmt/number_format.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

using test::XlsxBuilder;

std::unique_ptr<WorkbookReader> open(const XlsxBuilder& book, test::TempDir& dir) {
  std::string path = dir.file("book.xlsx");
  book.write(path);
  return openWorkbookReader(path, {});
}

// The cells of a worksheet as "A1=N:1.5 B1=T:x ...": N number, T text,
// L logical, E error, B blank; "/s" and the style when it is not 0.
std::string dump(WorkbookReader& reader, std::size_t sheet = 0) {
  auto cursor = reader.openWorksheet(sheet);
  std::string out;
  Cell c;
  while (cursor->next(c)) {
    if (!out.empty()) out += ' ';
    out += xlsx::columnName(c.col) + std::to_string(c.row + 1) + '=';
    char number[40];
    std::snprintf(number, sizeof number, "%.15g", c.number);
    switch (c.kind) {
      case CellKind::Blank:
        out += "B";
        break;
      case CellKind::Number:
        out += std::string("N:") + number;
        break;
      case CellKind::Text:
        out += "T:" + std::string(c.text);
        break;
      case CellKind::Boolean:
        out += std::string("L:") + number;
        break;
      case CellKind::Error:
        out += "E:" + std::string(c.text);
        break;
      case CellKind::Field:
        out += "F:" + std::string(c.text);
        break;
    }
    if (c.style) out += "/s" + std::to_string(c.style);
  }
  return out;
}

std::string dumpOf(const XlsxBuilder& book) {
  test::TempDir dir;
  auto reader = open(book, dir);
  return dump(*reader);
}

// The detail of the FormatError that reading the workbook's first sheet raises.
std::string errorOf(const XlsxBuilder& book) {
  test::TempDir dir;
  try {
    auto reader = open(book, dir);
    dump(*reader);
  } catch (const FormatError& e) {
    return e.what();
  }
  return "no error";
}

TEST(XlsxReader, ListsWorksheetsOnlyInWorkbookOrderWithTheirVisibility) {
  test::TempDir dir;
  auto reader =
      open(XlsxBuilder()
               .worksheet("First", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")
               .otherSheet("Chart1", "chartsheet")
               .worksheet("Hidden", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>", "hidden")
               .otherSheet("Dialog1", "dialogsheet")
               .otherSheet("Macro1", "xlMacrosheet")
               .worksheet("Deep", "<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>", "veryHidden"),
           dir);
  const auto& sheets = reader->worksheets();
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[0].name, "First");
  EXPECT_EQ(sheets[1].name, "Hidden");
  EXPECT_EQ(sheets[1].visibility, SheetVisibility::Hidden);
  EXPECT_EQ(sheets[2].name, "Deep");
  EXPECT_EQ(sheets[2].visibility, SheetVisibility::VeryHidden);
  // Each index reaches its own part, not the n-th sheet of any kind.
  EXPECT_EQ(dump(*reader, 1), "A1=N:2");
  EXPECT_EQ(dump(*reader, 2), "A1=N:3");
}

TEST(XlsxReader, ReadsEveryCellType) {
  std::string cells =
      "<row r=\"2\">"
      "<c r=\"B2\"><v>1.5</v></c>"
      "<c r=\"C2\" t=\"n\"><v>-2E-3</v></c>"
      "<c r=\"D2\" t=\"s\"><v>1</v></c>"
      "<c r=\"E2\" t=\"str\"><f>A1&amp;\"x\"</f><v>a &lt;b&gt; &amp; c</v></c>"
      "<c r=\"F2\" t=\"inlineStr\"><is><t>inline</t></is></c>"
      "<c r=\"G2\" t=\"b\"><v>1</v></c>"
      "<c r=\"H2\" t=\"b\"><v>0</v></c>"
      "<c r=\"I2\" t=\"e\"><v>#DIV/0!</v></c>"
      "<c r=\"J2\" t=\"d\"><v>2023-03-15T18:00:00Z</v></c>"
      "<c r=\"K2\" s=\"3\"/>"
      "<c r=\"L2\"><f>NOW()</f></c>"
      "<c r=\"M2\" t=\"str\" s=\"2\"><f>A1</f><v></v></c>"
      "</row>";
  EXPECT_EQ(dumpOf(XlsxBuilder()
                       .worksheet("S", cells)
                       .sharedStrings("<si><t>zero</t></si><si><t>one</t></si>")),
            "B2=N:1.5 C2=N:-0.002 D2=T:one E2=T:a <b> & c F2=T:inline G2=L:1 H2=L:0 "
            "I2=E:#DIV/0! J2=N:45000.75 K2=B/s3 L2=B M2=T:/s2");
}

TEST(XlsxReader, CellsAndRowsWithoutReferencesCountOnFromTheOneBefore) {
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet(
                "S",
                "<row><c><v>1</v></c><c><v>2</v></c></row>"                   // row 1: A, B
                "<row r=\"4\"><c r=\"C4\"><v>3</v></c><c><v>4</v></c></row>"  // D4 follows C4
                "<row><c><v>5</v></c></row>")),                               // row 5
            "A1=N:1 B1=N:2 C4=N:3 D4=N:4 A5=N:5");
}

// A cell's reference is matched against its row's number first; one that
// names another row, a row number that only starts alike, the last row,
// lower case, and references past the sheet must still read as written.
TEST(XlsxReader, CellReferencesAreTheirOwnWhateverRowTheyLieIn) {
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet(
                "S",
                "<row r=\"1\"><c r=\"A12\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>"
                "<row r=\"12\"><c r=\"C1\"><v>3</v></c><c r=\"D120\"><v>4</v></c>"
                "<c r=\"e12\"><v>5</v></c></row>"
                "<row r=\"1048576\"><c r=\"XFD1048576\" s=\"0\" t=\"n\"><v>6</v></c></row>")),
            "A12=N:1 B1=N:2 C1=N:3 D120=N:4 E12=N:5 XFD1048576=N:6");
  EXPECT_EQ(
      errorOf(XlsxBuilder().worksheet("S", "<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>")),
      "the cell A1048577 lies past the worksheet's last row (1048576)");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheet("S", "<row r=\"2\"><c r=\"XFE2\"><v>1</v></c></row>")),
            "the cell XFE2 lies past the worksheet's last column (XFD)");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheet("S", "<row r=\"2\"><c r=\"2\"><v>1</v></c></row>")),
            "the cell reference '2' is not a cell reference");
}

TEST(XlsxReader, SharedStringsJoinRunsDropPhoneticsAndDecodeEscapes) {
  std::string items =
      "<si><r><rPr><b/></rPr><t>Bold</t></r><r><t xml:space=\"preserve\"> and plain</t></r></si>"
      "<si><t>\xe6\x9d\xb1\xe4\xba\xac</t><rPh sb=\"0\" "
      "eb=\"2\"><t>\xe3\x83\x88\xe3\x82\xa6</t></rPh>"
      "<phoneticPr fontId=\"1\"/></si>"
      "<si><t>tab_x0009_cr_x000D_under_x005F_x0041_</t></si>"
      "<si><t>_xD83C__xDF63_ sushi, _xD800_ lone, _x12G4_ not hex</t></si>"
      "<si/>"
      "<si><t>&#x1F600;&#65;&quot;&apos;</t></si>";
  std::string cells;
  for (int i = 0; i < 6; ++i) cells += "<c t=\"s\"><v>" + std::to_string(i) + "</v></c>";
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet("S", "<row>" + cells + "</row>").sharedStrings(items)),
            "A1=T:Bold and plain B1=T:\xe6\x9d\xb1\xe4\xba\xac C1=T:tab\tcr\runder_x0041_ "
            "D1=T:\xf0\x9f\x8d\xa3 sushi, \xef\xbf\xbd lone, _x12G4_ not hex E1=T: "
            "F1=T:\xf0\x9f\x98\x80"
            "A\"'");
}

TEST(XlsxReader, InlineStringsAreRichTextWithoutPhoneticRuns) {
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet(
                "S",
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><r><t>ab</t></r><r><t>c_x000A_d</t>"
                "</r><rPh><t>x</t></rPh></is></c>"
                "<c r=\"B1\" t=\"inlineStr\"><is><t/></is></c></row>")),
            "A1=T:abc\nd B1=T:");
}

TEST(XlsxReader, DatesFollowTheWorkbooksDateSystem) {
  std::string cells =
      "<row r=\"1\"><c r=\"A1\" t=\"d\"><v>1904-01-02</v></c>"
      "<c r=\"B1\" t=\"d\"><v>12:00:00</v></c><c r=\"C1\"><v>5</v></c></row>";
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet("S", cells).date1904()), "A1=N:1 B1=N:0.5 C1=N:5");
  EXPECT_EQ(dumpOf(XlsxBuilder().worksheet("S", cells)), "A1=N:1463 B1=N:0.5 C1=N:5");
  test::TempDir dir;
  EXPECT_TRUE(open(XlsxBuilder().worksheet("S", cells).date1904(), dir)->formatter().date1904());
}

TEST(XlsxReader, StrictPackagesWithPrefixedNamesReadLikeTransitionalOnes) {
  EXPECT_EQ(dumpOf(XlsxBuilder()
                       .strict()
                       .date1904()
                       .worksheet("S",
                                  "<x:row r=\"1\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c>"
                                  "<x:c r=\"B1\" t=\"d\"><x:v>1904-01-03</x:v></x:c></x:row>")
                       .sharedStrings("<x:si><x:t>strict</x:t></x:si>")
                       .otherSheet("Chart", "chartsheet")),
            "A1=T:strict B1=N:2");
}

TEST(XlsxReader, CellStylesGiveTheNumberFormatOfEachStyle) {
  test::TempDir dir;
  auto reader = open(
      XlsxBuilder()
          .worksheet("S", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>")
          .styles("<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0&quot;x&quot;\"/>"
                  "</numFmts><cellStyleXfs><xf numFmtId=\"3\"/></cellStyleXfs>"
                  "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\" applyNumberFormat=\"1\"/>"
                  "<xf numFmtId=\"14\"/></cellXfs>"
                  "<dxfs><dxf><numFmt numFmtId=\"165\" formatCode=\"0\"/></dxf></dxfs>"),
      dir);
  const CellFormatter& f = reader->formatter();
  EXPECT_EQ(f.formatIdOf(0), 0u);
  EXPECT_EQ(f.formatIdOf(1), 164u);
  EXPECT_EQ(f.formatIdOf(2), 14u);
  EXPECT_EQ(f.formatIdOf(3), 0u);  // past the table: General
}

TEST(XlsxReader, PartNamesDifferingInCaseOrUsingBackslashesAreFound) {
  EXPECT_EQ(dumpOf(XlsxBuilder()
                       .worksheet("S", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")
                       .sharedStrings("<si><t>found</t></si>")
                       .renameEntry("xl/worksheets/sheet1.xml", "XL\\Worksheets\\Sheet1.XML")
                       .renameEntry("xl/sharedStrings.xml", "xl/SHAREDSTRINGS.xml")
                       .renameEntry("xl/_rels/workbook.xml.rels", "xl\\_rels\\Workbook.xml.rels")),
            "A1=T:found");
}

TEST(XlsxReader, MissingRelationshipsFallBackToTheUsualPartNames) {
  XlsxBuilder book;
  book.worksheet("S", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")
      .sharedStrings("<si><t>usual</t></si>")
      .dropPart("_rels/.rels")
      .dropPart("xl/_rels/workbook.xml.rels");
  test::TempDir dir;
  auto reader = open(book, dir);
  ASSERT_EQ(reader->worksheets().size(), 1u);
  EXPECT_EQ(dump(*reader), "A1=T:usual");
}

TEST(XlsxReader, DamageIsReportedInPlainWords) {
  auto sheet = [](const std::string& cells) {
    return XlsxBuilder().worksheet("S", cells).sharedStrings("<si><t>a</t></si><si><t>b</t></si>");
  };
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>12</v></c></row>")),
            "the shared-string index 12 is past the table's 2 strings");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")),
            "the cell XFE1 lies past the worksheet's last column (XFD)");
  EXPECT_EQ(errorOf(sheet("<row r=\"1048577\"><c><v>1</v></c></row>")),
            "row 1048577 lies past the worksheet's last row (1048576)");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>")),
            "the cell A1048577 lies past the worksheet's last row (1048576)");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>")),
            "the cell reference '1A' is not a cell reference");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"B1\"><v>12abc</v></c></row>")),
            "the cell B1 holds '12abc', which is not a number");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"C3\" t=\"d\"><v>2023-02-30</v></c></row>")),
            "the cell C3 holds '2023-02-30', which is not a date");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheetXml(
                "S", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c>")),
            "the part xl/worksheets/sheet1.xml ends before its cell data does");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheetXml(
                "S", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B")),
            "the part xl/worksheets/sheet1.xml ends in the middle of a tag");
  EXPECT_EQ(errorOf(sheet("<row r=\"1\"><c r=\"A1\"><v>&bomb;</v></c></row>")),
            "the part xl/worksheets/sheet1.xml refers to the undefined entity '&bomb;'");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheet("S", "").sharedStrings("").replacePart(
                "xl/sharedStrings.xml",
                "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaa\">]>"
                "<sst><si><t>&a;</t></si></sst>")),
            "the part xl/sharedStrings.xml declares a document type, which a workbook never does");
  EXPECT_EQ(
      errorOf(XlsxBuilder().worksheet("S", "").dropPart("xl/workbook.xml").dropPart("_rels/.rels")),
      "no workbook part in the package");
  EXPECT_EQ(errorOf(XlsxBuilder().worksheet("S", "").dropPart("xl/worksheets/sheet1.xml")),
            "the worksheet 'S' has no part in the package (xl/worksheets/sheet1.xml)");
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

// The reader hands the writer a number's own text when General would show
// exactly that text; it must never hand over a text General would change.
TEST(XlsxReader, NumbersPassTheirTextToTheWriterOnlyWhenGeneralShowsItUnchanged) {
  std::vector<std::string> values = {"0",
                                     "-0",
                                     "12",
                                     "007",
                                     "1.5",
                                     "1.50",
                                     "-2.25",
                                     "1.",
                                     "1E3",
                                     "0.000000001",
                                     "0.0000000001",
                                     "123456789012345",
                                     "1234567890123456",
                                     "0.1234567890123456",
                                     "99999999999999.9",
                                     "-0.5",
                                     "+3",
                                     "9007199254740992",
                                     "9007199254740993",
                                     "-0.9007199254740993",
                                     "1234567890123456789",
                                     "12345678901234567890",
                                     "0.00000000000000000001"};
  std::uint64_t seed = 12345;
  for (int i = 0; i < 400; ++i) {  // decimals of every length up to 19 digits and scale
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    std::string digits =
        (std::to_string(seed >> 20) + std::to_string(seed >> 34)).substr(0, 1 + (seed >> 8) % 19);
    std::size_t point = (seed >> 40) % (digits.size() + 1);
    std::string v = seed & 1 ? "-" : "";
    v.append(point == 0 ? std::string("0") : digits.substr(0, point));
    if (point < digits.size()) v.append(".").append(digits, point);
    values.push_back(v);
  }
  std::string row = "<row r=\"1\">";
  for (const std::string& v : values)
    row += "<c><v>" + v + "</v></c><c s=\"1\"><v>" + v + "</v></c>";
  test::TempDir dir;
  auto reader = open(XlsxBuilder()
                         .worksheet("S", row + "</row>")
                         .styles("<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"2\"/></cellXfs>"),
                     dir);
  auto cursor = reader->openWorksheet(0);
  Cell c;
  std::size_t passed = 0;
  for (std::size_t i = 0; cursor->next(c); ++i) {
    const std::string& v = values[i / 2];
    ASSERT_EQ(c.kind, CellKind::Number) << v;
    EXPECT_EQ(c.number, std::strtod(v.c_str(), nullptr)) << v;
    if (c.style == 1) {
      EXPECT_TRUE(c.generalText.empty()) << v;
    } else if (!c.generalText.empty()) {
      std::string general;
      appendGeneral(c.number, general);
      EXPECT_EQ(c.generalText, general) << v;
      ++passed;
    }
  }
  EXPECT_GT(passed, values.size() / 2);  // the common case does take the short way
  for (const char* v : {"1.5", "12", "0", "-0.5", "0.000000001"}) {
    test::TempDir d;
    auto r =
        open(XlsxBuilder().worksheet("S", std::string("<row><c><v>") + v + "</v></c></row>"), d);
    auto cur = r->openWorksheet(0);
    ASSERT_TRUE(cur->next(c));
    EXPECT_EQ(c.generalText, v);
  }
}

TEST(XlsxReader, AWorkbookRedefiningFormatZeroGetsNoGeneralShortcut) {
  test::TempDir dir;
  auto reader = open(XlsxBuilder()
                         .worksheet("S", "<row><c><v>1.5</v></c><c s=\"7\"><v>2</v></c></row>")
                         .styles("<numFmts><numFmt numFmtId=\"0\" formatCode=\"0.00\"/></numFmts>"
                                 "<cellXfs><xf numFmtId=\"0\"/></cellXfs>"),
                     dir);
  auto cursor = reader->openWorksheet(0);
  Cell c;
  ASSERT_TRUE(cursor->next(c));
  EXPECT_TRUE(c.generalText.empty());
  ASSERT_TRUE(cursor->next(c));
  EXPECT_TRUE(c.generalText.empty());
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

TEST(XlsxReader, TheRecordedDimensionIsOfferedAsAHintOnly) {
  auto rangeOf = [](const std::string& dimension) {
    test::TempDir dir;
    auto reader = open(
        XlsxBuilder().worksheetXml("S", "<worksheet>" + dimension +
                                            "<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row>"
                                            "</sheetData></worksheet>"),
        dir);
    auto cursor = reader->openWorksheet(0);
    Cell c;
    EXPECT_TRUE(cursor->next(c));
    return cursor->storedRange();
  };
  EXPECT_EQ(rangeOf("<dimension ref=\"B2:D5\"/>"), (CellRange{1, 1, 4, 3}));
  EXPECT_EQ(rangeOf("<dimension ref=\"C3\"/>"), (CellRange{2, 2, 2, 2}));
  EXPECT_EQ(rangeOf("<dimension ref=\"D5:B2\"/>"), (CellRange{1, 1, 4, 3}));
  EXPECT_FALSE(rangeOf("<dimension ref=\"nonsense\"/>").has_value());
  EXPECT_FALSE(rangeOf("").has_value());
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

// Damaged sheets of every length and with bytes overwritten either read or
// fail with a FormatError: never anything else, and never a crash.
TEST(XlsxReader, TruncatedAndGarbledSheetsFailCleanly) {
  const std::string sheet =
      "<?xml version=\"1.0\"?><worksheet xmlns=\"urn:x\"><dimension ref=\"A1:C3\"/><sheetData>"
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r='B1' t=\"inlineStr\"><is><r><t>a&amp;b"
      "</t></r><rPh><t>x</t></rPh></is></c><!-- note --><c r=\"C1\" t=\"d\"><v>2020-01-02</v></c>"
      "</row><row><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/A</v></c><c t=\"str\"><f>A1</f>"
      "<v><![CDATA[x<y]]></v></c></row><row r=\"3\"><c r=\"C3\" s=\"1\"><v>-1.5E-3</v></c>"
      "</row></sheetData></worksheet>";
  auto attempt = [](const std::string& xml) {
    test::TempDir dir;
    try {
      auto reader =
          open(XlsxBuilder().worksheetXml("S", xml).sharedStrings("<si><t>s</t></si>"), dir);
      dump(*reader);
    } catch (const FormatError&) {
    }
  };
  for (std::size_t cut = 0; cut < sheet.size(); ++cut)
    ASSERT_NO_THROW(attempt(sheet.substr(0, cut))) << cut;
  std::uint32_t seed = 7;
  for (int i = 0; i < 300; ++i) {
    std::string garbled = sheet;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      garbled[(seed >> 8) % garbled.size()] = "<>&\"'/=;#x0 \x80"[(seed >> 20) % 14];
    }
    ASSERT_NO_THROW(attempt(garbled)) << garbled;
  }
}

// A table past a core's cache is fetched ahead of the cells that use it;
// the hints must change nothing, whether a string is in memory or in the
// table's file, and whatever look-alike text lies ahead.
TEST(XlsxReader, LargeSharedStringTablesReadTheSameInMemoryAndSpilled) {
  const int kStrings = 40000;  // about 1.4 MB with their ends
  std::string items;
  auto text = [](int i) { return "string number " + std::to_string(i) + " of the table"; };
  for (int i = 0; i < kStrings; ++i) items += "<si><t>" + text(i) + "</t></si>";
  std::string cells, expected;
  for (int r = 1; r <= 3000; ++r) {
    std::string row = std::to_string(r);
    int a = (r * 7919) % kStrings, b = (r * 104729 + 1) % kStrings;
    cells += "<row r=\"" + row + "\"><c r=\"A" + row + "\" t=\"s\"><v>" + std::to_string(a) +
             "</v></c><!-- t=\"s\"><v>99999999</v> --><c r=\"B" + row +
             "\" t=\"s\" s=\"0\"><f>X</f><v>" + std::to_string(b) + "</v></c><c r=\"C" + row +
             "\" t=\"s\"><v>" + std::to_string(kStrings - 1) + "</v></c></row>";
    expected += (r > 1 ? " A" : "A") + row + "=T:" + text(a) + " B" + row + "=T:" + text(b) + " C" +
                row + "=T:" + text(kStrings - 1);
  }
  auto book = XlsxBuilder().worksheet("S", cells).sharedStrings(items);
  EXPECT_TRUE(dumpOf(book) == expected);  // too long to print
  std::size_t saved = StringTable::defaultMemoryLimit();
  StringTable::setDefaultMemoryLimit(std::size_t(256) << 10);  // most of it in the file
  std::string spilled = dumpOf(book);
  StringTable::setDefaultMemoryLimit(saved);
  EXPECT_TRUE(spilled == expected);
}

}  // namespace
}  // namespace quorvel::spreadsheet
