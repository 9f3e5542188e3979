#include "engine/spreadsheet/string_table.h"

#include <algorithm>

namespace quorvel::spreadsheet {

void StringTable::tooLarge() {
  fail(ErrorCode::TooLarge, "its shared strings hold more than " +
                                std::to_string(kMaxSharedStringBytes >> 20) + " MB of text");
}

void StringTable::reserve(std::size_t strings, std::size_t bytes) {
  ends_.reserve(strings);
  arena_.reserve(std::min(bytes, kMaxSharedStringBytes));
}

void StringTable::shrinkToFit() {
  // The offsets only: shrinking the arena would copy it and hold it twice,
  // raising the peak it is meant to lower.
  ends_.shrink_to_fit();
}

std::string StringTable::indexPastEnd(std::uint64_t index, std::size_t size) {
  return "the shared-string index " + std::to_string(index) + " is past the table's " +
         std::to_string(size) + " strings";
}

}  // namespace quorvel::spreadsheet
