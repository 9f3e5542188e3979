#pragma once
// A temporary file nobody else can see: created in $TMPDIR (else /tmp) and
// unlinked at once, so it vanishes with its descriptor however the process
// ends. Read and written at offsets; the page cache does the buffering.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::spreadsheet {

class ScratchFile {
 public:
  // Throws std::system_error when no file can be made.
  ScratchFile();
  ~ScratchFile();
  ScratchFile(ScratchFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ScratchFile& operator=(ScratchFile&& other) noexcept;

  // Both throw std::system_error on a failure or a short transfer.
  void write(std::uint64_t offset, const char* data, std::size_t n);
  void read(std::uint64_t offset, char* data, std::size_t n) const;

  // The folder such files are made in.
  static std::string folder();

 private:
  int fd_ = -1;
};

}  // namespace quorvel::spreadsheet
