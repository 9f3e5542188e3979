#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <thread>

#include "cli/messages.h"

namespace quorvel::cli {

namespace {

constexpr int kExitUsage = 2;

const char* kDescription =
    "Converts spreadsheet workbooks (.xlsx, .xlsm, .xlsb, .xls) to text: every worksheet\n"
    "becomes one tab-separated .txt file (UTF-8, CR LF), as the Quorvel window writes it,\n"
    "or a comma-separated .csv file.\n"
    "Each PATH is a workbook or a folder, taken literally (* ? [ are ordinary\n"
    "characters); a folder gives all its workbooks (with -r also those of its\n"
    "sub-folders); - reads one workbook from standard input. Each workbook gets a\n"
    "new sub-folder of DIR named after it without spaces, dots and control\n"
    "characters (Sales 2024.xlsx -> Sales2024); when that name is taken, a number\n"
    "counting up is appended (Sales20241, Sales20242, ...). DIR and its missing\n"
    "parent folders are created.";

const char* kFooter =
    "File names (--naming):\n"
    "  sheet     the worksheet's name (Jan.txt); workbook_sheet when both are equal\n"
    "  workbook  workbook and worksheet name (Sales_Jan.txt)\n"
    "  number    1.txt, 2.txt, ... in worksheet order\n"
    "Characters : \" < > | / and control characters are left out of file names; a\n"
    "name left empty becomes a number. A name that a worksheet of the same workbook\n"
    "has written already gets _2, _3, ... (ab.txt, ab_2.txt); long names are cut to\n"
    "fit 255 bytes. A text file appears under its name only once it is complete.\n\n"
    "Folders (--layout):\n"
    "  new     a new sub-folder of DIR per workbook, named as above\n"
    "  mirror  DIR mirrors the inputs, the same on every run: IN/a/b/Sales.xlsx in\n"
    "          an input folder IN goes to DIR/a/b/Sales.xlsx/, a workbook given as\n"
    "          a file to DIR/Sales.xlsx/. Each folder is written under a hidden\n"
    "          name beside its place and moved there when complete, replacing the\n"
    "          old one; --skip-existing keeps a folder that exists instead.\n\n"
    "Values (--values):\n"
    "  display  what the spreadsheet shows (3/14/2024, 1,234.50, 12%)\n"
    "  raw      numbers in the shortest form that reads back as the same number\n"
    "           (0.1, 1234.5, 1e+21); dates and times of date-formatted cells in\n"
    "           ISO 8601 (2024-01-31, 2024-01-31T13:45:00, 13:45:00 for a value\n"
    "           under one day, .5 after the seconds for milliseconds); TRUE and\n"
    "           FALSE; errors as shown; text as stored. A value no calendar day\n"
    "           has (negative, past 9999, the 1900 system's 1900-02-29) and an\n"
    "           elapsed time ([h]:mm) are written as numbers.\n"
    "--format csv separates fields by commas instead of tabs, with the same\n"
    "quoting, and names the files .csv.\n\n"
    "Standard input and output: - as a PATH reads one workbook from standard\n"
    "input (its folder is named stdin, or by --name). -o - writes the one\n"
    "worksheet chosen (a workbook with one worksheet, or one --sheet) to standard\n"
    "output, the same bytes as its file, once it is complete.\n"
    "--shard K/N takes only the workbooks whose path below the input folder given\n"
    "(for a workbook given as a file, its file name) hashes to K modulo N, by\n"
    "64-bit FNV-1a of its bytes: N runs with K = 0 ... N-1 take every workbook once.\n"
    "--max-sheet-size refuses a worksheet whose empty cells alone would take more\n"
    "than SIZE bytes of separators and line ends (default 1G); SIZE is a number of\n"
    "bytes, or ends in K, M, G or T (powers of 1024).\n\n"
    "Progress goes to standard error when it is a terminal; each failed workbook\n"
    "gets one line there, and a summary ends the run.\n"
    "Ctrl-C or SIGTERM stops the run: the file being written is removed, and the\n"
    "report and the summary tell what was done; a second Ctrl-C quits at once.\n"
    "The report (--report) may not lie inside DIR; names that are not UTF-8 appear\n"
    "in it with their exact bytes in hexadecimal beside them (\"input\", \"inputBytes\").\n"
    "Exit status: 0 every workbook converted (or skipped), 1 some failed, 2 usage\n"
    "error, 130 stopped by Ctrl-C (SIGINT), 143 stopped by SIGTERM.\n\n"
    "Examples:\n"
    "  quorvel-convert -r --naming workbook -j 4 --report report.json invoices/ -o text/\n"
    "    converts every workbook under invoices/ and its sub-folders into text/\n"
    "    (invoices/2024/Q1.xlsx -> text/Q1/Q1_Jan.txt, text/Q1/Q1_Feb.txt, ...)\n"
    "    and writes what became of each workbook and worksheet to report.json.\n"
    "  unzip -p reports.zip q1.xlsx | quorvel-convert --sheet Totals --format csv - -o -\n"
    "    prints the worksheet Totals of a workbook inside a zip archive as CSV.\n"
    "  quorvel-convert -r --layout mirror --skip-existing --shard 2/8 archive/ -o text/\n"
    "    the third of eight shards of archive/, resuming where an earlier run stopped.";

// One value each time: "--sheet Jan book.xlsx" leaves book.xlsx a PATH.
template <class T>
void repeatable(CLI::App& app, const std::string& name, std::vector<T>& into,
                const std::string& text, const std::string& what) {
  app.add_option(name, into, what)
      ->option_text(text)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// What the options say together; "" when they agree.
std::string conflicts(Options& o) {
  if (!o.listSheets && o.output.empty())
    return "no output folder: give one with -o DIR (see --help)";
  if (o.toStandardOutput() && o.layout == "mirror")
    return "-o - writes to standard output: --layout mirror needs an output folder";
  if (o.skipExisting && o.layout != "mirror")
    return "--skip-existing keeps the folders of --layout mirror: give that too";
  if (std::count(o.paths.begin(), o.paths.end(), "-") > 1)
    return "standard input (-) can be read only once";
  if (!o.name.empty() && !o.readsStandardInput())
    return "--name names the workbook read from standard input, and no PATH is -";
  if (!o.name.empty() && !isPlainFileName(o.name)) return "--name takes a file name, without a /";
  if (!o.shardText.empty()) {
    std::optional<Shard> shard = parseShard(o.shardText);
    if (!shard) return "--shard takes K/N with 0 <= K < N, such as 0/4, not '" + o.shardText + "'";
    o.shard = *shard;
  }
  if (!o.maxSheetSizeText.empty()) {
    std::optional<std::uint64_t> size = parseSize(o.maxSheetSizeText);
    if (!size)
      return "--max-sheet-size takes a number of bytes, or one ending in K, M, G or T, not '" +
             o.maxSheetSizeText + "'";
    o.maxSheetSize = *size;
  }
  return "";
}

}  // namespace

bool Options::readsStandardInput() const {
  return std::find(paths.begin(), paths.end(), "-") != paths.end();
}

std::optional<std::uint64_t> parseSize(const std::string& text) {
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || text.size() > digits + 1) return std::nullopt;
  int shift = 0;
  if (digits < text.size()) {
    const std::string units = "KMGT";
    const std::size_t unit =
        units.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[digits]))));
    if (unit == std::string::npos) return std::nullopt;
    shift = 10 * static_cast<int>(unit + 1);
  }
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value == 0 || value > (UINT64_MAX >> shift)) return std::nullopt;
  return value << shift;
}

std::optional<int> parseCommandLine(int argc, char** argv, Options& o) {
  o.jobs = std::max(1u, std::thread::hardware_concurrency());
  o.threads = o.jobs;
  CLI::App app(kDescription, "quorvel-convert");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("quorvel-convert ") + QUORVEL_VERSION);
  app.add_option("PATH", o.paths, "Workbooks and folders to convert; - for standard input")
      ->required();
  app.add_option("-o,--output", o.output,
                 "Folder that receives one sub-folder per workbook (made if missing); - for "
                 "standard output")
      ->option_text("DIR");
  app.add_flag("-r,--recursive", o.recursive, "Also take the workbooks of sub-folders");
  app.add_option("--naming", o.naming, "How text files are named: sheet, workbook or number")
      ->check(CLI::IsMember({"sheet", "workbook", "number"}))
      ->capture_default_str();
  repeatable(app, "--sheet", o.sheetNames, "NAME",
             "Convert only this worksheet (repeatable); a workbook without it fails");
  repeatable(app, "--sheet-index", o.sheetIndexes, "N",
             "Convert only the Nth worksheet, from 1 (repeatable)");
  app.add_option("--format", o.format, "Text files: tsv (tab-separated, .txt) or csv (.csv)")
      ->check(CLI::IsMember({"tsv", "csv"}))
      ->capture_default_str();
  app.add_option("--values", o.values, "Cells as the spreadsheet displays them, or raw values")
      ->check(CLI::IsMember({"display", "raw"}))
      ->capture_default_str();
  app.add_option("--layout", o.layout,
                 "Output folders: a new one per workbook, or mirroring the inputs")
      ->check(CLI::IsMember({"new", "mirror"}))
      ->capture_default_str();
  app.add_flag("--skip-existing", o.skipExisting,
               "With --layout mirror: skip workbooks whose folder exists");
  app.add_option("--shard", o.shardText, "Convert only shard K of N (0 <= K < N)")
      ->option_text("K/N");
  app.add_option("--name", o.name, "The file name of the workbook read from standard input")
      ->option_text("NAME");
  app.add_option("--max-sheet-size", o.maxSheetSizeText,
                 "Refuse a worksheet whose empty cells alone take more than SIZE (default 1G)")
      ->option_text("SIZE");
  app.add_flag("--sheets", o.listSheets,
               "List the workbooks and their worksheets instead of converting");
  app.add_option("-j,--jobs", o.jobs,
                 "Workbooks converted at once (default: the number of cores); the output is "
                 "the same for any number")
      ->check(CLI::Range(1u, 256u))
      ->capture_default_str();
  app.add_option("--threads", o.threads,
                 "Cores to keep busy in all (default: the number of cores): the workbooks "
                 "converted at once share them, and each reads a large worksheet with its share")
      ->check(CLI::Range(1u, 256u))
      ->capture_default_str();
  app.add_option("--report", o.report, "Write a JSON report of every workbook and worksheet")
      ->option_text("FILE");
  app.add_flag("-q,--quiet", o.quiet, "No progress line and no summary; failures are still shown");
  repeatable(app, "--password", o.passwords, "PW",
             "A password to try on encrypted workbooks (repeatable)");
  app.add_option("--password-file", o.passwordFile, "Passwords to try, one a line")
      ->option_text("FILE");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  for (int index : o.sheetIndexes)
    if (index < 1) {
      warn("--sheet-index counts worksheets from 1, not " + std::to_string(index));
      return kExitUsage;
    }
  if (std::string why = conflicts(o); !why.empty()) {
    warn(why);
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace quorvel::cli
