#pragma once
/// Searches for the next bytes that matter to the fast scan.
///
/// Outside literals and comments only a few bytes can give a finding or
/// start a skip, and most of them only next to particular neighbours: '('
/// only after the last letter of a keyword (f, h, r, e), '=' only before
/// '!', '+', '-' or "=!", '/' only before '*' or '/'. Each search returns the
/// first such byte in [p, end), or `end`.
///
/// The SSE2 versions test 16 bytes at a time and are used wherever SSE2
/// exists (every x86-64); the portable versions are the fallback elsewhere,
/// and the tests hold the two to the same answers.
///
/// Both read the neighbours as raw bytes, so the caller guarantees that
/// [p - 1, end + 32) is readable and that a byte at or after `end` is never
/// taken for a neighbour that would make a stop: the line reader keeps
/// padding around its data and puts a line feed right after the last line
/// when that line has none of its own.

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stylo {

/// Byte by byte: the fallback, and the reference the tests compare with.
struct portable_search {

/// True at a byte that can give a finding or start a skip outside skips.
static bool is_code_stop(const char* at) {
  switch (at[0]) {
    case '(':
      return at[-1] == 'f' || at[-1] == 'h' || at[-1] == 'r' || at[-1] == 'e';
    case '=':
      return at[1] == '!' || at[1] == '+' || at[1] == '-' || (at[1] == '=' && at[2] == '!');
    case '/':
      return at[1] == '*' || at[1] == '/';
    case '"': case '\'': case '#':
      return true;
    default:
      return false;
  }
}

static const char* find_code_stop(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (is_code_stop(p)) return p;
  }
  return end;
}

/// The closing `quote`, a backslash or a line feed.
static const char* find_literal_stop(const char* p, const char* end, char quote) {
  for (; p < end; ++p) {
    if (*p == quote || *p == '\\' || *p == '\n') return p;
  }
  return end;
}

/// The '*' of a "*/".
static const char* find_comment_close(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (p[0] == '*' && p[1] == '/') return p;
  }
  return end;
}

static std::uint64_t count_line_feeds(const char* p, const char* end) {
  std::uint64_t n = 0;
  for (; p < end; ++p) n += *p == '\n';
  return n;
}

};

#if defined(__SSE2__)
/// 16 bytes at a time.
struct sse2_search {

static __m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
static __m128i eq(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
static unsigned bits(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }

// The first set bit of `mask` as a position from `p`, clipped to `end`:
// bits past `end` describe padding or the next line, not this range.
static const char* first_hit(const char* p, unsigned mask, const char* end) {
  const char* hit = p + __builtin_ctz(mask);
  return hit < end ? hit : end;
}

static const char* find_code_stop(const char* p, const char* end) {
  for (; p < end; p += 16) {
    const __m128i v = load(p);
    // Most blocks hold none of the six bytes at all; only those that do pay
    // for the look at the neighbours.
    const __m128i paren = eq(v, '('), equals = eq(v, '='), slash = eq(v, '/');
    const __m128i others = _mm_or_si128(_mm_or_si128(eq(v, '"'), eq(v, '\'')), eq(v, '#'));
    if (bits(_mm_or_si128(_mm_or_si128(paren, equals), _mm_or_si128(slash, others))) == 0) continue;
    const __m128i before = load(p - 1), next = load(p + 1), after_next = load(p + 2);
    const __m128i keyword_end =
        _mm_or_si128(_mm_or_si128(eq(before, 'f'), eq(before, 'h')), _mm_or_si128(eq(before, 'r'), eq(before, 'e')));
    const __m128i misspelt = _mm_or_si128(_mm_or_si128(eq(next, '!'), eq(next, '+')),
                                          _mm_or_si128(eq(next, '-'), _mm_and_si128(eq(next, '='), eq(after_next, '!'))));
    const __m128i comment = _mm_or_si128(eq(next, '*'), eq(next, '/'));
    const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_and_si128(paren, keyword_end), _mm_and_si128(equals, misspelt)),
                                       _mm_or_si128(_mm_and_si128(slash, comment), others));
    if (const unsigned mask = bits(stops)) return first_hit(p, mask, end);
  }
  return end;
}

static const char* find_literal_stop(const char* p, const char* end, char quote) {
  for (; p < end; p += 16) {
    const __m128i v = load(p);
    if (const unsigned mask = bits(_mm_or_si128(_mm_or_si128(eq(v, quote), eq(v, '\\')), eq(v, '\n')))) {
      return first_hit(p, mask, end);
    }
  }
  return end;
}

static const char* find_comment_close(const char* p, const char* end) {
  for (; p < end; p += 16) {
    if (const unsigned mask = bits(_mm_and_si128(eq(load(p), '*'), eq(load(p + 1), '/')))) {
      return first_hit(p, mask, end);
    }
  }
  return end;
}

static std::uint64_t count_line_feeds(const char* p, const char* end) {
  // Each match subtracts -1 from a byte counter; the counters are summed
  // before any of them can wrap (255 blocks). No popcnt: it is not SSE2.
  std::uint64_t n = 0;
  while (p + 16 <= end) {
    __m128i counters = _mm_setzero_si128();
    for (int blocks = 0; blocks < 255 && p + 16 <= end; ++blocks, p += 16) {
      counters = _mm_sub_epi8(counters, eq(load(p), '\n'));
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    n += static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) + static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
  }
  return n + portable_search::count_line_feeds(p, end);
}

};
using fastest_search = sse2_search;
#else
using fastest_search = portable_search;
#endif

}  // namespace stylo
