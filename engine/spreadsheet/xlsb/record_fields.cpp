#include "engine/spreadsheet/xlsb/record_fields.h"

#include <cstdio>

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

constexpr std::uint32_t kNullWideString = 0xFFFFFFFF;

void appendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void RecordFields::tooShort() const {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", type_);
  damaged("a record of type " + std::string(hex) + " in the part " + part_ +
          " is shorter than its fields");
}

void appendUtf16le(const char* bytes, std::size_t units, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t u = p[2 * i] | (static_cast<std::uint32_t>(p[2 * i + 1]) << 8);
    if (u < 0x80) {
      out += static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      std::uint32_t lo = p[2 * i + 2] | (static_cast<std::uint32_t>(p[2 * i + 3]) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00), out);
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    appendUtf8(u, out);
  }
}

void RecordFields::wideString(std::string& out) {
  std::uint32_t count = u32();
  // Compared in 64 bits: twice a 32-bit count may not fit in 32.
  if (static_cast<std::uint64_t>(count) * 2 > remaining()) tooShort();
  appendUtf16le(p_, count, out);
  p_ += static_cast<std::size_t>(count) * 2;
}

bool RecordFields::nullableWideString(std::string& out) {
  need(4);
  std::uint32_t count = static_cast<unsigned char>(p_[0]) |
                        (static_cast<std::uint32_t>(static_cast<unsigned char>(p_[1])) << 8) |
                        (static_cast<std::uint32_t>(static_cast<unsigned char>(p_[2])) << 16) |
                        (static_cast<std::uint32_t>(static_cast<unsigned char>(p_[3])) << 24);
  if (count == kNullWideString) {
    p_ += 4;
    return false;
  }
  wideString(out);
  return true;
}

}  // namespace quorvel::spreadsheet::xlsb
