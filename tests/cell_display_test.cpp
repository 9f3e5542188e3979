// One worksheet saved as .xlsx, .xlsb and .xls and converted by the
// component: the display rules that hang on a cell's type and its format
// (booleans under a text section, negative elapsed times) hold in every reader.
#include <gtest/gtest.h>

#include "engine/spreadsheet/automation.h"
#include "tests/support/biff_writer.h"
#include "tests/support/test_support.h"
#include "tests/support/xlsb_writer.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

const std::string kAccounting = R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))";

// Cell styles by index, and the format each one uses.
struct Format {
  std::uint16_t id;
  std::string code;  // empty for built-in ids
};
const std::vector<Format> kStyles = {
    {0, ""},  {44, kAccounting},        {165, "0;@"}, {166, "[h]"}, {46, ""},
    {20, ""}, {167, "0;0;0;\"yes, \"@"}};

struct Value {
  enum Kind { Boolean, Number, Text } kind;
  double number = 0;
  std::string text;
  std::uint16_t style = 0;
};
Value boolean(bool v, std::uint16_t style) {
  return {Value::Boolean, v ? 1.0 : 0.0, "", style};
}
Value number(double v, std::uint16_t style) {
  return {Value::Number, v, "", style};
}
Value text(std::string v, std::uint16_t style) {
  return {Value::Text, 0, std::move(v), style};
}

const std::vector<std::vector<Value>> kRows = {
    {boolean(false, 1), boolean(true, 2), boolean(true, 0), boolean(true, 6), text("ab", 1)},
    {number(-1.2, 3), number(-12.34, 3), number(-0.5, 4), number(-0.5, 5), number(1.5, 4)}};

const std::string kExpected =
    " FALSE \tTRUE\tTRUE\t\"yes, TRUE\"\t ab \r\n"
    "-28\t-296\t-12:00:00\t-0.5\t36:00:00\r\n";

std::string escapeXml(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"')
      out += "&quot;";
    else if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else
      out += c;
  }
  return out;
}

void writeXlsx(const std::string& path) {
  std::string numFmts, xfs, data;
  for (const Format& f : kStyles) {
    if (!f.code.empty())
      numFmts += "<numFmt numFmtId=\"" + std::to_string(f.id) + "\" formatCode=\"" +
                 escapeXml(f.code) + "\"/>";
    xfs += "<xf numFmtId=\"" + std::to_string(f.id) + "\" applyNumberFormat=\"1\"/>";
  }
  for (std::size_t r = 0; r < kRows.size(); ++r) {
    data += "<row r=\"" + std::to_string(r + 1) + "\">";
    for (std::size_t c = 0; c < kRows[r].size(); ++c) {
      const Value& v = kRows[r][c];
      std::string head = "<c r=\"";
      head += static_cast<char>('A' + c);
      head += std::to_string(r + 1) + "\" s=\"" + std::to_string(v.style) + "\"";
      char num[32];
      std::snprintf(num, sizeof num, "%.17g", v.number);
      if (v.kind == Value::Boolean)
        data += head + " t=\"b\"><v>" + (v.number != 0 ? "1" : "0") + "</v></c>";
      else if (v.kind == Value::Number)
        data += head + "><v>" + num + "</v></c>";
      else
        data += head + " t=\"inlineStr\"><is><t>" + v.text + "</t></is></c>";
    }
    data += "</row>";
  }
  test::XlsxBuilder()
      .worksheet("S", data)
      .styles("<numFmts>" + numFmts + "</numFmts><cellXfs>" + xfs + "</cellXfs>")
      .write(path);
}

void writeXlsb(const std::string& path) {
  test::xlsb::WorkbookWriter w;
  std::vector<std::uint16_t> ids;
  for (const Format& f : kStyles) {
    if (!f.code.empty()) w.defineFormat(f.id, f.code);
    ids.push_back(f.id);
  }
  w.setCellStyles(ids);
  test::xlsb::SheetWriter s;
  for (std::size_t r = 0; r < kRows.size(); ++r) {
    s.row(static_cast<std::uint32_t>(r));
    for (std::size_t c = 0; c < kRows[r].size(); ++c) {
      const Value& v = kRows[r][c];
      auto col = static_cast<std::uint32_t>(c);
      if (v.kind == Value::Boolean)
        s.boolean(col, v.number != 0, v.style);
      else if (v.kind == Value::Number)
        s.number(col, v.number, v.style);
      else
        s.sharedString(col, w.addSharedString(v.text), v.style);
    }
  }
  w.addSheet({"S", 0, "worksheet", s.finish()});
  w.save(path);
}

void writeXls(const std::string& path) {
  test::WorkbookWriter w;
  std::vector<std::uint16_t> xf;
  for (const Format& f : kStyles) {
    if (!f.code.empty()) w.addFormat(f.id, f.code);
    xf.push_back(w.addXf(f.id));
  }
  std::size_t sheet = w.addSheet("S");
  for (std::size_t r = 0; r < kRows.size(); ++r) {
    for (std::size_t c = 0; c < kRows[r].size(); ++c) {
      const Value& v = kRows[r][c];
      auto row = static_cast<std::uint16_t>(r), col = static_cast<std::uint16_t>(c);
      if (v.kind == Value::Boolean)
        w.boolErr(sheet, row, col, v.number != 0, false, xf[v.style]);
      else if (v.kind == Value::Number)
        w.number(sheet, row, col, v.number, xf[v.style]);
      else
        w.labelSst(sheet, row, col, w.sharedString(v.text), xf[v.style]);
    }
  }
  test::writeFile(path, w.file());
}

std::string convert(const std::string& path, test::TempDir& dir) {
  auto app = createApplication();
  Workbook& book = app->open(path);
  std::string out = dir.file("S.txt");
  book.saveAs(out, xlCurrentPlatformText);
  book.close();
  return test::readFile(out);
}

TEST(CellDisplay, BooleansAndNegativeElapsedTimesAlikeInEveryFormat) {
  test::TempDir dir;
  writeXlsx(dir.file("book.xlsx"));
  writeXlsb(dir.file("book.xlsb"));
  writeXls(dir.file("book.xls"));
  for (const char* name : {"book.xlsx", "book.xlsb", "book.xls"})
    EXPECT_EQ(convert(dir.file(name), dir), kExpected) << name;
}

}  // namespace
}  // namespace quorvel::spreadsheet
