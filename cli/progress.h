#pragma once
// The progress line on standard error: workbooks done of the total and the
// workbook being worked on, redrawn in place. Callers serialise the calls.
#include <cstddef>
#include <string>

namespace quorvel::cli {

class Progress {
 public:
  Progress(bool enabled, std::size_t total) : enabled_(enabled), total_(total) {}
  void starting(const std::string& workbook);
  void finished(const std::string& workbook);
  // Removes the line, so that other output starts on a clean line.
  void clear();

 private:
  void draw();
  bool enabled_;
  std::size_t total_, done_ = 0;
  std::string current_;
  bool drawn_ = false;
};

}  // namespace quorvel::cli
