#pragma once
// The workbook's shared-string table, the one thing a streaming reader must
// keep whole. Strings live back to back in one arena with an end offset each,
// so the table costs its characters plus four bytes a string.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::spreadsheet {

class PartStream;

class SharedStrings {
 public:
  std::size_t size() const { return ends_.size(); }
  std::string_view at(std::size_t i) const {
    std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(arena_).substr(begin, ends_[i] - begin);
  }
  void add(std::string_view text);
  std::size_t bytes() const { return arena_.capacity() + ends_.capacity() * sizeof(std::uint32_t); }

  // Reads a sharedStrings part: plain and rich text (runs joined), phonetic
  // runs dropped, `_xHHHH_` escapes decoded. Throws FormatError.
  void read(PartStream& stream);

 private:
  std::string arena_;
  std::vector<std::uint32_t> ends_;
};

}  // namespace quorvel::spreadsheet
