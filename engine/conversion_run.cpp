#include "engine/conversion_run.h"

#include <algorithm>
#include <thread>

#include "engine/spreadsheet/error.h"
#include "engine/work_queue.h"
#include "engine/workbook_folder.h"

namespace quorvel {

std::string WorkbookFolderName(const std::string& name) {
  return CleanFolderName(StripExtension(name));
}

unsigned SheetThreads(unsigned cores, unsigned workbooksAtOnce, std::size_t workbooks) {
  if (cores == 0) cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t running = std::clamp<std::size_t>(workbooks, 1, std::max(1u, workbooksAtOnce));
  return std::max(1u, static_cast<unsigned>(cores / running));
}

std::vector<JobResult> runConversion(const std::vector<WorkbookJob>& jobs,
                                     const RunSettings& settings, const RunEvents& events,
                                     std::stop_token stop) {
  std::vector<JobResult> results(jobs.size());
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    results[i].job = i;
    results[i].folderName = WorkbookFolderName(jobs[i].name);
    results[i].conversion.outcome = Outcome::NotStarted;
  }
  // Shared names are one sequence: they allow one thread only.
  const unsigned workbooksAtOnce = settings.sharedNames ? 1 : std::max(1u, settings.threads);
  WorkQueue queue(jobs.size(), workbooksAtOnce);
  const unsigned sheetThreads = SheetThreads(settings.cores, workbooksAtOnce, jobs.size());

  auto take = [&](std::size_t i) {
    JobResult& result = results[i];
    if (events.starting) events.starting(i, result.folderName);
    MadeFolder made = MakeWorkbookOutputFolder(settings.outputDirectory, result.folderName);
    result.outputFolder = made.path;
    // Converting into a folder that is not there would fail on every
    // worksheet; the workbook fails once, saying why.
    if (!made.reason.empty()) {
      result.conversion.outcome = Outcome::FolderNotCreated;
      result.conversion.failure = Failure{static_cast<int>(spreadsheet::ErrorCode::CannotWrite),
                                          DescribeFolderFailure(result.outputFolder, made.reason)};
    }
  };

  auto work = [&](std::size_t i) {
    WorkbookConversion& conversion = results[i].conversion;
    if (conversion.outcome == Outcome::FolderNotCreated) return;
    ConversionContext context;
    context.application = settings.application;
    context.stop = stop;
    context.text = settings.text;
    context.text.parallel.threads = sheetThreads;
    if (events.progress)
      context.progress = [&](const ConversionProgress& progress) {
        ConversionProgress inRun = progress;
        inRun.job = i;
        inRun.jobs = jobs.size();
        queue.serialised([&] { events.progress(inRun); });
      };
    if (settings.sharedNames) {
      conversion = convertWorkbook(jobs[i], results[i].outputFolder, settings.naming,
                                   *settings.sharedNames, context);
    } else {
      OutputFileNames names(settings.randomSeed);
      conversion =
          convertWorkbook(jobs[i], results[i].outputFolder, settings.naming, names, context);
    }
  };

  auto finish = [&](std::size_t i) {
    if (events.finished) events.finished(results[i]);
  };

  queue.run(take, work, finish, stop);
  // Only now: a folder removed earlier could be chosen again by a later
  // workbook, and the folders would then depend on the number of threads.
  for (JobResult& result : results)
    if (result.conversion.outcome != Outcome::FolderNotCreated &&
        RemoveEmptyFolder(result.outputFolder))
      result.outputFolder.clear();
  return results;
}

}  // namespace quorvel
