#pragma once
// Where the program keeps its lists and settings ("EXCEL.txt", "output.txt",
// "set.txt"). An installed executable's folder is not its user's to write,
// so they live in the user's configuration folder; a copy with a "set.txt"
// beside its executable is portable and keeps them there.
#include <string>

namespace quorvel {

// The executable's folder when it holds "set.txt"; otherwise
// $XDG_CONFIG_HOME/quorvel, or ~/.config/quorvel when that variable is
// unset, empty or not an absolute path. The folder need not exist yet.
std::string ApplicationFolder(const std::string& executableFolder);

// Creates `folder` with any missing parents, new ones open to their owner
// only; true when it is a folder afterwards.
bool CreateApplicationFolder(const std::string& folder);

}  // namespace quorvel
