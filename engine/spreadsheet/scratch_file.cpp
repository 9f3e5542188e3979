#include "engine/spreadsheet/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace quorvel::spreadsheet {

namespace {

[[noreturn]] void raise(int error, const char* what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

std::string ScratchFile::folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

ScratchFile::ScratchFile() {
  const std::string dir = folder();
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) return;
  // File systems without O_TMPFILE: a unique name, removed at once.
  std::string name = dir + "/quorvel-XXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) raise(errno, "cannot create a temporary file");
  ::unlink(name.c_str());
}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) ::close(fd_);
}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  std::swap(fd_, other.fd_);
  return *this;
}

void ScratchFile::write(std::uint64_t offset, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t done = ::pwrite(fd_, data, n, static_cast<off_t>(offset));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) raise(done < 0 ? errno : ENOSPC, "cannot write a temporary file");
    data += done, n -= static_cast<std::size_t>(done), offset += static_cast<std::uint64_t>(done);
  }
}

void ScratchFile::read(std::uint64_t offset, char* data, std::size_t n) const {
  while (n > 0) {
    ssize_t done = ::pread(fd_, data, n, static_cast<off_t>(offset));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) raise(done < 0 ? errno : EIO, "cannot read a temporary file");
    data += done, n -= static_cast<std::size_t>(done), offset += static_cast<std::uint64_t>(done);
  }
}

}  // namespace quorvel::spreadsheet
