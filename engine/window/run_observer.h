#pragma once
// What a conversion run tells the window while it lasts, and what it asks
// of it. Called on the run's thread, which need not be the window's.
#include <optional>
#include <string>

namespace quorvel {

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void status(const std::string& text) = 0;
  virtual void progress(int permille) = 0;  // of the whole run, 0 to 1000
  // A workbook needs a password (see AskPassword); nothing skips it.
  virtual std::optional<std::string> password(const std::string& workbook, bool again) = 0;
};

}  // namespace quorvel
