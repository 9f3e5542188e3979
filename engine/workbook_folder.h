#pragma once
// The new sub-folder of the output directory that each converted workbook
// gets.
#include <string>

namespace quorvel {

// `outputDirectory` (ending in a separator) followed by `name`, with
// suffixes 1, 12, 123 ... appended while that path is taken by anything
// already there.
std::string ChooseWorkbookOutputFolder(const std::string& outputDirectory, const std::string& name);

// Creates one folder level; "" on success, else the system's reason.
std::string CreateOutputFolder(const std::string& path);

}  // namespace quorvel
