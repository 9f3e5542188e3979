// POI's format test workbooks: on the sheet "Tests", column A holds
// =TEXT(C, B) as Excel computed it, B the format code and C the value. Each
// row is a case of Excel's own formatting; we read them straight from the
// package, so no workbook reader is involved.
//
// Skipped by rule: General values whose 15-digit text is longer than 11
// characters (text-format.md rule 8), and text under a format without a text
// section (TEXT() applies the number section; a cell shows the text, rule 14),
// booleans and errors (written by the text writer, rule 12).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "engine/spreadsheet/numfmt/number_format.h"
#include "engine/spreadsheet/package/xml_parser.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

constexpr std::size_t kPartLimit = 16u << 20;

struct CellValue {
  std::string type, text;  // type as in the cell's t attribute ("n" when absent)
};

// Shared strings, or the cells of one sheet by reference ("A2").
class Collector : public XmlHandler {
 public:
  std::vector<std::string> strings;
  std::map<std::string, CellValue> cells;
  bool date1904 = false;
  std::map<std::string, std::string> sheetIds;  // sheet name -> relationship id

  void startElement(std::string_view name, const char** attrs) override {
    name = localName(name);
    if (name == "si") {
      strings.emplace_back();
      inString_ = true;
    } else if (name == "rPh") {
      inPhonetic_ = true;
    } else if (name == "c") {
      const char* r = findAttr(attrs, "r");
      const char* t = findAttr(attrs, "t");
      ref_ = r ? r : "";
      cells[ref_] = {t ? t : "n", ""};
    } else if (name == "v" || name == "t") {
      text_ = true;
    } else if (name == "workbookPr") {
      const char* d = findAttr(attrs, "date1904");
      date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    } else if (name == "sheet") {
      const char* n = findAttr(attrs, "name");
      const char* id = findAttr(attrs, "id");
      if (n && id) sheetIds[n] = id;
    }
  }
  void endElement(std::string_view name) override {
    name = localName(name);
    if (name == "si") inString_ = false;
    if (name == "rPh") inPhonetic_ = false;
    if (name == "v" || name == "t") text_ = false;
    if (name == "c") ref_.clear();
  }
  void characters(std::string_view t) override {
    if (!text_ || inPhonetic_) return;
    if (inString_)
      strings.back() += t;
    else if (!ref_.empty())
      cells[ref_].text += t;
  }

 private:
  bool inString_ = false, inPhonetic_ = false, text_ = false;
  std::string ref_;
};

TEST(NumberFormatTables, PoiTextFunctionWorkbooks) {
  int rows = 0, matched = 0, skipped = 0;
  for (const char* name :
       {"poi__NumberFormatTests.xlsx", "poi__GeneralFormatTests.xlsx", "poi__TextFormatTests.xlsx",
        "poi__DateFormatTests.xlsx", "poi__DateFormatNumberTests.xlsx"}) {
    auto package = ZipPackage::open((test::corpusDir() / "xlsx" / name).string());
    std::string workbookPart = "xl/workbook.xml";
    Collector book;
    parseXml(package->readPart(workbookPart, kPartLimit), book, workbookPart);
    if (package->has("xl/sharedStrings.xml"))
      parseXml(package->readPart("xl/sharedStrings.xml", kPartLimit), book, "sharedStrings");
    std::string sheetPart;
    for (const auto& rel : package->relationships(workbookPart))
      if (rel.id == book.sheetIds["Tests"]) sheetPart = rel.target;
    ASSERT_FALSE(sheetPart.empty()) << name;
    Collector sheet;
    parseXml(package->readPart(sheetPart, kPartLimit), sheet, sheetPart);
    auto textOf = [&](const CellValue& c) {
      return c.type == "s" ? book.strings.at(std::stoul(c.text)) : c.text;
    };
    for (const auto& [ref, cell] : sheet.cells) {
      if (ref[0] != 'A' || ref == "A1") continue;
      std::string row = ref.substr(1);
      auto a = sheet.cells.find("A" + row), b = sheet.cells.find("B" + row),
           c = sheet.cells.find("C" + row);
      if (b == sheet.cells.end() || c == sheet.cells.end() || c->second.text.empty()) continue;
      std::string expected = textOf(a->second), code = textOf(b->second);
      auto format = NumberFormat::compile(code);
      std::string ours;
      if (c->second.type == "b" || c->second.type == "e") {
        ++skipped;  // booleans and errors are the text writer's (rule 12)
        continue;
      }
      if (c->second.type == "n") {
        double v = std::stod(c->second.text);
        std::string general;
        appendGeneral(std::fabs(v), general);
        if (code == "General" && general.size() > 11) {
          ++skipped;
          continue;
        }
        format->appendNumber(v, book.date1904, ours);
      } else {
        std::string withSection;
        format->appendText("\x01", withSection);
        if (withSection == "\x01") {  // no text section
          ++skipped;
          continue;
        }
        format->appendText(textOf(c->second), ours);
      }
      ++rows;
      if (ours == expected)
        ++matched;
      else if (std::getenv("QUORVEL_NUMFMT_VERBOSE"))
        std::printf("    %s [%s] on %s: ours \"%s\" expected \"%s\"\n", name, code.c_str(),
                    c->second.text.c_str(), ours.c_str(), expected.c_str());
    }
  }
  std::printf("numfmt %-32s matched %4d/%4d rows (skipped %d)\n", "POI TEXT() workbooks", matched,
              rows, skipped);
  EXPECT_GE(matched, 430);
}

}  // namespace
}  // namespace quorvel::spreadsheet
