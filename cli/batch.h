#pragma once
// The command-line converter's work: the workbooks named on the command
// line, converted (or listed) on several threads by the engine, and what
// became of each.
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/output_naming.h"
#include "engine/sheet_selection.h"
#include "engine/spreadsheet/automation.h"
#include "engine/workbook_conversion.h"

namespace quorvel::cli {

// Where each workbook's files go.
enum class Layout {
  // A new sub-folder of the output folder per workbook, named as the window
  // names it, a number appended while the name is taken.
  Numbered,
  // OUT/REL/ for the workbook at IN/REL (file name and extension included),
  // the same on every run; each folder replaced whole.
  Mirror,
};

// A workbook of the command line.
struct InputWorkbook {
  std::string path;   // what is opened ("/proc/self/fd/N" for standard input)
  std::string input;  // what the user gave or the scan found; "-" for standard input
  std::string name;   // its file name, or the name standard input goes by
  // Its path below the input folder given on the command line, "/" between
  // folders; for a workbook given as a file, and standard input, `name`.
  std::string relative;
};

struct BatchOptions {
  // Validated, ending in a separator; spreadsheet::kStandardOutput to write
  // the one chosen worksheet there.
  std::string outputDirectory;
  Layout layout = Layout::Numbered;
  bool skipExisting = false;  // Mirror: a workbook whose folder exists is skipped
  NamingOption naming = NamingOption::SheetName;
  SheetSelection sheets;          // the worksheets to write; none chosen: all
  spreadsheet::TextOptions text;  // separator, values, size limit
  unsigned jobs = 1;
  unsigned cores = 0;     // shared by the workbooks at once and their large worksheets; 0: all
  bool listOnly = false;  // --sheets
  bool progress = false;  // a progress line on standard error
  spreadsheet::ApplicationFactory newApplication;
  // Once requested, no further workbook is started and the one being
  // converted breaks off (its finished worksheets stay).
  std::stop_token stop;
};

enum class Status {
  Done,        // converted, or listed
  Failed,      // `error` says why
  Stopped,     // broken off by a stop; the worksheets written are complete
  NotStarted,  // the run was stopped before it reached this workbook
  Skipped,     // its folder exists (--skip-existing)
};

// One workbook as the report and the messages tell it.
struct WorkbookOutcome {
  std::string input;
  std::string outputFolder;  // "" when listing, and when nothing was written
  Status status = Status::NotStarted;
  std::string error;                 // why it failed, in one sentence
  std::vector<WrittenSheet> sheets;  // written, or listed (index and name only)
};

// The workbooks named by `paths`, every character of a path taken as it
// stands: files as they are, folders scanned for every workbook in them
// (with `recursive`, in their sub-folders too), and "-" standing for
// `standardInput`. Paths that name nothing go to `missing`, paths that name
// something other than a file or a folder (a pipe, a device) to
// `notRegular`.
struct Inputs {
  std::vector<InputWorkbook> workbooks;
  std::vector<std::string> missing;
  std::vector<std::string> notRegular;
};
Inputs collectInputs(const std::vector<std::string>& paths, bool recursive,
                     const InputWorkbook& standardInput);

// Converts or lists every workbook. Each workbook's output folder is chosen
// and made in input order, so any number of jobs gives the same folders.
// `onFailure` is called (serialised) for each failed workbook as it fails.
std::vector<WorkbookOutcome> runBatch(const std::vector<InputWorkbook>& workbooks,
                                      const BatchOptions& options,
                                      const std::function<void(const WorkbookOutcome&)>& onFailure);

}  // namespace quorvel::cli
