// The fast scan against the character-at-a-time scan, and the vectorised
// byte searches against the portable ones.

#include "scanner/fast_scan.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scanner/byte_search.h"
#include "scanner/line_reader.h"
#include "test_support.h"

namespace {

using stylo_test::findings_of;
using stylo_test::scan_kind;

// Random text made of the pieces that interact: keywords, operators,
// quotes, comment marks, backslashes, CR, LF, Ctrl-Z and high bytes.
std::string random_text(std::mt19937& rng, std::size_t pieces) {
  static const std::vector<std::string> vocabulary = {
      "if", "while", "for", "switch", "x", "_if", "2", "(", "(", "=", "=", "==", "!", "+", "-", " ", "\t",
      "\"", "'", "\\", "\\", "/", "/", "*", "*/", "/*", "//", "#", "\n", "\n", "\r", "\r\n", "\x1A", "\xE9",
      "\0", ";", "{", "}"};
  std::uniform_int_distribution<std::size_t> pick(0, vocabulary.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = vocabulary[pick(rng)];
    // The 0x1A is rare, so that most texts are scanned to their end.
    if (piece == "\x1A" && rng() % 8 != 0) continue;
    text += piece == std::string("\0") ? std::string(1, '\0') : piece;
  }
  return text;
}

TEST(FastScan, AgreesWithPlainScanOnRandomText) {
  std::mt19937 rng(20261208);
  for (int round = 0, last = stylo_test::rounds(3000); round < last; ++round) {
    const std::string text = random_text(rng, 1 + rng() % 120);
    const std::vector<std::string> expected = findings_of(scan_kind::plain, text);
    const std::string places = stylo_test::last_places();
    for (scan_kind scan : stylo_test::fast_scans()) {
      ASSERT_EQ(findings_of(scan, text), expected)
          << "round " << round << ", scan " << static_cast<int>(scan) << ": " << ::testing::PrintToString(text);
      // The same columns and fix offsets too.
      ASSERT_EQ(stylo_test::last_places(), places)
          << "round " << round << ", scan " << static_cast<int>(scan) << ": " << ::testing::PrintToString(text);
    }
  }
}

TEST(FastScan, AgreesAcrossReadBoundaries) {
  // Skips and findings that straddle the reader's chunk boundaries.
  std::mt19937 rng(7);
  std::string text;
  while (text.size() < 3 * stylo::read_chunk) text += random_text(rng, 50) + "\n";
  const std::vector<std::string> expected = findings_of(scan_kind::plain, text);
  const std::string places = stylo_test::last_places();
  for (scan_kind scan : stylo_test::fast_scans()) {
    EXPECT_EQ(findings_of(scan, text), expected);
    EXPECT_EQ(stylo_test::last_places(), places);
  }
}

// Lines like those of real sources, at every alignment to the 64-byte
// windows: runs of preprocessor lines and line comments (which whole
// windows pass over), continued ones, and the literals and block comments
// that send a window back to the byte-by-byte loop.
TEST(FastScan, AgreesOnSourceLikeLines) {
  static const std::vector<std::string> lines = {
      "#define REG_CONTROL_%                                    0x0001234",
      "#define REG_STATUS_%_BASE_IDX 2", "#include <linux/module.h> // if(x) a =- b",
      "// a comment with \"quotes\" and 'apostrophes', /* and */ if(x)",
      "#define LONG_MACRO(x) \\", "\tdo { if(x) y =- 1; } while(0)", "#define CR_ENDED \\\r",
      "\tvalue = compute(a, b) + other_name * 3; if(x) y =+ 2;", "\twhile(n--) a ==! b;",
      "\tprintk(\"if(x) =- %d\\n\", v); for(;;) c =! d;", "/* block if(x) */ switch(k) { }",
      "/* a long block comment that goes on well past the end of one window of sixty-four bytes",
      "   and ends here */ if(z)", "#\tif(x)", "\\", "//", "x = '\"'; y = '\\''; if(q)", "a =//- b",
      "x = '\"'; if(y) z = '\"';", "\tputs(\"say \\\"if(x)\\\" =- \\\"twice\\\"\");",
      "#define X \\\\", "if(y)", "a = \\\"if(x)\"; b = \\'c'; if(y)",
      "\tmsg(\"%\\\\\\\"\\t if(x) =- \\\\\"); if(y) s = \"%\\\\\\\\\"; if(z)"};
  std::mt19937 rng(64);
  for (int round = 0, last = stylo_test::rounds(3000); round < last; ++round) {
    std::string text;
    while (text.size() < 2000) {
      std::string line = lines[rng() % lines.size()];
      if (const std::size_t at = line.find('%'); at != std::string::npos) line.replace(at, 1, std::string(rng() % 40, 'X'));
      text += std::string(rng() % 3, ' ') + line + (rng() % 10 == 0 ? "\r\n" : "\n");
    }
    const std::vector<std::string> expected = findings_of(scan_kind::plain, text);
    for (scan_kind scan : stylo_test::fast_scans()) {
      ASSERT_EQ(findings_of(scan, text), expected) << "round " << round << ", scan " << static_cast<int>(scan);
    }
  }
}

// Comment marks split by the edge of a 64-byte window, where the scan of
// whole windows and the stop-by-stop loop hand a comment over.
TEST(FastScan, CommentMarksAcrossWindowEdges) {
  const std::string escaped = "\"\\\"\";";  // a literal with a backslash: its window goes stop by stop
  const std::string filler(80, ' ');       // so that the windows that matter are whole
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"\"*/\" split after a whole window", "/*" + std::string(61, 'x') + "*/ if(a)" + filler + "\n", {"1:if"}},
      {"\"/*/\" split after a window taken stop by stop",
       escaped + std::string(62 - escaped.size(), ' ') + "/*/ if(b)" + filler + "*/ if(c)" + filler + "\n", {"1:if"}},
      {"\"/*\" in a literal, \"*/\" in another", "s = \"/*\"; if(d) t = \"*/\";" + filler + "\n", {"1:if"}},
  };
  for (const auto& c : cases) stylo_test::expect_findings(c.text, c.expected, c.name);
}

TEST(FastScan, CarriageReturnsAroundBackslashes) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"CR LF after backslash continues a string", "\"a\\\r\nif(x)\"; if(y)\r\n", {"2:if"}},
      {"CR CR LF after backslash does not", "\"a\\\r\r\nif(x)\r\n", {"2:if"}},
      {"CR at end of input is escaped", "\"a\\\r", {}},
      {"preprocessor line continued by backslash CR LF", "#define A \\\r\nif(x)\r\nif(y)\r\n", {"3:if"}},
      {"backslash CR LF in code does nothing", "x \\\r\nif(x)\r\n", {"2:if"}},
      {"equals before CR LF", "a =\r\n-1; b==\r\n!c\r\n", {}},
  };
  for (const auto& c : cases) stylo_test::expect_findings(c.text, c.expected, c.name);
}

// The stops a search should give at `p`: the portable ones, and for a
// search that looks keywords up by low bits the '(' that only look like a
// keyword's end that way, which the scan rejects by looking at the word.
template <typename search>
std::uint64_t stops_expected(std::uint64_t portable, const char* p) {
  return search::keyword_by_low_bits ? portable | stylo::portable_search::keyword_lookalikes(p) : portable;
}

// Every mask of one set of searches against the portable one, at every
// offset of random text over the alphabet that matters.
template <typename search>
void expect_same_masks_as_portable() {
  using stylo::portable_search;
  std::mt19937 rng(42);
  const std::string alphabet = "(=\"'#/\n\r*\\!+-fhreiocl \x1A";
  for (int round = 0; round < 100; ++round) {
    std::string text(400, ' ');
    // Every other round with few 0x1A and line feeds, so that text is
    // measured in long steps and its last line feed looked for far back.
    const bool sparse = round % 2 == 1;
    for (char& c : text) {
      c = alphabet[rng() % alphabet.size()];
      if (sparse && (c == '\x1A' || c == '\n') && rng() % 16 != 0) c = ' ';
    }
    for (std::size_t at = 2; at + 67 <= text.size(); ++at) {
      const char* p = text.data() + at;
      ASSERT_EQ(search::code_stops(p), stops_expected<search>(portable_search::code_stops(p), p)) << round << " " << at;
      ASSERT_EQ(search::line_feeds(p), portable_search::line_feeds(p));
      ASSERT_EQ(search::comment_closes(p), portable_search::comment_closes(p));
      for (char quote : {'"', '\''}) ASSERT_EQ(search::literal_stops(p, quote), portable_search::literal_stops(p, quote));
      ASSERT_EQ(search::finding_stops(p), stops_expected<search>(portable_search::finding_stops(p), p));
      const stylo::code_window got = search::code_window_at(p), want = portable_search::code_window_at(p);
      ASSERT_EQ(got.line_starts, want.line_starts);
      ASSERT_EQ(got.line_feeds, want.line_feeds);
      ASSERT_EQ(got.continued, want.continued);
      ASSERT_EQ(got.comment_opens, want.comment_opens);
      ASSERT_EQ(got.comment_closes, want.comment_closes);
      ASSERT_EQ(got.double_quotes, want.double_quotes);
      ASSERT_EQ(got.single_quotes, want.single_quotes);
      ASSERT_EQ(got.backslashes, want.backslashes);
    }
    for (std::size_t from = 0; from <= 200; from += 7) {
      for (std::size_t length = 0; from + length <= text.size(); length += 13) {
        const char* p = text.data() + from;
        ASSERT_EQ(search::count_line_feeds(p, p + length), portable_search::count_line_feeds(p, p + length));
        const stylo::text_extent got = search::measure_text(p, length);
        const stylo::text_extent want = portable_search::measure_text(p, length);
        ASSERT_EQ(got.length, want.length);
        ASSERT_EQ(got.line_feeds, want.line_feeds);
        if (want.line_feeds != 0) {
          ASSERT_EQ(got.last_line_feed, want.last_line_feed);
        }
      }
    }
  }
}

#if defined(__SSE2__)
TEST(ByteSearch, Sse2MatchesPortable) { expect_same_masks_as_portable<stylo::sse2_search>(); }
#endif

#if defined(STYLO_HAVE_X86_SEARCHES)
TEST(ByteSearch, Avx2MatchesPortable) {
  if (!stylo::avx2_available()) GTEST_SKIP() << "this processor has no AVX2";
  expect_same_masks_as_portable<stylo::avx2_search>();
}

TEST(ByteSearch, Avx512MatchesPortable) {
  if (!stylo::avx512_available()) GTEST_SKIP() << "this processor has no AVX-512";
  expect_same_masks_as_portable<stylo::avx512_search>();
}
#endif

}  // namespace
