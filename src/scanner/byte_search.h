#pragma once
/// The bytes that matter to the fast scan, found 64 at a time.
///
/// Outside literals and comments only a few bytes can give a finding or
/// start a skip, and most of them only next to particular neighbours: '('
/// only after the last letter of a keyword (f, h, r, e), '=' only before
/// '!', '+', '-' or "=!", '/' only before '*' or '/'; the quotes and '#'
/// always. Inside a literal only its quote, a backslash and the line feed
/// matter; inside a block comment only "*/"; in a line comment or a
/// preprocessor line only the line feed.
///
/// Each function describes the 64 bytes at `p` as a mask, bit i for byte
/// p[i], so that the scan can go from one byte that matters to the next with
/// bit operations instead of a new search each time. There are three sets of
/// them: portable (byte by byte, the fallback and the reference), SSE2 (every
/// x86-64) and AVX2 (chosen at run time); the tests hold them to the same
/// answers.
///
/// They read the neighbours as raw bytes: the caller guarantees that
/// [p - 1, p + 67) is readable. Bits for bytes past the end of the data mean
/// nothing and are masked off by the caller.

#include <array>
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
  /// True at a byte that can give a finding or start a skip in code.
  static bool is_code_stop(const char* at) {
    switch (at[0]) {
      case '(':
        return at[-1] == 'f' || at[-1] == 'h' || at[-1] == 'r' || at[-1] == 'e';
      case '=':
        return at[1] == '!' || at[1] == '+' || at[1] == '-' || (at[1] == '=' && at[2] == '!');
      case '/':
        return at[1] == '*' || at[1] == '/';
      case '"':
      case '\'':
      case '#':
        return true;
      default:
        return false;
    }
  }

  template <typename predicate>
  static std::uint64_t mask_of(const char* p, predicate&& matches) {
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < 64; ++i) mask |= std::uint64_t{matches(p + i)} << i;
    return mask;
  }

  static std::uint64_t code_stops(const char* p) {
    // Most bytes are none of the six: a table says so without the switch.
    static constexpr auto is_candidate = [] {
      std::array<bool, 256> table{};
      for (unsigned char c : {'(', '=', '/', '"', '\'', '#'}) table[c] = true;
      return table;
    }();
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < 64; ++i) {
      if (is_candidate[static_cast<unsigned char>(p[i])] && is_code_stop(p + i)) mask |= std::uint64_t{1} << i;
    }
    return mask;
  }

  /// The closing `quote`, a backslash or a line feed.
  static std::uint64_t literal_stops(const char* p, char quote) {
    return mask_of(p, [quote](const char* at) { return *at == quote || *at == '\\' || *at == '\n'; });
  }

  static std::uint64_t line_feeds(const char* p) {
    return mask_of(p, [](const char* at) { return *at == '\n'; });
  }

  /// The '*' of each "*/".
  static std::uint64_t comment_closes(const char* p) {
    return mask_of(p, [](const char* at) { return at[0] == '*' && at[1] == '/'; });
  }

  /// Reads nothing outside [p, end).
  static std::uint64_t count_line_feeds(const char* p, const char* end) {
    std::uint64_t n = 0;
    for (; p < end; ++p) n += *p == '\n';
    return n;
  }

  /// Reads nothing outside [p, p + n).
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
  static std::uint64_t bits(__m128i v) { return static_cast<std::uint16_t>(_mm_movemask_epi8(v)); }

  static std::uint64_t code_stops16(const char* p) {
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

  template <typename part>
  static std::uint64_t join(const char* p, part&& of) {
    return of(p) | of(p + 16) << 16 | of(p + 32) << 32 | of(p + 48) << 48;
  }

  static std::uint64_t code_stops(const char* p) { return join(p, code_stops16); }

  static std::uint64_t literal_stops(const char* p, char quote) {
    return join(p, [quote](const char* at) {
      const __m128i v = load(at);
      return bits(_mm_or_si128(_mm_or_si128(eq(v, quote), eq(v, '\\')), eq(v, '\n')));
    });
  }

  static std::uint64_t line_feeds(const char* p) {
    return join(p, [](const char* at) { return bits(eq(load(at), '\n')); });
  }

  static std::uint64_t comment_closes(const char* p) {
    return join(p, [](const char* at) { return bits(_mm_and_si128(eq(load(at), '*'), eq(load(at + 1), '/'))); });
  }

  // Each match subtracts -1 from a byte counter; the counters are summed
  // before any of them can wrap (255 blocks). No popcnt: it is not SSE2.
  static std::uint64_t count_line_feeds(const char* p, const char* end) {
    std::uint64_t n = 0;
    while (p + 16 <= end) {
      __m128i counters = _mm_setzero_si128();
      for (int blocks = 0; blocks < 255 && p + 16 <= end; ++blocks, p += 16) {
        counters = _mm_sub_epi8(counters, eq(load(p), '\n'));
      }
      n += sum(counters);
    }
    return n + portable_search::count_line_feeds(p, end);
  }

  static std::uint64_t sum(__m128i counters) {
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) + static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
  }

  // One pass for both questions: whole blocks until one holds a 0x1A, then
  // the byte-by-byte answer for the rest.
  static text_extent measure_text(const char* p, std::size_t n) {
    const char* const start = p;
    const char* const end = p + n;
    std::uint64_t line_feeds = 0;
    bool ctrl_z = false;
    while (!ctrl_z && p + 16 <= end) {
      __m128i counters = _mm_setzero_si128();
      for (int blocks = 0; blocks < 255 && p + 16 <= end; ++blocks, p += 16) {
        const __m128i v = load(p);
        if (bits(eq(v, 0x1A)) != 0) {
          ctrl_z = true;
          break;
        }
        counters = _mm_sub_epi8(counters, eq(v, '\n'));
      }
      line_feeds += sum(counters);
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
  STYLO_AVX2 static std::uint64_t bits(__m256i v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }

  // Classifies each byte by its two nibbles, one table lookup each: the
  // byte belongs to a class when both lookups share the class's bit.
  STYLO_AVX2 static __m256i classify(__m256i v, __m256i low_table, __m256i high_table) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_shuffle_epi8(low_table, _mm256_and_si256(v, nibble));
    const __m256i high = _mm256_shuffle_epi8(high_table, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
    return _mm256_and_si256(low, high);
  }

  static constexpr char paren = 0x01, equals = 0x02, slash = 0x04, always = 0x08, r_before = 0x10;
  static constexpr char misspelt = equals, comment = slash, equals_next = 0x20;

  STYLO_AVX2 static __m256i table(const char (&t)[16]) {
    return _mm256_setr_epi8(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11], t[12], t[13],
                            t[14], t[15], t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11],
                            t[12], t[13], t[14], t[15]);
  }

  // The same stops as portable_search::is_code_stop. The byte itself falls
  // in one of: '(' (paren, r_before), '=' (equals), '/' (slash), or a quote
  // or '#' (always). Its neighbours make the bits it needs: the byte before
  // gives paren for e, f, h and r_before for r; the next gives misspelt for
  // '!', '+', '-', comment for '*', '/', and equals_next for '=', which
  // counts as misspelt when the byte after it is '!'.
  STYLO_AVX2 static std::uint64_t code_stops32(const char* p) {
    static constexpr char self_low[16] = {0, 0, always, always, 0, 0, 0, always, paren | r_before, 0, 0, 0, 0, equals, 0, slash};
    static constexpr char self_high[16] = {0, 0, paren | r_before | slash | always, equals};
    static constexpr char before_low[16] = {0, 0, r_before, 0, 0, paren, paren, 0, paren};
    static constexpr char before_high[16] = {0, 0, 0, 0, 0, 0, paren, r_before};
    static constexpr char next_low[16] = {0, misspelt, 0, 0, 0, 0, 0, 0, 0, 0, comment, misspelt, 0, misspelt | equals_next, 0, comment};
    static constexpr char next_high[16] = {0, 0, misspelt | comment, equals_next};
    const __m256i self = classify(load(p), table(self_low), table(self_high));
    const __m256i next = classify(load(p + 1), table(next_low), table(next_high));
    const __m256i bang_after = eq(load(p + 2), '!');
    // equals_next and a '!' after it: the "==!" case, which needs equals.
    const __m256i double_equals = _mm256_and_si256(_mm256_cmpeq_epi8(next, _mm256_set1_epi8(equals_next)), bang_after);
    const __m256i wanted = _mm256_or_si256(
        _mm256_or_si256(classify(load(p - 1), table(before_low), table(before_high)),
                        _mm256_and_si256(next, _mm256_set1_epi8(misspelt | comment))),
        _mm256_or_si256(_mm256_and_si256(double_equals, _mm256_set1_epi8(equals)), _mm256_set1_epi8(always)));
    const __m256i none = _mm256_cmpeq_epi8(_mm256_and_si256(self, wanted), _mm256_setzero_si256());
    return ~bits(none) & 0xFFFFFFFFu;
  }

  STYLO_AVX2 static std::uint64_t code_stops(const char* p) { return code_stops32(p) | code_stops32(p + 32) << 32; }

  STYLO_AVX2 static std::uint64_t literal_stops32(const char* p, char quote) {
    const __m256i v = load(p);
    return bits(_mm256_or_si256(_mm256_or_si256(eq(v, quote), eq(v, '\\')), eq(v, '\n')));
  }

  STYLO_AVX2 static std::uint64_t literal_stops(const char* p, char quote) {
    return literal_stops32(p, quote) | literal_stops32(p + 32, quote) << 32;
  }

  STYLO_AVX2 static std::uint64_t line_feeds(const char* p) {
    return bits(eq(load(p), '\n')) | bits(eq(load(p + 32), '\n')) << 32;
  }

  STYLO_AVX2 static std::uint64_t comment_closes32(const char* p) {
    return bits(_mm256_and_si256(eq(load(p), '*'), eq(load(p + 1), '/')));
  }

  STYLO_AVX2 static std::uint64_t comment_closes(const char* p) {
    return comment_closes32(p) | comment_closes32(p + 32) << 32;
  }

  STYLO_AVX2 static std::uint64_t sum(__m256i counters) {
    const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
    return static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
  }

  STYLO_AVX2 static std::uint64_t count_line_feeds(const char* p, const char* end) {
    std::uint64_t n = 0;
    while (p + 32 <= end) {
      __m256i counters = _mm256_setzero_si256();
      for (int blocks = 0; blocks < 255 && p + 32 <= end; ++blocks, p += 32) {
        counters = _mm256_sub_epi8(counters, eq(load(p), '\n'));
      }
      n += sum(counters);
    }
    return n + portable_search::count_line_feeds(p, end);
  }

  STYLO_AVX2 static text_extent measure_text(const char* p, std::size_t n) {
    const char* const start = p;
    const char* const end = p + n;
    std::uint64_t line_feeds = 0;
    bool ctrl_z = false;
    while (!ctrl_z && p + 32 <= end) {
      __m256i counters = _mm256_setzero_si256();
      for (int blocks = 0; blocks < 255 && p + 32 <= end; ++blocks, p += 32) {
        const __m256i v = load(p);
        if (bits(eq(v, 0x1A)) != 0) {
          ctrl_z = true;
          break;
        }
        counters = _mm256_sub_epi8(counters, eq(v, '\n'));
      }
      line_feeds += sum(counters);
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
