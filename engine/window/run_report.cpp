#include "engine/window/run_report.h"

namespace quorvel {

std::string RunReport::summary() const {
  const std::string counts = std::to_string(converted) + " of " + std::to_string(workbooks) +
                             " workbooks, " + std::to_string(failed) + " failed";
  if (!stopped) return "Converted " + counts;
  return "Stopped: converted " + counts + ", " + std::to_string(notConverted) + " not converted";
}

std::string RunReport::text() const {
  std::string out = summary() + "\n";
  for (const FailedWorkbook& failure : failures) {
    out += "\n" + failure.workbook + "\n";
    for (const std::string& message : failure.messages) out += "    " + message + "\n";
  }
  return out;
}

RunReport ReportRun(const std::vector<WorkbookJob>& jobs, const std::vector<JobResult>& results,
                    bool stopped) {
  RunReport report;
  report.workbooks = jobs.size();
  report.stopped = stopped;
  for (const JobResult& result : results) {
    const WorkbookConversion& conversion = result.conversion;
    FailedWorkbook failure;
    failure.workbook = result.job < jobs.size() ? jobs[result.job].name : result.folderName;
    switch (conversion.outcome) {
      case Outcome::Done:
        ++report.converted;
        continue;
      case Outcome::Stopped:
      case Outcome::NotStarted:
        ++report.notConverted;
        continue;
      case Outcome::Failed:
      case Outcome::FolderNotCreated:
        // A server that reports a failure without a positive number has
        // nothing to say of its own.
        if (conversion.failure && conversion.failure->number > 0)
          failure.messages.push_back(conversion.failure->description);
        break;
      case Outcome::NoWorkbook:
        break;
    }
    failure.messages.push_back("Convert " + result.folderName + " file failed!");
    report.failures.push_back(std::move(failure));
  }
  report.failed = report.failures.size();
  return report;
}

}  // namespace quorvel
