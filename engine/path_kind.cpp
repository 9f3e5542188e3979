#include "engine/path_kind.h"

#include <filesystem>
#include <system_error>

namespace quorvel {

PathKind GetPathKind(const std::string& path) {
  // A wildcard stands for many entries, so the path names no single one.
  if (path.find_first_of("*?") != std::string::npos) return PathKind::Nothing;
  return LiteralPathKind(path);
}

PathKind LiteralPathKind(const std::string& path) {
  if (path.empty()) return PathKind::Nothing;
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec) return PathKind::Nothing;
  if (std::filesystem::is_directory(status)) return PathKind::Directory;
  // A file named with a trailing separator fails the status test already.
  if (std::filesystem::is_regular_file(status)) return PathKind::File;
  return PathKind::Nothing;
}

}  // namespace quorvel
