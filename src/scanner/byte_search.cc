#include "scanner/byte_search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stylo {

namespace portable {

const char* find_code_stop(const char* p, const char* end) {
  for (; p < end; ++p) {
    switch (*p) {
      case '(': case '=': case '"': case '\'': case '#': case '/': case '\n':
        return p;
      default:
        break;
    }
  }
  return end;
}

const char* find_literal_stop(const char* p, const char* end, char quote) {
  for (; p < end; ++p) {
    if (*p == quote || *p == '\\' || *p == '\n') return p;
  }
  return end;
}

const char* find_comment_stop(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p == '\n' || (*p == '*' && p + 1 < end && p[1] == '/')) return p;
  }
  return end;
}

}  // namespace portable

#if defined(__SSE2__)
namespace sse2 {
namespace {

inline __m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i splat(char c) { return _mm_set1_epi8(c); }
inline __m128i eq(__m128i a, __m128i b) { return _mm_cmpeq_epi8(a, b); }

// The position of the lowest set bit of `mask` counted from `p`, clipped to
// `end` (bits past `end` come from the padding and mean nothing).
inline const char* first_hit(const char* p, unsigned mask, const char* end) {
  const char* hit = p + __builtin_ctz(mask);
  return hit < end ? hit : end;
}

}  // namespace

const char* find_code_stop(const char* p, const char* end) {
  const __m128i paren = splat('('), equals = splat('='), dquote = splat('"'), squote = splat('\''),
                hash = splat('#'), slash = splat('/'), lf = splat('\n');
  for (; p < end; p += 16) {
    const __m128i v = load(p);
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(eq(v, paren), eq(v, equals)), _mm_or_si128(eq(v, dquote), eq(v, squote))),
        _mm_or_si128(_mm_or_si128(eq(v, hash), eq(v, slash)), eq(v, lf)));
    if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits))) return first_hit(p, mask, end);
  }
  return end;
}

const char* find_literal_stop(const char* p, const char* end, char quote) {
  const __m128i q = splat(quote), backslash = splat('\\'), lf = splat('\n');
  for (; p < end; p += 16) {
    const __m128i v = load(p);
    const __m128i hits = _mm_or_si128(_mm_or_si128(eq(v, q), eq(v, backslash)), eq(v, lf));
    if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits))) return first_hit(p, mask, end);
  }
  return end;
}

const char* find_comment_stop(const char* p, const char* end) {
  const __m128i star = splat('*'), slash = splat('/'), lf = splat('\n');
  for (; p < end; p += 16) {
    const __m128i v = load(p);
    // A close is a '*' whose next byte is '/': compare the block loaded one
    // byte further on.
    const __m128i close = _mm_and_si128(eq(v, star), eq(load(p + 1), slash));
    if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(close, eq(v, lf))))) {
      const char* hit = first_hit(p, mask, end);
      // A '*' on the last byte before `end` has its '/' in the padding.
      if (hit + 1 == end && *hit == '*') return end;
      return hit;
    }
  }
  return end;
}

}  // namespace sse2
#endif

}  // namespace stylo
