// quorvel-convert: the window's conversion for scripts and batch work.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "cli/batch.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "engine/output_directory.h"
#include "engine/spreadsheet/error.h"
#include "engine/workbook_folder.h"

namespace {

using namespace quorvel;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* kDescription =
    "Converts spreadsheet workbooks (.xlsx, .xlsm, .xlsb, .xls) to text: every worksheet\n"
    "becomes one tab-separated .txt file (UTF-8, CR LF), as the Quorvel window writes it.\n"
    "Each PATH is a workbook or a folder, taken literally (* ? [ are ordinary\n"
    "characters); a folder gives all its workbooks (with -r also those of its\n"
    "sub-folders). Each workbook gets a new sub-folder of DIR named after it without\n"
    "spaces, dots and control characters (Sales 2024.xlsx -> Sales2024); when that\n"
    "name is taken, a number counting up is appended (Sales20241, Sales20242, ...).\n"
    "DIR and its missing parent folders are created.";

const char* kFooter =
    "File names (--naming):\n"
    "  sheet     the worksheet's name (Jan.txt); workbook_sheet when both are equal\n"
    "  workbook  workbook and worksheet name (Sales_Jan.txt)\n"
    "  number    1.txt, 2.txt, ... in worksheet order\n"
    "Characters : \" < > | / and control characters are left out of file names; a\n"
    "name left empty becomes a number. A name that a worksheet of the same workbook\n"
    "has written already gets _2, _3, ... (ab.txt, ab_2.txt); long names are cut to\n"
    "fit 255 bytes. A text file appears under its name only once it is complete.\n\n"
    "Progress goes to standard error when it is a terminal; each failed workbook\n"
    "gets one line there, and a summary ends the run.\n"
    "Ctrl-C or SIGTERM stops the run: the file being written is removed, and the\n"
    "report and the summary tell what was done; a second Ctrl-C quits at once.\n"
    "The report (--report) may not lie inside DIR; names that are not UTF-8 appear\n"
    "in it with their exact bytes in hexadecimal beside them (\"input\", \"inputBytes\").\n"
    "Exit status: 0 every workbook converted, 1 some failed, 2 usage error,\n"
    "130 stopped by Ctrl-C (SIGINT), 143 stopped by SIGTERM.\n\n"
    "Example:\n"
    "  quorvel-convert -r --naming workbook -j 4 --report report.json invoices/ -o text/\n"
    "    converts every workbook under invoices/ and its sub-folders into text/\n"
    "    (invoices/2024/Q1.xlsx -> text/Q1/Q1_Jan.txt, text/Q1/Q1_Feb.txt, ...)\n"
    "    and writes what became of each workbook and worksheet to report.json.";

struct Options {
  std::vector<std::string> paths;
  std::string output;
  bool recursive = false;
  std::string naming = "sheet";
  bool listSheets = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::string report;
  bool quiet = false;
  std::vector<std::string> passwords;
  std::string passwordFile;
};

const std::map<std::string, NamingOption> kNamingOptions = {
    {"sheet", NamingOption::SheetName},
    {"workbook", NamingOption::WorkbookAndSheetName},
    {"number", NamingOption::Number}};

// One message, one line: names from the disk or from a workbook may hold
// line breaks, other control characters or bytes that are not UTF-8.
void warn(const std::string& text) {
  std::fprintf(stderr, "quorvel-convert: %s\n", spreadsheet::printable(text).c_str());
}

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
  std::size_t done = 0, failed = 0, sheets = 0;
  for (const auto& o : outcomes) {
    if (o.status == cli::Status::Done) ++done;
    if (o.status == cli::Status::Failed) ++failed;
    sheets += o.sheets.size();
  }
  std::string line = std::string(listOnly ? "Listed " : "Converted ") + std::to_string(done) +
                     " of " + std::to_string(outcomes.size()) + " workbooks (" +
                     std::to_string(sheets) + " worksheets)";
  if (!listOnly) line += " into " + outputDirectory;
  if (failed) line += "; " + std::to_string(failed) + " failed";
  if (signal)
    line += "; stopped by " + cli::signalName(signal) + ", " +
            std::to_string(outcomes.size() - done - failed) + " not finished";
  return line + ".";
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app(kDescription, "quorvel-convert");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("quorvel-convert ") + QUORVEL_VERSION);
  app.add_option("PATH", opt.paths, "Workbooks and folders to convert")->required();
  app.add_option("-o,--output", opt.output,
                 "Folder that receives one sub-folder per workbook (made if missing)")
      ->option_text("DIR");
  app.add_flag("-r,--recursive", opt.recursive, "Also take the workbooks of sub-folders");
  app.add_option("--naming", opt.naming, "How text files are named: sheet, workbook or number")
      ->check(CLI::IsMember({"sheet", "workbook", "number"}))
      ->capture_default_str();
  app.add_flag("--sheets", opt.listSheets,
               "List the workbooks and their worksheets instead of converting");
  app.add_option("-j,--jobs", opt.jobs,
                 "Workbooks converted at once (default: the number of cores); the output is "
                 "the same for any number")
      ->check(CLI::Range(1u, 256u))
      ->capture_default_str();
  app.add_option("--report", opt.report, "Write a JSON report of every workbook and worksheet")
      ->option_text("FILE");
  app.add_flag("-q,--quiet", opt.quiet,
               "No progress line and no summary; failures are still shown");
  app.add_option("--password", opt.passwords,
                 "A password to try on encrypted workbooks (repeatable)")
      ->option_text("PW")
      // One value each time: "--password secret book.xlsx" leaves book.xlsx a PATH.
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--password-file", opt.passwordFile, "Passwords to try, one a line")
      ->option_text("FILE");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  if (!opt.listSheets && opt.output.empty()) {
    warn("no output folder: give one with -o DIR (see --help)");
    return kExitUsage;
  }
  if (!opt.passwordFile.empty() && !readPasswords(opt.passwordFile, opt.passwords)) {
    warn("cannot read the password file " + opt.passwordFile);
    return kExitUsage;
  }

  cli::Inputs inputs = cli::collectInputs(opt.paths, opt.recursive);
  if (!inputs.missing.empty() || !inputs.notRegular.empty()) {
    for (const auto& p : inputs.missing) warn("no such workbook or folder: " + p);
    for (const auto& p : inputs.notRegular)
      warn("not a regular file: " + p + " (a pipe, device or socket is no workbook)");
    return kExitUsage;
  }
  cli::ReportTarget reportTarget;
  if (!opt.report.empty()) {
    std::string why = cli::checkReportPath(opt.report, inputs.workbooks,
                                           opt.listSheets ? "" : opt.output, reportTarget);
    if (!why.empty()) {
      warn(why);
      return kExitUsage;
    }
  }

  cli::BatchOptions batch;
  batch.naming = kNamingOptions.at(opt.naming);
  batch.jobs = opt.jobs;
  batch.listOnly = opt.listSheets;
  batch.progress = !opt.quiet && isatty(STDERR_FILENO);
  spreadsheet::OpenOptions open{opt.passwords};
  batch.newApplication = [open] { return spreadsheet::createApplication(open); };
  if (!opt.listSheets) {
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
    const cli::RunSummary run{batch.outputDirectory, opt.naming, opt.listSheets, signal};
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
