#pragma once
// A workbook's shared-string table: the one thing a streaming reader keeps
// whole, since any cell of any sheet may refer to any string. A reader
// appends the strings of its format's table in order; its sheet cursors then
// look them up by index. Nothing else about the storage is promised, so the
// table may change how it holds its strings without the readers knowing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"

namespace quorvel::spreadsheet {

class StringTable {
 public:
  std::size_t size() const { return ends_.size(); }

  // Appends string number size(). Throws FormatError (TooLarge) when the
  // table's text would pass kMaxSharedStringBytes.
  void append(std::string_view text) {
    if (text.size() > kMaxSharedStringBytes - arena_.size()) [[unlikely]]
      tooLarge();
    arena_ += text;
    ends_.push_back(static_cast<std::uint32_t>(arena_.size()));
  }

  // Hints from a reader that knows the table's size ahead, or that has
  // appended its last string.
  void reserve(std::size_t strings, std::size_t bytes);
  void shrinkToFit();

  // String `index`. An index past the table is damaged data: FormatError
  // (Damaged) "the shared-string index N is past the table's M strings".
  // The view is valid until the next lookup in this table or until the
  // table changes, whichever comes first: long enough for a cell, which
  // lives until its cursor moves on.
  std::string_view at(std::uint64_t index) const { return at(index, indexPastEnd); }

  // The same, with the reader's own sentence for a missing string: the
  // detail of the FormatError is `describeMissing(index, size())`.
  template <typename DescribeMissing>
  std::string_view at(std::uint64_t index, const DescribeMissing& describeMissing) const {
    if (index >= ends_.size()) [[unlikely]]
      damaged(describeMissing(index, ends_.size()));
    return stored(static_cast<std::size_t>(index));
  }

 private:
  [[noreturn]] static void tooLarge();
  static std::string indexPastEnd(std::uint64_t index, std::size_t size);
  std::string_view stored(std::size_t index) const {
    std::uint32_t begin = index == 0 ? 0 : ends_[index - 1];
    return {arena_.data() + begin, ends_[index] - begin};
  }

  std::string arena_;                // every string's UTF-8, back to back
  std::vector<std::uint32_t> ends_;  // where each string ends in arena_
  static_assert(kMaxSharedStringBytes <= UINT32_MAX, "the ends must fit in 32 bits");
};

}  // namespace quorvel::spreadsheet
