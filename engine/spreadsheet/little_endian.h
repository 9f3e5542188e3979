#pragma once
// Little-endian fields of the binary formats: compound files, BIFF records,
// .xlsb records and encryption structures all store integers and doubles
// this way. The callers check that the bytes are there.
#include <cstdint>
#include <cstring>

namespace quorvel::spreadsheet {

inline std::uint16_t le16(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le24(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
}
inline std::uint32_t le32(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t le64(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return std::uint64_t{le32(p)} | (std::uint64_t{le32(p + 4)} << 32);
}
inline double leDouble(const void* at) {
  std::uint64_t bits = le64(at);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace quorvel::spreadsheet
