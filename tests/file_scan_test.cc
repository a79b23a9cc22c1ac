// The file scan: what is skipped, where skips end, words, and files that
// end inside a skip.

#include "scanner/file_scan.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "scanner/fast_scan.h"
#include "scanner/source_cursor.h"
#include "test_support.h"

namespace {

struct scan_case {
  const char* name;
  std::string text;
  std::vector<std::string> expected;
};

const std::vector<scan_case>& scan_cases() {
  static const std::vector<scan_case> cases = {
      // Skipped text gives nothing.
      {"string literal", "s = \"if(x) y=-1\";\n", {}},
      {"character literal", "c = 'if(';\n", {}},
      {"block comment", "/* if(x) y=-1 */\n", {}},
      {"line comment", "x; // if(x) y=-1\n", {}},
      {"preprocessor line", "#if(X)\n", {}},
      {"hash mid-line", "x = 1; # if( a=-1\n", {}},
      // Where skips end, the scan goes on.
      {"after string", "\"a\"if(x)\n", {"1:if"}},
      {"after char", "'a'while(x)\n", {"1:while"}},
      {"after block comment", "/**/if(x)\n", {"1:if"}},
      {"escaped apostrophe", "c='\\''; if(c)\n", {"1:if"}},
      {"escaped backslash in char", "c='\\\\'; if(c)\n", {"1:if"}},
      {"escaped quote in string", "s=\"\\\"\"; if(s)\n", {"1:if"}},
      {"open string ends at line end", "s = \"abc\nif(x)\n", {"2:if"}},
      {"open char ends at line end", "c = 'a\nfor(;;)\n", {"2:for"}},
      // Backslash continuation of every kind of skip.
      {"continued define", "#define F(a) if(a) \\\nwhile(a)\nif(b)\n", {"3:if"}},
      {"continued line comment", "// note \\\nif(x)\n", {}},
      {"continued string", "s = \"abc\\\nif(a) def\";\nif(b)\n", {"3:if"}},
      {"continued char literal", "c = '\\\nif(a)'; if(b)\n", {"2:if"}},
      {"two backslashes do not continue", "// note \\\\\nif(x)\n", {"2:if"}},
      {"three backslashes continue", "# x \\\\\\\nif(x)\nif(y)\n", {"3:if"}},
      {"continuation onto empty line", "// a \\\n\nif(x)\n", {"3:if"}},
      {"continued CRLF line comment", "// a \\\r\nif(x)\r\nif(y)\r\n", {"3:if"}},
      // Block comments.
      {"comment over lines", "/* if(\n while(\n */ for(;;)\n", {"3:for"}},
      {"slash star slash is open", "/*/ if(x) */ if(y)\n", {"1:if"}},
      {"star star slash closes", "/**/ if(y)\n", {"1:if"}},
      {"star and slash split by line end", "/* a *\n/ if(x)\n*/ if(y)\n", {"3:if"}},
      {"slash not a comment", "x/=-1;\n", {"1:=-"}},
      {"division then if", "a = b / c; if(a)\n", {"1:if"}},
      // Words.
      {"underscore prefix", "_while(x)\n", {}},
      {"digit prefix", "2if(x)\n", {}},
      {"number word", "0x1F if(x)\n", {"1:if"}},
      {"high byte splits words", "\xE9if(x)\n", {"1:if"}},
      {"tab separates", "if\t(x)\n", {}},
      {"CR is not a separator word char", "\rif(x)\n", {"1:if"}},
      // The end of input inside a skip: the file's scan ends, no hang.
      {"unterminated block comment", "if(a)\n/* open\nif(b)\n", {"1:if"}},
      {"unterminated block comment no LF", "/* if(", {}},
      {"continued comment at end of input", "if(a) // \\", {"1:if"}},
      {"continued string at end of input", "\"abc\\", {}},
      {"continued preprocessor at end of input", "#x \\\n", {}},
      {"hash alone at end", "#", {}},
      {"ends after star", "/* *", {}},
      {"last line without line feed", "if(x)", {"1:if"}},
  };
  return cases;
}

TEST(FileScan, SkipsAndWords) {
  for (const scan_case& c : scan_cases()) stylo_test::expect_findings(c.text, c.expected, c.name);
}

TEST(FileScan, LineNumbersCountEveryLine) {
  stylo_test::expect_findings("\n\r\n\nif(a)\n\n x=-1\n", {"4:if", "6:=-"}, "blank lines");
}

TEST(FileScan, TextAfterCtrlZIsNeverScanned) {
  stylo_test::expect_findings("if(a)\x1A if(b)\nif(c)\n", {"1:if"}, "Ctrl-Z");
}

TEST(FileScan, LongLine) {
  std::string text(5u << 20, 'x');
  text += " if(a) /* " + std::string(3u << 20, '*') + "*/ b=-c";
  stylo_test::expect_findings(text, {"1:if", "1:=-"}, "long line");
}

// A failed read is never the end of a file, whichever scan is reading: the
// scan stops there and says so, and the program decides (stylo ends with
// "Failed while parsing" and status 1). A descriptor opened for writing only
// fails its reads.
TEST(FileScan, ReadErrorEndsTheScan) {
  const std::string path = stylo_test::temp_path("write_only.c");
  stylo_test::write_file(path, "if(a)\n");
  const struct {
    const char* name;
    void (*scan)(stylo::cursor_state&);
  } scans[] = {{"plain", stylo::scan_file_plain},
               {"fast", stylo::scan_file_fast},
               {"fast portable", [](stylo::cursor_state& c) { stylo::scan_file_fast_with(c, stylo::byte_searches::portable); }}};
  stylo::cursor_state cursor;
  stylo_test::recording_sink found;
  for (const auto& s : scans) {
    stylo::close_source(cursor);
    cursor.file_name = "broken.c";
    ASSERT_TRUE(stylo::open_input(cursor.input, stylo_test::write_only_input(path), true));
    stylo::reset_cursor(cursor);
    cursor.sink = &found;
    s.scan(cursor);
    EXPECT_TRUE(cursor.read_failed) << s.name;
    EXPECT_TRUE(cursor.end_flag) << s.name;
    stylo::close_source(cursor);
  }
}

// check_file runs the fast scan, or the plain one where the program asks
// for it (the benchmark's reference build): both give the findings.
TEST(FileScan, CheckFileWithEitherScan) {
  const std::string file = stylo_test::temp_path("scan.c");
  const std::string expected =
      file + "(1): warning: (style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  [QVS]\n" +
      file + "(1): warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]\n";
  for (const stylo::scan_method method : {stylo::scan_method::fast, stylo::scan_method::plain}) {
    EXPECT_EQ(stylo_test::check_text("if(a) x=-1;\n", method), expected) << static_cast<int>(method);
  }
}

// Checkers share nothing: texts checked by four threads at once, each
// with its own checker and in its own order, give each text the findings
// one checker gives it alone. (Run under ThreadSanitizer by .ci/tsan.sh.)
TEST(FileScan, CheckersOnThreadsShareNothing) {
  const char* const pieces[] = {"if(a) x=-1;\n", "/* if(b) */ y =+ 2;\n", "\"while(c)\" z==!w;\n",
                                "#define F(x) for(x)\n", "switch(d) { case 1: e=!f; }\n", "plain text\r\n"};
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < 24; ++i) {
    std::string text;
    // Long enough, some of them, to take more than one read of the buffer:
    // six, or two in the builds that run in part (sanitized, emulated),
    // where recording the findings of these texts takes most of the time.
    const std::size_t long_every = stylo_test::runs_in_part() ? 12 : 4;
    const std::size_t lines = i % long_every == 0 ? 40000 : 10 + i;
    for (std::size_t k = 0; k < lines; ++k) text += pieces[(i + k * 7) % std::size(pieces)];
    texts.push_back(std::move(text));
  }
  std::vector<std::vector<std::string>> alone(texts.size());
  {
    stylo::checker one;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      stylo_test::recording_sink sink;
      ASSERT_EQ(one.check_text("t.c", texts[i], sink), stylo::check_outcome::checked);
      alone[i] = std::move(sink.found);
    }
  }
  constexpr std::size_t threads = 4;
  std::vector<std::vector<std::vector<std::string>>> seen(threads, std::vector<std::vector<std::string>>(texts.size()));
  std::vector<std::thread> running;
  for (std::size_t t = 0; t < threads; ++t) {
    running.emplace_back([&, t] {
      stylo::checker own(t % 2 == 0 ? stylo::scan_method::fast : stylo::scan_method::plain);
      for (std::size_t n = 0; n < texts.size(); ++n) {
        const std::size_t i = (n + t * 5) % texts.size();
        stylo_test::recording_sink sink;
        own.check_text("t.c", texts[i], sink);
        seen[t][i] = std::move(sink.found);
      }
    });
  }
  for (std::thread& each : running) each.join();
  for (std::size_t t = 0; t < threads; ++t) {
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(seen[t][i], alone[i]) << "thread " << t << ", text " << i;
  }
  EXPECT_FALSE(alone[0].empty());
}

}  // namespace
