// Workbooks converted by the engine's run, or listed, on several threads.
#include "cli/batch.h"

#include <filesystem>
#include <optional>

#include "cli/progress.h"
#include "engine/conversion_run.h"
#include "engine/work_queue.h"
#include "engine/workbook_inspection.h"

namespace quorvel::cli {

namespace {

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

std::vector<WorkbookOutcome> listAll(const std::vector<std::string>& workbooks,
                                     const BatchOptions& options, Progress& progress,
                                     const std::function<void(const WorkbookOutcome&)>& onFailure) {
  std::vector<WorkbookOutcome> outcomes(workbooks.size());
  for (std::size_t i = 0; i < workbooks.size(); ++i) outcomes[i].input = workbooks[i];
  WorkQueue queue(workbooks.size(), options.jobs);
  queue.run([&](std::size_t i) { progress.starting(workbooks[i]); },
            [&](std::size_t i) {
              WorkbookOutcome& out = outcomes[i];
              WorksheetList list = listWorksheets(out.input, options.newApplication);
              out.status = statusOf(list.outcome);
              if (out.status == Status::Failed) out.error = whyFailed(list.outcome, list.failure);
              for (std::size_t s = 0; s < list.names.size(); ++s)
                out.sheets.push_back({static_cast<int>(s + 1), list.names[s], "", 0, 0});
            },
            [&](std::size_t i) {
              progress.finished(workbooks[i]);
              if (outcomes[i].status == Status::Failed) {
                progress.clear();
                onFailure(outcomes[i]);
              }
            },
            options.stop);
  return outcomes;
}

std::vector<WorkbookOutcome> convertAll(
    const std::vector<std::string>& workbooks, const BatchOptions& options, Progress& progress,
    const std::function<void(const WorkbookOutcome&)>& onFailure) {
  std::vector<WorkbookJob> jobs;
  for (const std::string& path : workbooks)
    jobs.push_back({path, std::filesystem::path(path).filename().string(), {}});
  RunSettings settings;
  settings.outputDirectory = options.outputDirectory;
  settings.naming = options.naming;
  settings.threads = options.jobs;
  settings.application = options.newApplication;
  settings.randomSeed = kRandomNameSeed;

  std::vector<WorkbookOutcome> outcomes(workbooks.size());
  for (std::size_t i = 0; i < workbooks.size(); ++i) outcomes[i].input = workbooks[i];
  RunEvents events;
  events.starting = [&](std::size_t i, const std::string&) { progress.starting(workbooks[i]); };
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

std::vector<WorkbookOutcome> runBatch(
    const std::vector<std::string>& workbooks, const BatchOptions& options,
    const std::function<void(const WorkbookOutcome&)>& onFailure) {
  Progress progress(options.progress, workbooks.size());
  std::vector<WorkbookOutcome> outcomes = options.listOnly
                                              ? listAll(workbooks, options, progress, onFailure)
                                              : convertAll(workbooks, options, progress, onFailure);
  progress.clear();
  return outcomes;
}

}  // namespace quorvel::cli
