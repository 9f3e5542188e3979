#include "engine/spreadsheet/xlsb/record_fields.h"

#include <cstdio>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet::xlsb {

namespace {

constexpr std::uint32_t kNullWideString = 0xFFFFFFFF;

}  // namespace

void RecordFields::tooShort() const {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", type_);
  damaged("a record of type " + std::string(hex) + " in the part " + part_ +
          " is shorter than its fields");
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
  if (le32(p_) == kNullWideString) {
    p_ += 4;
    return false;
  }
  wideString(out);
  return true;
}

}  // namespace quorvel::spreadsheet::xlsb
