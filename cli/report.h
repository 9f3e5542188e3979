#pragma once
// The --report file: what became of every workbook and worksheet, as JSON.
#include <string>
#include <vector>

#include "cli/batch.h"

namespace quorvel::cli {

// Where the report goes.
struct ReportTarget {
  std::string path;     // the file, its links followed
  bool stream = false;  // a pipe, a device or /dev/stdout: written to as it is
};

// Checked before anything is converted: "" when `report` can take the
// report (and `target` is set), else the usage error to show. Refused: a
// folder; a path whose folder is missing or may not be written; one of the
// `workbooks`; anything inside `outputDirectory` ("" when there is none).
std::string checkReportPath(const std::string& report, const std::vector<std::string>& workbooks,
                            const std::string& outputDirectory, ReportTarget& target);

// What the run leaves to say besides the workbooks.
struct RunSummary {
  std::string outputDirectory;  // "" when listing, "-" for standard output
  std::string naming;
  bool listOnly = false;
  int signal = 0;  // the signal that stopped the run; 0 for none
  std::string layout = "new", format = "tsv", values = "display";
};

// Writes the report whole, under a temporary name renamed into place, so
// that it never exists empty or in part. Returns "" on success, else the
// sentence saying why it could not be written.
//
// Names are UTF-8 in the report; a path or name whose bytes are not UTF-8
// is shown with U+FFFD in place of the bad bytes, and its exact bytes follow
// in hexadecimal in a field of the same name ending in "Bytes" (for
// example "input" and "inputBytes").
std::string writeReport(const ReportTarget& target, const std::vector<WorkbookOutcome>& outcomes,
                        const RunSummary& run);

// "SIGINT", "SIGTERM", or the number.
std::string signalName(int signal);

}  // namespace quorvel::cli
