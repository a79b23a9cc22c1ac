#pragma once
/// Searches for the next bytes that matter to the fast scan.
///
/// Outside literals and comments only a few bytes can give a finding or
/// start a skip, and most of them only next to particular neighbours: '('
/// only after the last letter of a keyword (f, h, r, e), '=' only before
/// '!', '+', '-' or "=!", '/' only before '*' or '/'. Each search returns the
/// first such byte in [p, end), or `end`.
///
/// The SSE2 versions test 16 bytes at a time and work on every x86-64; the
/// AVX2 versions test 32 and are chosen at run time where the processor has
/// AVX2; the portable versions are the fallback elsewhere. The tests hold
/// all of them to the same answers.
///
/// All read the neighbours as raw bytes, so the caller guarantees that
/// [p - 1, end + 96) is readable and that a byte at or after `end` is never
/// taken for a neighbour that would make a stop: the line reader keeps
/// padding around its data and puts a line feed right after the last line
/// when that line has none of its own.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define STYLO_HAVE_AVX2_SEARCH 1
#endif

namespace stylo {

/// What the reader needs to know of freshly read bytes: how many of them are
/// text (all, or those before the first 0x1A, which ends text input), and
/// how many line feeds that text holds.
struct text_extent {
  std::size_t length;
  std::uint64_t line_feeds;
};

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

/// The next line feed.
static const char* find_line_feed(const char* p, const char* end) {
  const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
  return lf != nullptr ? static_cast<const char*>(lf) : end;
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

/// Reads nothing before p or after p + n.
static text_extent measure_text(const char* p, std::size_t n) {
  const void* z = std::memchr(p, 0x1A, n);
  const std::size_t length = z != nullptr ? static_cast<std::size_t>(static_cast<const char*>(z) - p) : n;
  return {length, count_line_feeds(p, p + length)};
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

// The stops among the 16 bytes at `p`, one bit each.
static unsigned code_stops(const char* p) {
  const __m128i v = load(p), before = load(p - 1), next = load(p + 1);
  const __m128i keyword_end =
      _mm_or_si128(_mm_or_si128(eq(before, 'f'), eq(before, 'h')), _mm_or_si128(eq(before, 'r'), eq(before, 'e')));
  const __m128i misspelt = _mm_or_si128(_mm_or_si128(eq(next, '!'), eq(next, '+')),
                                        _mm_or_si128(eq(next, '-'), _mm_and_si128(eq(next, '='), eq(load(p + 2), '!'))));
  const __m128i comment = _mm_or_si128(eq(next, '*'), eq(next, '/'));
  const __m128i stops = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(eq(v, '('), keyword_end), _mm_and_si128(eq(v, '='), misspelt)),
      _mm_or_si128(_mm_and_si128(eq(v, '/'), comment), _mm_or_si128(_mm_or_si128(eq(v, '"'), eq(v, '\'')), eq(v, '#'))));
  return bits(stops);
}

static const char* find_code_stop(const char* p, const char* end) {
  // Two blocks per test: one branch per 32 bytes, whose outcome is hard to
  // predict in code, costs more than the comparisons it could save.
  for (; p < end; p += 32) {
    if (const unsigned mask = code_stops(p) | (code_stops(p + 16) << 16)) return first_hit(p, mask, end);
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

static const char* find_line_feed(const char* p, const char* end) {
  return portable_search::find_line_feed(p, end);
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

// One pass for both questions: whole blocks until one holds a 0x1A, then
// the byte-by-byte answer for the rest.
static text_extent measure_text(const char* p, std::size_t n) {
  const char* const start = p;
  const char* const end = p + n;
  std::uint64_t line_feeds = 0;
  while (p + 16 <= end) {
    __m128i counters = _mm_setzero_si128();
    int blocks = 0;
    for (; blocks < 255 && p + 16 <= end; ++blocks, p += 16) {
      const __m128i v = load(p);
      if (bits(eq(v, 0x1A)) != 0) break;
      counters = _mm_sub_epi8(counters, eq(v, '\n'));
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    line_feeds += static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) + static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
    if (blocks < 255 && p + 16 <= end) break;  // a 0x1A in the block at p
  }
  const text_extent rest = portable_search::measure_text(p, static_cast<std::size_t>(end - p));
  return {static_cast<std::size_t>(p - start) + rest.length, line_feeds + rest.line_feeds};
}

};
#endif

#if defined(STYLO_HAVE_AVX2_SEARCH)
/// 32 bytes at a time. Each function is compiled for AVX2 on its own, so the
/// rest of the program still runs on any x86-64; the scan calls them only
/// once `avx2_available()` has said yes.
struct avx2_search {
#define STYLO_AVX2 __attribute__((target("avx2")))
  STYLO_AVX2 static __m256i load(const char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  STYLO_AVX2 static __m256i eq(__m256i v, char c) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c)); }
  STYLO_AVX2 static std::uint32_t bits(__m256i v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }

  static const char* first_hit(const char* p, std::uint64_t mask, const char* end) {
    const char* hit = p + __builtin_ctzll(mask);
    return hit < end ? hit : end;
  }

  STYLO_AVX2 static std::uint32_t code_stops(const char* p) {
    const __m256i v = load(p), before = load(p - 1), next = load(p + 1);
    const __m256i keyword_end = _mm256_or_si256(_mm256_or_si256(eq(before, 'f'), eq(before, 'h')),
                                                _mm256_or_si256(eq(before, 'r'), eq(before, 'e')));
    const __m256i misspelt =
        _mm256_or_si256(_mm256_or_si256(eq(next, '!'), eq(next, '+')),
                        _mm256_or_si256(eq(next, '-'), _mm256_and_si256(eq(next, '='), eq(load(p + 2), '!'))));
    const __m256i comment = _mm256_or_si256(eq(next, '*'), eq(next, '/'));
    const __m256i stops = _mm256_or_si256(
        _mm256_or_si256(_mm256_and_si256(eq(v, '('), keyword_end), _mm256_and_si256(eq(v, '='), misspelt)),
        _mm256_or_si256(_mm256_and_si256(eq(v, '/'), comment),
                        _mm256_or_si256(_mm256_or_si256(eq(v, '"'), eq(v, '\'')), eq(v, '#'))));
    return bits(stops);
  }

  STYLO_AVX2 static const char* find_code_stop(const char* p, const char* end) {
    for (; p < end; p += 64) {
      const std::uint64_t mask = code_stops(p) | (std::uint64_t{code_stops(p + 32)} << 32);
      if (mask != 0) return first_hit(p, mask, end);
    }
    return end;
  }

  STYLO_AVX2 static const char* find_literal_stop(const char* p, const char* end, char quote) {
    for (; p < end; p += 32) {
      const __m256i v = load(p);
      if (const std::uint32_t mask = bits(_mm256_or_si256(_mm256_or_si256(eq(v, quote), eq(v, '\\')), eq(v, '\n')))) {
        return first_hit(p, mask, end);
      }
    }
    return end;
  }

  // Lines are short: a search in place beats a call to memchr.
  STYLO_AVX2 static const char* find_line_feed(const char* p, const char* end) {
    for (; p < end; p += 32) {
      if (const std::uint32_t mask = bits(eq(load(p), '\n'))) return first_hit(p, mask, end);
    }
    return end;
  }

  STYLO_AVX2 static const char* find_comment_close(const char* p, const char* end) {
    for (; p < end; p += 32) {
      if (const std::uint32_t mask = bits(_mm256_and_si256(eq(load(p), '*'), eq(load(p + 1), '/')))) {
        return first_hit(p, mask, end);
      }
    }
    return end;
  }

  STYLO_AVX2 static std::uint64_t count_line_feeds(const char* p, const char* end) {
    std::uint64_t n = 0;
    while (p + 32 <= end) {
      __m256i counters = _mm256_setzero_si256();
      for (int blocks = 0; blocks < 255 && p + 32 <= end; ++blocks, p += 32) {
        counters = _mm256_sub_epi8(counters, eq(load(p), '\n'));
      }
      const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
      n += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
    }
    return n + portable_search::count_line_feeds(p, end);
  }

  STYLO_AVX2 static text_extent measure_text(const char* p, std::size_t n) {
    const char* const start = p;
    const char* const end = p + n;
    std::uint64_t line_feeds = 0;
    while (p + 32 <= end) {
      __m256i counters = _mm256_setzero_si256();
      int blocks = 0;
      for (; blocks < 255 && p + 32 <= end; ++blocks, p += 32) {
        const __m256i v = load(p);
        if (bits(eq(v, 0x1A)) != 0) break;
        counters = _mm256_sub_epi8(counters, eq(v, '\n'));
      }
      const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
      line_feeds += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
                    static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
                    static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
                    static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
      if (blocks < 255 && p + 32 <= end) break;  // a 0x1A in the block at p
    }
    const text_extent rest = portable_search::measure_text(p, static_cast<std::size_t>(end - p));
    return {static_cast<std::size_t>(p - start) + rest.length, line_feeds + rest.line_feeds};
  }
#undef STYLO_AVX2
};

/// True when the processor runs the AVX2 searches.
inline bool avx2_available() { return __builtin_cpu_supports("avx2"); }
#endif

/// `measure_text` of the fastest searches this processor runs.
inline text_extent measure_text(const char* p, std::size_t n) {
#if defined(STYLO_HAVE_AVX2_SEARCH)
  static const bool avx2 = avx2_available();
  if (avx2) return avx2_search::measure_text(p, n);
#endif
#if defined(__SSE2__)
  return sse2_search::measure_text(p, n);
#else
  return portable_search::measure_text(p, n);
#endif
}

}  // namespace stylo
