#pragma once
// "set.txt" in the application folder: line 1 says whether the job list is
// saved at exit, line 2 whether the output-directory history is. A switch
// is on only when its line is exactly "1"; a missing line or file is off.
#include <string>

namespace quorvel {

struct Settings {
  bool saveJobList = false;        // Check1, "EXCEL.txt"
  bool saveOutputHistory = false;  // Check2, "output.txt"
};

std::string SettingsPath(const std::string& appFolder);
Settings ReadSettings(const std::string& appFolder);
// Writes both lines, "1" or "0", creating the folder when it is missing;
// false when the file cannot be written.
bool WriteSettings(const std::string& appFolder, const Settings& settings);

}  // namespace quorvel
