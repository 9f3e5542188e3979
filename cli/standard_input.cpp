#include "cli/standard_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/spreadsheet/atomic_file.h"

namespace quorvel::cli {

SpooledInput::SpooledInput() {
  if (::isatty(STDIN_FILENO)) {
    reason_ =
        "standard input is a terminal: pipe a workbook into it, as in 'quorvel-convert - "
        "-o DIR < book.xlsx'";
    return;
  }
  fd_ = spreadsheet::openUnnamedTemporaryFile();
  if (fd_ < 0) {
    reason_ =
        std::string("no temporary file for standard input can be made: ") + std::strerror(errno);
    return;
  }
  std::vector<char> block(std::size_t(1) << 20);
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason_ = std::string("cannot read standard input: ") + std::strerror(errno);
      return;
    }
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(fd_, block.data() + done, std::size_t(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) {
        reason_ =
            std::string("cannot keep standard input in a temporary file: ") + std::strerror(errno);
        return;
      }
      done += put;
    }
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

SpooledInput::~SpooledInput() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace quorvel::cli
