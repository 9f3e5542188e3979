#pragma once
// The new sub-folder of the output directory that each converted workbook
// gets.
#include <string>

namespace quorvel {

// `outputDirectory` (ending in a separator) followed by `name`, or, while
// that path is taken by anything already there, by `name` with a number
// counting up from 1 (N, N1, N2, N3 ...). The name is cut, at a character,
// so that it fits the file system with its number.
std::string ChooseWorkbookOutputFolder(const std::string& outputDirectory, const std::string& name);

// Creates one folder level; "" on success, else the system's reason.
std::string CreateOutputFolder(const std::string& path);

struct MadeFolder {
  std::string path;    // the folder chosen last
  std::string reason;  // "" when it was made, else why not
};

// Chooses the folder and makes it. A folder made by someone else between
// the choice and the making (another run into the same directory) only
// moves the choice on to the next number.
MadeFolder MakeWorkbookOutputFolder(const std::string& outputDirectory, const std::string& name);

// The sentence for a folder that could not be made: its path and the
// system's reason.
std::string DescribeFolderFailure(const std::string& path, const std::string& reason);

// Removes `path` if it is an empty folder; true when it did.
bool RemoveEmptyFolder(const std::string& path);

}  // namespace quorvel
