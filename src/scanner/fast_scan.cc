// The fast scan works on whole buffers of lines from the reader rather than
// through the cursor's character steps. What makes that exact:
//
// - In code, only '(' after f, h, r or e, '=' before '!', '+', '-' or "=!",
//   '/' before '*' or '/', and the quotes and '#' can give a finding or
//   start a skip (see byte_search.h); every other byte is passed over unseen.
// - A keyword matters only right before '(', so instead of collecting every
//   word, the scan looks back from '(' over at most seven word characters.
//   The word it finds is the one the character scan would have collected:
//   every skip ends on a non-word character or at a line end, and a line
//   feed is no word character, so a word never reaches back into skipped
//   text or into the line before.
// - Inside a literal only its quote, a backslash and the line feed matter;
//   inside a block comment only "*/"; a line comment or preprocessor line
//   only needs to know whether it ends in an unpaired backslash, which
//   continues it on the next line.
// - The reader counts the line feeds of each buffer as it reads it; within
//   a buffer, they are counted only up to a warning, for its line number.
// - The reader leaves a carriage return before each line feed in the
//   buffer. It is no byte the code search stops at, and it is in no operator,
//   so it only matters where a backslash ends a line: "\\\r\n" continues.

#include "scanner/fast_scan.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "rules/keyword_rule.h"
#include "rules/warnings.h"
#include "scanner/byte_search.h"
#include "scanner/char_classes.h"
#include "scanner/console_output.h"
#include "scanner/source_cursor.h"

namespace stylo {
namespace {

/// What the scan is inside of where a line ends; the only state that
/// crosses from one line to the next.
enum class skip_kind { none, literal, rest_of_line, block_comment };

struct scan_state {
  skip_kind skip = skip_kind::none;
  char quote = 0;  ///< the closing quote while in a literal
};

/// True if the line feed at `lf` ends a line whose last byte before it
/// (ignoring a carriage return just before the line feed) is an unpaired
/// backslash, counting backslashes no further back than `from`.
bool continues(const char* from, const char* lf) {
  const char* last = lf;
  if (last > from && last[-1] == '\r') --last;
  const char* run = last;
  while (run > from && run[-1] == '\\') --run;
  return ((last - run) & 1) != 0;
}

/// The position of the lowest set bit, or 64 when there is none.
unsigned first_bit(std::uint64_t mask) { return mask == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(mask)); }

/// The keyword, if any, that ends right before the '(' at `paren`, or an
/// empty view; `start` is the start of the buffer, before which nothing may
/// be read.
inline std::string_view keyword_before(const char* start, const char* paren) {
  constexpr std::ptrdiff_t longest_keyword = 6;
  const char* word = paren;
  while (word > start && paren - word <= longest_keyword && is_word_char(word[-1])) --word;
  if (word > start && is_word_char(word[-1])) return {};  // part of a longer word
  const std::string_view candidate(word, static_cast<std::size_t>(paren - word));
  return is_control_keyword(candidate) ? candidate : std::string_view{};
}

/// Scans [start, end): whole lines, the last one without its line feed only
/// at the end of the input. The cursor's line number is that of the first
/// line on entry, and is brought up to date only where a warning needs it.
///
/// The bytes are taken in windows of 64: for each window the mask of the
/// bytes that matter in the current state is made once, and the scan moves
/// from one set bit to the next. The code mask, the dearest to make, is kept
/// for the window, so that coming back to code after a short literal or
/// preprocessor line costs no new search.
template <typename search>
[[gnu::always_inline]] inline void scan_lines(const char* const start, const char* const end, scan_state& kept) {
  scan_state state = kept;  // a local copy: the reports' calls cannot touch it, so it stays in registers
  std::uint64_t& line_number = source_cursor.line_number;
  const char* counted = start;  // line feeds before here are in line_number
  auto count_lines_to = [&](const char* at) {
    line_number += search::count_line_feeds(counted, at);
    counted = at;
  };
  // Where the current line comment or preprocessor line began: its final
  // backslashes are counted no further back. Buffers hold whole lines, so a
  // skip that goes on from the previous buffer starts at `start`.
  const char* skip_from = start;
  // The bits of a mask made at `from` that stand for bytes before `end`.
  auto before_end = [end](const char* from) -> std::uint64_t {
    if (from >= end) return 0;
    return end - from >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (end - from)) - 1;
  };

  for (const char* base = start; base < end;) {
    const unsigned available = end - base >= 64 ? 64 : static_cast<unsigned>(end - base);
    const std::uint64_t valid = available == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << available) - 1;
    // Each mask of the window is made at most once: a window may hold many
    // stops of one state, such as the lines of a long macro.
    std::uint64_t code = 0, line_ends = 0, closes = 0, literal = 0;
    bool have_code = false, have_line_ends = false, have_closes = false;
    char literal_quote = 0;  // the quote `literal` was made for, if any
    unsigned at = 0;  // where the scan stands, from `base`; past the window once it is done with
    while (at < available) {
      const std::uint64_t ahead = valid & (~std::uint64_t{0} << at);
      std::uint64_t hits = 0;
      switch (state.skip) {
        case skip_kind::none:
          if (!have_code) {
            code = search::code_stops(base);
            have_code = true;
          }
          hits = code & ahead;
          break;
        case skip_kind::literal:
          if (literal_quote != state.quote) {
            literal = search::literal_stops(base, state.quote);
            literal_quote = state.quote;
          }
          hits = literal & ahead;
          break;
        case skip_kind::rest_of_line:
          if (!have_line_ends) {
            line_ends = search::line_feeds(base);
            have_line_ends = true;
          }
          hits = line_ends & ahead;
          break;
        case skip_kind::block_comment:
          if (!have_closes) {
            closes = search::comment_closes(base);
            have_closes = true;
          }
          hits = closes & ahead;
          break;
      }
      if (hits == 0) {
        at = available;
        break;
      }
      const unsigned k = static_cast<unsigned>(__builtin_ctzll(hits));
      const char* const stop = base + k;
      at = k + 1;
      switch (state.skip) {
        case skip_kind::none:
          switch (*stop) {
            case '(':
              if (const std::string_view keyword = keyword_before(start, stop); !keyword.empty()) {
                count_lines_to(stop);
                report_keyword_warning(keyword);
              }
              break;
            case '=':
              count_lines_to(stop);
              if (stop[1] == '=') {
                report_operator_warning("==!", "!=");
                at = k + 2;  // the second '=' is not examined again
              } else {
                const char found[2] = {'=', stop[1]};
                const char suggested[2] = {stop[1], '='};
                report_operator_warning({found, 2}, {suggested, 2});
              }
              break;
            // A skip that ends within 64 bytes is passed over here, in code,
            // without a change of state: most literals, preprocessor lines
            // and comments are short, and a change of state costs a
            // mispredicted branch or two. Its mask is made from the byte
            // after the opening, so the skip may end past this window, and
            // the next window then starts where the skip ends.
            case '"':
            case '\'': {
              const char* const from = stop + 1;
              const unsigned close = first_bit(search::literal_stops(from, *stop) & before_end(from));
              if (close < 64 && from[close] != '\\') {
                at = k + 1 + close + 1;  // past the closing quote, or the line end
              } else {
                state = {skip_kind::literal, *stop};
              }
              break;
            }
            case '#':
            case '/':
              if (*stop == '/' && stop[1] == '*') {
                const char* const from = stop + 2;  // the '*' of "/*" cannot start its "*/"
                const unsigned close = first_bit(search::comment_closes(from) & before_end(from));
                if (close < 64) {
                  at = k + 2 + close + 2;
                } else {
                  state.skip = skip_kind::block_comment;
                  at = k + 2;
                }
              } else {
                const char* const from = stop + 1;
                const unsigned lf = first_bit(search::line_feeds(from) & before_end(from));
                if (lf < 64 && !continues(from, from + lf)) {
                  at = k + 1 + lf + 1;
                } else {
                  state.skip = skip_kind::rest_of_line;
                  skip_from = from;
                }
              }
              break;
          }
          break;
        case skip_kind::literal:
          if (*stop != '\\') {
            state.skip = skip_kind::none;  // the closing quote, or the line end
          } else if (stop[1] == '\n') {
            at = k + 2;  // a continuation: the literal goes on over the next line
          } else if (stop[1] == '\r' && stop[2] == '\n') {
            at = k + 3;  // the same, with the carriage return the reader keeps
          } else {
            at = k + 2;  // the escaped byte
          }
          break;
        case skip_kind::rest_of_line:
          if (continues(skip_from, stop)) {
            skip_from = stop + 1;
          } else {
            state.skip = skip_kind::none;
          }
          break;
        case skip_kind::block_comment:
          state.skip = skip_kind::none;
          at = k + 2;
          break;
      }
    }
    base += at;
  }
  kept = state;
}

// The loop above, compiled once per set of searches. The AVX2 one is
// compiled for AVX2 as a whole, so that the searches inline into it and keep
// their constants in registers.
template <typename search>
void scan_lines_with(const char* start, const char* end, scan_state& state) {
  scan_lines<search>(start, end, state);
}
#if defined(STYLO_HAVE_AVX2_SEARCH)
template <>
__attribute__((target("avx2"))) void scan_lines_with<avx2_search>(const char* start, const char* end,
                                                                  scan_state& state) {
  scan_lines<avx2_search>(start, end, state);
}
#endif

template <typename search>
void scan_file_with() {
  cursor_state& c = source_cursor;
  scan_state state;
  std::uint64_t first_line = 1;  // the number of the first line of each buffer
  std::string_view lines;
  std::uint64_t line_feeds = 0;
  for (;;) {
    switch (read_lines(c.input, lines, line_feeds)) {
      case read_status::line:
        c.line_number = first_line;
        scan_lines_with<search>(lines.data(), lines.data() + lines.size(), state);
        first_line += line_feeds;
        break;
      case read_status::end:
        c.end_flag = true;
        return;
      case read_status::error:
        fail_parsing(c.file_name);
    }
  }
}

}  // namespace

void scan_file_fast() {
#if defined(STYLO_HAVE_AVX2_SEARCH)
  static const bool avx2 = avx2_available();
  if (avx2) return scan_file_with<avx2_search>();
#endif
#if defined(__SSE2__)
  scan_file_with<sse2_search>();
#else
  scan_file_with<portable_search>();
#endif
}

void scan_file_fast_with(byte_searches searches) {
  switch (searches) {
#if defined(STYLO_HAVE_AVX2_SEARCH)
    case byte_searches::avx2:
      return scan_file_with<avx2_search>();
#endif
#if defined(__SSE2__)
    case byte_searches::sse2:
      return scan_file_with<sse2_search>();
#endif
    default:
      return scan_file_with<portable_search>();
  }
}

}  // namespace stylo
