#include "engine/folder_scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace quorvel {

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// By name ignoring case, as a file browser lists them, and the same order on
// every system and in every run.
void sortNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
  });
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == std::filesystem::path::preferred_separator)
    return folder + name;
  return folder + std::filesystem::path::preferred_separator + name;
}

bool IsWorkbookFileName(const std::string& name) {
  std::string low = lower(name);
  for (const char* ext : {".xls", ".xlsx", ".xlsm", ".xlsb"})
    if (endsWith(low, ext)) return true;
  return false;
}

std::vector<std::string> ListFolderWorkbooks(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  // An unreadable folder, or one that fails half-way, gives what was read.
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc) || fileEc) continue;
    std::string name = it->path().filename().string();
    if (IsWorkbookFileName(name)) names.push_back(std::move(name));
  }
  sortNames(names);
  return names;
}

std::vector<std::string> ListSubFolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc) && !it->is_symlink(typeEc))
      names.push_back(it->path().filename().string());
  }
  sortNames(names);
  return names;
}

}  // namespace quorvel
