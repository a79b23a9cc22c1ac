// The fast scan works on whole buffers of lines from the reader rather than
// through the cursor's character steps. What makes that exact:
//
// - In code, only '(' '=' '"' '\'' '#' '/' and the line feed can give a
//   finding or start a skip; every other byte is passed over unseen.
// - A keyword matters only right before '(', so instead of collecting every
//   word, the scan looks back from '(' over at most seven word characters.
//   The word it finds is the one the character scan would have collected:
//   every skip ends on a non-word character or at a line end, so a word
//   never reaches back into skipped text.
// - Inside a literal only its quote, a backslash and the line feed matter;
//   inside a block comment only "*/" and the line feed; a line comment or
//   preprocessor line only needs to know whether it ends in an unpaired
//   backslash, which continues it on the next line.
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

/// Reports the keyword, if any, that ends right before the '(' at `paren`.
void check_word_before(const char* line_start, const char* paren) {
  constexpr std::ptrdiff_t longest_keyword = 6;
  const char* word = paren;
  while (word > line_start && paren - word <= longest_keyword && is_word_char(word[-1])) --word;
  if (word > line_start && is_word_char(word[-1])) return;  // part of a longer word
  const std::string_view candidate(word, static_cast<std::size_t>(paren - word));
  if (is_control_keyword(candidate)) report_keyword_warning(candidate);
}

/// Scans [p, end): whole lines, the last one without its line feed only at
/// the end of the input.
template <typename search>
void scan_lines(const char* p, const char* const end, scan_state& state) {
  std::uint64_t& line_number = source_cursor.line_number;
  const char* line_start = p;
  // The byte at `at`, or the virtual line feed past the end of the input.
  auto byte_at = [end](const char* at) { return at < end ? *at : '\n'; };

  while (p < end) {
    switch (state.skip) {
      case skip_kind::none: {
        const char* stop = search::find_code_stop(p, end);
        if (stop == end) return;
        p = stop + 1;
        switch (*stop) {
          case '\n':
            ++line_number;
            line_start = p;
            break;
          case '(':
            check_word_before(line_start, stop);
            break;
          case '=': {
            const char next = byte_at(stop + 1);
            if (next == '!' || next == '+' || next == '-') {
              const char found[2] = {'=', next};
              const char suggested[2] = {next, '='};
              report_operator_warning({found, 2}, {suggested, 2});
            } else if (next == '=' && byte_at(stop + 2) == '!') {
              report_operator_warning("==!", "!=");
              p = stop + 2;  // the second '=' is not examined again
            }
            break;
          }
          case '"':
          case '\'':
            state = {skip_kind::literal, *stop};
            break;
          case '#':
            state.skip = skip_kind::rest_of_line;
            break;
          case '/': {
            const char next = byte_at(stop + 1);
            if (next == '*') {
              state.skip = skip_kind::block_comment;
              p = stop + 2;  // the '*' of "/*" cannot start its "*/"
            } else if (next == '/') {
              state.skip = skip_kind::rest_of_line;
            }
            break;
          }
        }
        break;
      }
      case skip_kind::literal: {
        const char* stop = search::find_literal_stop(p, end, state.quote);
        if (stop == end) return;
        p = stop + 1;
        if (*stop == state.quote) {
          state.skip = skip_kind::none;
        } else if (*stop == '\n') {  // the line end closes the literal
          state.skip = skip_kind::none;
          ++line_number;
          line_start = p;
        } else {  // a backslash, which takes the next byte with it
          const char* lf = byte_at(stop + 1) == '\r' && byte_at(stop + 2) == '\n' ? stop + 2 : stop + 1;
          if (lf < end && *lf == '\n') {  // a continuation: the literal goes on
            ++line_number;
            line_start = lf + 1;
          }
          p = lf < end ? lf + 1 : end;
        }
        break;
      }
      case skip_kind::rest_of_line: {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lf == nullptr) return;
        if (!continues(p, lf)) state.skip = skip_kind::none;
        ++line_number;
        p = line_start = lf + 1;
        break;
      }
      case skip_kind::block_comment: {
        const char* stop = search::find_comment_stop(p, end);
        if (stop == end) return;
        if (*stop == '\n') {
          ++line_number;
          p = line_start = stop + 1;
        } else {
          state.skip = skip_kind::none;
          p = stop + 2;
        }
        break;
      }
    }
  }
}

template <typename search>
void scan_file_with() {
  cursor_state& c = source_cursor;
  scan_state state;
  c.line_number = 1;
  std::string_view lines;
  for (;;) {
    switch (read_lines(c.input, lines)) {
      case read_status::line:
        scan_lines<search>(lines.data(), lines.data() + lines.size(), state);
        break;
      case read_status::end:
        c.end_flag = true;
        return;
      case read_status::error:
        fail_parsing(c.file_name);
    }
  }
}

struct portable_search {
  static const char* find_code_stop(const char* p, const char* e) { return portable::find_code_stop(p, e); }
  static const char* find_literal_stop(const char* p, const char* e, char q) {
    return portable::find_literal_stop(p, e, q);
  }
  static const char* find_comment_stop(const char* p, const char* e) { return portable::find_comment_stop(p, e); }
};

struct fastest_search {
  static const char* find_code_stop(const char* p, const char* e) { return fastest::find_code_stop(p, e); }
  static const char* find_literal_stop(const char* p, const char* e, char q) {
    return fastest::find_literal_stop(p, e, q);
  }
  static const char* find_comment_stop(const char* p, const char* e) { return fastest::find_comment_stop(p, e); }
};

}  // namespace

void scan_file_fast() { scan_file_with<fastest_search>(); }

void scan_file_fast_portable() { scan_file_with<portable_search>(); }

}  // namespace stylo
