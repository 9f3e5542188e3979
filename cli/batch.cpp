// Workbooks converted on several threads, each by its own engine on a window
// held in memory, so each one behaves as the window's Convert command does
// for one ticked workbook.
#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

#include "cli/batch.h"
#include "cli/progress.h"
#include "engine/memory_window.h"

namespace quorvel::cli {

namespace {

// Every workbook draws its random names from the same start, so a run gives
// the same files whatever the number of jobs and however often it is run.
constexpr std::uint32_t kRandomNameSeed = 1;

std::string joinMessages(const MemoryDesktop& desk) {
  std::string text;
  for (const auto& m : desk.messages) text += (text.empty() ? "" : "; ") + m.text;
  return text;
}

// A window whose job and workbook lists hold just this workbook.
void showWorkbook(MemoryWindow& window, const std::string& input, int naming) {
  window.naming = naming;
  window.jobs.select(window.jobs.add(input, kImageFile));
  int entry = window.workbooks.add(std::filesystem::path(input).filename().string());
  window.workbooks.setTicked(entry, true);
  window.workbooks.select(entry);
}

void listSheets(WorkbookOutcome& out, const BatchOptions& options) {
  MemoryWindow window;
  showWorkbook(window, out.input, options.naming);
  Engine engine(window, options.newApplication);
  engine.ListWorkbookSheets();
  out.ok = window.desk.messages.empty();
  // The first message says why; the second only that the open failed.
  if (!out.ok) out.error = window.desk.messages.front().text;
  for (int s = 1; s <= window.worksheets.count(); ++s)
    out.sheets.push_back({s, window.worksheets.text(s), "", 0, 0});
}

void convert(WorkbookOutcome& out, const BatchOptions& options) {
  MemoryWindow window;
  showWorkbook(window, out.input, options.naming);
  Engine engine(window, options.newApplication);
  engine.SeedRandomNames(kRandomNameSeed);
  engine.state().outputDirectory = options.outputDirectory;
  engine.state().workbookOutputFolder = out.outputFolder;
  int result = engine.ConvertWorkbook(1);
  out.ok = result == 1;
  out.sheets = engine.LastConvertedSheets();
  out.error = joinMessages(window.desk);
  if (!out.ok && out.error.empty())
    out.error = result == 3 ? "the workbook is no longer there" : "the conversion broke off";
}

}  // namespace

std::vector<WorkbookOutcome> runBatch(
    const std::vector<std::string>& workbooks, const BatchOptions& options,
    const std::function<void(const WorkbookOutcome&)>& onFailure) {
  std::vector<WorkbookOutcome> outcomes(workbooks.size());
  std::mutex claim;  // taking the next workbook and making its folder
  std::mutex report;
  std::size_t next = 0;
  Progress progress(options.progress, workbooks.size());

  auto work = [&] {
    for (;;) {
      std::size_t i;
      std::string folderError;
      {
        std::lock_guard lock(claim);
        if (next == workbooks.size()) return;
        i = next++;
        outcomes[i].input = workbooks[i];
        if (!options.listOnly) {
          std::string name = CleanFolderName(
              StripExtension(std::filesystem::path(workbooks[i]).filename().string()));
          outcomes[i].outputFolder = ChooseWorkbookOutputFolder(options.outputDirectory, name);
          if (std::string reason = CreateOutputFolder(outcomes[i].outputFolder); !reason.empty())
            folderError = "Failed to create folder '" + outcomes[i].outputFolder + "': " + reason;
        }
      }
      WorkbookOutcome& out = outcomes[i];
      {
        std::lock_guard lock(report);
        progress.starting(out.input);
      }
      if (!folderError.empty())
        out.error = folderError;
      else if (options.listOnly)
        listSheets(out, options);
      else
        convert(out, options);
      std::lock_guard lock(report);
      progress.finished(out.input);
      if (!out.ok) {
        progress.clear();
        onFailure(out);
      }
    }
  };

  unsigned threads = std::max(1u, std::min<unsigned>(options.jobs, workbooks.size()));
  std::vector<std::jthread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  pool.clear();
  progress.clear();
  return outcomes;
}

}  // namespace quorvel::cli
