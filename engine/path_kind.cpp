#include <filesystem>
#include <system_error>

#include "engine/engine.h"

namespace quorvel {

int GetPathKind(const std::string& path) {
  // Wildcards name no single entry on the platform the users know.
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return kPathNothing;
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec) return kPathNothing;
  if (std::filesystem::is_directory(status)) return kPathDirectory;
  // A file named with a trailing separator fails the status test already.
  if (std::filesystem::is_regular_file(status)) return kPathFile;
  return kPathNothing;
}

}  // namespace quorvel
