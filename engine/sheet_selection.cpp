#include "engine/sheet_selection.h"

#include <algorithm>
#include <cctype>

namespace quorvel {

namespace {

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The 1-based position of the worksheet named `name`, 0 for none.
int positionOf(const std::vector<std::string>& names, const std::string& name) {
  auto exact = std::find(names.begin(), names.end(), name);
  if (exact != names.end()) return static_cast<int>(exact - names.begin()) + 1;
  auto loose = std::find_if(names.begin(), names.end(),
                            [&](const std::string& n) { return equalIgnoringAsciiCase(n, name); });
  return loose != names.end() ? static_cast<int>(loose - names.begin()) + 1 : 0;
}

}  // namespace

SelectedSheets SelectSheets(const std::vector<std::string>& worksheetNames,
                            const SheetSelection& selection) {
  SelectedSheets chosen;
  const int count = static_cast<int>(worksheetNames.size());
  if (selection.all()) {
    for (int s = 1; s <= count; ++s) chosen.positions.push_back(s);
    return chosen;
  }
  for (const std::string& name : selection.names) {
    const int at = positionOf(worksheetNames, name);
    if (at == 0 && chosen.missing.empty()) chosen.missing = "none is named '" + name + "'";
    if (at != 0) chosen.positions.push_back(at);
  }
  for (int position : selection.positions) {
    if ((position < 1 || position > count) && chosen.missing.empty())
      chosen.missing =
          "it has " + std::to_string(count) + " worksheets, not " + std::to_string(position);
    if (position >= 1 && position <= count) chosen.positions.push_back(position);
  }
  std::sort(chosen.positions.begin(), chosen.positions.end());
  chosen.positions.erase(std::unique(chosen.positions.begin(), chosen.positions.end()),
                         chosen.positions.end());
  return chosen;
}

}  // namespace quorvel
