// Feeds arbitrary bytes to the compound file and BIFF readers and writes
// every sheet's text: damage must surface as FormatError, never as a crash, a
// hang, an outsized allocation (run with -malloc_limit_mb) or two writers
// disagreeing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/xls/reader.h"
#include "tests/fuzz/sheet_text_check.h"

using namespace quorvel::spreadsheet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto book =
        xls::openWorkbook(memorySource(std::string(reinterpret_cast<const char*>(data), size)),
                          OpenOptions{{"password"}}, "Fuzz");
    for (std::size_t i = 0; i < book->worksheets().size(); ++i)
      quorvel::fuzz::writeAndCheck([&] { return book->openWorksheet(i); }, book->formatter());
  } catch (const FormatError&) {
  }
  return 0;
}
