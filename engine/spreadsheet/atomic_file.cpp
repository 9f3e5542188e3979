#include "engine/spreadsheet/atomic_file.h"

#include <fcntl.h>
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

[[noreturn]] void cannotWrite(const std::string& path, int error) {
  throw SpreadsheetError(ErrorCode::CannotWrite,
                         describeError(ErrorCode::CannotWrite, path, std::strerror(error)));
}

// ".NAME.XXXXXX" beside `path`: hidden, never ending in an extension, and
// no longer than a name may be.
std::string temporaryName(const std::string& path, std::mt19937& random) {
  const std::filesystem::path p(path);
  const std::string name = p.filename().string();
  const std::size_t room = kMaxFileNameBytes - 2 - kRandomChars;
  std::string temp(".");
  temp.append(name, 0, utf8CutLength(name, room)).append(".");
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
  for (std::size_t i = 0; i < kRandomChars; ++i) temp += kChars[pick(random)];
  return (p.parent_path() / temp).string();
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  thread_local std::mt19937 random(std::random_device{}());
  std::lock_guard lock(registryLock());
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < kNameTries; ++tries) {
    temporary_ = temporaryName(path_, random);
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

void AtomicFile::commit() {
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
