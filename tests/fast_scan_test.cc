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
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, 1 + rng() % 120);
    const std::vector<std::string> expected = findings_of(scan_kind::plain, text);
    ASSERT_EQ(findings_of(scan_kind::fast, text), expected) << "round " << round << ": " << ::testing::PrintToString(text);
    ASSERT_EQ(findings_of(scan_kind::fast_portable, text), expected) << "round " << round;
  }
}

TEST(FastScan, AgreesAcrossReadBoundaries) {
  // Skips and findings that straddle the reader's chunk boundaries.
  std::mt19937 rng(7);
  std::string text;
  while (text.size() < 3 * stylo::read_chunk) text += random_text(rng, 50) + "\n";
  EXPECT_EQ(findings_of(scan_kind::fast, text), findings_of(scan_kind::plain, text));
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

#if defined(__SSE2__)
TEST(ByteSearch, VectorisedMatchesPortable) {
  // Every start and end in a buffer of random bytes from the alphabet that
  // matters, with the neighbours on both sides readable as the reader keeps
  // them.
  using stylo::portable_search;
  using stylo::sse2_search;
  std::mt19937 rng(42);
  const std::string alphabet = "(=\"'#/\n*\\!+-fhrex ";
  for (int round = 0; round < 300; ++round) {
    std::string buffer(stylo::buffer_padding + 40 + rng() % 40 + stylo::buffer_padding, ' ');
    for (char& c : buffer) c = alphabet[rng() % alphabet.size()];
    const char* b = buffer.data() + stylo::buffer_padding;
    const std::size_t length = buffer.size() - 2 * stylo::buffer_padding;
    for (std::size_t from = 0; from <= length; ++from) {
      for (std::size_t to = from; to <= length; ++to) {
        const char* p = b + from;
        const char* e = b + to;
        ASSERT_EQ(sse2_search::find_code_stop(p, e), portable_search::find_code_stop(p, e)) << round;
        ASSERT_EQ(sse2_search::find_comment_close(p, e), portable_search::find_comment_close(p, e)) << round;
        ASSERT_EQ(sse2_search::find_literal_stop(p, e, '"'), portable_search::find_literal_stop(p, e, '"'));
        ASSERT_EQ(sse2_search::find_literal_stop(p, e, '\''), portable_search::find_literal_stop(p, e, '\''));
        ASSERT_EQ(sse2_search::count_line_feeds(p, e), portable_search::count_line_feeds(p, e));
      }
    }
  }
}
#endif

}  // namespace
