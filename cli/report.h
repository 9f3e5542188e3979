#pragma once
// The --report file: what became of every workbook and worksheet, as JSON.
#include <string>
#include <vector>

#include "cli/batch.h"

namespace quorvel::cli {

// Returns "" on success, else why the file could not be written.
std::string writeReport(const std::string& file, const std::vector<WorkbookOutcome>& outcomes,
                        const std::string& outputDirectory, const std::string& naming,
                        bool listOnly);

}  // namespace quorvel::cli
