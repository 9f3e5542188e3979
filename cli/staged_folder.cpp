#include "cli/staged_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/spreadsheet/atomic_file.h"
#include "engine/spreadsheet/error.h"

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kNameTries = 100;

void removeTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);  // what stays is removed by the next run
}

std::string cannotReplace(const std::string& path, int error) {
  return "cannot move the folder '" + spreadsheet::printable(path) +
         "' into place: " + std::strerror(error);
}

}  // namespace

StagedFolder::StagedFolder(std::string finalPath) : final_(std::move(finalPath)) {
  for (int tries = 0; tries < kNameTries; ++tries) {
    temporary_ = spreadsheet::temporaryPathBeside(final_);
    if (::mkdir(temporary_.c_str(), 0777) == 0) return;
    if (errno != EEXIST) break;
  }
  reason_ = std::strerror(errno);
  temporary_.clear();
}

StagedFolder::~StagedFolder() {
  if (!committed_ && !temporary_.empty()) removeTree(temporary_);
}

std::string StagedFolder::commit() {
  // No folder there yet (or an empty one): one rename.
  if (std::rename(temporary_.c_str(), final_.c_str()) == 0) {
    committed_ = true;
    return "";
  }
  if (errno != EEXIST && errno != ENOTEMPTY) return cannotReplace(final_, errno);
  // Swapped in one step: the old folder takes the temporary name.
  if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, final_.c_str(), RENAME_EXCHANGE) == 0)
    return "";  // the destructor removes the old folder under the temporary name
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
    return cannotReplace(final_, errno);
  // A file system that cannot swap: the old folder aside, the new one in.
  const std::string aside = spreadsheet::temporaryPathBeside(final_);
  if (std::rename(final_.c_str(), aside.c_str()) != 0) return cannotReplace(final_, errno);
  if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
    const int error = errno;
    std::rename(aside.c_str(), final_.c_str());
    return cannotReplace(final_, error);
  }
  committed_ = true;
  removeTree(aside);
  return "";
}

void RemoveStaleStaging(const std::string& finalPath) {
  const fs::path target(finalPath);
  const std::string name = target.filename().string();
  std::error_code ec;
  fs::directory_iterator it(target.parent_path(), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc) && !it->is_symlink(typeEc) &&
        spreadsheet::isTemporaryNameFor(it->path().filename().string(), name))
      removeTree(it->path().string());
  }
}

}  // namespace quorvel::cli
