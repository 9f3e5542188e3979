#include "engine/window/run_progress.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

RunProgress::RunProgress(std::vector<std::uint64_t> weights)
    : weights_(std::move(weights)),
      fractions_(weights_.size(), 0.0),
      folderNames_(weights_.size()) {
  for (std::uint64_t& weight : weights_) {
    weight = std::max<std::uint64_t>(weight, 1);
    total_ += static_cast<double>(weight);
  }
}

int RunProgress::advance(std::size_t job, double fraction) {
  if (job >= weights_.size()) return shown_;
  fraction = std::clamp(fraction, 0.0, 1.0);
  // A worksheet read a second time (its recorded range was wrong) does
  // not move the bar back.
  if (fraction > fractions_[job]) {
    done_ += (fraction - fractions_[job]) * static_cast<double>(weights_[job]);
    fractions_[job] = fraction;
  }
  // Sums of fractional steps can fall just short of the total: a run whose
  // every job is done is whole, whatever the rounding.
  const bool all =
      std::all_of(fractions_.begin(), fractions_.end(), [](double f) { return f >= 1.0; });
  const int permille = all ? kScale : static_cast<int>(std::floor(done_ / total_ * kScale));
  shown_ = std::clamp(permille, shown_, kScale);
  return shown_;
}

int RunProgress::starting(std::size_t job, const std::string& folderName) {
  if (job < folderNames_.size()) folderNames_[job] = folderName;
  status_ = "Convert " + folderName;
  return advance(job, 0.0);
}

int RunProgress::update(const ConversionProgress& progress) {
  const std::string& name = progress.job < folderNames_.size() ? folderNames_[progress.job] : "";
  status_ = "Convert " + name;
  if (!progress.worksheetName.empty()) status_ += ": " + progress.worksheetName;
  if (progress.total == 0) return shown_;
  return advance(progress.job,
                 static_cast<double>(progress.done) / static_cast<double>(progress.total));
}

int RunProgress::finished(std::size_t job) {
  return advance(job, 1.0);
}

}  // namespace quorvel
