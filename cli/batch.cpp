// Workbooks converted by the engine's run, or listed, on several threads.
#include "cli/batch.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/progress.h"
#include "cli/staged_folder.h"
#include "engine/conversion_run.h"
#include "engine/spreadsheet/atomic_file.h"
#include "engine/work_queue.h"
#include "engine/workbook_folder.h"
#include "engine/workbook_inspection.h"

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;
using Notify = std::function<void(const WorkbookOutcome&)>;

// Every workbook draws its random names from the same start, so a run gives
// the same files whatever the number of jobs and however often it is run.
constexpr std::uint32_t kRandomNameSeed = 1;

Status statusOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done:
      return Status::Done;
    case Outcome::Stopped:
      return Status::Stopped;
    case Outcome::NotStarted:
      return Status::NotStarted;
    default:
      return Status::Failed;
  }
}

// Why a workbook failed, in one sentence.
std::string whyFailed(Outcome outcome, const std::optional<Failure>& failure) {
  if (failure && failure->number > 0) return failure->description;
  if (outcome == Outcome::NoWorkbook) return "the workbook is no longer there";
  return "the conversion broke off";
}

WorkbookJob jobOf(const InputWorkbook& workbook, const BatchOptions& options) {
  WorkbookJob job{workbook.path, workbook.name, {}};
  job.choices.only = options.sheets;
  return job;
}

ConversionContext contextOf(const BatchOptions& options) {
  ConversionContext context;
  context.application = options.newApplication;
  context.stop = options.stop;
  context.text = options.text;
  return context;
}

std::vector<WorkbookOutcome> outcomesFor(const std::vector<InputWorkbook>& workbooks) {
  std::vector<WorkbookOutcome> outcomes(workbooks.size());
  for (std::size_t i = 0; i < workbooks.size(); ++i) outcomes[i].input = workbooks[i].input;
  return outcomes;
}

// The workbooks one at a time or several at once, each by `convert`, with
// progress and a message for each failure.
std::vector<WorkbookOutcome> eachWorkbook(
    const std::vector<InputWorkbook>& workbooks, const BatchOptions& options, Progress& progress,
    const Notify& onFailure,
    const std::function<void(const InputWorkbook&, WorkbookOutcome&)>& convert) {
  std::vector<WorkbookOutcome> outcomes = outcomesFor(workbooks);
  WorkQueue queue(workbooks.size(), options.jobs);
  queue.run([&](std::size_t i) { progress.starting(workbooks[i].input); },
            [&](std::size_t i) { convert(workbooks[i], outcomes[i]); },
            [&](std::size_t i) {
              progress.finished(workbooks[i].input);
              if (outcomes[i].status == Status::Failed) {
                progress.clear();
                onFailure(outcomes[i]);
              }
            },
            options.stop);
  return outcomes;
}

void list(const InputWorkbook& workbook, const BatchOptions& options, WorkbookOutcome& out) {
  WorksheetList list = listWorksheets(workbook.path, options.newApplication);
  out.status = statusOf(list.outcome);
  if (out.status == Status::Failed) out.error = whyFailed(list.outcome, list.failure);
  SelectedSheets chosen = SelectSheets(list.names, options.sheets);
  if (out.status == Status::Done && !chosen.missing.empty()) {
    out.status = Status::Failed;
    out.error = spreadsheet::describeError(spreadsheet::ErrorCode::NoSuchSheet, workbook.name,
                                           chosen.missing);
    return;
  }
  for (int s : chosen.positions)
    out.sheets.push_back({s, list.names[static_cast<std::size_t>(s - 1)], "", 0, 0});
}

// One workbook into its mirror folder, staged beside it and moved into place
// only when every chosen worksheet is written.
void convertMirrored(const InputWorkbook& workbook, const BatchOptions& options,
                     WorkbookOutcome& out) {
  const std::string folder = options.outputDirectory + workbook.relative;
  auto fail = [&](std::string why) {
    out.status = Status::Failed;
    out.error = std::move(why);
  };
  std::error_code ec;
  const fs::path parent = fs::path(folder).parent_path();
  fs::create_directories(parent, ec);
  if (ec) return fail(DescribeFolderFailure(parent.string(), ec.message()));
  RemoveStaleStaging(folder);
  if (options.skipExisting && fs::exists(fs::symlink_status(folder, ec))) {
    out.status = Status::Skipped;
    out.outputFolder = folder;
    return;
  }
  StagedFolder staged(folder);
  if (!staged.reason().empty()) return fail(DescribeFolderFailure(folder, staged.reason()));
  OutputFileNames names(kRandomNameSeed);
  WorkbookConversion conversion = convertWorkbook(jobOf(workbook, options), staged.path(),
                                                  options.naming, names, contextOf(options));
  out.status = statusOf(conversion.outcome);
  if (out.status == Status::Failed) {
    // Named by where the file was going, not by the hidden folder.
    std::string why = whyFailed(conversion.outcome, conversion.failure);
    if (std::size_t at = why.find(staged.path()); at != std::string::npos)
      why.replace(at, staged.path().size(), folder);
    return fail(std::move(why));
  }
  if (out.status != Status::Done) return;  // stopped: the staged folder goes, the old one stays
  if (std::string why = staged.commit(); !why.empty()) return fail(std::move(why));
  out.outputFolder = folder;
  out.sheets = std::move(conversion.sheets);
  for (WrittenSheet& sheet : out.sheets)
    sheet.outputFile = folder + sheet.outputFile.substr(staged.path().size());
}

void convertToStandardOutput(const InputWorkbook& workbook, const BatchOptions& options,
                             WorkbookOutcome& out) {
  OutputFileNames names(kRandomNameSeed);
  WorkbookConversion conversion =
      convertWorkbook(jobOf(workbook, options), std::string(spreadsheet::kStandardOutput),
                      options.naming, names, contextOf(options));
  out.status = statusOf(conversion.outcome);
  if (out.status == Status::Failed) out.error = whyFailed(conversion.outcome, conversion.failure);
  out.sheets = std::move(conversion.sheets);
  if (!out.sheets.empty()) out.outputFolder = std::string(spreadsheet::kStandardOutput);
}

std::vector<WorkbookOutcome> convertNumbered(const std::vector<InputWorkbook>& workbooks,
                                             const BatchOptions& options, Progress& progress,
                                             const Notify& onFailure) {
  std::vector<WorkbookJob> jobs;
  for (const InputWorkbook& workbook : workbooks) jobs.push_back(jobOf(workbook, options));
  RunSettings settings;
  settings.outputDirectory = options.outputDirectory;
  settings.naming = options.naming;
  settings.threads = options.jobs;
  settings.cores = options.cores;
  settings.application = options.newApplication;
  settings.randomSeed = kRandomNameSeed;
  settings.text = options.text;

  std::vector<WorkbookOutcome> outcomes = outcomesFor(workbooks);
  RunEvents events;
  events.starting = [&](std::size_t i, const std::string&) {
    progress.starting(workbooks[i].input);
  };
  events.finished = [&](const JobResult& result) {
    WorkbookOutcome& out = outcomes[result.job];
    out.status = statusOf(result.conversion.outcome);
    if (out.status == Status::Failed)
      out.error = whyFailed(result.conversion.outcome, result.conversion.failure);
    out.sheets = result.conversion.sheets;
    progress.finished(out.input);
    if (out.status == Status::Failed) {
      progress.clear();
      onFailure(out);
    }
  };
  // The folders as the run leaves them: one left empty is gone.
  for (const JobResult& result : runConversion(jobs, settings, events, options.stop))
    outcomes[result.job].outputFolder = result.outputFolder;
  return outcomes;
}

}  // namespace

std::vector<WorkbookOutcome> runBatch(const std::vector<InputWorkbook>& workbooks,
                                      const BatchOptions& options, const Notify& onFailure) {
  Progress progress(options.progress, workbooks.size());
  auto each = [&](void (*convert)(const InputWorkbook&, const BatchOptions&, WorkbookOutcome&)) {
    return eachWorkbook(
        workbooks, options, progress, onFailure,
        [&](const InputWorkbook& w, WorkbookOutcome& out) { convert(w, options, out); });
  };
  std::vector<WorkbookOutcome> outcomes;
  if (options.listOnly)
    outcomes = each(list);
  else if (options.outputDirectory == spreadsheet::kStandardOutput)
    outcomes = each(convertToStandardOutput);
  else if (options.layout == Layout::Mirror)
    outcomes = each(convertMirrored);
  else
    outcomes = convertNumbered(workbooks, options, progress, onFailure);
  progress.clear();
  return outcomes;
}

}  // namespace quorvel::cli
