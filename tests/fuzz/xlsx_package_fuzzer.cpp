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

#include "engine/spreadsheet/string_table.h"
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
  quorvel::fuzz::writeEveryWorksheet(path);
  return 0;
}
