#include "engine/window/window_procedures.h"

#include <filesystem>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/folder_scan.h"
#include "engine/limits.h"
#include "engine/output_directory.h"
#include "engine/path_kind.h"
#include "engine/window/run_progress.h"
#include "engine/workbook_folder.h"
#include "engine/workbook_inspection.h"

namespace quorvel {

WindowProcedures::WindowProcedures(WindowModel& window, spreadsheet::ApplicationFactory application)
    : window_(window), application_(std::move(application)) {}

spreadsheet::ApplicationFactory WindowProcedures::applicationAsking(AskPassword ask) {
  OpenWithPasswords create;
  if (application_)
    create = [base = application_](const spreadsheet::OpenOptions&) { return base(); };
  else
    create = [](const spreadsheet::OpenOptions& options) {
      return spreadsheet::createApplication(options);
    };
  return PasswordAskingFactory(std::move(create), state_.passwords, std::move(ask));
}

spreadsheet::ApplicationFactory WindowProcedures::applicationAskingTheDesktop() {
  return applicationAsking([this](const std::string& workbook, bool again) {
    return window_.desktop().askPassword(workbook, again);
  });
}

// --- Path classification and folder scan

void WindowProcedures::AddFolderWorkbooks(const std::string& path) {
  EntryList& workbooks = window_.workbookList();
  state_.sheetNames.erase();
  workbooks.clear();
  if (GetPathKind(path) == PathKind::File) {
    int i = workbooks.add(std::filesystem::path(path).filename().string());
    workbooks.setTicked(i, true);
  } else {
    std::vector<std::string> names = ListFolderWorkbooks(path);
    if (names.size() > static_cast<std::size_t>(kMaxWorkbooksPerFolder))
      names.resize(kMaxWorkbooksPerFolder);
    for (const std::string& name : names) {
      int i = workbooks.add(name);
      workbooks.setTicked(i, true);
    }
  }
  workbooks.refresh();
  workbooks.show();
}

namespace {

std::string resolveWorkbookPath(WindowModel& window, int position) {
  EntryList& jobs = window.jobList();
  EntryList& workbooks = window.workbookList();
  std::string job = jobs.selected() >= 1 ? jobs.text(jobs.selected()) : std::string();
  std::string name = position >= 1 && position <= workbooks.count() ? workbooks.text(position) : "";
  switch (GetPathKind(job)) {
    case PathKind::File:
      return job;
    case PathKind::Directory: {
      std::string candidate = JoinPath(job, name);
      return !name.empty() && GetPathKind(candidate) == PathKind::File ? candidate : "";
    }
    case PathKind::Nothing:
      break;
  }
  return "";
}

}  // namespace

std::string WindowProcedures::SelectedWorkbookPath() {
  return resolveWorkbookPath(window_, window_.workbookList().selected());
}

std::string WindowProcedures::WorkbookPathAt(int position) {
  return resolveWorkbookPath(window_, position);
}

// --- Workbook inspection

void WindowProcedures::ListWorkbookSheets(SheetListing listing) {
  std::string path = SelectedWorkbookPath();
  if (path.empty()) return;
  EntryList& sheets = window_.worksheetList();
  const int w = window_.workbookList().selected();
  bool stored = false;
  if (listing == SheetListing::Remembered) {
    // Decided before StoreSheetNames writes the row of the workbook shown.
    stored = state_.sheetNames.isStored(w);
    StoreSheetNames();
  }
  state_.currentWorkbookIndex = w;
  sheets.clear();
  if (stored) {
    for (int s = 1; s <= kMaxStoredWorksheets; ++s) {
      const std::string& label = state_.sheetNames.get(w, s, SheetNameTable::Label);
      if (label.empty()) break;
      int i = sheets.add(label);
      sheets.setTicked(i, state_.sheetNames.get(w, s, SheetNameTable::Ticked) == "1");
    }
    sheets.refresh();
    return;
  }
  // What was read before a failure stays listed.
  const WorksheetList list = listWorksheets(path, applicationAskingTheDesktop());
  for (int s = 1; s <= static_cast<int>(list.names.size()); ++s) {
    const std::string& name = list.names[static_cast<std::size_t>(s) - 1];
    int i = sheets.add(name);
    sheets.setTicked(i, true);
    if (s <= kMaxStoredWorksheets) {
      state_.sheetNames.set(w, s, SheetNameTable::Label, name);
      state_.sheetNames.set(w, s, SheetNameTable::Ticked, "1");
    }
  }
  if (list.outcome == Outcome::Failed) {
    if (list.failure->number > 0) {
      window_.desktop().showMessage(list.failure->description, MessageStyle::Critical);
      window_.desktop().showMessage("Excel file open failed!", MessageStyle::Critical);
    }
    return;
  }
  sheets.refresh();
}

void WindowProcedures::StoreSheetNames() {
  EntryList& sheets = window_.worksheetList();
  int w = state_.currentWorkbookIndex;
  int n = sheets.count();
  for (int s = 1; s <= n && s <= kMaxStoredWorksheets; ++s) {
    state_.sheetNames.set(w, s, SheetNameTable::Label, sheets.text(s));
    state_.sheetNames.set(w, s, SheetNameTable::Ticked, sheets.ticked(s) ? "1" : "");
  }
}

// --- Workbook conversion

WorkbookJob WindowProcedures::jobAt(int index) {
  EntryList& workbooks = window_.workbookList();
  WorkbookJob job;
  job.path = WorkbookPathAt(index);
  if (index >= 1 && index <= workbooks.count()) job.name = workbooks.text(index);
  // A workbook whose worksheet list was stored has its first worksheets
  // decided by the table, up to as many as it holds; the rest, and every
  // worksheet of a workbook not stored, are written under their own names.
  if (state_.sheetNames.isStored(index)) {
    job.choices.sheets.resize(kMaxStoredWorksheets);
    for (int s = 1; s <= kMaxStoredWorksheets; ++s) {
      WorksheetChoice& choice = job.choices.sheets[static_cast<std::size_t>(s) - 1];
      choice.write = !state_.sheetNames.get(index, s, SheetNameTable::Ticked).empty();
      if (choice.write) choice.label = state_.sheetNames.get(index, s, SheetNameTable::Label);
    }
  }
  return job;
}

void WindowProcedures::showProgress(const ConversionProgress& progress) {
  // The bar counts worksheets.
  if (progress.writing) return;
  if (progress.worksheet == 0)
    window_.setProgressMax(progress.worksheets);
  else
    window_.setProgressValue(progress.worksheet);
}

ConvertResult WindowProcedures::showResult(const WorkbookConversion& conversion) {
  switch (conversion.outcome) {
    case Outcome::Done:
      window_.setProgressValue(0);
      return ConvertResult::Converted;
    case Outcome::NoWorkbook:
      return ConvertResult::NoWorkbookPath;
    case Outcome::Failed:
      // A server that reports a failure without a positive number has
      // nothing to say to the user.
      if (conversion.failure->number <= 0) return ConvertResult::FailedSilently;
      // The progress bar keeps its value, and SheetCounter its count.
      window_.desktop().showMessage(conversion.failure->description, MessageStyle::Plain);
      return ConvertResult::Failed;
    case Outcome::FolderNotCreated:
      window_.desktop().showMessage(conversion.failure->description, MessageStyle::Critical);
      return ConvertResult::FailedSilently;
    case Outcome::Stopped:
    case Outcome::NotStarted:
      break;
  }
  return ConvertResult::FailedSilently;
}

ConvertResult WindowProcedures::ConvertWorkbook(int index) {
  ConversionContext context;
  context.application = applicationAskingTheDesktop();
  context.progress = [this](const ConversionProgress& p) { showProgress(p); };
  last_ = convertWorkbook(jobAt(index), state_.workbookOutputFolder,
                          NamingOptionAt(window_.namingOption()), state_.names, context);
  return showResult(last_);
}

// --- Output file naming

std::string WindowProcedures::MakeOutputFileName(int position, const std::string& sheetName) {
  EntryList& workbooks = window_.workbookList();
  std::string workbook = StripExtension(
      position >= 1 && position <= workbooks.count() ? workbooks.text(position) : "");
  return state_.names.MakeOutputFileName(NamingOptionAt(window_.namingOption()), workbook,
                                         sheetName);
}

// --- Output folder validation

bool WindowProcedures::CheckOutputDirectory() {
  ComboBox& box = window_.outputBox();
  const OutputDirectoryCheck check = validateOutputDirectory(box.text(), box.selectedIndex() == -1);
  state_.outputDirectory = check.directory;
  if (check.accepted()) return true;
  std::string message = describe(*check.problem);
  // Which folder, and what the system said.
  if (*check.problem == DirectoryProblem::CannotCreate)
    message = DescribeFolderFailure(check.directory, check.reason);
  window_.desktop().showMessage(message, *check.problem == DirectoryProblem::NoneGiven
                                             ? MessageStyle::Information
                                             : MessageStyle::Critical);
  return false;
}

// --- The Convert command

namespace {

// A run's observer that is the window itself, on the window's thread.
class WindowObserver final : public RunObserver {
 public:
  explicit WindowObserver(WindowModel& window) : window_(window) {}
  void status(const std::string& text) override { window_.setStatus(text); }
  void progress(int permille) override { window_.setProgressValue(permille); }
  std::optional<std::string> password(const std::string& workbook, bool again) override {
    return window_.desktop().askPassword(workbook, again);
  }

 private:
  WindowModel& window_;
};

std::uint64_t FileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace

std::optional<PreparedRun> WindowProcedures::BeginConversion() {
  EntryList& workbooks = window_.workbookList();
  Desktop& desktop = window_.desktop();
  const int n = workbooks.count();  // read once: the list is not re-read during the run
  bool anyTicked = false;
  for (int i = 1; i <= n && !anyTicked; ++i) anyTicked = workbooks.ticked(i);
  if (n < 1) {
    desktop.showMessage("Please select a workbook first!", MessageStyle::Information);
  } else if (!anyTicked) {
    // Nothing to convert: the output directory is neither made nor opened.
    desktop.showMessage("No workbook is ticked: tick the workbooks to convert.",
                        MessageStyle::Information);
  } else if (CheckOutputDirectory()) {
    // A typed directory converted into joins the history as a browsed one.
    ComboBox& box = window_.outputBox();
    if (box.selectedIndex() == -1) {
      box.insert(0, box.text());
      box.select(0);
    }
    StoreSheetNames();
    PreparedRun run;
    for (int i = 1; i <= n; ++i)
      if (workbooks.ticked(i)) {
        run.jobs.push_back(jobAt(i));
        run.sizes.push_back(FileSize(run.jobs.back().path));
      }
    run.settings.outputDirectory = state_.outputDirectory;
    run.settings.naming = NamingOptionAt(window_.namingOption());
    run.settings.sharedNames = &state_.names;
    window_.setPointer(kPointerBusy);
    window_.setProgressMax(RunProgress::kScale);
    window_.setProgressValue(0);
    return run;
  }
  window_.setStatus("");
  window_.setProgressValue(0);
  window_.setPointer(kPointerDefault);
  return std::nullopt;
}

std::vector<JobResult> WindowProcedures::ConvertJobs(const PreparedRun& run, RunObserver& observer,
                                                     std::stop_token stop) {
  RunSettings settings = run.settings;
  settings.application = applicationAsking([&observer](const std::string& workbook, bool again) {
    return observer.password(workbook, again);
  });
  RunProgress progress(run.sizes);
  int shown = 0;
  std::string status;
  // Only changes go to the window: a long worksheet reports thousands of
  // times.
  auto show = [&](int permille) {
    if (progress.status() != status) observer.status(status = progress.status());
    if (permille != shown) observer.progress(shown = permille);
  };
  RunEvents events;
  events.starting = [&](std::size_t job, const std::string& folderName) {
    show(progress.starting(job, folderName));
  };
  events.progress = [&](const ConversionProgress& p) { show(progress.update(p)); };
  events.finished = [&](const JobResult& result) { show(progress.finished(result.job)); };
  return runConversion(run.jobs, settings, events, std::move(stop));
}

RunReport WindowProcedures::EndConversion(const PreparedRun& run,
                                          const std::vector<JobResult>& results, bool stopped,
                                          bool quiet) {
  for (auto it = results.rbegin(); it != results.rend(); ++it)
    if (it->conversion.outcome != Outcome::NotStarted) {
      state_.workbookOutputFolder = it->outputFolder;
      last_ = it->conversion;
      break;
    }
  RunReport report = ReportRun(run.jobs, results, stopped);
  window_.setStatus(report.summary());
  window_.setProgressValue(0);
  window_.setPointer(kPointerDefault);
  if (!quiet) {
    if (!report.failures.empty()) window_.desktop().showFailures(report);
    // A run the user stopped opens nothing.
    if (!stopped) window_.desktop().open(state_.outputDirectory);
  }
  return report;
}

void WindowProcedures::RunConversion() {
  const std::optional<PreparedRun> run = BeginConversion();
  if (!run) return;
  WindowObserver observer(window_);
  const std::vector<JobResult> results = ConvertJobs(*run, observer);
  EndConversion(*run, results, false);
}

}  // namespace quorvel
