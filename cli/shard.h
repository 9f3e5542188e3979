#pragma once
// One shard of a batch: the workbooks whose relative path hashes to K
// modulo N, so that N runs, each with its own K, take every workbook once.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::cli {

// FNV-1a, 64 bits, over the bytes of `text`: offset basis
// 0xcbf29ce484222325, prime 0x100000001b3.
std::uint64_t fnv1a64(std::string_view text);

struct Shard {
  std::uint64_t index = 0;  // K, from 0
  std::uint64_t count = 1;  // N
  // Whether the workbook at `relativePath` (its path below the input folder
  // given, "/" between folders; a workbook given as a file: its file name)
  // belongs to this shard.
  bool takes(std::string_view relativePath) const { return fnv1a64(relativePath) % count == index; }
};

// "K/N" with 0 <= K < N, both decimal; no value for anything else.
std::optional<Shard> parseShard(const std::string& text);

}  // namespace quorvel::cli
