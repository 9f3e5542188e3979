#include "settings/app_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/settings_file.h"

namespace quorvel {

namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) return user->pw_dir;
  return "";
}

}  // namespace

std::string ApplicationFolder(const std::string& executableFolder) {
  std::error_code error;
  if (fs::is_regular_file(SettingsPath(executableFolder), error)) return executableFolder;
  const fs::path config = Environment("XDG_CONFIG_HOME");
  if (config.is_absolute()) return (config / "quorvel").string();
  const std::string home = HomeFolder();
  // Without any home there is nowhere else to keep them.
  if (home.empty()) return executableFolder;
  return (fs::path(home) / ".config" / "quorvel").string();
}

bool CreateApplicationFolder(const std::string& folder) {
  std::error_code error;
  if (folder.empty()) return false;
  if (fs::is_directory(folder, error)) return true;
  const fs::path path(folder);
  if (path.has_parent_path() && path.parent_path() != path &&
      !CreateApplicationFolder(path.parent_path().string()))
    return false;
  // The lists name the user's files and folders: nobody else reads them.
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return fs::is_directory(folder, error);
}

}  // namespace quorvel
