#pragma once
// Byte searches for the hot loops of the readers and the writer. Most of
// what they search (a value up to its '<', an attribute up to its quote, a
// field for characters that need quotes) ends within a few bytes, too few
// for a call to memchr to pay: with SSE2 (every x86-64) sixteen bytes are
// compared at once, inline.
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quorvel::spreadsheet {

// The first `c` in [p, end); nullptr when there is none.
inline const char* findByte(const char* p, const char* end, char c) {
#ifdef __SSE2__
  const __m128i needle = _mm_set1_epi8(c);
  for (; end - p >= 16; p += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, needle));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  for (; p < end; ++p)
    if (*p == c) return p;
  return nullptr;
}

// The first `stop` in [p, end), provided no `bad1` or `bad2` comes before
// it; nullptr when there is no `stop` or a bad byte comes first.
inline const char* findByteBefore(const char* p, const char* end, char stop, char bad1, char bad2) {
#ifdef __SSE2__
  const __m128i s = _mm_set1_epi8(stop), b1 = _mm_set1_epi8(bad1), b2 = _mm_set1_epi8(bad2);
  for (; end - p >= 16; p += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, s)));
    unsigned bads = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, b1), _mm_cmpeq_epi8(block, b2))));
    if (stops != 0) {
      unsigned before = (stops & -stops) - 1;  // the places before the first stop
      return (bads & before) != 0 ? nullptr : p + __builtin_ctz(stops);
    }
    if (bads != 0) return nullptr;
  }
#endif
  for (; p < end; ++p) {
    if (*p == stop) return p;
    if (*p == bad1 || *p == bad2) return nullptr;
  }
  return nullptr;
}

// The first place in [p, end) where `a`, `b` and `c` follow one another;
// nullptr when there is none. With SSE2 sixteen places are tried at once.
inline const char* findThreeBytes(const char* p, const char* end, char a, char b, char c) {
#ifdef __SSE2__
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
  for (; end - p >= 18; p += 16) {
    const __m128i at0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i at1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i at2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    const __m128i hits = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(at0, va), _mm_cmpeq_epi8(at1, vb)), _mm_cmpeq_epi8(at2, vc));
    if (int mask = _mm_movemask_epi8(hits)) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  for (; end - p >= 3; ++p)
    if (p[0] == a && p[1] == b && p[2] == c) return p;
  return nullptr;
}

// Whether [p, end) holds any of the five bytes, none of them 0. Fields
// are short: with SSE2, one that is shorter than sixteen bytes is loaded
// in two overlapping halves and compared at once.
inline bool holdsAnyOf(const char* p, const char* end, char a, char b, char c, char d, char e) {
#ifdef __SSE2__
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c),
                vd = _mm_set1_epi8(d), ve = _mm_set1_epi8(e);
  auto any = [&](__m128i x) {
    __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                _mm_or_si128(_mm_cmpeq_epi8(x, vc), _mm_cmpeq_epi8(x, vd)));
    return _mm_movemask_epi8(_mm_or_si128(hits, _mm_cmpeq_epi8(x, ve))) != 0;
  };
  const std::ptrdiff_t n = end - p;
  if (n >= 16) {
    for (; end - p > 16; p += 16)
      if (any(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))) return true;
    return any(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)));
  }
  if (n >= 8)
    return any(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(end - 8))));
  if (n >= 4) {
    std::uint32_t front, back;
    std::memcpy(&front, p, 4);
    std::memcpy(&back, end - 4, 4);
    return any(_mm_set_epi32(0, 0, static_cast<int>(back), static_cast<int>(front)));
  }
#endif
  for (; p < end; ++p)
    if (*p == a || *p == b || *p == c || *p == d || *p == e) return true;
  return false;
}

}  // namespace quorvel::spreadsheet
