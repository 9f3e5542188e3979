#include "engine/spreadsheet/spool.h"

#include <algorithm>
#include <cerrno>

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

void Spool::startReading() {
  if (file_) {
    spill();
    std::fflush(file_.get());
    seek(0);
  }
  readPos_ = 0;
}

void Spool::seek(std::uint64_t pos) {
  if (!file_) {
    readPos_ = static_cast<std::size_t>(pos);
    return;
  }
  if (std::fseek(file_.get(), static_cast<long>(pos), SEEK_SET) != 0) ioError();
  blockStart_ = pos;
  block_.clear();
  readPos_ = 0;
}

void Spool::spill() {
  if (!file_) {
    file_.reset(std::tmpfile());
    if (!file_)
      fail(ErrorCode::CannotWrite, "no temporary file: " + std::string(std::strerror(errno)));
  }
  if (std::fwrite(buf_.data(), 1, buf_.size(), file_.get()) != buf_.size()) ioError();
  buf_.clear();
}

void Spool::ioError() {
  fail(ErrorCode::CannotWrite, "temporary file: " + std::string(std::strerror(errno)));
}

const char* Spool::readBlock(std::size_t n) {
  block_.erase(0, readPos_);
  blockStart_ += readPos_;
  readPos_ = 0;
  std::size_t have = block_.size();
  std::size_t want = std::max(n, kReadBlock);
  block_.resize(want);
  std::size_t got = std::fread(block_.data() + have, 1, want - have, file_.get());
  block_.resize(have + got);
  if (n > block_.size()) return nullptr;
  return block_.data() + readPos_;
}

}  // namespace quorvel::spreadsheet
