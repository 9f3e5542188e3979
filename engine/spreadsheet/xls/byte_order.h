#pragma once
// Little-endian fields of compound files and BIFF records, and UTF-8 output.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

inline std::uint16_t le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const unsigned char* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t le64(const unsigned char* p) {
  return std::uint64_t{le32(p)} | (std::uint64_t{le32(p + 4)} << 32);
}
inline double leDouble(const unsigned char* p) {
  std::uint64_t bits = le64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace quorvel::spreadsheet
