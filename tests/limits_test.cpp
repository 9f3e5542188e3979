// Bounded memory for any input: a shared-string table past its memory limit
// reads back exactly through every reader, the workbook parts read before
// the first sheet refuse what no workbook holds with a clear error, and a
// package listing too many entries is refused before its directory is read.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <functional>
#include <random>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "tests/support/biff_writer.h"
#include "tests/support/test_support.h"
#include "tests/support/xlsb_writer.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

// Lowers the memory limit of the readers' string tables, and may point
// $TMPDIR elsewhere, for one test.
class TableLimit {
 public:
  explicit TableLimit(std::size_t bytes, const char* tmpdir = nullptr)
      : saved_(StringTable::defaultMemoryLimit()) {
    StringTable::setDefaultMemoryLimit(bytes);
    if (const char* t = getenv("TMPDIR")) savedTmp_ = t, hadTmp_ = true;
    if (tmpdir) setenv("TMPDIR", tmpdir, 1);
  }
  ~TableLimit() {
    StringTable::setDefaultMemoryLimit(saved_);
    hadTmp_ ? setenv("TMPDIR", savedTmp_.c_str(), 1) : unsetenv("TMPDIR");
  }

 private:
  std::size_t saved_;
  std::string savedTmp_;
  bool hadTmp_ = false;
};

// The failure of `f`, or "no error".
std::string failure(const std::function<void()>& f, ErrorCode expected = ErrorCode::TooLarge) {
  try {
    f();
  } catch (const FormatError& e) {
    EXPECT_EQ(e.code(), expected) << e.what();
    return e.what();
  }
  return "no error";
}

std::vector<std::string> textsOfSheet(const std::string& path) {
  auto book = openWorkbookReader(path, {});
  auto cursor = book->openWorksheet(0);
  std::vector<std::string> texts;
  Cell cell;
  while (cursor->next(cell)) texts.emplace_back(cell.text);
  return texts;
}

// Strings every format can hold: letters, accents and CJK, empty ones, and
// some long enough to cross the table's chunks and its file's pages.
std::vector<std::string> tableStrings() {
  std::mt19937 random(11);
  const std::vector<std::string> pieces = {"a", "Z", "7", " ", "\xC3\xA9", "\xE6\x97\xA5"};
  std::vector<std::string> out;
  for (int i = 0; i < 2500; ++i) {
    std::size_t length = i % 9 == 0 ? 0 : i % 50 == 1 ? 3000 + random() % 3000 : random() % 30;
    std::string s = std::to_string(i) + ":";
    for (std::size_t j = 0; j < length; ++j) s += pieces[random() % pieces.size()];
    out.push_back(i % 9 == 0 ? std::string() : s);
  }
  return out;
}

// The row of each string: every cell refers to a string far from the last.
std::vector<std::uint32_t> scrambled(std::size_t n) {
  std::vector<std::uint32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>((i * 997) % n);
  return order;
}

std::string xmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) out += c == ' ' ? std::string("&#32;") : std::string(1, c);
  return out;
}

TEST(Limits, SharedStringsPastTheMemoryLimitReadBackThroughEveryReader) {
  const std::vector<std::string> strings = tableStrings();
  const std::vector<std::uint32_t> order = scrambled(strings.size());
  std::vector<std::string> expected;
  for (std::uint32_t i : order) expected.push_back(strings[i]);
  test::TempDir dir;

  std::string items, cells;
  for (const std::string& s : strings) items += "<si><t>" + xmlEscaped(s) + "</t></si>";
  for (std::size_t r = 0; r < order.size(); ++r)
    cells += "<row r=\"" + std::to_string(r + 1) + "\"><c r=\"A" + std::to_string(r + 1) +
             "\" t=\"s\"><v>" + std::to_string(order[r]) + "</v></c></row>";
  const std::string xlsx = dir.file("strings.xlsx");
  test::XlsxBuilder().worksheet("S", cells).sharedStrings(items).write(xlsx);

  test::xlsb::WorkbookWriter binary;
  for (const std::string& s : strings) binary.addSharedString(s);
  test::xlsb::SheetWriter sheet;
  for (std::size_t r = 0; r < order.size(); ++r) {
    sheet.row(static_cast<std::uint32_t>(r));
    sheet.sharedString(0, order[r]);
  }
  binary.addSheet({"S", 0, "worksheet", sheet.finish()});
  const std::string xlsb = dir.file("strings.xlsb");
  binary.save(xlsb);

  test::WorkbookWriter biff;
  std::size_t s = biff.addSheet("S");
  std::vector<std::uint32_t> sst;
  for (const std::string& text : strings) sst.push_back(biff.sharedString(text));
  for (std::size_t r = 0; r < order.size(); ++r)
    biff.labelSst(s, static_cast<std::uint16_t>(r), 0, sst[order[r]]);
  const std::string xls = dir.file("strings.xls");
  test::writeFile(xls, biff.file());

  for (const std::string& path : {xlsx, xlsb, xls}) {
    SCOPED_TRACE(path);
    {
      // About 100 KB of strings in 4 KB of memory: nearly all of them spill.
      TableLimit limit(4096);
      std::vector<std::string> got = textsOfSheet(path);
      ASSERT_EQ(got.size(), expected.size());
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << i;
    }
    {
      // Spilling needs the temporary folder: without one, a clear error.
      TableLimit limit(4096, "/nonexistent/quorvel-limits");
      EXPECT_EQ(failure([&] { textsOfSheet(path); }),
                "its shared strings pass 4096 bytes and their temporary file in "
                "/nonexistent/quorvel-limits failed (cannot create a temporary file: No such "
                "file or directory)");
    }
    // The default limit holds this table in memory: no folder is needed.
    TableLimit limit(kStringTableMemoryBytes, "/nonexistent/quorvel-limits");
    EXPECT_EQ(textsOfSheet(path), expected);
  }
}

// Opens a package whose workbook part (or another part) is replaced.
std::string openFailure(const test::XlsxBuilder& book) {
  test::TempDir dir;
  const std::string path = dir.file("book.xlsx");
  book.write(path);
  return failure([&] { openWorkbookReader(path, {}); });
}

test::XlsxBuilder withWorkbookPart(const std::string& inside) {
  test::XlsxBuilder book;
  book.worksheet("S", "");
  book.replacePart(
      "xl/workbook.xml",
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
          inside + "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId10\"/></sheets></workbook>");
  return book;
}

TEST(Limits, WorkbookPartsPastTheirBoundsAreRefusedClearly) {
  auto sheetElements = [](int n, const std::string& name) {
    std::string xml;
    for (int i = 0; i < n; ++i) xml += "<sheet name=\"" + name + "\" sheetId=\"1\" r:id=\"x\"/>";
    return "<sheets>" + xml + "</sheets>";
  };
  // The sheet list: 65,535 sheets at most, names of 1,024 bytes.
  EXPECT_EQ(openFailure(withWorkbookPart(sheetElements(65535, "s"))),
            "it lists more than 65535 sheets");
  EXPECT_EQ(openFailure(withWorkbookPart(sheetElements(1, std::string(1025, 'n')))),
            "the name of sheet 1 is longer than 1024 bytes");
  EXPECT_EQ(openFailure(withWorkbookPart(sheetElements(1, std::string(1024, 'n')))), "no error");
  // A 300-byte name is kept whole (cutting it is the file names' business).
  EXPECT_EQ(openFailure(withWorkbookPart(sheetElements(1, std::string(300, 'n')))), "no error");

  // Elements nested deeper than 256, a tag or a comment past 1 MB.
  auto nested = [](int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<extLst>", close += "</extLst>";
    return open + close;
  };
  EXPECT_EQ(openFailure(withWorkbookPart(nested(255))), "no error");  // 256 with <workbook>
  EXPECT_EQ(openFailure(withWorkbookPart(nested(256))),
            "the part xl/workbook.xml nests elements more than 256 deep");
  // (The bound is checked every 64 KB of input: a tag must pass it by that.)
  const std::string big(std::size_t(2) << 20, 'x');
  EXPECT_EQ(openFailure(withWorkbookPart("<fileVersion appName=\"" + big + "\"/>")),
            "the part xl/workbook.xml has a tag or a comment longer than 1 MB");
  EXPECT_EQ(openFailure(withWorkbookPart("<!--" + big + "-->")),
            "the part xl/workbook.xml has a tag or a comment longer than 1 MB");
  // Long text is no tag: expat hands it over in pieces.
  EXPECT_EQ(openFailure(withWorkbookPart("<definedNames><definedName name=\"n\">" + big +
                                         "</definedName></definedNames>")),
            "no error");

  // Relationships: 100,000 of them, 16 MB of ids, types and targets.
  test::XlsxBuilder plain;
  plain.worksheet("S", "");
  std::string rels;
  for (const test::ZipEntry& e : plain.entries())
    if (e.name == "xl/_rels/workbook.xml.rels") rels = e.content;
  const std::size_t end = rels.rfind("</Relationships>");
  auto withRelationships = [&](int n, const std::string& target) {
    std::string more;
    for (int i = 0; i < n; ++i)
      more +=
          "<Relationship Id=\"e" + std::to_string(i) + "\" Type=\"t\" Target=\"" + target + "\"/>";
    test::XlsxBuilder book;
    book.worksheet("S", "");
    return book.replacePart("xl/_rels/workbook.xml.rels",
                            rels.substr(0, end) + more + rels.substr(end));
  };
  EXPECT_EQ(openFailure(withRelationships(99990, "t")), "no error");
  EXPECT_EQ(openFailure(withRelationships(100000, "t")),
            "the part xl/_rels/workbook.xml.rels lists more than 100000 relationships");
  EXPECT_EQ(openFailure(withRelationships(17, std::string(1000000, 't'))),
            "the relationships of the part xl/_rels/workbook.xml.rels take more than 16 MB");

  // Styles: cell styles and number formats.
  std::string xfs = "<cellXfs>", formats = "<numFmts>";
  for (std::size_t i = 0; i <= kMaxCellStyles; ++i) xfs += "<xf/>";
  for (std::size_t i = 0; i <= kMaxNumberFormats; ++i)
    formats += "<numFmt numFmtId=\"" + std::to_string(i + 200) + "\" formatCode=\"0\"/>";
  auto styled = [](const std::string& styles) {
    test::XlsxBuilder book;
    book.worksheet("S", "");
    return book.styles(styles);
  };
  EXPECT_EQ(openFailure(styled(xfs + "</cellXfs>")), "it has more than 1048576 cell styles");
  EXPECT_EQ(openFailure(styled(formats + "</numFmts>")),
            "it defines more than 65536 number formats");
}

TEST(Limits, BinaryWorkbookPartsPastTheirBoundsAreRefusedClearly) {
  test::TempDir dir;
  auto openXlsb = [&](const test::xlsb::WorkbookWriter& book) {
    book.save(dir.file("book.xlsb"));
    return failure([&] { openWorkbookReader(dir.file("book.xlsb"), {}); });
  };
  test::xlsb::SheetWriter empty;
  const std::string sheetPart = empty.finish();
  test::xlsb::WorkbookWriter longName;
  longName.addSheet({std::string(1025, 'n'), 0, "worksheet", sheetPart});
  EXPECT_EQ(openXlsb(longName), "the name of sheet 1 is longer than 1024 bytes");
  test::xlsb::WorkbookWriter many;
  for (int i = 0; i < 65536; ++i) many.addSheet({"s", 0, "worksheet", i == 0 ? sheetPart : ""});
  EXPECT_EQ(openXlsb(many), "it lists more than 65535 sheets");

  // BIFF: a number format per id, more ids than exist.
  test::WorkbookWriter biff;
  biff.addSheet("S");
  for (int i = 0; i < 65536; ++i) biff.addFormat(static_cast<std::uint16_t>(i), "0");
  biff.addFormat(0, std::string(255, '0'));  // a redefinition is no new format
  test::writeFile(dir.file("formats.xls"), biff.file());
  EXPECT_EQ(failure([&] { openWorkbookReader(dir.file("formats.xls"), {}); }), "no error");
}

// A sound package whose end records (zip64 ones added) claim `entries`.
std::string packageClaiming(const std::string& sound, std::uint64_t entries) {
  auto le = [](std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  const std::size_t at = sound.size() - 22;  // no comment
  std::string out = sound.substr(0, at);
  const std::string end = sound.substr(at);
  auto field = [&](int offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(end[offset + i]);
    return v;
  };
  const std::uint64_t end64At = out.size();
  out += "PK\x06\x06";
  le(out, 44, 8), le(out, 45, 2), le(out, 45, 2), le(out, 0, 4), le(out, 0, 4);
  le(out, entries, 8), le(out, entries, 8), le(out, field(12), 8), le(out, field(16), 8);
  out += "PK\x06\x07";
  le(out, 0, 4), le(out, end64At, 8), le(out, 1, 4);
  out += end.substr(0, 8);
  le(out, 0xFFFF, 2), le(out, 0xFFFF, 2);
  out += end.substr(12);
  return out;
}

TEST(Limits, APackageListingTooManyEntriesIsRefusedBeforeItIsRead) {
  test::TempDir dir;
  const std::string soundPath = dir.file("sound.xlsx");
  test::XlsxBuilder book;
  book.worksheet("S", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  std::vector<test::ZipEntry> entries = book.entries();
  for (int i = 0; i < 2000; ++i) entries.push_back({"extra/" + std::to_string(i), ""});
  test::writeZip(soundPath, entries);
  EXPECT_EQ(openWorkbookReader(soundPath, {})->worksheets().size(), 1u);
  const std::string sound = test::readFile(soundPath);

  const std::string many = dir.file("many.xlsx");
  test::writeFile(many, packageClaiming(sound, kMaxPackageEntries + 1));
  try {
    openWorkbookReader(many, {});
    FAIL() << "opened";
  } catch (const FormatError& e) {
    EXPECT_EQ(errorForFile(e, many).description(),
              "'many.xlsx' is too large to read: its package lists 100001 entries, more than the "
              "100000 a workbook may have");
  }
  // The same claim with its records intact is what libzip reads: a package
  // of this many real entries opens.
  test::writeFile(many, packageClaiming(sound, entries.size()));
  EXPECT_EQ(openWorkbookReader(many, {})->worksheets().size(), 1u);

  // A directory of 33 MB, claimed by a record 40 MB into a sparse file.
  const std::string huge = dir.file("huge.xlsx");
  {
    std::ofstream out(huge, std::ios::binary);
    out << "PK\x03\x04";
    out.seekp(40 << 20);
    // Signature, disks, entries (1 and 1), directory size and offset, comment.
    const char end[22] = {'P', 'K', 5, 6, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0x10, 0x02, 0, 0, 0x10, 0};
    out.write(end, sizeof end);
  }
  EXPECT_EQ(failure([&] { openWorkbookReader(huge, {}); }),
            "its package's list of entries takes 33 MB, more than the 32 MB a workbook may need");
}

}  // namespace
}  // namespace quorvel::spreadsheet
