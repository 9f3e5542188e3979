#include "main_window/persisted_lists.h"

#include "engine/window/window_model.h"

namespace quorvel {

std::string JobListPath(const std::string& appFolder) {
  return appFolder + "/EXCEL.txt";
}
std::string OutputHistoryPath(const std::string& appFolder) {
  return appFolder + "/output.txt";
}

int ImageForPathKind(PathKind pathKind) {
  if (pathKind == PathKind::File) return kImageFile;
  if (pathKind == PathKind::Directory) return kImageFolder;
  return kImageMissing;
}

}  // namespace quorvel
