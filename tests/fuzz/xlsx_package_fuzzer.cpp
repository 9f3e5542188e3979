// Feeds arbitrary bytes to the .xlsx path as a whole package: the zip's end
// records and directory, the relationships, the workbook and styles parts,
// the shared strings (their table lowered so that it spills to its
// temporary file at once) and every worksheet, written as text. Seeds: the
// corpus's .xlsx and .xlsm files (xlsx_package_seeds.sh). Anything but a
// FormatError is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/workbook_reader.h"
#include "tests/fuzz/sheet_text_check.h"

using namespace quorvel::spreadsheet;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StringTable::setDefaultMemoryLimit(4096);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = quorvel::fuzz::scratchFile("package.xlsx");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  if (std::fwrite(data, 1, size, f) != size) __builtin_trap();
  std::fclose(f);
  try {
    auto reader = openWorkbookReader(path, {});
    for (std::size_t i = 0; i < reader->worksheets().size(); ++i)
      quorvel::fuzz::writeAndCheck([&] { return reader->openWorksheet(i); }, reader->formatter());
  } catch (const FormatError&) {
  }
  return 0;
}
