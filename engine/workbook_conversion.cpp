#include "engine/workbook_conversion.h"

#include <algorithm>
#include <filesystem>

#include "engine/path_kind.h"
#include "engine/server_use.h"
#include "engine/spreadsheet/atomic_file.h"

namespace quorvel {

WorksheetChoice WorksheetChoices::at(int index) const {
  if (index >= 1 && static_cast<std::size_t>(index) <= sheets.size())
    return sheets[static_cast<std::size_t>(index) - 1];
  return {};
}

WorkbookConversion convertWorkbook(const WorkbookJob& job, const std::string& folder,
                                   NamingOption naming, OutputFileNames& names,
                                   const ConversionContext& context) {
  WorkbookConversion result;
  if (LiteralPathKind(job.path) != PathKind::File) {
    result.outcome = Outcome::NoWorkbook;
    return result;
  }
  names.beginWorkbook();
  const std::string workbookName = StripExtension(job.name);
  const std::string prefix = folder + std::filesystem::path::preferred_separator;
  const bool toStandardOutput = folder == spreadsheet::kStandardOutput;
  const std::string extension(TextFileExtension(context.text.separator));
  ConversionProgress progress;
  progress.workbook = job.path;
  auto report = [&] {
    if (context.progress) context.progress(progress);
  };
  ServerUse use;
  bool stopped = false;
  result.failure = runServerSteps([&] {
    use.start(context.application);
    use.book = &use.app->open(job.path);
    use.app->setDisplayAlerts(false);
    const int n = use.book->worksheetCount();
    progress.worksheets = n;
    progress.total = static_cast<std::uint64_t>(std::max(n, 0)) * kWorkPerWorksheet;
    std::vector<bool> chosen(static_cast<std::size_t>(std::max(n, 0)) + 1, true);
    if (!job.choices.only.all()) {
      std::vector<std::string> sheetNames;
      for (int s = 1; s <= n; ++s) sheetNames.push_back(use.book->worksheetName(s));
      const SelectedSheets selected = SelectSheets(sheetNames, job.choices.only);
      if (!selected.missing.empty())
        throw spreadsheet::SpreadsheetError(
            spreadsheet::ErrorCode::NoSuchSheet,
            spreadsheet::describeError(spreadsheet::ErrorCode::NoSuchSheet, job.name,
                                       selected.missing));
      chosen.assign(chosen.size(), false);
      for (int s : selected.positions) chosen[static_cast<std::size_t>(s)] = true;
    }
    report();
    for (int s = 1; s <= n; ++s) {
      if (context.stop.stop_requested()) {
        stopped = true;
        break;
      }
      const WorksheetChoice choice = job.choices.at(s);
      std::string baseName;
      if (choice.write && chosen[static_cast<std::size_t>(s)]) {
        baseName = choice.label ? *choice.label : use.book->worksheetName(s);
        std::string file(spreadsheet::kStandardOutput);
        if (!toStandardOutput) {
          std::string fileBase = names.MakeOutputFileName(naming, workbookName, baseName);
          names.recordWritten(fileBase);
          file = prefix + fileBase + extension;
        }
        use.book->selectSheet(s);
        if (context.progress)
          use.book->setProgress([&, s](std::uint64_t rowsRead, std::uint64_t rows) {
            progress.worksheet = s;
            progress.worksheetName = baseName;
            progress.writing = true;
            progress.done = static_cast<std::uint64_t>(s - 1) * kWorkPerWorksheet +
                            (rows ? rowsRead * kWorkPerWorksheet / rows : 0);
            report();
          });
        spreadsheet::SheetStats stats;
        try {
          stats = use.book->saveAs(file, spreadsheet::xlCurrentPlatformText, context.stop,
                                   context.text);
        } catch (const spreadsheet::StopRequested&) {
          stopped = true;  // the file was not written
          break;
        }
        result.sheets.push_back({s, baseName, file, stats.rows, stats.columns});
      }
      progress.worksheet = s;
      progress.worksheetName = baseName;
      progress.writing = false;
      progress.done = static_cast<std::uint64_t>(s) * kWorkPerWorksheet;
      report();
    }
    use.finish();
  });
  if (result.failure) {
    use.abandon(*result.failure);
    result.outcome = Outcome::Failed;
  } else if (stopped) {
    result.outcome = Outcome::Stopped;
  } else {
    names.sheetCounter = 0;
  }
  return result;
}

}  // namespace quorvel
