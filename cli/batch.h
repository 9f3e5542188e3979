#pragma once
// The command-line converter's work: the workbooks named on the command
// line, converted (or listed) on several threads by the engine, and what
// became of each.
#include <functional>
#include <string>
#include <vector>

#include "engine/output_naming.h"
#include "engine/spreadsheet/automation.h"
#include "engine/workbook_conversion.h"

namespace quorvel::cli {

struct BatchOptions {
  std::string outputDirectory;  // validated, ending in a separator
  NamingOption naming = NamingOption::SheetName;
  unsigned jobs = 1;
  bool listOnly = false;  // --sheets
  bool progress = false;  // a progress line on standard error
  spreadsheet::ApplicationFactory newApplication;
};

// One workbook as the report and the messages tell it.
struct WorkbookOutcome {
  std::string input;
  std::string outputFolder;  // "" when listing
  bool ok = false;
  std::string error;                 // why it failed, in one sentence
  std::vector<WrittenSheet> sheets;  // written, or listed (index and name only)
};

// Workbooks named by `paths`: files as they are, folders scanned as the
// window scans them (with `recursive`, sub-folders too). Paths that are
// neither go to `missing`; folders cut at the window's limit to `capped`.
struct Inputs {
  std::vector<std::string> workbooks;
  std::vector<std::string> missing;
  std::vector<std::string> capped;
};
Inputs collectInputs(const std::vector<std::string>& paths, bool recursive);

// Converts or lists every workbook. Each workbook's output folder is chosen
// and made in input order, so any number of jobs gives the same folders.
// `onFailure` is called (serialised) for each failed workbook as it fails.
std::vector<WorkbookOutcome> runBatch(const std::vector<std::string>& workbooks,
                                      const BatchOptions& options,
                                      const std::function<void(const WorkbookOutcome&)>& onFailure);

}  // namespace quorvel::cli
