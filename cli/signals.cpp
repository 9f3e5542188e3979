#include "cli/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/spreadsheet/atomic_file.h"

namespace quorvel::cli {

namespace {

// The self-pipe: a handler may do almost nothing, so it only writes the
// signal's number, and the watcher thread does the rest in plain code.
int pipeFds[2] = {-1, -1};

void onSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &byte, 1);
  errno = saved;
}

constexpr unsigned char kQuit = 0;  // the watcher's own end, not a signal

}  // namespace

SignalStop::SignalStop() {
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;  // then signals keep their default
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &oldInt_);
  sigaction(SIGTERM, &action, &oldTerm_);
  watcher_ = std::thread([this] { watch(); });
}

SignalStop::~SignalStop() {
  if (!watcher_.joinable()) return;
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
  const unsigned char quit = kQuit;
  [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &quit, 1);
  watcher_.join();
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

void SignalStop::watch() {
  for (;;) {
    unsigned char byte;
    const ssize_t got = ::read(pipeFds[0], &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got != 1 || byte == kQuit) return;
    if (signal_.load() == 0) {
      signal_.store(byte);
      source_.request_stop();
      continue;
    }
    // Asked twice: end now. No file under a final name is incomplete (they
    // are renamed only when whole); the temporary ones go too.
    spreadsheet::AtomicFile::abandonAll();
    static constexpr char kMessage[] = "quorvel-convert: interrupted\n";
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(exitStatusFor(byte));
  }
}

}  // namespace quorvel::cli
