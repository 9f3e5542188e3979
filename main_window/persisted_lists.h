#pragma once
// The two list files of the application folder: "EXCEL.txt" (the job
// list) and "output.txt" (the output-directory history).
#include <string>

#include "engine/path_kind.h"

namespace quorvel {

std::string JobListPath(const std::string& appFolder);
std::string OutputHistoryPath(const std::string& appFolder);

// The job-list image of a path kind: a file 1, a folder 2, nothing 3.
int ImageForPathKind(PathKind pathKind);

}  // namespace quorvel
