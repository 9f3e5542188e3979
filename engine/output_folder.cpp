// Validation of the output directory at the start of a conversion run.
#include <filesystem>

#include "engine/engine.h"

namespace quorvel {

bool Engine::CheckOutputDirectory() {
  constexpr char kSeparator = std::filesystem::path::preferred_separator;
  ComboBox& box = window_.outputBox();
  std::string& directory = state_.outputDirectory;
  directory = box.text();
  const bool typed = box.selectedIndex() == -1;
  if (directory.empty()) {
    window_.desktop().showMessage("Please select output folder", kStyleInformation);
    return false;
  }
  if (GetPathKind(directory) != kPathDirectory && !typed) {
    // A history entry is never created.
    window_.desktop().showMessage("Folder does not exist!", kStyleCritical);
    return false;
  }
  while (!directory.empty() && directory.back() == kSeparator) directory.pop_back();
  // Nothing but separators is the root folder, which the stripping would
  // otherwise turn into an empty path.
  const std::string stripped = directory.empty() ? std::string(1, kSeparator) : directory;
  if (GetPathKind(stripped) != kPathDirectory && typed && !CreateOutputFolder(stripped).empty()) {
    window_.desktop().showMessage("Failed to create folder!", kStyleCritical);
    return false;
  }
  directory += kSeparator;
  return true;
}

}  // namespace quorvel
