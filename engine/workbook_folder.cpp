#include "engine/workbook_folder.h"

#include <filesystem>
#include <system_error>

namespace quorvel {

namespace {

// Anything already at the path takes it, not only a folder: a file or a
// dangling link of that name would make the folder impossible to create, and
// so would a name with "*" or "?", which GetPathKind never calls a folder.
bool isTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

std::string ChooseWorkbookOutputFolder(const std::string& outputDirectory,
                                       const std::string& name) {
  // The suffixes accumulate (N, N1, N12, N123 ...): each try appends to the
  // last, so the folders of one name sort together, in the order made.
  std::string folder = outputDirectory + name;
  for (int suffix = 1; isTaken(folder); ++suffix) folder += std::to_string(suffix);
  return folder;
}

std::string CreateOutputFolder(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::create_directory(path, ec)) return "";
  if (ec) return ec.message();
  return std::make_error_code(std::errc::file_exists).message();
}

}  // namespace quorvel
