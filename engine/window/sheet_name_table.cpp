#include "engine/window/sheet_name_table.h"

namespace quorvel {

namespace {
bool inRange(int w, int s) {
  return w >= 0 && w <= SheetNameTable::kMaxWorkbook && s >= 0 &&
         s <= SheetNameTable::kMaxWorksheet;
}
const std::string kEmpty;
}  // namespace

const std::string& SheetNameTable::get(int workbook, int worksheet, Kind kind) const {
  if (!inRange(workbook, worksheet)) return kEmpty;
  auto it = cells_.find(key(workbook, worksheet, kind));
  return it == cells_.end() ? kEmpty : it->second;
}

void SheetNameTable::set(int workbook, int worksheet, Kind kind, std::string value) {
  if (!inRange(workbook, worksheet)) return;
  if (value.empty())
    cells_.erase(key(workbook, worksheet, kind));
  else
    cells_[key(workbook, worksheet, kind)] = std::move(value);
}

}  // namespace quorvel
