#pragma once
// UTF-8 encoding of code points and of UTF-16LE text, shared by every reader:
// workbooks store text as UTF-16 (BIFF8, XLSB, compound-file names) or hold
// character references and escapes (XML).
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::spreadsheet {

// Appends `cp` as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
inline void appendUtf8(char32_t cp, std::string& out) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
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

// Appends `units` UTF-16LE code units from `bytes` as UTF-8: surrogate pairs
// joined, lone surrogates as U+FFFD.
inline void appendUtf16le(const void* bytes, std::size_t units, std::string& out) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < units; ++i) {
    char32_t u = p[2 * i] | (static_cast<char32_t>(p[2 * i + 1]) << 8);
    if (u < 0x80) {
      out += static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      char32_t lo = p[2 * i + 2] | (static_cast<char32_t>(p[2 * i + 3]) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00), out);
        ++i;
        continue;
      }
    }
    appendUtf8(u, out);
  }
}

}  // namespace quorvel::spreadsheet
