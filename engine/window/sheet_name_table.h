#pragma once
// The memory of the user's worksheet labels and ticks, per workbook position
// (0..500) and worksheet position (0..5000). Held sparsely: only the
// elements set to something other than "" take memory.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "engine/limits.h"

namespace quorvel {

class SheetNameTable {
 public:
  enum Kind { Label = 0, Ticked = 1 };
  static constexpr int kMaxWorkbook = kMaxWorkbooksPerFolder;
  static constexpr int kMaxWorksheet = kMaxStoredWorksheets;

  // "" for anything never set or out of range.
  const std::string& get(int workbook, int worksheet, Kind kind) const;
  // Ignored out of range, as the fixed table could not hold it.
  void set(int workbook, int worksheet, Kind kind, std::string value);
  // Every element back to "".
  void erase() { cells_.clear(); }
  // A workbook's row is stored when its first worksheet has a label.
  bool isStored(int workbook) const { return !get(workbook, 1, Label).empty(); }

 private:
  static std::uint32_t key(int w, int s, Kind k) {
    return (static_cast<std::uint32_t>(w) * (kMaxWorksheet + 1) + static_cast<std::uint32_t>(s)) *
               2 +
           static_cast<std::uint32_t>(k);
  }
  std::unordered_map<std::uint32_t, std::string> cells_;
};

}  // namespace quorvel
