#pragma once
// How far a conversion run is, as one number for the progress bar and one
// line for the status: every workbook weighs its size in bytes, and inside
// a workbook the engine's own amounts (worksheets, and rows as they are
// read) share out its weight.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/workbook_conversion.h"

namespace quorvel {

class RunProgress {
 public:
  static constexpr int kScale = 1000;  // the whole run

  // `weights`: one per job; a zero weight counts as one.
  explicit RunProgress(std::vector<std::uint64_t> weights);

  // Each returns the run's progress, 0 to kScale, which never goes back.
  int starting(std::size_t job, const std::string& folderName);
  int update(const ConversionProgress& progress);
  int finished(std::size_t job);

  // "Convert NAME", and while a worksheet is known "Convert NAME: SHEET".
  const std::string& status() const { return status_; }

 private:
  int advance(std::size_t job, double fraction);

  std::vector<std::uint64_t> weights_;
  std::vector<double> fractions_;
  std::vector<std::string> folderNames_;
  double total_ = 0, done_ = 0;
  int shown_ = 0;
  std::string status_;
};

}  // namespace quorvel
