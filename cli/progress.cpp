#include "cli/progress.h"

#include <cstdio>
#include <filesystem>

namespace quorvel::cli {

namespace {
// Long names are cut so the line fits a common terminal width.
constexpr std::size_t kMaxShownName = 50;
}  // namespace

void Progress::starting(const std::string& workbook) {
  current_ = std::filesystem::path(workbook).filename().string();
  draw();
}

void Progress::finished(const std::string&) {
  ++done_;
  draw();
}

void Progress::draw() {
  if (!enabled_) return;
  std::string name =
      current_.size() > kMaxShownName ? current_.substr(0, kMaxShownName - 3) + "..." : current_;
  std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done_, total_, name.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace quorvel::cli
