// Feeds arbitrary bytes to the compound file and BIFF readers: every sheet's
// cells are read to the end. Damage must surface as FormatError, never as a
// crash, a hang or an outsized allocation (run with -malloc_limit_mb).
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/xls/reader.h"

using namespace quorvel::spreadsheet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto book =
        xls::openWorkbook(memorySource(std::string(reinterpret_cast<const char*>(data), size)),
                          OpenOptions{{"password"}}, "Fuzz");
    std::string shown;
    for (std::size_t i = 0; i < book->worksheets().size(); ++i) {
      auto cursor = book->openWorksheet(i);
      Cell cell;
      while (cursor->next(cell)) {
        shown.assign(cell.text);
        book->formatter().formatIdOf(cell.style);
      }
    }
  } catch (const FormatError&) {
  }
  return 0;
}
