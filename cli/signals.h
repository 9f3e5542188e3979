#pragma once
// Ctrl-C and SIGTERM turned into a stop request: the first one stops the
// run (no new work, the file being written removed, the report and summary
// still written); a second one ends the program at once, removing the
// temporary files being written first.
#include <atomic>
#include <csignal>
#include <stop_token>
#include <thread>

namespace quorvel::cli {

class SignalStop {
 public:
  // Takes over SIGINT and SIGTERM until destroyed.
  SignalStop();
  ~SignalStop();
  SignalStop(const SignalStop&) = delete;
  SignalStop& operator=(const SignalStop&) = delete;

  std::stop_token token() const { return source_.get_token(); }
  // The first signal received, 0 for none.
  int signal() const { return signal_.load(); }

 private:
  void watch();
  std::stop_source source_;
  std::atomic<int> signal_{0};
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  std::thread watcher_;
};

// The exit status of a program stopped by `signal`: 128 + its number.
constexpr int exitStatusFor(int signal) {
  return 128 + signal;
}

}  // namespace quorvel::cli
