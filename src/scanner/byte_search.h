#pragma once
/// The bytes that matter to the fast scan, found 64 at a time.
///
/// Outside literals and comments only a few bytes can give a finding or
/// start a skip, and most of them only next to particular neighbours: '('
/// only after the last two letters of a keyword ("if", "or", "ch", "le"),
/// '=' only before '!', '+', '-' or "=!", '/' only before '*' or '/'; the
/// quotes and '#' always. Inside a literal only its quote, a backslash and the line feed
/// matter; inside a block comment only "*/"; in a line comment or a
/// preprocessor line only the line feed.
///
/// Each function describes the 64 bytes at `p` as a mask, bit i for byte
/// p[i], so that the scan can go from one byte that matters to the next with
/// bit operations instead of a new search each time. There are four sets of
/// them: portable (byte by byte, the fallback and the reference), SSE2 (every
/// x86-64), AVX2 and AVX-512 (chosen at run time); the tests hold them to the
/// same answers, but for the one difference below.
///
/// `code_window_at` describes a window for passing over the skips that begin
/// and end in it with bit arithmetic instead of a stop at each.
///
/// The AVX2 and AVX-512 searches find the letters before a '(' by table
/// lookup on their low four bits rather than by eight comparisons, so their
/// `finding_stops` and `code_stops` may also hold a '(' after two bytes that
/// only share those bits with a keyword's last letters ("sx(", "LE("):
/// `portable_search::keyword_lookalikes`. The scan looks at the word before
/// every '(' it stops at, so such a stop costs a look and gives nothing.
///
/// They read the neighbours as raw bytes: the caller guarantees that
/// [p - 2, p + 67) is readable. Bits for bytes past the end of the data mean
/// nothing and are masked off by the caller.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rules/rule_catalog.h"
#include "scanner/bit_ops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define STYLO_HAVE_X86_SEARCHES 1
#endif

namespace stylo {

/// What the reader needs to know of freshly read bytes: how many of them are
/// text (all, or those before the first 0x1A, which ends text input), how
/// many line feeds that text holds, and where the last of them is, so that
/// the reader can hand out the whole lines without looking for it again.
struct text_extent {
  std::size_t length;
  std::uint64_t line_feeds;
  std::size_t last_line_feed;  ///< from the start of the text; 0 when it holds no line feed
};

/// The byte after the last line feed in [from, p), or `from` when there is
/// none: the start of the line that holds `p`. Looked for from `p`
/// backwards a window of `search` at a time, so that a long line is not gone
/// through byte by byte. Reads nothing outside [from, p).
template <typename search>
STYLO_ALWAYS_INLINE const char* line_start_before(const char* from, const char* p) {
  for (; p - from >= 64; p -= 64) {
    if (const std::uint64_t lf = search::line_feeds(p - 64)) return p - 64 + highest_bit(lf) + 1;
  }
  while (p > from && p[-1] != '\n') --p;
  return p;
}

/// The offset of the last line feed in [p, p + n), which holds one.
template <typename search>
std::size_t last_line_feed_of(const char* p, std::size_t n) {
  return static_cast<std::size_t>(line_start_before<search>(p, p + n) - p) - 1;
}

/// The masks of 64 bytes that say where skips may begin and end.
struct code_window {
  std::uint64_t line_starts;     ///< '#', and the first '/' of "//"
  std::uint64_t line_feeds;
  std::uint64_t continued;       ///< line feeds after a backslash, or after a backslash and a carriage return
  std::uint64_t comment_opens;   ///< the '/' of "/*"
  std::uint64_t comment_closes;  ///< the '/' of "*/"
  std::uint64_t double_quotes;
  std::uint64_t single_quotes;
  std::uint64_t backslashes;
};

/// The last two letters of the control keywords a '(' may follow ("if",
/// "or" of "for", "ch" of "switch", "le" of "while"), as bits looked up by a
/// byte's low four bits: bit k for the k-th keyword's last letter in one
/// table, for the letter before it in the other. A '(' may end a keyword
/// where the bytes before it have a bit in common. Each 16-byte table is
/// repeated for every 128-bit lane, as the byte shuffles look up per lane.
/// Made from the keyword table (rules/rule_catalog.h): `which` is 1 for the
/// last letter, 0 for the one before it. Eight keywords at most, a bit each.
inline constexpr std::array<char, 64> nibble_bits(unsigned which) {
  static_assert(keyword_endings.size() <= 8, "one bit of a byte per keyword");
  std::array<char, 64> table{};
  for (unsigned k = 0; k < keyword_endings.size(); ++k) {
    const char letter = keyword_endings[k][which];
    for (unsigned lane = 0; lane < 64; lane += 16) table[lane + (letter & 15)] |= static_cast<char>(1 << k);
  }
  return table;
}
alignas(64) inline constexpr std::array<char, 64> keyword_last_letters = nibble_bits(1);
alignas(64) inline constexpr std::array<char, 64> keyword_letters_before_last = nibble_bits(0);

/// The letter pairs and operators written out by hand in the searches below
/// (the portable and SSE2 comparisons, and the '=' stops of all four): the
/// build fails here when the rules' table says otherwise, until the
/// searches are taught the change.
constexpr bool keyword_endings_are(const char* const (&pairs)[4]) {
  if (keyword_endings.size() != 4) return false;
  for (std::size_t k = 0; k < 4; ++k) {
    if (keyword_endings[k][0] != pairs[k][0] || keyword_endings[k][1] != pairs[k][1]) return false;
  }
  return true;
}
static_assert(keyword_endings_are({"if", "ch", "or", "le"}),
              "the byte searches look for '(' after exactly these letter pairs");
static_assert(operators_are("!+-", "==!"), "the byte searches look for '=' before exactly these bytes");

/// Byte by byte: the fallback, and the reference the tests compare with.
struct portable_search {
  /// Whether the scan takes windows whole with these searches. Byte by byte,
  /// the masks for it cost more than the stops they save.
  static constexpr bool whole_windows = false;
  /// Whether the keyword letters before a '(' are looked up by their low
  /// four bits, letting through `keyword_lookalikes` (see above).
  static constexpr bool keyword_by_low_bits = false;

  /// True at a byte that can give a finding or start a skip in code.
  static bool is_code_stop(const char* at) {
    switch (at[0]) {
      case '(':
        return (at[-1] == 'f' && at[-2] == 'i') || (at[-1] == 'r' && at[-2] == 'o') ||
               (at[-1] == 'h' && at[-2] == 'c') || (at[-1] == 'e' && at[-2] == 'l');
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

  /// The code stops at '(' and '=', those that may give a finding.
  static std::uint64_t finding_stops(const char* p) {
    return mask_of(p, [](const char* at) { return (*at == '(' || *at == '=') && is_code_stop(at); });
  }

  /// The '(' that searches looking keywords up by low bits give besides
  /// those above: after two ASCII bytes whose low four bits are those of a
  /// keyword's last two letters. What the tests hold those searches to.
  static std::uint64_t keyword_lookalikes(const char* p) {
    return mask_of(p, [](const char* at) {
      const auto low = [](char c) { return static_cast<unsigned char>(c) < 0x80 ? c & 15 : -1; };
      for (const std::array<char, 2>& pair : keyword_endings) {
        if (*at == '(' && low(at[-2]) == (pair[0] & 15) && low(at[-1]) == (pair[1] & 15)) return true;
      }
      return false;
    });
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

  static code_window code_window_at(const char* p) {
    code_window w{};
    for (unsigned i = 0; i < 64; ++i) {
      const char* at = p + i;
      const std::uint64_t bit = std::uint64_t{1} << i;
      auto set_if = [bit](std::uint64_t& mask, bool yes) { mask |= yes ? bit : 0; };
      set_if(w.line_starts, *at == '#' || (*at == '/' && at[1] == '/'));
      set_if(w.line_feeds, *at == '\n');
      set_if(w.continued, *at == '\n' && (at[-1] == '\\' || (at[-1] == '\r' && at[-2] == '\\')));
      set_if(w.comment_opens, *at == '/' && at[1] == '*');
      set_if(w.comment_closes, *at == '/' && at[-1] == '*');
      set_if(w.double_quotes, *at == '"');
      set_if(w.single_quotes, *at == '\'');
      set_if(w.backslashes, *at == '\\');
    }
    return w;
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
    const std::uint64_t line_feeds = count_line_feeds(p, p + length);
    std::size_t last = length;
    if (line_feeds != 0) {
      while (p[last - 1] != '\n') --last;
    }
    return {length, line_feeds, line_feeds != 0 ? last - 1 : 0};
  }

  /// The rest of a text whose first `done` bytes hold `line_feeds` line
  /// feeds and no 0x1A, measured here; `search` finds the last line feed.
  template <typename search>
  static text_extent measure_rest(const char* start, std::size_t n, std::size_t done, std::uint64_t line_feeds) {
    const void* z = std::memchr(start + done, 0x1A, n - done);
    const std::size_t length = z != nullptr ? static_cast<std::size_t>(static_cast<const char*>(z) - start) : n;
    line_feeds += count_line_feeds(start + done, start + length);
    return {length, line_feeds, line_feeds != 0 ? last_line_feed_of<search>(start, length) : 0};
  }
};

#if defined(__SSE2__)
/// 16 bytes at a time.
struct sse2_search {
  static constexpr bool whole_windows = true;
  static constexpr bool keyword_by_low_bits = false;
  static __m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static __m128i eq(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
  static std::uint64_t bits(__m128i v) { return static_cast<std::uint16_t>(_mm_movemask_epi8(v)); }

  static __m128i finding_stops16(const char* p) {
    const __m128i v = load(p), before = load(p - 1), before2 = load(p - 2), next = load(p + 1);
    const __m128i keyword_end =
        _mm_or_si128(_mm_or_si128(_mm_and_si128(eq(before, 'f'), eq(before2, 'i')), _mm_and_si128(eq(before, 'r'), eq(before2, 'o'))),
                     _mm_or_si128(_mm_and_si128(eq(before, 'h'), eq(before2, 'c')), _mm_and_si128(eq(before, 'e'), eq(before2, 'l'))));
    const __m128i misspelt = _mm_or_si128(_mm_or_si128(eq(next, '!'), eq(next, '+')),
                                          _mm_or_si128(eq(next, '-'), _mm_and_si128(eq(next, '='), eq(load(p + 2), '!'))));
    return _mm_or_si128(_mm_and_si128(eq(v, '('), keyword_end), _mm_and_si128(eq(v, '='), misspelt));
  }

  static std::uint64_t code_stops16(const char* p) {
    const __m128i v = load(p), next = load(p + 1);
    const __m128i comment = _mm_and_si128(eq(v, '/'), _mm_or_si128(eq(next, '*'), eq(next, '/')));
    const __m128i opens = _mm_or_si128(_mm_or_si128(eq(v, '"'), eq(v, '\'')), eq(v, '#'));
    return bits(_mm_or_si128(finding_stops16(p), _mm_or_si128(comment, opens)));
  }

  template <typename part>
  static std::uint64_t join(const char* p, part&& of) {
    return of(p) | of(p + 16) << 16 | of(p + 32) << 32 | of(p + 48) << 48;
  }

  static std::uint64_t code_stops(const char* p) { return join(p, code_stops16); }

  static std::uint64_t finding_stops(const char* p) {
    return join(p, [](const char* at) { return bits(finding_stops16(at)); });
  }

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

  static code_window code_window_at(const char* p) {
    code_window w{};
    for (unsigned i = 0; i < 64; i += 16) {
      const char* at = p + i;
      const __m128i v = load(at), next = load(at + 1), before = load(at - 1);
      const __m128i slash = eq(v, '/'), lf = eq(v, '\n');
      w.line_starts |= bits(_mm_or_si128(eq(v, '#'), _mm_and_si128(slash, eq(next, '/')))) << i;
      w.line_feeds |= bits(lf) << i;
      const __m128i after_backslash =
          _mm_or_si128(eq(before, '\\'), _mm_and_si128(eq(before, '\r'), eq(load(at - 2), '\\')));
      w.continued |= bits(_mm_and_si128(lf, after_backslash)) << i;
      w.comment_opens |= bits(_mm_and_si128(slash, eq(next, '*'))) << i;
      w.comment_closes |= bits(_mm_and_si128(slash, eq(before, '*'))) << i;
      w.double_quotes |= bits(eq(v, '"')) << i;
      w.single_quotes |= bits(eq(v, '\'')) << i;
      w.backslashes |= bits(eq(v, '\\')) << i;
    }
    return w;
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
    return portable_search::measure_rest<sse2_search>(start, n, static_cast<std::size_t>(p - start), line_feeds);
  }
};
#endif

#if defined(STYLO_HAVE_X86_SEARCHES)
/// 32 bytes at a time. Each function is compiled for AVX2 on its own, so the
/// rest of the program still runs on any x86-64; the scan calls them only
/// once `avx2_available()` has said yes.
struct avx2_search {
  static constexpr bool whole_windows = true;
  static constexpr bool keyword_by_low_bits = true;
#define STYLO_AVX2 __attribute__((target("avx2")))
  STYLO_AVX2 static __m256i load(const char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  STYLO_AVX2 static __m256i eq(__m256i v, char c) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c)); }
  STYLO_AVX2 static std::uint64_t bits(__m256i v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }

  STYLO_AVX2 static __m256i both(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
  STYLO_AVX2 static __m256i either(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }

  STYLO_AVX2 static __m256i table(const std::array<char, 64>& entries) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(entries.data()));
  }

  // The stops of portable_search::is_code_stop, and a '(' after letters
  // that only look like a keyword's by their low bits (see above).
  STYLO_AVX2 static __m256i finding_stops32(const char* p) {
    const __m256i v = load(p), before = load(p - 1), before2 = load(p - 2), next = load(p + 1);
    const __m256i shared = both(_mm256_shuffle_epi8(table(keyword_last_letters), before),
                                _mm256_shuffle_epi8(table(keyword_letters_before_last), before2));
    const __m256i keyword_end = _mm256_andnot_si256(_mm256_cmpeq_epi8(shared, _mm256_setzero_si256()), eq(v, '('));
    const __m256i misspelt = either(either(eq(next, '!'), eq(next, '+')),
                                    either(eq(next, '-'), both(eq(next, '='), eq(load(p + 2), '!'))));
    return either(keyword_end, both(eq(v, '='), misspelt));
  }

  STYLO_AVX2 static std::uint64_t code_stops32(const char* p) {
    const __m256i v = load(p), next = load(p + 1);
    const __m256i comment = both(eq(v, '/'), either(eq(next, '*'), eq(next, '/')));
    return bits(either(finding_stops32(p), either(comment, either(either(eq(v, '"'), eq(v, '\'')), eq(v, '#')))));
  }

  STYLO_AVX2 static std::uint64_t code_stops(const char* p) { return code_stops32(p) | code_stops32(p + 32) << 32; }

  STYLO_AVX2 static std::uint64_t finding_stops(const char* p) {
    return bits(finding_stops32(p)) | bits(finding_stops32(p + 32)) << 32;
  }

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

  STYLO_AVX2 static code_window code_window_at(const char* p) {
    code_window w{};
    for (unsigned i = 0; i < 64; i += 32) {
      const char* at = p + i;
      const __m256i v = load(at), next = load(at + 1), before = load(at - 1);
      const __m256i slash = eq(v, '/'), lf = eq(v, '\n');
      w.line_starts |= bits(either(eq(v, '#'), both(slash, eq(next, '/')))) << i;
      w.line_feeds |= bits(lf) << i;
      const __m256i after_backslash = either(eq(before, '\\'), both(eq(before, '\r'), eq(load(at - 2), '\\')));
      w.continued |= bits(both(lf, after_backslash)) << i;
      w.comment_opens |= bits(both(slash, eq(next, '*'))) << i;
      w.comment_closes |= bits(both(slash, eq(before, '*'))) << i;
      w.double_quotes |= bits(eq(v, '"')) << i;
      w.single_quotes |= bits(eq(v, '\'')) << i;
      w.backslashes |= bits(eq(v, '\\')) << i;
    }
    return w;
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
    return portable_search::measure_rest<avx2_search>(start, n, static_cast<std::size_t>(p - start), line_feeds);
  }
#undef STYLO_AVX2
};

/// True when the processor runs the AVX2 searches.
inline bool avx2_available() { return __builtin_cpu_supports("avx2"); }

/// Each byte value 64 times over, for the AVX-512 comparisons. Defined in
/// byte_search.cc, out of the compiler's sight here, so that it reads a row
/// as the comparison's operand rather than rebuilding it in a register
/// before each comparison, as it does with a constant it can see.
extern const std::array<std::array<char, 64>, 256> byte_splats;

/// 64 bytes at a time: one register per window, with the comparisons giving
/// the window's mask directly; chosen at run time like the AVX2 ones.
struct avx512_search {
  static constexpr bool whole_windows = true;
  static constexpr bool keyword_by_low_bits = true;
// The AVX-512 subsets every processor with AVX-512 BW has. clang must also
// be told that these functions work on 512-bit vectors, or its instruction
// selection can fail on them.
#define STYLO_AVX512_FEATURES "avx512f,avx512bw,avx512dq,avx512vl,popcnt,bmi,bmi2"
#if defined(__clang__)
#define STYLO_AVX512 __attribute__((target(STYLO_AVX512_FEATURES), min_vector_width(512)))
#else
#define STYLO_AVX512 __attribute__((target(STYLO_AVX512_FEATURES)))
#endif
  STYLO_AVX512 static __m512i load(const char* p) { return _mm512_loadu_si512(p); }
  /// 64 copies of `c`, read from memory: the comparisons take them as an
  /// operand, where a constant would be remade in a register before each.
  STYLO_AVX512 static __m512i splat(char c) { return _mm512_load_si512(byte_splats[static_cast<unsigned char>(c)].data()); }
  STYLO_AVX512 static std::uint64_t eq(__m512i v, char c) { return _mm512_cmpeq_epi8_mask(v, splat(c)); }

  // Each comparison gives a mask register; the masked ones compare only
  // where the mask so far is set, so a condition on the neighbours costs
  // one instruction.
  STYLO_AVX512 static std::uint64_t eq_where(std::uint64_t where, __m512i v, char c) {
    return _mm512_mask_cmpeq_epi8_mask(where, v, splat(c));
  }

  STYLO_AVX512 static __m512i table(const std::array<char, 64>& entries) { return _mm512_load_si512(entries.data()); }

  // The stops of portable_search::is_code_stop, and a '(' after letters
  // that only look like a keyword's by their low bits (see above).
  STYLO_AVX512 static std::uint64_t finding_stops(const char* p) {
    const __m512i v = load(p);
    // No early return where the window holds neither: whether it does
    // changes from window to window, and a branch on it costs more in
    // mispredictions than the comparisons it saves.
    const std::uint64_t paren = eq(v, '('), equals = eq(v, '=');
    const __m512i before = load(p - 1), before2 = load(p - 2), next = load(p + 1);
    const std::uint64_t keyword_end =
        _mm512_mask_test_epi8_mask(paren, _mm512_shuffle_epi8(table(keyword_last_letters), before),
                                   _mm512_shuffle_epi8(table(keyword_letters_before_last), before2));
    const std::uint64_t misspelt = eq_where(equals, next, '!') | eq_where(equals, next, '+') |
                                   eq_where(equals, next, '-') | eq_where(eq_where(equals, next, '='), load(p + 2), '!');
    return keyword_end | misspelt;
  }

  STYLO_AVX512 static std::uint64_t code_stops(const char* p) {
    const __m512i v = load(p), next = load(p + 1);
    const std::uint64_t comment = eq_where(eq(v, '/'), next, '*') | eq_where(eq(v, '/'), next, '/');
    return finding_stops(p) | comment | eq(v, '"') | eq(v, '\'') | eq(v, '#');
  }

  STYLO_AVX512 static std::uint64_t literal_stops(const char* p, char quote) {
    const __m512i v = load(p);
    return eq(v, quote) | eq(v, '\\') | eq(v, '\n');
  }

  STYLO_AVX512 static std::uint64_t line_feeds(const char* p) { return eq(load(p), '\n'); }

  STYLO_AVX512 static std::uint64_t comment_closes(const char* p) { return eq(load(p), '*') & eq(load(p + 1), '/'); }

  STYLO_AVX512 static code_window code_window_at(const char* p) {
    const __m512i v = load(p), next = load(p + 1), before = load(p - 1);
    const std::uint64_t slash = eq(v, '/'), lf = eq(v, '\n');
    code_window w;
    w.line_starts = eq(v, '#') | eq_where(slash, next, '/');
    w.line_feeds = lf;
    w.continued = eq_where(lf, before, '\\') | eq_where(eq_where(lf, before, '\r'), load(p - 2), '\\');
    w.comment_opens = eq_where(slash, next, '*');
    w.comment_closes = eq_where(slash, before, '*');
    w.double_quotes = eq(v, '"');
    w.single_quotes = eq(v, '\'');
    w.backslashes = eq(v, '\\');
    return w;
  }

  STYLO_AVX512 static std::uint64_t count_line_feeds(const char* p, const char* end) {
    std::uint64_t n = 0;
    for (; p + 64 <= end; p += 64) n += static_cast<std::uint64_t>(__builtin_popcountll(line_feeds(p)));
    return n + portable_search::count_line_feeds(p, end);
  }

  STYLO_AVX512 static text_extent measure_text(const char* p, std::size_t n) {
    const char* const start = p;
    const char* const end = p + n;
    std::uint64_t line_feeds = 0;
    // Four windows a step, with one branch for a 0x1A in any of them.
    for (; p + 256 <= end; p += 256) {
      const __m512i a = load(p), b = load(p + 64), c = load(p + 128), d = load(p + 192);
      if ((eq(a, 0x1A) | eq(b, 0x1A) | eq(c, 0x1A) | eq(d, 0x1A)) != 0) break;
      line_feeds += static_cast<std::uint64_t>(__builtin_popcountll(eq(a, '\n')) + __builtin_popcountll(eq(b, '\n')) +
                                               __builtin_popcountll(eq(c, '\n')) + __builtin_popcountll(eq(d, '\n')));
    }
    for (; p + 64 <= end; p += 64) {
      const __m512i v = load(p);
      if (eq(v, 0x1A) != 0) break;
      line_feeds += static_cast<std::uint64_t>(__builtin_popcountll(eq(v, '\n')));
    }
    return portable_search::measure_rest<avx512_search>(start, n, static_cast<std::size_t>(p - start), line_feeds);
  }
};

/// True when the processor (and the system, which must save the registers)
/// runs the AVX-512 searches.
inline bool avx512_available() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}
#endif

/// `measure_text` of the fastest searches this processor runs.
inline text_extent measure_text(const char* p, std::size_t n) {
#if defined(STYLO_HAVE_X86_SEARCHES)
  static const bool avx512 = avx512_available();
  if (avx512) return avx512_search::measure_text(p, n);
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
