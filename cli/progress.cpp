#include "cli/progress.h"

#include <cstdio>
#include <filesystem>

#include "engine/spreadsheet/error.h"

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
  // Escaped, so that a name cannot move the cursor or break the line, and
  // cut at a character.
  std::string name = spreadsheet::printable(current_, kMaxShownName - 3);
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
