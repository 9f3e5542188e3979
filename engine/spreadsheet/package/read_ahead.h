#pragma once
// Inflates a part on a second thread while the caller parses what came
// before, so that a sheet's conversion takes about the longer of inflating
// and parsing instead of their sum. Small parts are read on the caller's
// thread. The stream is used by one thread at a time; errors it raises come
// out of read() on the caller's thread.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel::spreadsheet {

class PartStream;

class ReadAhead {
 public:
  explicit ReadAhead(PartStream& stream);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Copies up to n bytes; 0 at the end of the part. Throws what the stream threw.
  std::size_t read(char* buffer, std::size_t n);

 private:
  void run();

  PartStream& stream_;
  bool threaded_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<char>> ready_;  // inflated blocks not yet taken
  std::vector<std::vector<char>> spare_;
  std::vector<char> current_;
  std::size_t taken_ = 0;  // bytes of current_ already handed out
  bool end_ = false, stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace quorvel::spreadsheet
