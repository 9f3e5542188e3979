#pragma once
// The worksheets a conversion is limited to when the user names some, by
// name or by position.
#include <string>
#include <vector>

namespace quorvel {

// Worksheets chosen by name or by position; choosing none means all.
struct SheetSelection {
  // Matched exactly, or, when no worksheet has that exact name, ignoring the
  // case of ASCII letters (the application allows no two names that differ
  // only so).
  std::vector<std::string> names;
  std::vector<int> positions;  // 1-based among the worksheets
  bool all() const { return names.empty() && positions.empty(); }
};

struct SelectedSheets {
  std::vector<int> positions;  // 1-based, ascending, each once
  // What a chosen worksheet lacks, for the failure ("none is named 'Mar'",
  // "it has 2 worksheets, not 5"); "" when every chosen one is there.
  std::string missing;
};

// The worksheets of a workbook with `worksheetNames`, in workbook order,
// that `selection` chooses.
SelectedSheets SelectSheets(const std::vector<std::string>& worksheetNames,
                            const SheetSelection& selection);

}  // namespace quorvel
