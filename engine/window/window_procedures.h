#pragma once
// The procedures the window's handlers call: the engine's API applied to
// the window's lists, with the window's messages, progress bar and shared
// values. No Qt: the window implements WindowModel over its widgets, the
// tests in memory.
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/output_naming.h"
#include "engine/spreadsheet/automation.h"
#include "engine/window/run_observer.h"
#include "engine/window/run_report.h"
#include "engine/window/session_passwords.h"
#include "engine/window/sheet_name_table.h"
#include "engine/window/window_model.h"
#include "engine/workbook_conversion.h"

namespace quorvel {

// The window's shared values, one set per window.
struct WindowState {
  SheetNameTable sheetNames;
  int currentWorkbookIndex = 0;
  OutputFileNames names;             // SheetCounter and the random names
  std::string outputDirectory;       // ends in exactly one separator once validated
  std::string workbookOutputFolder;  // no trailing separator
  SessionPasswords passwords;        // typed in this session; never saved
};

// A conversion run as the Convert command found the lists: what the run's
// thread works on, the window's lists left alone.
struct PreparedRun {
  std::vector<WorkbookJob> jobs;     // the ticked workbooks, in list order
  std::vector<std::uint64_t> sizes;  // their sizes in bytes, which weigh the progress
  RunSettings settings;
};

// How ListWorkbookSheets lists the selected workbook's worksheets.
enum class SheetListing {
  Fresh,       // from the workbook itself; the list on display is not stored
  Remembered,  // the list on display is stored first; a workbook stored before comes from the table
};

// What ConvertWorkbook did, with its result codes.
enum class ConvertResult {
  FailedSilently = 0,  // stopped by an error with a number that is not positive
  Converted = 1,
  Failed = 2,          // stopped by an error, whose description has been shown
  NoWorkbookPath = 3,  // no workbook belongs to that position: nothing done
};

class WindowProcedures {
 public:
  // `application` creates the spreadsheet component for each use; the
  // default is our own.
  explicit WindowProcedures(WindowModel& window, spreadsheet::ApplicationFactory application = {});

  // Path classification and folder scan.
  void AddFolderWorkbooks(const std::string& path);
  std::string SelectedWorkbookPath();
  std::string WorkbookPathAt(int position);

  // Workbook inspection.
  void ListWorkbookSheets(SheetListing listing = SheetListing::Fresh);
  void StoreSheetNames();

  // Workbook conversion of the workbook-list entry at `index` into
  // WorkbookOutputFolder.
  ConvertResult ConvertWorkbook(int index);
  // What the last conversion wrote, or why it failed.
  const WorkbookConversion& LastConversion() const { return last_; }

  // Output file naming, for the workbook-list entry at `position`.
  std::string MakeOutputFileName(int position, const std::string& sheetName);
  // Random names repeat from here on after the same seed.
  void SeedRandomNames(std::uint32_t seed) { state_.names.seed(seed); }

  // Output folder validation: sets OutputDirectory, or says why not.
  bool CheckOutputDirectory();

  // The Convert command: the ticked workbooks of the workbook list, in
  // three steps so that the middle one can run on a thread of its own.
  // BeginConversion checks the lists and the output directory (saying what
  // is wrong, and then ending as a run ends) and takes the jobs.
  std::optional<PreparedRun> BeginConversion();
  // The run itself; touches nothing of the window but through `observer`,
  // and only the shared values that `run` names. Stops soon after `stop`.
  std::vector<JobResult> ConvertJobs(const PreparedRun& run, RunObserver& observer,
                                     std::stop_token stop = {});
  // The end: the counts in the status line, the failures shown together,
  // the output directory opened (not after a stop), the bar and pointer
  // reset. `quiet`: the window is closing; nothing is shown or opened.
  RunReport EndConversion(const PreparedRun& run, const std::vector<JobResult>& results,
                          bool stopped, bool quiet = false);
  // All three, one after the other, on this thread.
  void RunConversion();

  WindowState& state() { return state_; }

 private:
  WorkbookJob jobAt(int index);
  ConvertResult showResult(const WorkbookConversion& conversion);
  void showProgress(const ConversionProgress& progress);
  // The application factory with the session's passwords, asking `ask`
  // for more.
  spreadsheet::ApplicationFactory applicationAsking(AskPassword ask);
  spreadsheet::ApplicationFactory applicationAskingTheDesktop();

  WindowModel& window_;
  spreadsheet::ApplicationFactory application_;
  WindowState state_;
  WorkbookConversion last_;
};

}  // namespace quorvel
