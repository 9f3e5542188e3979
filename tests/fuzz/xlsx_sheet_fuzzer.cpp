// Feeds arbitrary XML to the .xlsx reader's worksheet, shared strings and
// styles parts, packaged in a sound zip (fuzzing the zip's own bytes mostly
// meets its checksums), and writes the worksheet's text. The input holds the
// three parts in that order, split by lines "--part--"; a missing or empty
// part is left out of the package. The string table is lowered to 4 KB, so
// that larger tables go through its temporary file. Anything but a
// FormatError is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/spreadsheet/string_table.h"
#include "tests/fuzz/sheet_text_check.h"
#include "tests/support/zip_writer.h"

using namespace quorvel::spreadsheet;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StringTable::setDefaultMemoryLimit(4096);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string parts[3];
  for (std::string& part : parts) {
    std::size_t split = input.find("\n--part--\n");
    part = input.substr(0, split);
    input.remove_prefix(split == std::string_view::npos ? input.size() : split + 10);
  }
  quorvel::test::XlsxBuilder book;
  book.worksheetXml("S", parts[0]);
  if (!parts[1].empty()) book.sharedStrings("").replacePart("xl/sharedStrings.xml", parts[1]);
  if (!parts[2].empty()) book.styles("").replacePart("xl/styles.xml", parts[2]);
  auto entries = book.entries();
  for (auto& e : entries) e.stored = true;
  const std::string path = quorvel::fuzz::scratchFile("book.xlsx");
  quorvel::test::writeZip(path, entries);
  quorvel::fuzz::writeEveryWorksheet(path);
  return 0;
}
