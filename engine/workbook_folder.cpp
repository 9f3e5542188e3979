#include "engine/workbook_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/output_naming.h"
#include "engine/spreadsheet/error.h"

namespace quorvel {

namespace {

// Anything already at the path takes it, not only a folder: a file or a
// dangling link of that name would make the folder impossible to create, and
// so would a name with "*" or "?", which GetPathKind never calls a folder.
bool isTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Tries before a folder that keeps being taken by others is given up.
constexpr int kMakeTries = 100;

}  // namespace

std::string ChooseWorkbookOutputFolder(const std::string& outputDirectory,
                                       const std::string& name) {
  std::string folder = outputDirectory + FitFileName(name, "");
  for (int suffix = 1; isTaken(folder); ++suffix)
    folder = outputDirectory + FitFileName(name, std::to_string(suffix));
  return folder;
}

std::string CreateOutputFolder(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::create_directory(path, ec)) return "";
  if (ec) return ec.message();
  return std::make_error_code(std::errc::file_exists).message();
}

MadeFolder MakeWorkbookOutputFolder(const std::string& outputDirectory, const std::string& name) {
  MadeFolder made;
  for (int tries = 0; tries < kMakeTries; ++tries) {
    made.path = ChooseWorkbookOutputFolder(outputDirectory, name);
    if (::mkdir(made.path.c_str(), 0777) == 0) {
      made.reason.clear();
      return made;
    }
    made.reason = std::strerror(errno);
    if (errno != EEXIST) break;
  }
  return made;
}

std::string DescribeFolderFailure(const std::string& path, const std::string& reason) {
  return "Failed to create folder '" + spreadsheet::printable(path) + "': " + reason;
}

bool RemoveEmptyFolder(const std::string& path) {
  return !path.empty() && ::rmdir(path.c_str()) == 0;
}

}  // namespace quorvel
