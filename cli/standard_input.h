#pragma once
// A workbook read from standard input. Packages must be read out of order,
// so the bytes are first copied to a temporary file without a name, which
// is gone as soon as the program ends, however it ends.
#include <string>

namespace quorvel::cli {

class SpooledInput {
 public:
  // Copies standard input to the end.
  SpooledInput();
  ~SpooledInput();
  SpooledInput(const SpooledInput&) = delete;
  SpooledInput& operator=(const SpooledInput&) = delete;

  // "" when standard input was copied, else why not (a terminal, an error).
  const std::string& reason() const { return reason_; }
  // A path that opens the copy, for as long as this object lives.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_, reason_;
};

}  // namespace quorvel::cli
