#include "engine/spreadsheet/package/read_ahead.h"

#include <algorithm>
#include <cstring>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/zip_package.h"

namespace quorvel::spreadsheet {

ReadAhead::ReadAhead(PartStream& stream) : stream_(stream) {
  threaded_ = stream.size() > kReadAheadBlockBytes;
  if (threaded_) thread_ = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead() {
  if (!threaded_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAhead::run() {
  for (;;) {
    std::vector<char> block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || ready_.size() < kReadAheadBlocks; });
      if (stop_) return;
      if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    block.resize(kReadAheadBlockBytes);
    std::size_t have = 0;
    bool atEnd = false;
    try {
      while (have < block.size()) {
        std::size_t got = stream_.read(block.data() + have, block.size() - have);
        if (got == 0) {
          atEnd = true;
          break;
        }
        have += got;
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      error_ = std::current_exception();
      end_ = true;
      changed_.notify_all();
      return;
    }
    block.resize(have);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (have > 0) ready_.push_back(std::move(block));
      end_ = atEnd;
    }
    changed_.notify_all();
    if (atEnd) return;
  }
}

std::size_t ReadAhead::read(char* buffer, std::size_t n) {
  if (!threaded_) return stream_.read(buffer, n);
  if (taken_ == current_.size()) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (current_.capacity()) spare_.push_back(std::move(current_));
    current_ = {};
    taken_ = 0;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !ready_.empty() || end_; });
    if (ready_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return 0;
    }
    current_ = std::move(ready_.front());
    ready_.pop_front();
  }
  std::size_t count = std::min(n, current_.size() - taken_);
  std::memcpy(buffer, current_.data() + taken_, count);
  taken_ += count;
  return count;
}

}  // namespace quorvel::spreadsheet
