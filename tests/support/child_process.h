#pragma once
// A program run by the tests as a child process, without a shell: its
// output captured, optionally a limit on the size of the files it writes,
// and signals sent to it while it runs.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvel::test {

struct ChildResult {
  int exitStatus = -1;  // -1 when a signal ended it
  int signal = 0;       // the signal that ended it, 0 for none
  std::string out, err;
};

class ChildProcess {
 public:
  // Starts `argv` (argv[0] the program's path); standard output and error go
  // to files in `captureFolder`. With `fileSizeLimit`, no file the child
  // writes may grow past that many bytes (RLIMIT_FSIZE, with SIGXFSZ
  // ignored, so a write past it fails as on a full disk).
  ChildProcess(const std::vector<std::string>& argv, const std::string& captureFolder,
               std::optional<long> fileSizeLimit = std::nullopt);
  // Kills and reaps a child still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void signal(int number) const;
  bool running();
  ChildResult wait();

 private:
  void finish(int waitStatus);
  pid_t pid_ = -1;
  std::string outFile_, errFile_;
  std::optional<ChildResult> result_;
};

// Runs `argv` to its end.
ChildResult runChild(const std::vector<std::string>& argv, const std::string& captureFolder,
                     std::optional<long> fileSizeLimit = std::nullopt);

}  // namespace quorvel::test
