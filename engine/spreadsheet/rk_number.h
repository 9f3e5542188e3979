#pragma once
// The RK number of .xls and .xlsb cells: 30 bits that hold either a signed
// integer or the high 30 bits of a double (the rest zero), with a flag that
// divides the value by 100. Both formats store most numbers this way.
#include <cstdint>
#include <cstring>

namespace quorvel::spreadsheet {

inline double decodeRk(std::uint32_t rk) {
  double value;
  if (rk & 0x2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = std::uint64_t{rk & 0xFFFFFFFCu} << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 0x1) ? value / 100 : value;
}

}  // namespace quorvel::spreadsheet
