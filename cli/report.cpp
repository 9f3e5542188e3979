#include "cli/report.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

namespace quorvel::cli {

std::string writeReport(const std::string& file, const std::vector<WorkbookOutcome>& outcomes,
                        const std::string& outputDirectory, const std::string& naming,
                        bool listOnly) {
  using nlohmann::json;
  json workbooks = json::array();
  int converted = 0, failed = 0;
  for (const WorkbookOutcome& o : outcomes) {
    json sheets = json::array();
    for (const WrittenSheet& s : o.sheets) {
      json sheet = {{"index", s.index}, {"name", s.name}};
      if (!listOnly) {
        sheet["outputFile"] = s.outputFile;
        sheet["rows"] = s.rows;
        sheet["columns"] = s.columns;
      }
      sheets.push_back(std::move(sheet));
    }
    json entry = {{"input", o.input},
                  {"status", !o.ok      ? "failed"
                             : listOnly ? "listed"
                                        : "converted"},
                  {"error", o.error},
                  {"sheets", std::move(sheets)}};
    if (!listOnly) entry["outputFolder"] = o.outputFolder;
    workbooks.push_back(std::move(entry));
    (o.ok ? converted : failed)++;
  }
  json report = {{"workbooks", std::move(workbooks)},
                 {listOnly ? "listed" : "converted", converted},
                 {"failed", failed}};
  if (!listOnly) {
    report["outputDirectory"] = outputDirectory;
    report["naming"] = naming;
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  // Names come from workbooks and may hold bytes that are not UTF-8: they
  // are replaced rather than making the report fail.
  if (out) out << report.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  out.close();
  if (!out) return std::strerror(errno);
  return "";
}

}  // namespace quorvel::cli
