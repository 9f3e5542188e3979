// Path classification's companions: the folder scan that fills the workbook
// list, and the way back from a workbook-list entry to its full path.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "engine/engine.h"
#include "engine/spreadsheet/limits.h"

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

// The order users saw on the platform's listing: by name, ignoring case.
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

void Engine::AddFolderWorkbooks(const std::string& path) {
  EntryList& workbooks = window_.workbookList();
  state_.sheetNames.erase();
  workbooks.clear();
  if (GetPathKind(path) == kPathFile) {
    int i = workbooks.add(std::filesystem::path(path).filename().string());
    workbooks.setTicked(i, true);
  } else {
    std::vector<std::string> names = ListFolderWorkbooks(path);
    if (names.size() > static_cast<std::size_t>(kMaxWorkbooksPerFolder))
      names.resize(kMaxWorkbooksPerFolder);
    for (const std::string& name : names) {
      int i = workbooks.add(name);
      workbooks.setTicked(i, true);
    }
  }
  workbooks.refresh();
  workbooks.show();
}

namespace {

std::string resolveWorkbookPath(WindowModel& window, int position) {
  EntryList& jobs = window.jobList();
  EntryList& workbooks = window.workbookList();
  std::string job = jobs.selected() >= 1 ? jobs.text(jobs.selected()) : std::string();
  std::string name = position >= 1 && position <= workbooks.count() ? workbooks.text(position) : "";
  switch (GetPathKind(job)) {
    case kPathFile:
      return job;
    case kPathDirectory: {
      std::string candidate = JoinPath(job, name);
      return !name.empty() && GetPathKind(candidate) == kPathFile ? candidate : "";
    }
    default:
      return "";
  }
}

}  // namespace

std::string Engine::SelectedWorkbookPath() {
  return resolveWorkbookPath(window_, window_.workbookList().selected());
}

std::string Engine::WorkbookPathAt(int position) {
  return resolveWorkbookPath(window_, position);
}

}  // namespace quorvel
