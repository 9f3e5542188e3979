#include "cli/report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "engine/spreadsheet/atomic_file.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using spreadsheet::printable;

std::string hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out.append(1, kDigits[c >> 4]).append(1, kDigits[c & 0xF]);
  return out;
}

// A text taken from the file system or a workbook: as it is when it is
// UTF-8, else with its exact bytes beside it.
void putText(json& object, const std::string& key, const std::string& value) {
  object[key] = value;
  if (!spreadsheet::isValidUtf8(value)) object[key + "Bytes"] = hex(value);
}

const char* statusText(Status status, bool listOnly) {
  switch (status) {
    case Status::Done:
      return listOnly ? "listed" : "converted";
    case Status::Failed:
      return "failed";
    case Status::Stopped:
      return "stopped";
    case Status::NotStarted:
      return "not started";
    case Status::Skipped:
      return "skipped";
  }
  return "";
}

// The path without "." and "..", its links followed, and no trailing separator.
fs::path resolved(const std::string& path, std::error_code& ec) {
  fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  return p;
}

bool isInside(const fs::path& path, const fs::path& folder) {
  auto [f, p] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return f == folder.end();
}

}  // namespace

std::string signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

std::string checkReportPath(const std::string& report, const std::vector<std::string>& workbooks,
                            const std::string& outputDirectory, ReportTarget& target) {
  const std::string shown = "the report '" + printable(report) + "'";
  std::error_code ec;
  const fs::file_status status = fs::status(report, ec);
  if (fs::is_directory(status)) return shown + " is a folder";
  // /dev/stdout may stand for a file the shell opened: renaming onto that
  // name would leave what the program printed in a file with no name.
  const bool device = report.rfind("/dev/", 0) == 0 || report.rfind("/proc/", 0) == 0;
  if (fs::exists(status) && (device || !fs::is_regular_file(status))) {
    target = {report, true};
    return "";
  }
  const fs::path file = resolved(report, ec);
  if (ec) return "cannot write " + shown + ": " + ec.message();
  const fs::path folder = file.parent_path();
  if (!fs::is_directory(folder, ec))
    return "cannot write " + shown + ": its folder '" + printable(folder.string()) +
           "' does not exist";
  // The report is written beside its name and renamed: the folder must
  // take a new file, and an existing report must be replaceable.
  if (::access(folder.c_str(), W_OK | X_OK) != 0 ||
      (fs::exists(status) && ::access(file.c_str(), W_OK) != 0))
    return "cannot write " + shown + ": " + std::strerror(errno);
  if (fs::exists(status))
    for (const std::string& workbook : workbooks)
      if (fs::equivalent(file, workbook, ec)) return shown + " is one of the workbooks to convert";
  if (!outputDirectory.empty()) {
    const fs::path output = resolved(outputDirectory, ec);
    if (!ec && isInside(file, output))
      return shown + " lies inside the output folder '" + printable(outputDirectory) +
             "': write it elsewhere";
  }
  target = {file.string(), false};
  return "";
}

std::string writeReport(const ReportTarget& target, const std::vector<WorkbookOutcome>& outcomes,
                        const RunSummary& run) {
  json workbooks = json::array();
  int done = 0, failed = 0, stopped = 0, skipped = 0;
  for (const WorkbookOutcome& o : outcomes) {
    json sheets = json::array();
    for (const WrittenSheet& s : o.sheets) {
      json sheet = {{"index", s.index}};
      putText(sheet, "name", s.name);
      if (!run.listOnly) {
        putText(sheet, "outputFile", s.outputFile);
        sheet["rows"] = s.rows;
        sheet["columns"] = s.columns;
      }
      sheets.push_back(std::move(sheet));
    }
    json entry = {{"status", statusText(o.status, run.listOnly)},
                  {"error", printable(o.error)},
                  {"sheets", std::move(sheets)}};
    putText(entry, "input", o.input);
    if (!run.listOnly) putText(entry, "outputFolder", o.outputFolder);
    workbooks.push_back(std::move(entry));
    switch (o.status) {
      case Status::Done:
        ++done;
        break;
      case Status::Failed:
        ++failed;
        break;
      case Status::Skipped:
        ++skipped;
        break;
      default:
        ++stopped;
    }
  }
  json report = {{"workbooks", std::move(workbooks)},
                 {run.listOnly ? "listed" : "converted", done},
                 {"failed", failed},
                 {"stopped", stopped}};
  if (run.signal) report["stoppedBy"] = signalName(run.signal);
  if (!run.listOnly) {
    report["skipped"] = skipped;
    putText(report, "outputDirectory", run.outputDirectory);
    report["naming"] = run.naming;
    report["layout"] = run.layout;
    report["format"] = run.format;
    report["values"] = run.values;
  }
  // Bad bytes are replaced here; the exact ones are in the "Bytes" fields.
  const std::string text = report.dump(2, ' ', false, json::error_handler_t::replace) + '\n';

  const std::string shown = "the report '" + printable(target.path) + "'";
  if (target.stream) {
    // Appended: a file behind /dev/stdout keeps what was printed before.
    std::ofstream out(target.path, std::ios::binary | std::ios::app);
    out << text;
    out.close();
    if (!out) return "cannot write " + shown + ": " + std::strerror(errno);
    return "";
  }
  try {
    spreadsheet::AtomicFile file(target.path);
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size())
      return "cannot write " + shown + ": " + std::strerror(errno);
    file.commit();
  } catch (const spreadsheet::SpreadsheetError& e) {
    return e.description();
  }
  return "";
}

}  // namespace quorvel::cli
