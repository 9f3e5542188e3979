#include "engine/spreadsheet/package/random_access_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

namespace {

class FileSource final : public RandomAccessSource {
 public:
  explicit FileSource(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) fail(ErrorCode::CannotOpen, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      int e = errno;
      ::close(fd_);
      fail(ErrorCode::CannotOpen, std::strerror(e));
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
  ~FileSource() override { ::close(fd_); }
  std::uint64_t size() const override { return size_; }
  void read(std::uint64_t offset, void* dst, std::size_t n) override {
    if (offset > size_ || n > size_ - offset) damaged("the file ends before the data it announces");
    auto* out = static_cast<char*>(dst);
    while (n > 0) {
      ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) fail(ErrorCode::CannotOpen, got < 0 ? std::strerror(errno) : "read failed");
      out += got;
      offset += static_cast<std::uint64_t>(got);
      n -= static_cast<std::size_t>(got);
    }
  }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

class MemorySource final : public RandomAccessSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  void read(std::uint64_t offset, void* dst, std::size_t n) override {
    if (offset > bytes_.size() || n > bytes_.size() - offset)
      damaged("the file ends before the data it announces");
    std::memcpy(dst, bytes_.data() + offset, n);
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<RandomAccessSource> openFileSource(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

std::unique_ptr<RandomAccessSource> memorySource(std::string bytes) {
  return std::make_unique<MemorySource>(std::move(bytes));
}

}  // namespace quorvel::spreadsheet
