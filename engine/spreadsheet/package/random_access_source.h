#pragma once
// Random access to bytes: a workbook file read with pread, a stream inside a
// compound file, or bytes in memory (tests and fuzzing). The compound file
// reader, the BIFF record stream and the package decryption read through it.
#include <cstdint>
#include <memory>
#include <string>

namespace quorvel::spreadsheet {

class RandomAccessSource {
 public:
  virtual ~RandomAccessSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly n bytes at offset; throws FormatError past the end.
  virtual void read(std::uint64_t offset, void* dst, std::size_t n) = 0;
};

// A whole file read with pread. Throws FormatError (CannotOpen).
std::unique_ptr<RandomAccessSource> openFileSource(const std::string& path);
// Bytes held in memory.
std::unique_ptr<RandomAccessSource> memorySource(std::string bytes);

}  // namespace quorvel::spreadsheet
