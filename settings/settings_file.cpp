#include "settings/settings_file.h"

#include "settings/app_folder.h"
#include "settings/line_file.h"

namespace quorvel {

std::string SettingsPath(const std::string& appFolder) {
  return appFolder + "/set.txt";
}

Settings ReadSettings(const std::string& appFolder) {
  const auto lines = ReadLines(SettingsPath(appFolder));
  Settings settings;
  settings.saveJobList = lines.size() >= 1 && lines[0] == "1";
  settings.saveOutputHistory = lines.size() >= 2 && lines[1] == "1";
  return settings;
}

bool WriteSettings(const std::string& appFolder, const Settings& settings) {
  // The first settings saved make the user's configuration folder.
  CreateApplicationFolder(appFolder);
  return WriteLines(SettingsPath(appFolder),
                    {settings.saveJobList ? "1" : "0", settings.saveOutputHistory ? "1" : "0"});
}

}  // namespace quorvel
