#pragma once
// UTF-8 encoding of code points and of UTF-16LE text, shared by every reader:
// workbooks store text as UTF-16 (BIFF8, XLSB, compound-file names) or hold
// character references and escapes (XML).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// The length of the UTF-8 character (1 to 4 bytes) that starts at `at`, or
// 0 when the bytes there are no valid UTF-8: a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate or a value past U+10FFFF.
inline std::size_t utf8CharLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length;
  char32_t cp, lowest;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, lowest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, lowest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, lowest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

inline bool isValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t n = utf8CharLength(text, at);
    if (n == 0) return false;
    at += n;
  }
  return true;
}

// How many bytes of `text` to keep so that at most `maxBytes` remain and
// the cut does not split a UTF-8 character.
inline std::size_t utf8CutLength(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t n = maxBytes;
  // A character has at most three continuation bytes; more are no UTF-8.
  for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80;
       ++back)
    --n;
  return n;
}

}  // namespace quorvel::spreadsheet
