#pragma once
// Raw deflate data (a zip entry's compressed bytes) inflated piece by piece,
// with the CRC-32 of what came out, by one of two libraries: ISA-L, about
// three times faster, where the build has it, and zlib everywhere.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace quorvel::spreadsheet {

enum class InflateBackend { Isal, Zlib };

class Inflater {
 public:
  enum class Status { More, End, Corrupt };
  struct Step {
    std::size_t consumed = 0;  // input bytes taken
    std::size_t produced = 0;  // output bytes written
    Status status = Status::More;
  };

  virtual ~Inflater() = default;
  // Takes what it can of `in` and writes what it can into `out`. End once the
  // final block is inflated and written; Corrupt for data no deflate encoder
  // makes. Not to be called again after End or Corrupt.
  virtual Step inflate(const unsigned char* in, std::size_t inSize, char* out,
                       std::size_t outSize) = 0;
  // CRC-32 (as zip and gzip use it) of every byte written so far.
  virtual std::uint32_t crc() const = 0;
};

// The back-ends this build holds, fastest first; the first one is used.
std::span<const InflateBackend> inflateBackends();
const char* inflateBackendName(InflateBackend backend);
// Throws std::invalid_argument for a back-end the build does not hold.
std::unique_ptr<Inflater> makeInflater(InflateBackend backend);

}  // namespace quorvel::spreadsheet
