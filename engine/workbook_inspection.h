#pragma once
// The worksheets of a workbook, as the spreadsheet component lists them.
#include <optional>
#include <string>
#include <vector>

#include "engine/outcome.h"
#include "engine/spreadsheet/automation.h"

namespace quorvel {

struct WorksheetList {
  Outcome outcome = Outcome::Done;  // Done, Failed or NoWorkbook
  // In workbook order; after a failure, the names read before it.
  std::vector<std::string> names;
  std::optional<Failure> failure;  // with Failed
};

// Opens the workbook at `path` in a new application (`application`, or our
// own component without one), reads its worksheet names, and closes it.
WorksheetList listWorksheets(const std::string& path,
                             const spreadsheet::ApplicationFactory& application = {});

}  // namespace quorvel
