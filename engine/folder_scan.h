#pragma once
// The workbooks and sub-folders of a folder, and paths joined the one way.
#include <string>
#include <vector>

namespace quorvel {

// Whether a file name ends in .xls, .xlsx, .xlsm or .xlsb (any letter case).
bool IsWorkbookFileName(const std::string& name);

// The workbook files of a folder itself (no sub-folders), bare names sorted
// ignoring letter case. All of them: callers apply their own limit.
std::vector<std::string> ListFolderWorkbooks(const std::string& folder);

// The sub-folders of a folder, sorted the same way; linked folders are left
// out, so that a walk down the tree cannot loop.
std::vector<std::string> ListSubFolders(const std::string& folder);

// `folder` and `name` joined by one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorvel
