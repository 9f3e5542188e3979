#include "engine/output_directory.h"

#include <filesystem>

#include "engine/path_kind.h"
#include "engine/workbook_folder.h"

namespace quorvel {

OutputDirectoryCheck validateOutputDirectory(const std::string& text, bool typed) {
  constexpr char kSeparator = std::filesystem::path::preferred_separator;
  OutputDirectoryCheck check{text, std::nullopt, ""};
  std::string& directory = check.directory;
  if (directory.empty()) {
    check.problem = DirectoryProblem::NoneGiven;
    return check;
  }
  if (GetPathKind(directory) != PathKind::Directory && !typed) {
    check.problem = DirectoryProblem::DoesNotExist;
    return check;
  }
  while (!directory.empty() && directory.back() == kSeparator) directory.pop_back();
  // Nothing but separators is the root folder, which the stripping would
  // otherwise turn into an empty path.
  const std::string stripped = directory.empty() ? std::string(1, kSeparator) : directory;
  if (GetPathKind(stripped) != PathKind::Directory && typed) {
    check.reason = CreateOutputFolder(stripped);
    if (!check.reason.empty()) {
      check.problem = DirectoryProblem::CannotCreate;
      return check;
    }
  }
  directory += kSeparator;
  return check;
}

const char* describe(DirectoryProblem problem) {
  switch (problem) {
    case DirectoryProblem::NoneGiven:
      return "Please select output folder";
    case DirectoryProblem::DoesNotExist:
      return "Folder does not exist!";
    case DirectoryProblem::CannotCreate:
      return "Failed to create folder!";
  }
  return "";
}

}  // namespace quorvel
