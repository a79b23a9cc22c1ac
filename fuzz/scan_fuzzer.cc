// Fuzz target: arbitrary bytes as one source file.
//
// For every input, what must always hold:
// - no crash, no hang, no sanitizer report;
// - every warning line is whole and in one of its exact forms, citing a line
//   of the file;
// - the warnings are the same whether the file comes in one read or in many
//   small ones (any line, a CR LF pair or a word may be split between reads);
// - the warnings are those of a reference walk over the whole text held in
//   memory, which shares no code with the block reader and the cursor;
// - the fast scan, with each set of byte searches (portable, SSE2, AVX2 and
//   AVX-512 where the processor has them), writes exactly what the plain loop writes, from
//   one read or many;
// - the vectorised byte searches give the portable ones' answers (with, for
//   those that look keywords up by low bits, the '(' that only look like a
//   keyword's end that way);
// - every scan gives each keyword finding its fix at the same offset in the
//   file, a blank before its '('; the fixed text has no keyword finding, and
//   without the blanks is the input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "driver/warning_lines.h"
#include "fuzz_support.h"
#include "rules/fixes.h"
#include "scanner/file_scan.h"
#include "scanner/source_cursor.h"

#include "scanner/byte_search.h"
#include "scanner/fast_scan.h"

namespace {

using stylo_fuzz::fail;

// --- The reference walk -----------------------------------------------------
// The whole text split into lines up front; a position is a line index and a
// column, the column equal to the line's length being the virtual line feed.
struct reference_walk {
  const std::vector<std::string_view>& lines;
  std::string& out;
  const std::string& name;
  std::size_t line = 0;
  std::size_t column = 0;
  bool ended = false;

  char at(std::size_t i) const { return i < lines[line].size() ? lines[line][i] : '\n'; }
  char here() const { return at(column); }
  void step() {
    if (++column <= lines[line].size()) return;
    column = 0;
    if (line + 1 < lines.size()) {
      ++line;
    } else {
      ended = true;
    }
  }
  void warn(std::string_view middle) {
    out += name + "(" + std::to_string(line + 1) + "): warning: " + std::string(middle) + "\n";
  }
  static bool word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  void skip_to(char delimiter) {
    step();
    while (!ended && column < lines[line].size() && here() != delimiter) {
      if (here() == '\\') ++column;
      step();
    }
  }
  void run() {
    ended = lines.empty();
    while (!ended) {
      const char c = here();
      if (word_char(c)) {
        std::string word;
        while (word_char(here())) {
          word += here();
          step();
        }
        if (here() == '(' && (word == "if" || word == "switch" || word == "for" || word == "while")) {
          warn("(style) Devrait mettre un espace entre '" + word + "' et la parenthese. [guide 80]  [QVS]");
        }
        continue;
      }
      if (c == '"' || c == '\'') {
        skip_to(c);
      } else if (c == '#' || (c == '/' && at(column + 1) == '/')) {
        skip_to('\n');
      } else if (c == '/' && at(column + 1) == '*') {
        step();
        step();
        while (!ended && !(here() == '*' && at(column + 1) == '/')) step();
        if (!ended) step();
      } else if (c == '=') {
        const char n = at(column + 1);
        const char* tail = "'; sinon, ajoutez un espace entre.  [QVS]";
        if (n == '!' || n == '+' || n == '-') {
          warn(std::string("'=") + n + "' devrait probablement etre '" + n + "=" + tail);
        } else if (n == '=' && at(column + 2) == '!') {
          warn(std::string("'==!' devrait probablement etre '!=") + tail);
          step();
        }
      }
      step();
    }
  }
};

// --- The fixes ----------------------------------------------------------------

class keyword_count final : public stylo::finding_sink {
 public:
  void take(const stylo::finding& found) override { count += found.rule == stylo::rule_id::keyword_space; }
  int count = 0;
};

// Each fix one blank before a '(' (the one right after the keyword); the
// fixed text has no keyword finding left, and with the blanks taken out is
// the input byte for byte.
void check_fixes(std::string_view bytes, const std::vector<stylo::fix_edit>& fixes) {
  for (const stylo::fix_edit& edit : fixes) {
    if (edit.offset >= bytes.size() || bytes[edit.offset] != '(' || edit.length != 0 || edit.text != " ") {
      fail("a fix is not one blank before a '('", std::to_string(edit.offset));
    }
  }
  const std::string fixed = stylo::apply_fixes(bytes, fixes);
  keyword_count left;
  if (stylo::check_text("fixed", fixed, left) != stylo::check_outcome::checked) fail("check_text did not check", "");
  if (left.count != 0) fail("the fixed text still has keyword findings", fixed);
  std::string restored;
  std::size_t from = 0;
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    const std::size_t blank = static_cast<std::size_t>(fixes[i].offset) + i;
    restored.append(fixed, from, blank - from);
    from = blank + 1;
  }
  restored.append(fixed, from);
  if (restored != bytes) fail("the fixed text without its blanks is not the input", fixed);
}

// --- The scans under test -----------------------------------------------------

// Writes each finding's warning line, and keeps where it is (line, columns,
// the line's text), which the lines do not show but every scan must agree
// on. The columns must also cover exactly the finding's own bytes.
class place_sink final : public stylo::finding_sink {
 public:
  void take(const stylo::finding& found) override {
    lines_.take(found);
    const std::string subject(found.subject);
    const std::string expected = found.rule == stylo::rule_id::keyword_space ? subject + "(" : subject;
    if (found.column < 1 || found.end_column < found.column || found.end_column - 1 > found.line_text.size() ||
        found.line_text.substr(found.column - 1, found.end_column - found.column) != expected) {
      fail("a finding's columns do not cover its text", std::string(found.line_text) + " / " + expected);
    }
    if (found.fix.has_value() != (found.rule == stylo::rule_id::keyword_space)) {
      fail("a finding's fix is not its rule's", std::string(found.line_text));
    }
    places += std::to_string(found.line) + ":" + std::to_string(found.column) + "-" +
              std::to_string(found.end_column) + (found.fix ? "@" + std::to_string(found.fix->offset) : "") + "|" +
              std::string(found.line_text) + "\n";
    if (found.fix) fixes.push_back(*found.fix);
  }
  std::string places;
  std::vector<stylo::fix_edit> fixes;  ///< of the scans since it was last cleared

 private:
  stylo::warning_line_sink lines_;
};

place_sink& sink() {
  static place_sink the_sink;
  return the_sink;
}

stylo_fuzz::memory_file& source_file() {
  static stylo_fuzz::memory_file file("stylo-source");
  return file;
}

template <typename Scan>
std::string scan_named_file(const std::string& path, Scan scan) {
  sink().places.clear();
  return stylo_fuzz::capture(1, [&] {
    if (stylo::open_source(path) != stylo::open_status::opened) fail("an in-memory source file did not open", path);
    stylo::reset_cursor();
    stylo::source_cursor.sink = &sink();
    scan();
    stylo::close_source();
  });
}

template <typename Scan>
std::string scan_in_pieces(std::string_view bytes, const std::string& name, const std::vector<std::size_t>& cuts,
                           Scan scan) {
  const int fd = stylo_fuzz::split_input(bytes, cuts);
  sink().places.clear();
  std::string out = stylo_fuzz::capture(1, [&] {
    stylo::close_source();
    stylo::source_cursor.file_name = name;
    if (!stylo::open_input(stylo::source_cursor.input, fd, false)) fail("no memory for the reader", name);
    stylo::reset_cursor();
    stylo::source_cursor.sink = &sink();
    scan();
    stylo::close_source();
  });
  ::close(fd);
  return out;
}

std::uint32_t hash_of(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

// The stops a search should give at `p`: the portable ones, and for a
// search that looks keywords up by low bits the '(' that only look like a
// keyword's end that way, which the scan rejects by looking at the word.
template <typename Search>
std::uint64_t stops_expected(std::uint64_t portable, const char* p) {
  return Search::keyword_by_low_bits ? portable | stylo::portable_search::keyword_lookalikes(p) : portable;
}

// Each vectorised set of byte searches against the portable one, over the
// input in a buffer with room around it as the line reader keeps: the masks
// at every start, and the counts of line feeds and text from the first 64
// starts.
template <typename Search>
void compare_searches(std::string_view bytes, const char* name) {
  using portable = stylo::portable_search;
  static std::string buffer;
  constexpr std::size_t before = 64, after = 128;
  buffer.assign(before, '\n');
  buffer += bytes;
  for (std::size_t i = 0; i < after; ++i) buffer += bytes.empty() ? '=' : bytes[i % bytes.size()];
  const char* begin = buffer.data() + before;
  const char* end = begin + bytes.size();
  for (const char* p = begin; p <= end; ++p) {
    const std::string at = std::string(name) + " from offset " + std::to_string(p - begin);
    if (Search::code_stops(p) != stops_expected<Search>(portable::code_stops(p), p)) fail("code_stops differs", at);
    if (Search::line_feeds(p) != portable::line_feeds(p)) fail("line_feeds differs", at);
    if (Search::comment_closes(p) != portable::comment_closes(p)) fail("comment_closes differs", at);
    if (Search::finding_stops(p) != stops_expected<Search>(portable::finding_stops(p), p)) {
      fail("finding_stops differs", at);
    }
    const stylo::code_window w = Search::code_window_at(p), want = portable::code_window_at(p);
    if (w.line_starts != want.line_starts || w.line_feeds != want.line_feeds || w.continued != want.continued ||
        w.comment_opens != want.comment_opens || w.comment_closes != want.comment_closes ||
        w.double_quotes != want.double_quotes || w.single_quotes != want.single_quotes ||
        w.backslashes != want.backslashes) {
      fail("code_window_at differs", at);
    }
    for (char quote : {'"', '\''}) {
      if (Search::literal_stops(p, quote) != portable::literal_stops(p, quote)) fail("literal_stops differs", at);
    }
    if (p - begin < 64) {
      if (Search::count_line_feeds(p, end) != portable::count_line_feeds(p, end)) {
        fail("count_line_feeds differs", at);
      }
      const auto n = static_cast<std::size_t>(end - p);
      const stylo::text_extent fast = Search::measure_text(p, n), slow = portable::measure_text(p, n);
      if (fast.length != slow.length || fast.line_feeds != slow.line_feeds ||
          (slow.line_feeds != 0 && fast.last_line_feed != slow.last_line_feed)) {
        fail("measure_text differs", at);
      }
    }
  }
}

bool have_avx2() {
#if defined(STYLO_HAVE_X86_SEARCHES)
  return stylo::avx2_available();
#else
  return false;
#endif
}

bool have_avx512() {
#if defined(STYLO_HAVE_X86_SEARCHES)
  return stylo::avx512_available();
#else
  return false;
#endif
}

std::string describe(std::string_view what, std::string_view expected, std::string_view got) {
  return std::string(what) + "\nexpected:\n" + std::string(expected) + "got:\n" + std::string(got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  stylo_fuzz::memory_file& file = source_file();
  file.assign(bytes);
  const std::string path = file.path();
  const std::vector<std::string_view> lines = stylo_fuzz::text_lines(bytes);

  sink().fixes.clear();
  const std::string plain = scan_named_file(path, [] { stylo::scan_file_plain(); });
  stylo_fuzz::check_warning_lines(plain, path, lines.size());
  const std::string plain_places = sink().places;
  check_fixes(bytes, sink().fixes);
  // Called after each scan whose lines equal the plain scan's.
  auto same_places = [&](const char* what) {
    if (sink().places != plain_places) fail(what, describe("places", plain_places, sink().places));
  };

  std::string expected;
  reference_walk{lines, expected, path}.run();
  if (plain != expected) fail("plain scan differs from the reference walk", describe("", expected, plain));

  const std::vector<std::size_t> cuts = stylo_fuzz::pieces_for(bytes, hash_of(bytes));
  const std::string pieces = scan_in_pieces(bytes, path, cuts, [] { stylo::scan_file_plain(); });
  if (pieces != plain) fail("plain scan of the file read in small pieces differs", describe("", plain, pieces));
  same_places("plain scan in small pieces puts a finding elsewhere");

  const std::string fast = scan_named_file(path, [] { stylo::scan_file_fast(); });
  if (fast != plain) fail("fast scan differs from the plain scan", describe("", plain, fast));
  same_places("fast scan puts a finding elsewhere");
  const std::string fast_pieces = scan_in_pieces(bytes, path, cuts, [] { stylo::scan_file_fast(); });
  if (fast_pieces != plain) {
    fail("fast scan of the file read in small pieces differs", describe("", plain, fast_pieces));
  }
  same_places("fast scan in small pieces puts a finding elsewhere");
  const struct {
    const char* name;
    stylo::byte_searches searches;
    bool runs;
  } variants[] = {{"portable", stylo::byte_searches::portable, true},
                  {"sse2", stylo::byte_searches::sse2, true},
                  {"avx2", stylo::byte_searches::avx2, have_avx2()},
                  {"avx512", stylo::byte_searches::avx512, have_avx512()}};
  for (const auto& v : variants) {
    if (!v.runs) continue;
    const std::string out = scan_named_file(path, [&v] { stylo::scan_file_fast_with(v.searches); });
    if (out != plain) fail("fast scan differs from the plain scan", describe(v.name, plain, out));
    same_places("a fast scan's searches put a finding elsewhere");
  }

  sink().places.clear();
  const std::string checked = stylo_fuzz::capture(1, [&] {
    if (stylo::check_file(path, sink()) != stylo::check_outcome::checked) fail("check_file did not check", path);
  });
  if (checked != plain) fail("check_file differs from the plain scan", describe("", plain, checked));
  same_places("check_file puts a finding elsewhere");
  sink().places.clear();
  const std::string in_memory = stylo_fuzz::capture(1, [&] {
    if (stylo::check_text(path, bytes, sink()) != stylo::check_outcome::checked) fail("check_text did not check", path);
  });
  if (in_memory != plain) fail("check_text differs from the plain scan", describe("", plain, in_memory));
  same_places("check_text puts a finding elsewhere");

#if defined(__SSE2__)
  compare_searches<stylo::sse2_search>(bytes, "sse2");
#endif
#if defined(STYLO_HAVE_X86_SEARCHES)
  if (have_avx2()) compare_searches<stylo::avx2_search>(bytes, "avx2");
  if (have_avx512()) compare_searches<stylo::avx512_search>(bytes, "avx512");
#endif
  return 0;
}
