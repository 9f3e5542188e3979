#include "cli/shard.h"

#include <charconv>

namespace quorvel::cli {

std::uint64_t fnv1a64(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char byte : text) {
    hash ^= byte;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::optional<Shard> parseShard(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  auto number = [](std::string_view digits, std::uint64_t& value) {
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return false;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
  };
  Shard shard;
  const std::string_view all(text);
  if (!number(all.substr(0, slash), shard.index) || !number(all.substr(slash + 1), shard.count) ||
      shard.index >= shard.count)
    return std::nullopt;
  return shard;
}

}  // namespace quorvel::cli
