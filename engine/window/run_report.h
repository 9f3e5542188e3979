#pragma once
// What the window says when a conversion run ends: the counts for the
// status line, and every failed workbook with the messages it gets, in the
// order of the run, to be shown together once.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/conversion_run.h"

namespace quorvel {

struct FailedWorkbook {
  std::string workbook;  // its name as listed
  // The failure's own sentence when it has one, then
  // "Convert NAME file failed!" with the folder name.
  std::vector<std::string> messages;
};

struct RunReport {
  std::size_t workbooks = 0;     // ticked when the run began
  std::size_t converted = 0;     // every chosen worksheet written
  std::size_t failed = 0;        // the ones in `failures`
  std::size_t notConverted = 0;  // not reached, or broken off, by a stop
  bool stopped = false;
  std::vector<FailedWorkbook> failures;

  // "Converted 18 of 20 workbooks, 2 failed"; after a stop,
  // "Stopped: converted 3 of 20 workbooks, 1 failed, 16 not converted".
  std::string summary() const;
  // The summary, then each failure: its workbook and, indented, its
  // messages. What the failure list puts on the clipboard.
  std::string text() const;
};

// The report of a run of `jobs` that ended with `results`; `stopped` when
// it was asked to stop.
RunReport ReportRun(const std::vector<WorkbookJob>& jobs, const std::vector<JobResult>& results,
                    bool stopped);

}  // namespace quorvel
