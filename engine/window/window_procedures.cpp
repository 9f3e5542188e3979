#include "engine/window/window_procedures.h"

#include <filesystem>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/folder_scan.h"
#include "engine/limits.h"
#include "engine/output_directory.h"
#include "engine/path_kind.h"
#include "engine/workbook_inspection.h"

namespace quorvel {

WindowProcedures::WindowProcedures(WindowModel& window, spreadsheet::ApplicationFactory application)
    : window_(window), application_(std::move(application)) {}

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
  const WorksheetList list = listWorksheets(path, application_);
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
  context.application = application_;
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
  window_.desktop().showMessage(describe(*check.problem),
                                *check.problem == DirectoryProblem::NoneGiven
                                    ? MessageStyle::Information
                                    : MessageStyle::Critical);
  return false;
}

// --- The Convert command

void WindowProcedures::RunConversion() {
  EntryList& workbooks = window_.workbookList();
  Desktop& desktop = window_.desktop();
  const int n = workbooks.count();  // read once: the list is not re-read during the run
  if (n < 1) {
    desktop.showMessage("Please select a workbook first!", MessageStyle::Information);
  } else if (CheckOutputDirectory()) {
    StoreSheetNames();
    window_.setPointer(kPointerHourglass);
    std::vector<WorkbookJob> jobs;
    for (int i = 1; i <= n; ++i)
      if (workbooks.ticked(i)) jobs.push_back(jobAt(i));
    RunSettings settings;
    settings.outputDirectory = state_.outputDirectory;
    settings.naming = NamingOptionAt(window_.namingOption());
    settings.application = application_;
    settings.sharedNames = &state_.names;
    RunEvents events;
    events.starting = [&](std::size_t, const std::string& folderName) {
      window_.setStatus("Convert " + folderName);
    };
    events.progress = [&](const ConversionProgress& p) { showProgress(p); };
    // Each failure is shown as it happens, and the run goes on.
    events.finished = [&](const JobResult& result) {
      state_.workbookOutputFolder = result.outputFolder;
      last_ = result.conversion;
      if (showResult(result.conversion) != ConvertResult::Converted)
        desktop.showMessage("Convert " + result.folderName + " file failed!",
                            MessageStyle::Critical);
    };
    runConversion(jobs, settings, events);
    desktop.open(state_.outputDirectory);
  }
  window_.setStatus("");
  window_.setProgressValue(0);
  window_.setPointer(kPointerDefault);
}

}  // namespace quorvel
