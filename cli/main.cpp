// quorvel-convert: the window's conversion for scripts and batch work.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

#include "cli/batch.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "cli/standard_input.h"
#include "engine/conversion_run.h"
#include "engine/output_directory.h"
#include "engine/spreadsheet/atomic_file.h"
#include "engine/workbook_folder.h"
#include "engine/workbook_inspection.h"

namespace {

using namespace quorvel;
using cli::warn;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const std::map<std::string, NamingOption> kNamingOptions = {
    {"sheet", NamingOption::SheetName},
    {"workbook", NamingOption::WorkbookAndSheetName},
    {"number", NamingOption::Number}};

// One password a line; a CR before the line end is not part of it, nor the
// UTF-8 byte order mark some editors put before the first line.
bool readPasswords(const std::string& file, std::vector<std::string>& passwords) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bool first = true;
  for (std::string line; std::getline(in, line); first = false) {
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) passwords.push_back(line);
  }
  return true;
}

// The output directory and any missing parents, as mkdir -p makes them,
// then checked as the window checks a typed path.
bool prepareOutput(const std::string& dir, std::string& validated, std::string& why) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  OutputDirectoryCheck check = validateOutputDirectory(dir, /*typed=*/true);
  if (ec || !check.accepted()) {
    why = DescribeFolderFailure(dir, ec ? ec.message() : check.reason);
    return false;
  }
  validated = check.directory;
  return true;
}

// Two workbooks the mirror layout would put in one folder: the second
// would replace the first's text.
std::string sharedMirrorFolder(const std::vector<cli::InputWorkbook>& workbooks) {
  std::map<std::string, const cli::InputWorkbook*> seen;
  for (const cli::InputWorkbook& w : workbooks) {
    auto [at, fresh] = seen.emplace(w.relative, &w);
    if (!fresh)
      return "'" + at->second->input + "' and '" + w.input + "' would both go to the folder '" +
             w.relative + "' of --layout mirror: convert them in separate runs";
  }
  return "";
}

// Standard output takes one worksheet: known from the command line when it
// names more or fewer workbooks than one, else from the workbook's list.
// "" when exactly one is chosen, or when the conversion will fail anyway
// (a workbook that cannot be read, a chosen worksheet it lacks).
std::string whyNotOneWorksheet(const std::vector<cli::InputWorkbook>& workbooks,
                               const cli::BatchOptions& options) {
  const std::string start = "-o - writes one worksheet to standard output, ";
  if (workbooks.empty()) return start + "and the inputs give no workbook";
  if (workbooks.size() > 1)
    return start + "and the inputs give " + std::to_string(workbooks.size()) +
           " workbooks: convert one at a time";
  const cli::InputWorkbook& book = workbooks.front();
  WorksheetList list = listWorksheets(book.path, options.newApplication);
  if (list.outcome != Outcome::Done) return "";
  SelectedSheets chosen = SelectSheets(list.names, options.sheets);
  if (!chosen.missing.empty() || chosen.positions.size() == 1) return "";
  if (chosen.positions.empty()) return start + "and '" + book.name + "' has no worksheet";
  std::string names;
  for (int s : chosen.positions)
    names += (names.empty() ? "" : ", ") + list.names[static_cast<std::size_t>(s - 1)];
  const std::string count = std::to_string(chosen.positions.size());
  return start + "and " +
         (options.sheets.all() ? "'" + book.name + "' has " + count + " worksheets"
                               : count + " worksheets of '" + book.name + "' are chosen") +
         " (" + names + "): choose one with --sheet or --sheet-index";
}

// Whether `path` names the file standard output writes to.
bool isStandardOutput(const std::string& path) {
  struct stat out {
  }, file{};
  return ::fstat(STDOUT_FILENO, &out) == 0 && ::stat(path.c_str(), &file) == 0 &&
         out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

void printListing(const std::vector<cli::WorkbookOutcome>& outcomes) {
  for (const auto& o : outcomes) {
    if (o.status != cli::Status::Done) continue;
    std::cout << o.input << '\n';
    for (const auto& s : o.sheets) std::cout << "  " << s.index << '\t' << s.name << '\n';
  }
  std::cout.flush();
}

// The line that ends the run: what was done, what failed, what a signal
// left undone.
std::string summary(const std::vector<cli::WorkbookOutcome>& outcomes, bool listOnly,
                    const std::string& outputDirectory, int signal) {
  std::size_t done = 0, failed = 0, skipped = 0, sheets = 0;
  for (const auto& o : outcomes) {
    if (o.status == cli::Status::Done) ++done;
    if (o.status == cli::Status::Failed) ++failed;
    if (o.status == cli::Status::Skipped) ++skipped;
    sheets += o.sheets.size();
  }
  std::string line = std::string(listOnly ? "Listed " : "Converted ") + std::to_string(done) +
                     " of " + std::to_string(outcomes.size()) + " workbooks (" +
                     std::to_string(sheets) + " worksheets)";
  if (!listOnly)
    line += outputDirectory == spreadsheet::kStandardOutput ? " to standard output"
                                                            : " into " + outputDirectory;
  if (skipped) line += "; " + std::to_string(skipped) + " skipped, their folders exist";
  if (failed) line += "; " + std::to_string(failed) + " failed";
  if (signal)
    line += "; stopped by " + cli::signalName(signal) + ", " +
            std::to_string(outcomes.size() - done - failed - skipped) + " not finished";
  return line + ".";
}

}  // namespace

int main(int argc, char** argv) {
  cli::Options opt;
  if (std::optional<int> status = cli::parseCommandLine(argc, argv, opt)) return *status;
  if (!opt.passwordFile.empty() && !readPasswords(opt.passwordFile, opt.passwords)) {
    warn("cannot read the password file " + opt.passwordFile);
    return kExitUsage;
  }

  spreadsheet::OpenOptions open{opt.passwords};
  std::unique_ptr<cli::SpooledInput> standardInput;
  cli::InputWorkbook fromStandardInput{"", "-", opt.name.empty() ? "stdin" : opt.name, ""};
  fromStandardInput.relative = fromStandardInput.name;
  if (opt.readsStandardInput()) {
    standardInput = std::make_unique<cli::SpooledInput>();
    if (!standardInput->reason().empty()) {
      warn(standardInput->reason());
      return isatty(STDIN_FILENO) ? kExitUsage : kExitFailed;
    }
    fromStandardInput.path = standardInput->path();
    open.displayNames[fromStandardInput.path] = fromStandardInput.name;
  }

  cli::Inputs inputs = cli::collectInputs(opt.paths, opt.recursive, fromStandardInput);
  if (!inputs.missing.empty() || !inputs.notRegular.empty()) {
    for (const auto& p : inputs.missing) warn("no such workbook or folder: " + p);
    for (const auto& p : inputs.notRegular)
      warn("not a regular file: " + p + " (a pipe, device or socket is no workbook)");
    return kExitUsage;
  }
  std::erase_if(inputs.workbooks,
                [&](const cli::InputWorkbook& w) { return !opt.shard.takes(w.relative); });

  cli::BatchOptions batch;
  batch.layout = opt.layout == "mirror" ? cli::Layout::Mirror : cli::Layout::Numbered;
  batch.skipExisting = opt.skipExisting;
  batch.naming = kNamingOptions.at(opt.naming);
  batch.sheets = {opt.sheetNames, opt.sheetIndexes};
  if (opt.format == "csv") batch.text.separator = ',';
  if (opt.values == "raw") batch.text.values = spreadsheet::CellValues::Raw;
  if (opt.maxSheetSize) batch.text.maxPaddingBytes = opt.maxSheetSize;
  batch.jobs = opt.jobs;
  batch.cores = opt.threads;
  batch.text.parallel.threads = SheetThreads(opt.threads, opt.jobs, inputs.workbooks.size());
  batch.listOnly = opt.listSheets;
  batch.progress = !opt.quiet && isatty(STDERR_FILENO);
  batch.newApplication = [open] { return spreadsheet::createApplication(open); };
  if (batch.layout == cli::Layout::Mirror && !opt.listSheets) {
    if (std::string why = sharedMirrorFolder(inputs.workbooks); !why.empty()) {
      warn(why);
      return kExitUsage;
    }
  }

  std::vector<std::string> workbookPaths;
  for (const auto& w : inputs.workbooks) workbookPaths.push_back(w.path);
  const bool writesFolders = !opt.listSheets && !opt.toStandardOutput();
  cli::ReportTarget reportTarget;
  if (!opt.report.empty()) {
    std::string why = cli::checkReportPath(opt.report, workbookPaths,
                                           writesFolders ? opt.output : "", reportTarget);
    if (why.empty() && opt.toStandardOutput() && isStandardOutput(opt.report))
      why = "the report '" + opt.report + "' would go to standard output, where -o - writes";
    if (!why.empty()) {
      warn(why);
      return kExitUsage;
    }
  }

  if (opt.toStandardOutput()) {
    batch.outputDirectory = std::string(spreadsheet::kStandardOutput);
    if (std::string why = whyNotOneWorksheet(inputs.workbooks, batch); !why.empty()) {
      warn(why);
      return kExitUsage;
    }
  } else if (writesFolders) {
    std::string why;
    if (!prepareOutput(opt.output, batch.outputDirectory, why)) {
      warn(why);
      return kExitFailed;
    }
  }

  cli::SignalStop signals;
  batch.stop = signals.token();
  auto outcomes = cli::runBatch(inputs.workbooks, batch, [](const cli::WorkbookOutcome& o) {
    warn("failed: " + o.input + ": " + o.error);
  });
  if (opt.listSheets) printListing(outcomes);

  const int signal = signals.signal();
  const bool anyFailed = std::any_of(outcomes.begin(), outcomes.end(),
                                     [](const auto& o) { return o.status == cli::Status::Failed; });
  int status = signal ? cli::exitStatusFor(signal) : anyFailed ? kExitFailed : kExitConverted;
  if (!opt.report.empty()) {
    cli::RunSummary run{batch.outputDirectory, opt.naming, opt.listSheets, signal};
    run.layout = opt.layout;
    run.format = opt.format;
    run.values = opt.values;
    if (std::string why = cli::writeReport(reportTarget, outcomes, run); !why.empty()) {
      warn(why);
      if (!signal) status = kExitFailed;
    }
  }
  if (!opt.quiet)
    std::fprintf(
        stderr, "%s\n",
        spreadsheet::printable(summary(outcomes, opt.listSheets, batch.outputDirectory, signal))
            .c_str());
  return status;
}
