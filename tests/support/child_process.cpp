#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace quorvel::test {

namespace {

std::atomic<int> children{0};

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& captureFolder,
                           std::optional<long> fileSizeLimit) {
  const std::string id = std::to_string(children++);
  outFile_ = captureFolder + "/child-" + id + ".out";
  errFile_ = captureFolder + "/child-" + id + ".err";
  // Everything the child needs is made before fork(): after it, only calls
  // that are safe in a copy of a threaded process.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int out = ::open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0 || err < 0) throw std::runtime_error("cannot capture the output of " + argv[0]);
  struct rlimit limit {};
  if (fileSizeLimit) limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(*fileSizeLimit);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (fileSizeLimit) {
      ::signal(SIGXFSZ, SIG_IGN);  // kept across exec
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    // The test's own signal mask and handlers are no business of the child.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out);
  ::close(err);
  if (pid_ < 0) throw std::runtime_error("cannot start " + argv[0]);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !result_) {
    ::kill(pid_, SIGKILL);
    int status;
    ::waitpid(pid_, &status, 0);
  }
}

void ChildProcess::signal(int number) const {
  ::kill(pid_, number);
}

bool ChildProcess::running() {
  int status;
  if (!result_ && ::waitpid(pid_, &status, WNOHANG) == pid_) finish(status);
  return !result_;
}

ChildResult ChildProcess::wait() {
  int status = 0;
  if (!result_) {
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    finish(status);
  }
  return *result_;
}

void ChildProcess::finish(int status) {
  ChildResult r;
  if (WIFEXITED(status)) r.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.out = readFile(outFile_);
  r.err = readFile(errFile_);
  result_ = r;
}

ChildResult runChild(const std::vector<std::string>& argv, const std::string& captureFolder,
                     std::optional<long> fileSizeLimit) {
  return ChildProcess(argv, captureFolder, fileSizeLimit).wait();
}

}  // namespace quorvel::test
