// quorvel-convert: the window's conversion for scripts and batch work.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "cli/batch.h"
#include "cli/report.h"
#include "engine/output_directory.h"

namespace {

using namespace quorvel;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* kDescription =
    "Converts spreadsheet workbooks (.xlsx, .xlsm, .xlsb, .xls) to text: every worksheet\n"
    "becomes one tab-separated .txt file (UTF-8, CR LF), as the Quorvel window writes it.\n"
    "Each PATH is a workbook or a folder; a folder gives its workbooks (its first 500,\n"
    "by name; with -r also those of its sub-folders). Each workbook gets a new\n"
    "sub-folder of DIR named after it without spaces and dots (Sales 2024.xlsx ->\n"
    "Sales2024); when that name is taken, digits are appended (Sales20241, ...).";

const char* kFooter =
    "File names (--naming):\n"
    "  sheet     the worksheet's name (Jan.txt); workbook_sheet when both are equal\n"
    "  workbook  workbook and worksheet name (Sales_Jan.txt)\n"
    "  number    1.txt, 2.txt, ... in worksheet order\n"
    "Characters : \" < > | and / are left out of file names; a name left empty\n"
    "becomes a number.\n\n"
    "Progress goes to standard error when it is a terminal; each failed workbook\n"
    "gets one line there, and a summary ends the run.\n"
    "Exit status: 0 every workbook converted, 1 some failed, 2 usage error.\n\n"
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

void warn(const std::string& text) {
  std::fprintf(stderr, "quorvel-convert: %s\n", text.c_str());
}

// One password a line; a CR before the line end is not part of it.
bool readPasswords(const std::string& file, std::vector<std::string>& passwords) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) passwords.push_back(line);
  }
  return true;
}

// The output directory checked and created as the window does for a typed path.
bool prepareOutput(const std::string& dir, std::string& validated, std::string& why) {
  OutputDirectoryCheck check = validateOutputDirectory(dir, /*typed=*/true);
  if (!check.accepted()) {
    why = describe(*check.problem);
    return false;
  }
  validated = check.directory;
  return true;
}

void printListing(const std::vector<cli::WorkbookOutcome>& outcomes) {
  for (const auto& o : outcomes) {
    if (!o.ok) continue;
    std::cout << o.input << '\n';
    for (const auto& s : o.sheets) std::cout << "  " << s.index << '\t' << s.name << '\n';
  }
  std::cout.flush();
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app(kDescription, "quorvel-convert");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("quorvel-convert ") + QUORVEL_VERSION);
  app.add_option("PATH", opt.paths, "Workbooks and folders to convert")->required();
  app.add_option("-o,--output", opt.output, "Folder that receives one sub-folder per workbook")
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
      ->option_text("PW");
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
  if (!inputs.missing.empty()) {
    for (const auto& p : inputs.missing) warn("no such workbook or folder: " + p);
    return kExitUsage;
  }
  for (const auto& folder : inputs.capped)
    warn(folder + " holds more than 500 workbooks: only the first 500 are taken");

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
      warn(opt.output + ": " + why);
      return kExitFailed;
    }
  }

  auto outcomes = cli::runBatch(inputs.workbooks, batch, [](const cli::WorkbookOutcome& o) {
    warn("failed: " + o.input + ": " + o.error);
  });
  if (opt.listSheets) printListing(outcomes);

  std::size_t failed = 0, sheets = 0;
  for (const auto& o : outcomes) {
    if (!o.ok) ++failed;
    sheets += o.sheets.size();
  }
  if (!opt.report.empty()) {
    std::string why =
        cli::writeReport(opt.report, outcomes, batch.outputDirectory, opt.naming, opt.listSheets);
    if (!why.empty()) {
      warn("cannot write the report " + opt.report + ": " + why);
      return kExitFailed;
    }
  }
  if (!opt.quiet) {
    std::size_t good = outcomes.size() - failed;
    std::fprintf(stderr, "%s %zu of %zu workbooks (%zu worksheets)%s%s",
                 opt.listSheets ? "Listed" : "Converted", good, outcomes.size(), sheets,
                 opt.listSheets ? "" : " into ",
                 opt.listSheets ? "" : batch.outputDirectory.c_str());
    if (failed) std::fprintf(stderr, "; %zu failed", failed);
    std::fputs(".\n", stderr);
  }
  return failed ? kExitFailed : kExitConverted;
}
