#pragma once
// A conversion run: every workbook of a job list into a new sub-folder of
// the output directory, named after the workbook.
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/output_naming.h"
#include "engine/workbook_conversion.h"

namespace quorvel {

struct RunSettings {
  std::string outputDirectory;  // validated (validateOutputDirectory): ends in one separator
  NamingOption naming = NamingOption::SheetName;
  // Workbooks converted at once. Folders are chosen and made in job order,
  // so the output is the same for any number.
  unsigned threads = 1;
  // The cores the run may keep busy: the workbooks converted at once share
  // them, and each reads a large worksheet with its share (at least one).
  // 0: as many as the machine has.
  unsigned cores = 0;
  spreadsheet::ApplicationFactory application;  // empty: our own component
  // The file names. Null: each workbook is named on its own, numbers from 1
  // and random names from `randomSeed`, so the names do not depend on the
  // order of the work. Set (the window): the run's workbooks share it on
  // one thread, and numbering goes on after a workbook that failed.
  OutputFileNames* sharedNames = nullptr;
  std::uint32_t randomSeed = 1;
  spreadsheet::TextOptions text;  // how every worksheet's text is written
};

struct JobResult {
  std::size_t job = 0;     // position in the job list, from 0
  std::string folderName;  // the workbook's name made fit for a folder
  // The folder made for it; "" when not started, and (in the results of
  // the run, not yet in `finished`) when nothing was written into it, as
  // the run then removes it.
  std::string outputFolder;
  WorkbookConversion conversion;
};

// Called one at a time, in any thread of the run.
struct RunEvents {
  // A job begins; its folder is chosen next.
  std::function<void(std::size_t job, const std::string& folderName)> starting;
  ProgressCallback progress;
  std::function<void(const JobResult&)> finished;
};

// The threads each workbook of a run reads a large worksheet with: the
// cores (0: the machine's) shared by the workbooks converted at once, of
// which there are at most `workbooks`; at least one.
unsigned SheetThreads(unsigned cores, unsigned workbooksAtOnce, std::size_t workbooks);

// Converts every job, in order on one thread or taken in order by several.
// Once `stop` is requested no further workbook is started (those get
// Outcome::NotStarted), and a workbook being converted stops at once,
// keeping the worksheets it wrote whole. A failed workbook does not stop the
// run. A workbook folder left empty (nothing written, or a failure before
// the first worksheet) is removed when the run ends.
std::vector<JobResult> runConversion(const std::vector<WorkbookJob>& jobs,
                                     const RunSettings& settings, const RunEvents& events = {},
                                     std::stop_token stop = {});

// The folder name a workbook listed as `name` gets: without its extension,
// spaces and dots.
std::string WorkbookFolderName(const std::string& name);

}  // namespace quorvel
