// Feeds arbitrary bytes to the .xlsb record reader and to every reader of a
// part built on it, and writes the bytes' cells as a worksheet's text. Any
// outcome but a value or a FormatError is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/xlsb/parallel_worksheet.h"
#include "engine/spreadsheet/xlsb/record_reader.h"
#include "engine/spreadsheet/xlsb/workbook_parts.h"
#include "engine/spreadsheet/xlsb/worksheet_cursor.h"
#include "tests/fuzz/sheet_text_check.h"

namespace {

using namespace quorvel::spreadsheet;
using namespace quorvel::spreadsheet::xlsb;

// Short reads of an odd size put headers and payloads across read boundaries.
class UnevenSource final : public SequentialSource {
 public:
  explicit UnevenSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* buffer, std::size_t n) override {
    n = std::min({n, bytes_.size(), std::size_t(977)});
    bytes_.copy(buffer, n);
    bytes_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view bytes_;
};

template <typename F>
void expectOnlyFormatErrors(F f) {
  try {
    f();
  } catch (const FormatError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string part = "xl/worksheets/sheet1.bin";

  expectOnlyFormatErrors([&] {
    UnevenSource source(bytes);
    RecordReader reader(source, part);
    std::size_t total = 0;
    while (reader.next()) total += reader.payload().size();
    if (total > size) __builtin_trap();  // payloads come from the part only
  });

  StringTable strings;
  EmptyCellLooks looks;  // the styles the bytes give below; none for the first pass
  expectOnlyFormatErrors([&] {
    UnevenSource source(bytes);
    readSharedStrings(source, "xl/sharedStrings.bin", strings);
  });
  expectOnlyFormatErrors([&] {
    WorksheetCursor cursor(std::make_unique<UnevenSource>(bytes), part, strings, looks);
    Cell cell;
    while (cursor.next(cell)) {
      if (cell.row >= 1048576 || cell.col >= 16384) __builtin_trap();
    }
  });
  expectOnlyFormatErrors([&] {
    UnevenSource source(bytes);
    readWorkbookPart(source, "xl/workbook.bin");
  });
  CellFormatter formatter;  // what styles the bytes give, for the cells they give
  expectOnlyFormatErrors([&] {
    UnevenSource source(bytes);
    looks = readStylesPart(source, "xl/styles.bin", formatter);
  });
  auto openSheet = [&] {
    return std::make_unique<WorksheetCursor>(std::make_unique<UnevenSource>(bytes), part, strings,
                                             looks);
  };
  quorvel::fuzz::writeAndCheck(openSheet, formatter);
  formatter.prepareAllStyles();  // before the workers share it
  quorvel::fuzz::checkInPieces(
      openSheet,
      [&](const ParallelReading& how, FieldWriter write) {
        auto source = std::make_shared<UnevenSource>(bytes);
        return openParallelWorksheet(
            [source](char* buffer, std::size_t n) { return source->read(buffer, n); }, part,
            SheetContext{strings, looks}, how, std::move(write), {});
      },
      formatter);
  return 0;
}
