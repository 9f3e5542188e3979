#include "engine/spreadsheet/atomic_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

namespace {

constexpr std::size_t kRandomChars = 6;
constexpr int kNameTries = 100;

// The temporary files not yet renamed or removed, for abandonAll(). Made,
// renamed and removed under the lock, so that abandonAll() sees each file
// either in the set or under its final name.
std::mutex& registryLock() {
  static std::mutex lock;
  return lock;
}
std::set<std::string>& pending() {
  static std::set<std::string> files;
  return files;
}

constexpr char kRandomAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// How messages name the target.
std::string shownName(const std::string& path) {
  return path == kStandardOutput ? "standard output" : path;
}

[[noreturn]] void cannotWrite(const std::string& path, int error) {
  throw SpreadsheetError(
      ErrorCode::CannotWrite,
      describeError(ErrorCode::CannotWrite, shownName(path), std::strerror(error)));
}

// The part of a file name that its temporary names keep.
std::string_view keptPart(std::string_view name) {
  return name.substr(0, utf8CutLength(name, kMaxFileNameBytes - 2 - kRandomChars));
}

}  // namespace

int openUnnamedTemporaryFile() {
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  // A file system without unnamed files: a named one, unlinked at once.
  std::string pattern = (dir / "quorvel-XXXXXX").string();
  fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(pattern.c_str());
  return fd;
}

std::string temporaryPathBeside(const std::string& path) {
  thread_local std::mt19937 random(std::random_device{}());
  const std::filesystem::path p(path);
  const std::string name = p.filename().string();
  std::string temp(".");
  temp.append(keptPart(name)).append(".");
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kRandomAlphabet - 2);
  for (std::size_t i = 0; i < kRandomChars; ++i) temp += kRandomAlphabet[pick(random)];
  return (p.parent_path() / temp).string();
}

bool isTemporaryNameFor(std::string_view name, std::string_view finalName) {
  const std::string_view kept = keptPart(finalName);
  if (name.size() != kept.size() + 2 + kRandomChars || name[0] != '.' ||
      name.substr(1, kept.size()) != kept || name[kept.size() + 1] != '.')
    return false;
  const std::string_view alphabet(kRandomAlphabet, sizeof kRandomAlphabet - 1);
  for (char c : name.substr(kept.size() + 2))
    if (alphabet.find(c) == std::string_view::npos) return false;
  return true;
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  if (path_ == kStandardOutput) {
    const int fd = openUnnamedTemporaryFile();
    if (fd < 0) cannotWrite(path_, errno);
    stream_ = ::fdopen(fd, "w+b");
    if (!stream_) {
      const int error = errno;
      ::close(fd);
      cannotWrite(path_, error);
    }
    return;  // nothing to remove: the file has no name
  }
  std::lock_guard lock(registryLock());
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < kNameTries; ++tries) {
    temporary_ = temporaryPathBeside(path_);
    // 0666 as fopen() would create it: the user's umask decides the rest.
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) cannotWrite(path_, errno);
  stream_ = ::fdopen(fd, "wb");
  if (!stream_) {
    const int error = errno;
    ::close(fd);
    ::unlink(temporary_.c_str());
    cannotWrite(path_, error);
  }
  pending().insert(temporary_);
}

AtomicFile::~AtomicFile() {
  if (stream_) std::fclose(stream_);
  if (temporary_.empty()) return;
  std::lock_guard lock(registryLock());
  ::unlink(temporary_.c_str());
  pending().erase(temporary_);
}

void AtomicFile::copyToStandardOutput() {
  if (std::fflush(stream_) != 0) cannotWrite(path_, errno);
  const int in = ::fileno(stream_);
  off_t offset = 0;
  for (;;) {
    const ssize_t sent = ::sendfile(STDOUT_FILENO, in, &offset, std::size_t(1) << 30);
    if (sent > 0) continue;
    if (sent == 0) return;
    if (errno == EINTR) continue;
    if (errno != EINVAL && errno != ENOSYS) cannotWrite(path_, errno);
    break;  // an output sendfile cannot write to: copied by hand below
  }
  std::string block(std::size_t(1) << 20, '\0');
  for (;;) {
    const ssize_t got = ::pread(in, block.data(), block.size(), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) cannotWrite(path_, errno);
    if (got == 0) return;
    offset += got;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(STDOUT_FILENO, block.data() + done, std::size_t(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) cannotWrite(path_, errno);
      done += put;
    }
  }
}

void AtomicFile::commit() {
  if (path_ == kStandardOutput) {
    copyToStandardOutput();
    std::fclose(stream_);
    stream_ = nullptr;
    return;
  }
  std::FILE* stream = stream_;
  stream_ = nullptr;
  if (std::fclose(stream) != 0) cannotWrite(path_, errno);
  std::lock_guard lock(registryLock());
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    pending().erase(temporary_);
    temporary_.clear();
    cannotWrite(path_, error);
  }
  pending().erase(temporary_);
  temporary_.clear();
}

void AtomicFile::abandonAll() noexcept {
  // Never unlocked: the process ends before anyone could use the files.
  registryLock().lock();
  for (const std::string& file : pending()) ::unlink(file.c_str());
}

}  // namespace quorvel::spreadsheet
