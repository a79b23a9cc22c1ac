// The fast scan works on whole buffers of lines from the reader rather than
// through the cursor's character steps. What makes that exact:
//
// - In code, only '(' after "if", "or", "ch" or "le", '=' before '!', '+',
//   '-' or "=!", '/' before '*' or '/', and the quotes and '#' can give a
//   finding or start a skip (see byte_search.h); every other byte is passed
//   over unseen. (The AVX2 and AVX-512 searches also stop at a few '(' that
//   only look like a keyword's end; the word before is looked at.)
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
// - Where no skip can hide another's opening, the skips of a window follow
//   from its masks alone (see scan_to_finding), so most windows need no
//   stop at all.
// - The reader counts the line feeds of each buffer as it reads it; within
//   a buffer, they are counted only up to a warning, for its line number.
// - The reader leaves a carriage return before each line feed in the
//   buffer. It is no byte the code search stops at, and it is in no operator,
//   so it only matters where a backslash ends a line: "\\\r\n" continues.

#include "scanner/fast_scan.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "rules/assignment_rule.h"
#include "rules/keyword_rule.h"
#include "rules/rule_catalog.h"
#include "rules/warnings.h"
#include "scanner/bit_ops.h"
#include "scanner/byte_search.h"
#include "scanner/char_classes.h"
#include "scanner/source_cursor.h"

namespace stylo {
namespace {

/// What the scan is inside of where a line ends; the only state that
/// crosses from one line to the next.
enum class skip_kind { none, literal, rest_of_line, block_comment };

struct scan_state {
  skip_kind skip = skip_kind::none;
  char quote = 0;  ///< the closing quote while in a literal
  /// Where the current line comment or preprocessor line began: its final
  /// backslashes are counted no further back.
  const char* skip_from = nullptr;
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

/// The bits of a window that lie in skips of one kind: from each start
/// that is not itself in such a skip up to and including the byte that ends
/// it. `open` says whether the window begins inside such a skip; on return
/// it says whether the window ends inside one.
///
/// Between two ends the bits of `~ends` form a run of ones. Adding the
/// starts to it carries from the first start of each run to the run's end,
/// turning every bit it passes; later starts in the same run are turned
/// twice and put back by the final or. A skip that began in an earlier
/// window is a carry into bit 0; one still open at the end is the carry out
/// of bit 63. A start must not also be an end.
inline std::uint64_t skipped_to_end(std::uint64_t starts, std::uint64_t ends, bool& open) {
  const std::uint64_t runs = ~ends;
  std::uint64_t sum = 0;
  const bool carried = add_carries(runs, starts, sum);
  const bool carried_in = add_carries(sum, std::uint64_t{open}, sum);
  open = carried || carried_in;
  return (sum ^ runs) | starts;
}

/// The bits from each quote in `quotes` up to, not including, the next:
/// the literals they open, with their opening quotes.
inline std::uint64_t between_pairs(std::uint64_t quotes) {
  quotes ^= quotes << 1;
  quotes ^= quotes << 2;
  quotes ^= quotes << 4;
  quotes ^= quotes << 8;
  quotes ^= quotes << 16;
  quotes ^= quotes << 32;
  return quotes;
}

/// The bytes escaped by a backslash: each right after a run of an odd
/// number of backslashes (escaped backslashes among them), runs taken as
/// beginning in the mask. The odd-bit mask marks where a run that began on
/// an even bit would end on an odd count; subtracting the backslashes from
/// their own shift, over that mask, leaves each run's parity at its end.
inline std::uint64_t escaped_bytes(std::uint64_t backslashes) {
  constexpr std::uint64_t odd_bits = 0xAAAAAAAAAAAAAAAA;
  const std::uint64_t even_runs_and_odd_bits = ((backslashes << 1) | odd_bits) - backslashes;
  return (even_runs_and_odd_bits ^ odd_bits) ^ backslashes;
}

/// The position of the lowest set bit, or 64 when there is none.
unsigned first_bit(std::uint64_t mask) { return mask == 0 ? 64 : lowest_bit(mask); }

/// The keyword, if any, that ends right before the '(' at `paren`, or an
/// empty view; `start` is the start of the buffer, before which nothing may
/// be read.
inline std::string_view keyword_before(const char* start, const char* paren) {
  const char* word = paren;
  while (word > start && paren - word <= static_cast<std::ptrdiff_t>(longest_keyword) && is_word_char(word[-1])) --word;
  if (word > start && is_word_char(word[-1])) return {};  // part of a longer word
  const std::string_view candidate(word, static_cast<std::size_t>(paren - word));
  return is_control_keyword(candidate) ? candidate : std::string_view{};
}

/// The skips of a window taken whole, and what goes on into the next one.
struct whole_window {
  std::uint64_t passed;       ///< the bytes in skips, and the quotes that close literals
  std::uint64_t line_starts;  ///< the starts of lines skipped to their end
  bool comment_open;          ///< a block comment goes on into the next window
  bool line_open;             ///< a line skipped to its end goes on into the next window
  /// Where the scan goes on: the end of the window, or the opening quote of
  /// a literal still open there, which the next window starts with, in code.
  unsigned resume;
};

/// The bits below `n`, for n from 0 to 64.
inline std::uint64_t bits_below(unsigned n) { return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1; }

/// Finds the skips of the window `w` made at `base`, entered in the state
/// `skip` (not a literal), from its masks alone; false where that may be
/// wrong, and the window must go stop by stop.
///
/// Comments are found first, as if every "/*" opened one; then lines, from
/// the starts outside comments; then literals, from the quotes outside
/// both. That order may be wrong where a "/*" is in a line or literal, a
/// line start in a literal, or a quote of one kind in a literal of the
/// other; literals are taken only when they hold no line end, and lines
/// only when none is continued. A quote escaped by a backslash closes no
/// literal; a backslash escapes only in a literal, so one in code is a doubt.
///
/// A literal still open at the window's end would need the literal state
/// carried into the next window. Instead the window is taken only up to the
/// literal's opening quote, where the scan is in code, and the next window
/// starts there. What lies from that quote on is no concern of this window:
/// each mask bit is made from the bytes up to it and the next one, and the
/// arithmetic carries only upwards, so the doubts there say nothing about
/// the bytes before.
STYLO_ALWAYS_INLINE bool skips_of_window(const code_window& w, const char* base, skip_kind skip,
                                                   whole_window& out) {
  bool comment_open = skip == skip_kind::block_comment;
  bool line_open = skip == skip_kind::rest_of_line;
  // Most windows hold no comment and no literal: their part is skipped.
  const bool any_comment = comment_open || (w.comment_opens | w.comment_closes) != 0;
  const std::uint64_t comments = any_comment ? skipped_to_end(w.comment_opens, w.comment_closes, comment_open) : 0;
  const std::uint64_t line_starts = w.line_starts & ~comments;
  const std::uint64_t lines = skipped_to_end(line_starts, w.line_feeds, line_open);
  std::uint64_t doubtful = w.continued & lines;
  std::uint64_t literals = 0, quotes = 0;
  unsigned resume = 64;
  if ((w.double_quotes | w.single_quotes) != 0) {
    const std::uint64_t escaped = escaped_bytes(w.backslashes);
    const std::uint64_t double_quotes = w.double_quotes & ~(comments | lines | escaped);
    const std::uint64_t single_quotes = w.single_quotes & ~(comments | lines | escaped);
    const std::uint64_t doubles = between_pairs(double_quotes), singles = between_pairs(single_quotes);
    literals = doubles | singles;
    quotes = double_quotes | single_quotes;
    doubtful |= (line_starts & literals) | (double_quotes & singles) | (single_quotes & doubles) |
                (w.line_feeds & literals) | (w.backslashes & ~(literals | comments | lines));
    if ((literals >> 63) != 0) {
      // The last run of literal bytes begins at an opening quote outside
      // any skip; one that began at bit 0 leaves nothing to take.
      const std::uint64_t outside = ~literals;
      if (outside == 0) [[unlikely]] return false;
      resume = 64 - leading_zeros(outside);
    }
  }
  if (any_comment) {
    // A '/' that both ends and opens a comment ("*/*"), and "/*/", which
    // opens one and does not end it, are left to the byte-by-byte loop.
    doubtful |= (w.comment_opens & (lines | literals)) |
                (w.comment_closes & (w.comment_opens | (w.comment_opens << 2)));
    // So is a "*/" or "/*" across the window's edge: that loop finds a
    // comment's end by its '*', this code by its '/', and neither may take
    // the '*' of "/*" for the start of "*/". (The conditions are joined
    // bitwise: one branch, where each && would add one that text makes
    // hard to predict.)
    if ((comment_open & (resume == 64) & ((base[63] == '*') | ((w.comment_opens >> 63) != 0))) |
        ((skip == skip_kind::block_comment) & (base[-1] == '*') & (base[0] == '/'))) [[unlikely]] {
      return false;
    }
  }
  out = {comments | lines | literals | quotes, line_starts, comment_open, line_open, resume};
  return (doubtful & bits_below(resume)) == 0;
}

/// True for a '(' or '=' the code search stopped at that gives a warning.
inline bool is_finding(const char* start, const char* stop) {
  return *stop == '=' || !keyword_before(start, stop).empty();
}

/// Scans [from, end) in the state `kept` up to the first byte that gives a
/// warning, and returns it, or returns nullptr at `end`; `kept` is then the
/// state there. `start` is the start of the buffer, before which
/// nothing may be read. The bytes from `from` on are whole lines, the last
/// one without its line feed only at the end of the input.
///
/// The bytes are taken in windows of 64. Most windows are taken whole: the
/// skips in them are found with bit arithmetic on the window's masks, and
/// only the '(' and '=' outside them are looked at. A window where that
/// could be wrong goes stop by stop: the mask of the bytes that matter in
/// the current state is made once, and the scan moves from one set bit to
/// the next. Warnings are rare, so they are written by the caller: with no
/// call in it, this loop keeps its constants in registers.
template <typename search>
STYLO_ALWAYS_INLINE const char* scan_to_finding(const char* const start, const char* const from,
                                                          const char* const end, scan_state& kept) {
  scan_state state = kept;
  // The bits of a mask made at `at` that stand for bytes before `end`.
  auto before_end = [end](const char* at) -> std::uint64_t {
    if (at >= end) return 0;
    return end - at >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (end - at)) - 1;
  };

  for (const char* base = from; base < end;) {
    const unsigned available = end - base >= 64 ? 64 : static_cast<unsigned>(end - base);
    const std::uint64_t valid = available == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << available) - 1;
    // Each mask of the window is made at most once: a window may hold many
    // stops of one state, such as the lines of a long macro.
    std::uint64_t code = 0, line_ends = 0, closes = 0, literal = 0;
    bool have_code = false, have_line_ends = false, have_closes = false;
    // A window is taken whole where its masks alone say where its skips
    // are: only the '(' and '=' outside them are looked at.
    if (search::whole_windows && available == 64 && state.skip != skip_kind::literal) {
      const code_window w = search::code_window_at(base);
      // The commonest windows need none of the arithmetic of
      // skips_of_window, and leave the state as it was: code in which no
      // skip begins, and the middle of a line skip or a block comment that
      // does not end here. (The backslashes before a line end are counted
      // from where its skip began; no run of them can reach back over a
      // later '#' or '/', so the line's last start need not be kept.)
      bool unchanged = false;
      switch (state.skip) {
        case skip_kind::none:
          unchanged = (w.line_starts | w.comment_opens | w.double_quotes | w.single_quotes) == 0;
          break;
        case skip_kind::rest_of_line:
          if (w.line_feeds == 0) {
            base += 64;
            continue;
          }
          break;
        case skip_kind::block_comment:
          // Not where a "*/" or "/*" may straddle the edge; see skips_of_window.
          // One branch for the three conditions, as above.
          if ((w.comment_closes | (w.comment_opens >> 63) | (base[63] == '*')) == 0) {
            base += 64;
            continue;
          }
          break;
        case skip_kind::literal:
          break;
      }
      whole_window skips{0, 0, false, false, 64};
      // On real text a window that must go stop by stop, a stop outside the
      // skips and a literal still open at the window's end are each rare:
      // the hints lay out the common way as straight code.
      if (unchanged || skips_of_window(w, base, state.skip, skips)) [[likely]] {
        if (std::uint64_t stops = search::finding_stops(base) & ~skips.passed & bits_below(skips.resume)) [[unlikely]] {
          for (; stops != 0; stops &= stops - 1) {
            const char* const stop = base + lowest_bit(stops);
            if (is_finding(start, stop)) {
              kept = {};
              return stop;
            }
          }
        }
        if (unchanged) {
          base += 64;
          continue;
        }
        if (skips.resume < 64) [[unlikely]] {
          state.skip = skip_kind::none;
          base += skips.resume;
          continue;
        }
        if (skips.line_open) {
          // Backslashes before the line end are counted from the line's
          // start, or from its last start when several lines begin here.
          const std::uint64_t last_line =
              w.line_feeds == 0 ? skips.line_starts
                                : skips.line_starts & ~(~std::uint64_t{0} >> leading_zeros(w.line_feeds));
          if (last_line != 0) state.skip_from = base + highest_bit(last_line);
          state.skip = skip_kind::rest_of_line;
        } else {
          state.skip = skips.comment_open ? skip_kind::block_comment : skip_kind::none;
        }
        base += 64;
        continue;
      }
    }
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
      const unsigned k = lowest_bit(hits);
      const char* const stop = base + k;
      at = k + 1;
      switch (state.skip) {
        case skip_kind::none:
          switch (*stop) {
            case '(':
            case '=':
              if (is_finding(start, stop)) {
                kept = state;
                return stop;
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
              const char* const after = stop + 1;
              const unsigned close = first_bit(search::literal_stops(after, *stop) & before_end(after));
              if (close < 64 && after[close] != '\\') {
                at = k + 1 + close + 1;  // past the closing quote, or the line end
              } else {
                state.skip = skip_kind::literal;
                state.quote = *stop;
              }
              break;
            }
            case '#':
            case '/':
              if (*stop == '/' && stop[1] == '*') {
                const char* const after = stop + 2;  // the '*' of "/*" cannot start its "*/"
                const unsigned close = first_bit(search::comment_closes(after) & before_end(after));
                if (close < 64) {
                  at = k + 2 + close + 2;
                } else {
                  state.skip = skip_kind::block_comment;
                  at = k + 2;
                }
              } else {
                const char* const after = stop + 1;
                const unsigned lf = first_bit(search::line_feeds(after) & before_end(after));
                if (lf < 64 && !continues(after, after + lf)) {
                  at = k + 1 + lf + 1;
                } else {
                  state.skip = skip_kind::rest_of_line;
                  state.skip_from = after;
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
          if (continues(state.skip_from, stop)) {
            state.skip_from = stop + 1;
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
  return nullptr;
}

/// Scans [start, end): whole lines, the last one without its line feed only
/// at the end of the input. The cursor's line number is that of the first
/// line on entry, and is brought up to date only where a warning needs it,
/// with the start of the warning's line for its column.
template <typename search>
STYLO_ALWAYS_INLINE void scan_lines(cursor_state& c, const char* const start, const char* const end,
                                    scan_state& state) {
  // Buffers hold whole lines, so a skip that goes on from the previous
  // buffer starts at `start`.
  state.skip_from = start;
  const char* counted = start;     // line feeds before here are in the line number
  const char* line_start = start;  // the start of the line `counted` is in
  const char* line_end = nullptr;  // that line's end, once a warning has needed it
  for (const char* from = start;;) {
    const char* const stop = scan_to_finding<search>(start, from, end, state);
    if (stop == nullptr) return;
    // The line's start is the byte after the last line feed before the
    // stop: looked for backwards, no further than the bytes already
    // counted, and only the bytes before it are counted. Each byte is read
    // once, by one search or the other.
    const char* const after_lf = line_start_before<search>(counted, stop);
    if (after_lf > counted) {
      c.line_number += search::count_line_feeds(counted, after_lf);
      line_start = after_lf;
      line_end = nullptr;
    }
    counted = stop;
    if (line_end == nullptr) {
      // Without its line end: the line feed, and a carriage return right
      // before it. A last line without line feed keeps even a final one.
      const void* lf = std::memchr(stop, '\n', static_cast<std::size_t>(end - stop));
      line_end = lf == nullptr ? end : static_cast<const char*>(lf);
      if (lf != nullptr && line_end > line_start && line_end[-1] == '\r') --line_end;
    }
    c.line_buffer = std::string_view(line_start, static_cast<std::size_t>(line_end - line_start));
    c.column = static_cast<std::size_t>(stop - line_start);
    from = stop + 1;
    if (*stop == '(') {
      report_keyword_warning(*c.sink, c.line(), c.column, keyword_before(start, stop));
    } else {
      // A stop is a finding, so the bytes after an '=' are in its line.
      const misspelling m = misspelling_after(stop[1], stop[2]);
      report_operator_warning(*c.sink, c.line(), c.column, m);
      if (m.found.size() == 3) from = stop + 2;  // the second '=' of "==!" is not examined again
    }
  }
}

// The loop above, compiled once per set of searches. The AVX2 one is
// compiled for AVX2 as a whole, so that the searches inline into it and keep
// their constants in registers.
template <typename search>
void scan_lines_with(cursor_state& c, const char* start, const char* end, scan_state& state) {
  scan_lines<search>(c, start, end, state);
}
#if defined(STYLO_HAVE_X86_SEARCHES)
template <>
__attribute__((target("avx2"))) void scan_lines_with<avx2_search>(cursor_state& c, const char* start,
                                                                  const char* end, scan_state& state) {
  scan_lines<avx2_search>(c, start, end, state);
}
template <>
STYLO_AVX512 void scan_lines_with<avx512_search>(cursor_state& c, const char* start, const char* end,
                                                 scan_state& state) {
  scan_lines<avx512_search>(c, start, end, state);
}
#endif

template <typename search>
void scan_file_with(cursor_state& c) {
  scan_state state;
  std::uint64_t first_line = 1;  // the number of the first line of each buffer
  std::string_view lines;
  std::uint64_t line_feeds = 0;
  for (;;) {
    switch (read_lines(c.input, lines, line_feeds)) {
      case read_status::line:
        c.line_number = first_line;
        scan_lines_with<search>(c, lines.data(), lines.data() + lines.size(), state);
        first_line += line_feeds;
        break;
      case read_status::end:
        c.end_flag = true;
        return;
      case read_status::error:
        // What was found before the failure stands; the caller says the
        // rest could not be read.
        c.read_failed = true;
        c.end_flag = true;
        return;
    }
  }
}

}  // namespace

void scan_file_fast(cursor_state& c) {
#if defined(STYLO_HAVE_X86_SEARCHES)
  // What the processor offers never changes: asked once, by whichever
  // thread comes first (a thread-safe initialisation).
  static const bool avx512 = avx512_available();
  if (avx512) return scan_file_with<avx512_search>(c);
  static const bool avx2 = avx2_available();
  if (avx2) return scan_file_with<avx2_search>(c);
#endif
#if defined(__SSE2__)
  scan_file_with<sse2_search>(c);
#else
  scan_file_with<portable_search>(c);
#endif
}

void scan_file_fast_with(cursor_state& c, byte_searches searches) {
  switch (searches) {
#if defined(STYLO_HAVE_X86_SEARCHES)
    case byte_searches::avx2:
      return scan_file_with<avx2_search>(c);
    case byte_searches::avx512:
      return scan_file_with<avx512_search>(c);
#endif
#if defined(__SSE2__)
    case byte_searches::sse2:
      return scan_file_with<sse2_search>(c);
#endif
    default:
      return scan_file_with<portable_search>(c);
  }
}

}  // namespace stylo
