// The keyword fixes: the edits findings carry, applied with apply_fixes,
// over every kind of line end and skip, from a file and from memory, with
// either scan; the unified diff of them, applied by git and by patch; and
// the fixed files put in place only when they are still as read.

#include "rules/fixes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/file_check.h"
#include "report/file_commit.h"
#include "report/unified_diff.h"
#include "core/check.h"
#include "platform/replace_steps.h"
#include "scanner/line_reader.h"
#include "test_support.h"

namespace {

using stylo::fix_edit;

class fix_sink final : public stylo::finding_sink {
 public:
  void take(const stylo::finding& found) override {
    if (found.rule == stylo::rule_id::keyword_space) ++keyword_findings;
    if (found.fix) edits.push_back(*found.fix);
  }
  std::vector<fix_edit> edits;
  int keyword_findings = 0;
};

enum class source { memory, file_fast, file_plain };

fix_sink fixes_of(std::string_view bytes, source from) {
  fix_sink sink;
  stylo::checker checks(from == source::file_plain ? stylo::scan_method::plain : stylo::scan_method::fast);
  if (from == source::memory) {
    EXPECT_EQ(checks.check_text("memory.c", bytes, sink), stylo::check_outcome::checked);
    return sink;
  }
  const std::string path = stylo_test::temp_path("fix.c");
  stylo_test::write_file(path, bytes);
  EXPECT_EQ(checks.check_file(path, sink), stylo::check_outcome::checked);
  return sink;
}

std::string fixed(std::string_view bytes, source from) { return stylo::apply_fixes(bytes, fixes_of(bytes, from).edits); }

std::string bytes(const char* text, std::size_t size) { return std::string(text, size); }

struct fix_case {
  const char* name;
  std::string in;
  std::string out;
};

TEST(Fixes, BytesInBytesOut) {
  const std::vector<fix_case> cases = {
      {"one keyword, operator left alone", "if(x) y=-1;\n", "if (x) y=-1;\n"},
      {"every keyword, several on one line", "if(a) while(b) for(;;) switch(c)\n",
       "if (a) while (b) for (;;) switch (c)\n"},
      {"operators are never fixed", "x=-1; y=+2; z=!w; a==!b;\n", "x=-1; y=+2; z=!w; a==!b;\n"},
      {"already spaced", "if (x) for\t(;;) while\n(y)\n", "if (x) for\t(;;) while\n(y)\n"},
      {"longer words", "_if(x) ifx(y) elseif(z) If(w)\n", "_if(x) ifx(y) elseif(z) If(w)\n"},
      {"CR LF lines", "if(a)\r\nwhile(b)\r\n", "if (a)\r\nwhile (b)\r\n"},
      {"lone CR inside a line", "x;\rif(a)\rfor(;;)\n", "x;\rif (a)\rfor (;;)\n"},
      {"no final line feed", "a;\nwhile(x)", "a;\nwhile (x)"},
      {"final CR without line feed", "if(x)\r", "if (x)\r"},
      {"Ctrl-Z ends the scan, the bytes after it are kept", "if(a)\n\x1Aif(b)\r\nrest", "if (a)\n\x1Aif(b)\r\nrest"},
      {"Ctrl-Z mid-line", "for(;;) \x1A if(b)\n", "for (;;) \x1A if(b)\n"},
      {"NUL bytes", bytes("if(a)\0if(b)\n\0", 13), bytes("if (a)\0if (b)\n\0", 15)},
      {"bytes that are not UTF-8", "\xe9if(x) \xff\xfe; s=\"\xc3\";\n", "\xe9if (x) \xff\xfe; s=\"\xc3\";\n"},
      {"UTF-8 before the keyword", "/* \xc3\xa9 */ \xf0\x9f\x98\x80 if(x)\n", "/* \xc3\xa9 */ \xf0\x9f\x98\x80 if (x)\n"},
      {"literals", "s = \"if(x)\"; c = 'if('; if(s)\n", "s = \"if(x)\"; c = 'if('; if (s)\n"},
      {"continued string", "s = \"a\\\nif(b)\"; if(c)\n", "s = \"a\\\nif(b)\"; if (c)\n"},
      {"comments", "/* if(a)\n for(;;) */ // while(b)\nwhile(b)\n", "/* if(a)\n for(;;) */ // while(b)\nwhile (b)\n"},
      {"continued preprocessor line", "#define F(a) if(a) \\\n  while(a)\nif(b)\n", "#define F(a) if(a) \\\n  while(a)\nif (b)\n"},
      {"continued with CR LF", "#if(X) \\\r\n for(;;)\r\nfor(;;)\r\n", "#if(X) \\\r\n for(;;)\r\nfor (;;)\r\n"},
      {"empty text", "", ""},
  };
  for (const fix_case& c : cases) {
    for (const source from : {source::memory, source::file_fast, source::file_plain}) {
      EXPECT_EQ(fixed(c.in, from), c.out) << c.name << " (source " << static_cast<int>(from) << ")";
    }
  }
}

// The vocabulary of the generated texts: keywords against and apart from
// their parentheses, every skip, every line end, and the bytes that end or
// escape a skip.
std::string random_text(std::mt19937& rng, std::size_t pieces) {
  static const std::vector<std::string> vocabulary = {
      "if(", "while(", "for(", "switch(", "if (", "x", "_if(", "(", ")", "=-", "==!", " ", "\t", "\n", "\r\n",
      "\r", "\\", "\\\n", "\"", "'", "/*", "*/", "//", "#", "\x1A", std::string(1, '\0'), "\xc3\xa9", "\xff", ";"};
  std::uniform_int_distribution<std::size_t> pick(0, vocabulary.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = vocabulary[pick(rng)];
    if (piece == "\x1A" && rng() % 8 != 0) continue;  // rare, so that most texts are scanned whole
    text += piece;
  }
  return text;
}

// Each edit one blank before a '(' right after a keyword, at the same
// offsets from a file (either scan) as from memory; the fixed text has no
// keyword finding left, and without the blanks is the original.
void expect_sound_fixes(const std::string& text, const std::string& label) {
  const fix_sink memory = fixes_of(text, source::memory);
  ASSERT_EQ(memory.edits.size(), static_cast<std::size_t>(memory.keyword_findings)) << label;
  for (const fix_edit& edit : memory.edits) {
    ASSERT_LT(edit.offset, text.size()) << label;
    ASSERT_EQ(text[edit.offset], '(') << label;
    ASSERT_EQ(edit.length, 0u) << label;
    ASSERT_EQ(edit.text, " ") << label;
  }
  for (const source from : {source::file_fast, source::file_plain}) {
    const fix_sink other = fixes_of(text, from);
    ASSERT_EQ(other.edits.size(), memory.edits.size()) << label;
    for (std::size_t i = 0; i < other.edits.size(); ++i) {
      ASSERT_EQ(other.edits[i].offset, memory.edits[i].offset) << label << " (source " << static_cast<int>(from) << ")";
    }
  }
  const std::string result = stylo::apply_fixes(text, memory.edits);
  EXPECT_EQ(fixes_of(result, source::memory).keyword_findings, 0) << label;
  std::string restored = result;
  for (std::size_t i = memory.edits.size(); i > 0; --i) {
    const std::size_t at = memory.edits[i - 1].offset + (i - 1);
    ASSERT_EQ(restored[at], ' ') << label;
    restored.erase(at, 1);
  }
  EXPECT_EQ(restored, text) << label;
}

TEST(Fixes, GeneratedTextsFixedWholeAndNothingElse) {
  std::mt19937 rng(20261209);
  for (int round = 0, last = stylo_test::rounds(800); round < last; ++round) {
    expect_sound_fixes(random_text(rng, 1 + rng() % 80), "round " + std::to_string(round));
  }
}

TEST(Fixes, OffsetsAcrossReadBoundaries) {
  // Read in several blocks, the buffer's content moved between them: the
  // offsets still count from the file's first byte.
  std::mt19937 rng(11);
  std::string text;
  while (text.size() < 3 * stylo::read_chunk) {
    std::string piece = random_text(rng, 40);
    for (char& ch : piece) {
      if (ch == '\x1A') ch = ' ';
    }
    text += piece + (rng() % 2 ? "\r\n" : "\n");
  }
  expect_sound_fixes(text, "long text");
}

TEST(Fixes, EditsThatDoNotFitAreLeftOut) {
  const std::vector<fix_edit> edits = {{2, 0, " "}, {1, 0, "!"}, {3, 1, "Y"}, {9, 0, "?"}, {4, 5, "Z"}};
  EXPECT_EQ(stylo::apply_fixes("abcd", edits), "ab cY");
}

TEST(UnifiedDiff, QuotesNamesAsGitDoes) {
  EXPECT_EQ(stylo::quoted_diff_name("a/", "dir/plain name.c"), "a/dir/plain name.c");
  EXPECT_EQ(stylo::quoted_diff_name("b/", "caf\xc3\xa9.c"), "\"b/caf\\303\\251.c\"");
  EXPECT_EQ(stylo::quoted_diff_name("a/", "q\"b\\t\x01\x7f\t\n.c"), "\"a/q\\\"b\\\\t\\001\\177\\t\\n.c\"");
}

TEST(UnifiedDiff, HunksWithContextMergedWhereTheyMeet) {
  std::string old_text, new_text;
  for (int i = 1; i <= 20; ++i) {
    const std::string number = std::to_string(i);
    old_text.append("l").append(number).append("\n");
    new_text.append(i == 2 || i == 9 || i == 20 ? "L" : "l").append(number).append("\n");
  }
  std::string diff;
  stylo::append_unified_diff(diff, "f.c", old_text, new_text);
  EXPECT_EQ(diff,
            "diff --git a/f.c b/f.c\n--- a/f.c\n+++ b/f.c\n"
            "@@ -1,12 +1,12 @@\n l1\n-l2\n+L2\n l3\n l4\n l5\n l6\n l7\n l8\n-l9\n+L9\n l10\n l11\n l12\n"
            "@@ -17,4 +17,4 @@\n l17\n l18\n l19\n-l20\n+L20\n");
  // The same changes in a text large enough to be diffed line by line as
  // the diff is written: the hunks the shortest script gives when only the
  // three lines of context follow.
  std::string short_diff;
  stylo::append_unified_diff(short_diff, "f.c", old_text + "z\nz\nz\n", new_text + "z\nz\nz\n");
  std::string large_old = old_text, large_new = new_text;
  for (int i = 0; i < 70000; ++i) {
    large_old += "z\n";
    large_new += "z\n";
  }
  std::string large_diff;
  std::size_t spilled = 0;
  stylo::append_unified_diff(large_diff, "f.c", large_old, large_new, [&spilled](std::string& block) {
    spilled += block.size();
    block.clear();
  });
  EXPECT_EQ(large_diff, short_diff);
  EXPECT_EQ(spilled, 0u);
  // A diff of many changed lines goes out in blocks as it is made; the
  // blocks together are the diff made whole.
  std::string dense_old, dense_new;
  for (int i = 0; i < 200000; ++i) {
    dense_old += "if(x);\n";
    dense_new += "if (x);\n";
  }
  std::string whole, streamed, held;
  stylo::append_unified_diff(whole, "d.c", dense_old, dense_new);
  std::size_t blocks = 0, largest = 0;
  stylo::append_unified_diff(held, "d.c", dense_old, dense_new, [&](std::string& block) {
    ++blocks;
    largest = std::max(largest, block.size());
    streamed += block;
    block.clear();
  });
  EXPECT_EQ(streamed + held, whole);
  EXPECT_GT(blocks, 2u);
  EXPECT_LT(largest, std::size_t{2} << 20);
  diff.clear();
  stylo::append_unified_diff(diff, "f c", "a\nb", "a\nB");
  EXPECT_EQ(diff,
            "diff --git a/f c b/f c\n--- a/f c\t\n+++ b/f c\t\n"
            "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+B\n\\ No newline at end of file\n");
  diff.clear();
  stylo::append_unified_diff(diff, "same.c", "x\n", "x\n");
  EXPECT_EQ(diff, "");
  // Beyond fixes: a run of changed lines, lines added and removed, and an
  // empty side, each as git writes them.
  const struct {
    const char* old_text;
    const char* new_text;
    const char* hunks;
  } cases[] = {
      {"a\nb\nc\n", "A\nB\nc\n", "@@ -1,3 +1,3 @@\n-a\n-b\n+A\n+B\n c\n"},
      {"a\nb\nc\n", "a\nc\nd\n", "@@ -1,3 +1,3 @@\n a\n-b\n c\n+d\n"},
      {"x\n", "", "@@ -1 +0,0 @@\n-x\n"},
      {"", "y", "@@ -0,0 +1 @@\n+y\n\\ No newline at end of file\n"},
  };
  for (const auto& c : cases) {
    diff.clear();
    stylo::append_unified_diff(diff, "f", c.old_text, c.new_text);
    EXPECT_EQ(diff, std::string("diff --git a/f b/f\n--- a/f\n+++ b/f\n") + c.hunks) << c.old_text;
  }
  // Too many differences for the shortest script: everything old removed,
  // then everything new added.
  std::string many_old, many_new, expected = "@@ -1,300 +1,301 @@\n";
  for (int i = 0; i < 300; ++i) many_old.append("o").append(std::to_string(i)).append("\n");
  for (int i = 0; i < 301; ++i) many_new.append("n").append(std::to_string(i)).append("\n");
  for (int i = 0; i < 300; ++i) expected.append("-o").append(std::to_string(i)).append("\n");
  for (int i = 0; i < 301; ++i) expected.append("+n").append(std::to_string(i)).append("\n");
  diff.clear();
  stylo::append_unified_diff(diff, "f", many_old, many_new);
  EXPECT_EQ(diff, "diff --git a/f b/f\n--- a/f\n+++ b/f\n" + expected);
}

// --- The diff applied by the tools people apply diffs with -----------------

int run(const std::string& command) { return std::system(command.c_str()); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string shell_quoted(std::string_view text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

struct diff_case {
  std::string name;  // relative, in a directory of its own
  std::string text;
};

const std::vector<diff_case>& diff_cases() {
  static const std::vector<diff_case> cases = [] {
    std::string long_text;
    for (int i = 0; i < 40; ++i) long_text += i % 13 == 5 ? "\tif(x) y=-1;\r\n" : "\tcall(x);\r\n";
    // More changed lines than the shortest script is looked for with.
    std::string dense;
    for (int i = 0; i < 700; ++i) dense += i % 5 == 4 ? "x;\n" : "if(x) y;\n";
    std::string large_sparse, large_dense;
    for (int i = 0; i < 70000; ++i) {
      const bool fix_here = i == 0 || i == 7 || i == 14 || i == 21 || i == 40000 || i == 40006;
      large_sparse += fix_here ? "if(x) y;\n" : "y;\n";
      large_dense += "if(x);\n";
    }
    large_sparse += "while(z)";
    return std::vector<diff_case>{
        {"plain.c", "int f(void) {\n  if(x) return 1;\n  return 0;\n}\n"},
        {"with blank.c", "while(a)\n  b();\n"},
        {"sub dir/caf\xc3\xa9 \xc3\xa0 la cr\xc3\xa8me.c", "for(;;)\r\n  if(a) break;\r\n"},
        {"crlf long.c", long_text},
        {"dense.c", dense},
        {"lone cr.c", "a;\rif(x)\rb;\nc;\n"},
        {"no final lf.c", "x;\ny;\nz;\nif(q)"},
        {"no final lf, unchanged last line.c", "if(q)\n1\n2\n3\n4\n5\nlast"},
        {"ctrl z.c", "if(a)\n\x1Aif(b)\nmore\r\nno end"},
        {"quote\"and\\backslash.c", "switch(c) {}\n"},
        {"nul.c", std::string("if(a)\0b;\nc\0\n", 12)},
        // Large enough to be diffed line by line as the diff is written.
        {"large, fixes far apart.c", large_sparse},
        {"large, every line fixed.c", large_dense},
    };
  }();
  return cases;
}

// Each case's original written into `dir`, the diff applied there by
// `command`, the result compared with apply_fixes'.
void expect_diff_applies(const std::string& tool, const std::string& command) {
  for (const diff_case& c : diff_cases()) {
    const std::string dir = stylo_test::temp_path("apply-" + tool);
    ASSERT_EQ(run("rm -rf " + shell_quoted(dir) + " && mkdir -p " + shell_quoted(dir)), 0);
    const std::string path = dir + "/" + c.name;
    const std::size_t slash = path.rfind('/');
    ASSERT_EQ(run("mkdir -p " + shell_quoted(path.substr(0, slash))), 0);
    stylo_test::write_file(path, c.text);
    const std::string expected = fixed(c.text, source::memory);
    ASSERT_NE(expected, c.text) << c.name;
    std::string diff;
    stylo::append_unified_diff(diff, c.name, c.text, expected);
    stylo_test::write_file(dir + ".diff", diff);
    EXPECT_EQ(run("cd " + shell_quoted(dir) + " && " + command + " < " + shell_quoted(dir + ".diff") + " >/dev/null 2>&1"),
              0)
        << tool << " refused the diff of " << c.name << ":\n"
        << diff;
    EXPECT_EQ(read_file(path), expected) << tool << " on " << c.name << ":\n" << diff;
  }
}

TEST(UnifiedDiff, GitApplyGivesTheFixedText) {
  if (run("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no git";
  expect_diff_applies("git", "git apply --unsafe-paths -p1");
}

TEST(UnifiedDiff, PatchGivesTheFixedText) {
  if (run("patch --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no patch";
  expect_diff_applies("patch", "patch -p1 --batch");
}

// --- Putting fixed files in place ------------------------------------------

// A file's text set back to `bytes` with its modification time as it was,
// as `cp -p` or `touch -r` leave an edit.
void rewrite_keeping_time(const std::string& file, const std::string& bytes) {
  struct stat before;
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  stylo_test::write_file(file, bytes);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

std::vector<std::string> entries_of(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A job fixes the file; something may happen to it before the commit; the
// commit puts the fixed text in place only if the file still holds the
// bytes the fixes were made on. Nothing but the file is ever left.
TEST(FileCommit, ReplacesOnlyWhatIsStillAsRead) {
  using stylo::report::file_commit;
  using stylo::report::fix_state;
  const std::string dir = stylo_test::temp_path("commit");
  const std::string file = dir + "/a.c";
  const struct {
    const char* what;
    std::size_t descriptors;  // the budget: 0 writes the replacement at the commit
    std::function<void()> before_job, meanwhile;
    fix_state fixing;
    file_commit::outcome outcome;
    const char* after;  // nullptr: no file
  } cases[] = {
      {"nothing meanwhile", 4, {}, {}, fix_state::fixed, file_commit::outcome::replaced, "if (x) y=-1;\n"},
      {"no descriptor left to the job", 0, {}, {}, fix_state::fixed, file_commit::outcome::replaced,
       "if (x) y=-1;\n"},
      {"changed to as many bytes, its time put back", 4, {}, [&] { rewrite_keeping_time(file, "if(x) y=-2;\n"); },
       fix_state::fixed, file_commit::outcome::changed_meanwhile, "if(x) y=-2;\n"},
      {"grown", 4, {}, [&] { stylo_test::write_file(file, "if(x) y=-1;\nz;\n"); }, fix_state::fixed,
       file_commit::outcome::changed_meanwhile, "if(x) y=-1;\nz;\n"},
      {"removed", 4, {}, [&] { std::filesystem::remove(file); }, fix_state::fixed,
       file_commit::outcome::changed_meanwhile, nullptr},
      {"another file with the same bytes renamed over it", 4, {},
       [&] {
         stylo_test::write_file(dir + "/other", "if(x) y=-1;\n");
         std::filesystem::rename(dir + "/other", file);
       },
       fix_state::fixed, file_commit::outcome::changed_meanwhile, "if(x) y=-1;\n"},
      {"write-protected before the job", 4, [&] { chmod(file.c_str(), 0444); }, {}, fix_state::not_permitted,
       file_commit::outcome::untouched, "if(x) y=-1;\n"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    stylo_test::write_file(file, "if(x) y=-1;\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    if (c.before_job) c.before_job();
    stylo::report::descriptor_budget budget(c.descriptors);
    stylo::report::job_settings how;
    how.fix = true;
    how.descriptors = &budget;
    stylo::checker checks;
    auto job = std::make_unique<stylo::report::file_check>();
    job->name = file;
    job->run(checks, 1 << 20, how);
    EXPECT_EQ(job->fixing, c.fixing) << c.what;
    EXPECT_EQ(job->in_memory, c.fixing == fix_state::fixed && c.descriptors == 0) << c.what;
    if (c.meanwhile) c.meanwhile();
    file_commit commit(budget, c.descriptors);
    commit.add(std::move(job));
    commit.commit();
    ASSERT_EQ(commit.entries().size(), 1u);
    EXPECT_EQ(commit.entries()[0].what, c.outcome) << c.what;
    if (c.after == nullptr) {
      EXPECT_FALSE(std::filesystem::exists(file)) << c.what;
      EXPECT_EQ(entries_of(dir), std::vector<std::string>{}) << c.what;
    } else {
      EXPECT_EQ(read_file(file), c.after) << c.what;
      EXPECT_EQ(entries_of(dir), std::vector<std::string>{"a.c"}) << c.what;
    }
    struct stat status;
    if (c.outcome == file_commit::outcome::replaced && stat(file.c_str(), &status) == 0) {
      EXPECT_EQ(status.st_mode & 07777, 0640u) << c.what;
    }
    // Every descriptor given back: the budget whole again.
    for (std::size_t i = 0; i < c.descriptors; ++i) EXPECT_TRUE(budget.take()) << c.what;
    EXPECT_FALSE(budget.take()) << c.what;
  }
}

// A file named twice: both jobs read it before either is in place. The
// first is put in place; the second finds the file as the first left it,
// which is this run's own doing, not another program's.
TEST(FileCommit, AFileNamedTwiceIsFixedOnce) {
  using stylo::report::file_commit;
  const std::string dir = stylo_test::temp_path("twice");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/a.c";
  stylo_test::write_file(file, "while(x)\n");
  ASSERT_EQ(symlink("a.c", (dir + "/link.c").c_str()), 0);
  stylo::report::descriptor_budget budget(8);
  stylo::report::job_settings how;
  how.fix = true;
  how.descriptors = &budget;
  stylo::checker checks;
  file_commit commit(budget, 8);
  for (const std::string& name : {file, dir + "/link.c"}) {
    auto job = std::make_unique<stylo::report::file_check>();
    job->name = name;
    job->run(checks, 1 << 20, how);
    commit.add(std::move(job));
  }
  commit.commit();
  EXPECT_EQ(commit.entries()[0].what, file_commit::outcome::replaced);
  EXPECT_EQ(commit.entries()[1].what, file_commit::outcome::ours_meanwhile);
  EXPECT_EQ(read_file(file), "while (x)\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.c"));
  EXPECT_EQ(entries_of(dir), (std::vector<std::string>{"a.c", "link.c"}));
}

// The commit's steps over a file system of the test's own: files by name,
// each an identity and its bytes; replacements by handle. A step fails, or
// a file changes, exactly where a case asks, which a real disk cannot be
// made to do on cue.
class fake_steps final : public stylo::platform::replace_steps {
 public:
  using input_handle = stylo::platform::input_handle;
  using output_handle = stylo::platform::output_handle;
  struct file {
    std::uint64_t inode = 0;
    std::string bytes;
  };

  std::map<std::string, file> files;
  std::map<output_handle, file> replacements;  // made, not yet removed
  int sync_error = 0;                          // of the batch's sync
  int late_sync_error = 0;                     // of a replacement made at the commit
  std::map<std::string, int> open_error;       // by name
  std::map<std::string, int> publish_error;    // by name
  std::function<void(fake_steps&, const std::string&)> before_compare;
  std::vector<std::string> published;          // in order
  std::vector<std::string> directories_synced;
  std::map<std::string, std::string> compared;  // each file's bytes when opened to compare
  std::size_t inputs_open = 0;

  // A replacement written by a job: a new identity, the fixed bytes.
  output_handle replacement(const std::string& bytes) {
    const output_handle handle = next_handle_++;
    replacements[handle] = {next_inode_++, bytes};
    return handle;
  }
  file& add(const std::string& name, const std::string& bytes) { return files[name] = {next_inode_++, bytes}; }

  int sync_outputs(const output_handle* handles, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (made_late_.contains(handles[i])) return late_sync_error;
    }
    return sync_error;
  }
  int open_source(const std::string& name, input_handle& input, stylo::platform::file_facts& facts) override {
    if (before_compare) before_compare(*this, name);
    if (const auto error = open_error.find(name); error != open_error.end()) return error->second;
    const auto found = files.find(name);
    if (found == files.end()) return ENOENT;
    compared[name] = found->second.bytes;
    facts = {};
    facts.device = 1;
    facts.inode = found->second.inode;
    facts.size = found->second.bytes.size();
    input = next_handle_++;
    reading_[input] = {found->second.bytes, 0};
    ++inputs_open;
    return 0;
  }
  stylo::platform::block_read read_block(input_handle input, char* into, std::size_t capacity) override {
    auto& [bytes, at] = reading_.at(input);
    const std::size_t n = std::min(capacity, bytes.size() - at);
    std::copy_n(bytes.data() + at, n, into);
    at += n;
    return {n == 0 ? stylo::platform::read_outcome::end : stylo::platform::read_outcome::data, n};
  }
  void close_input(input_handle input) override {
    const std::lock_guard<std::mutex> one_at_a_time(closing_);
    EXPECT_EQ(reading_.erase(input), 1u) << "closed twice, or never opened";
    --inputs_open;
  }
  int create_replacement(const std::string&, const stylo::platform::file_facts&, input_handle,
                         stylo::platform::temporary_file& made) override {
    made.handle = replacement("");
    made_late_.insert(made.handle);
    return 0;
  }
  int write_to(output_handle handle, std::string_view bytes) override {
    replacements.at(handle).bytes.append(bytes);
    return 0;
  }
  int sync_output(output_handle) override { return late_sync_error; }  // one at a time: as late_sync_error
  int publish(stylo::platform::temporary_file& made, const std::string& target) override {
    if (const auto error = publish_error.find(target); error != publish_error.end()) return error->second;
    files[target] = replacements.at(made.handle);
    published.push_back(target);
    return 0;
  }
  int facts_of(output_handle handle, stylo::platform::file_facts& facts) override {
    facts = {};
    facts.device = 1;
    facts.inode = replacements.at(handle).inode;
    return 0;
  }
  void remove_temporary(stylo::platform::temporary_file& made) override {
    EXPECT_EQ(replacements.erase(made.handle), 1u) << "a replacement removed twice, or never made";
    made.handle = stylo::platform::no_output;
    made.name.clear();
  }
  void sync_directories_of(const std::vector<std::string>& names) override {
    directories_synced.insert(directories_synced.end(), names.begin(), names.end());
  }

 private:
  output_handle next_handle_ = 100;
  std::uint64_t next_inode_ = 1;
  std::map<input_handle, std::pair<std::string, std::size_t>> reading_;
  std::set<output_handle> made_late_;  // by create_replacement, at the commit
  std::mutex closing_;
};

// A batch over the fake file system: which files are replaced, which left
// as they are and why, in the batch's order, and every descriptor and
// replacement given back whatever became of the file.
TEST(FileCommit, BatchStepsOverAFakeFileSystem) {
  using stylo::report::file_commit;
  using outcome = file_commit::outcome;
  struct job {
    std::string name;    // the file named; its target is the name before a '>'
    bool fixed = true;   // false: nothing to replace
    bool in_memory = false;
  };
  const struct {
    const char* what;
    std::vector<job> jobs;
    std::function<void(fake_steps&)> set_up;
    std::vector<outcome> outcomes;
    std::vector<int> errors;
    std::vector<std::string> published;
  } cases[] = {
      {"three files, the middle one with nothing to replace",
       {{"a.c"}, {"b.c", false}, {"c.c"}},
       {},
       {outcome::replaced, outcome::untouched, outcome::replaced},
       {0, 0, 0},
       {"a.c", "c.c"}},
      {"the batch's sync fails: nothing replaced",
       {{"a.c"}, {"b.c"}},
       [](fake_steps& fs) { fs.sync_error = EIO; },
       {outcome::write_failed, outcome::write_failed},
       {EIO, EIO},
       {}},
      {"a file's bytes changed between its read and the compare, same size",
       {{"a.c"}, {"b.c"}, {"c.c"}},
       [](fake_steps& fs) {
         fs.before_compare = [](fake_steps& f, const std::string& name) {
           if (name == "b.c") f.files[name].bytes = "if(y)\n";
         };
       },
       {outcome::replaced, outcome::changed_meanwhile, outcome::replaced},
       {0, 0, 0},
       {"a.c", "c.c"}},
      {"a file removed before the compare",
       {{"a.c"}, {"b.c"}},
       [](fake_steps& fs) { fs.files.erase("a.c"); },
       {outcome::changed_meanwhile, outcome::replaced},
       {0, 0},
       {"b.c"}},
      {"another file with the same bytes put in its place",
       {{"a.c"}},
       [](fake_steps& fs) { fs.add("a.c", "if(x)\n"); },
       {outcome::changed_meanwhile},
       {0},
       {}},
      {"no descriptor left to compare a file",
       {{"a.c"}, {"b.c"}},
       [](fake_steps& fs) { fs.open_error["a.c"] = EMFILE; },
       {outcome::write_failed, outcome::replaced},
       {EMFILE, 0},
       {"b.c"}},
      {"the rename over a file fails",
       {{"a.c"}, {"b.c"}},
       [](fake_steps& fs) { fs.publish_error["a.c"] = EXDEV; },
       {outcome::write_failed, outcome::replaced},
       {EXDEV, 0},
       {"b.c"}},
      {"a file named twice: the second finds the first's replacement",
       {{"a.c"}, {"link.c>a.c"}},
       {},
       {outcome::replaced, outcome::ours_meanwhile},
       {0, 0},
       {"a.c"}},
      {"a replacement left to the commit (no descriptor left to the job): made after the others",
       {{"a.c", true, true}, {"b.c"}},
       {},
       {outcome::replaced, outcome::replaced},
       {0, 0},
       {"b.c", "a.c"}},
      {"replacements left to the commit, with none made by a job",
       {{"a.c", true, true}, {"b.c", true, true}, {"c.c", true, true}},
       {},
       {outcome::replaced, outcome::replaced, outcome::replaced},
       {0, 0, 0},
       {"a.c", "b.c", "c.c"}},
      {"a file named twice, both left to the commit: never both in one group",
       {{"x.c"}, {"y.c"}, {"a.c", true, true}, {"link.c>a.c", true, true}},
       {},
       {outcome::replaced, outcome::replaced, outcome::replaced, outcome::ours_meanwhile},
       {0, 0, 0, 0},
       {"x.c", "y.c", "a.c"}},
      {"replacements left to the commit whose group's sync fails",
       {{"a.c"}, {"b.c", true, true}, {"c.c", true, true}},
       [](fake_steps& fs) { fs.late_sync_error = ENOSPC; },
       {outcome::replaced, outcome::write_failed, outcome::write_failed},
       {0, ENOSPC, ENOSPC},
       {"a.c"}},
      {"a replacement left to the commit, its file changed meanwhile",
       {{"a.c"}, {"b.c", true, true}, {"c.c", true, true}},
       [](fake_steps& fs) { fs.files["b.c"].bytes = "if(z)\n"; },
       {outcome::replaced, outcome::changed_meanwhile, outcome::replaced},
       {0, 0, 0},
       {"a.c", "c.c"}},
      {"a replacement left to the commit whose sync fails",
       {{"a.c", true, true}, {"b.c"}},
       [](fake_steps& fs) { fs.late_sync_error = ENOSPC; },
       {outcome::write_failed, outcome::replaced},
       {ENOSPC, 0},
       {"b.c"}},
      {"the batch's sync fails, a replacement left to the commit still made and synced on its own",
       {{"a.c"}, {"b.c", true, true}},
       [](fake_steps& fs) { fs.sync_error = EIO; },
       {outcome::write_failed, outcome::replaced},
       {EIO, 0},
       {"b.c"}},
  };
  for (const auto& c : cases) {
    fake_steps fs;
    const std::size_t budget_size = 8;
    stylo::report::descriptor_budget budget(budget_size);
    std::vector<std::string> targets;
    for (const job& each : c.jobs) {
      const std::string target = each.name.substr(each.name.find('>') + 1);
      if (!fs.files.contains(target)) fs.add(target, "if(x)\n");
      targets.push_back(target);
    }
    // The jobs as they leave their threads: facts and bytes as read, the
    // fixed text written to a replacement or (no descriptor) kept.
    std::vector<stylo::report::file_check*> checks;
    file_commit commit(budget, budget_size, fs);
    for (std::size_t i = 0; i < c.jobs.size(); ++i) {
      auto check = std::make_unique<stylo::report::file_check>();
      check->name = c.jobs[i].name.substr(0, c.jobs[i].name.find('>'));
      if (c.jobs[i].fixed) {
        const fake_steps::file& as_read = fs.files.at(targets[i]);
        check->fixing = stylo::report::fix_state::fixed;
        check->fixes = 1;
        check->target = targets[i];
        check->facts.device = 1;
        check->facts.inode = as_read.inode;
        check->facts.size = as_read.bytes.size();
        check->original = as_read.bytes;
        if (c.jobs[i].in_memory) {
          check->in_memory = true;
          check->fixed = "if (x)\n";
        } else {
          ASSERT_TRUE(budget.take());
          check->holds_descriptor = true;
          check->replacement.handle = fs.replacement("if (x)\n");
        }
      }
      checks.push_back(check.get());
      commit.add(std::move(check));
    }
    if (c.set_up) c.set_up(fs);
    const auto before = fs.files;
    commit.commit();

    ASSERT_EQ(commit.entries().size(), c.jobs.size()) << c.what;
    std::vector<std::string> replaced;
    for (std::size_t i = 0; i < c.jobs.size(); ++i) {
      const file_commit::entry& each = commit.entries()[i];
      EXPECT_EQ(each.check.get(), checks[i]) << c.what << ": the batch's order, entry " << i;
      EXPECT_EQ(each.what, c.outcomes[i]) << c.what << ": entry " << i;
      if (c.errors[i] != 0) {
        EXPECT_EQ(each.check->error, c.errors[i]) << c.what << ": entry " << i;
      }
      EXPECT_EQ(each.check->replacement.handle, stylo::platform::no_output) << c.what << ": entry " << i;
      EXPECT_TRUE(each.check->original.empty() && each.check->fixed.empty()) << c.what << ": entry " << i;
      if (each.what == outcome::replaced) replaced.push_back(targets[i]);
    }
    EXPECT_EQ(fs.published, c.published) << c.what;
    // A file the commit did not replace holds what it held when compared
    // (another program's bytes), or before the commit.
    for (const auto& [name, was] : before) {
      const bool put = std::find(fs.published.begin(), fs.published.end(), name) != fs.published.end();
      const std::string kept = fs.compared.contains(name) ? fs.compared.at(name) : was.bytes;
      ASSERT_TRUE(fs.files.contains(name)) << c.what << ": " << name;
      EXPECT_EQ(fs.files.at(name).bytes, put ? "if (x)\n" : kept) << c.what << ": " << name;
    }
    // The directories are synced once, at the end of the run.
    EXPECT_TRUE(fs.directories_synced.empty()) << c.what << ": directories synced before the end";
    commit.finish();
    std::sort(fs.directories_synced.begin(), fs.directories_synced.end());
    std::sort(replaced.begin(), replaced.end());
    EXPECT_EQ(fs.directories_synced, replaced) << c.what;
    EXPECT_EQ(fs.inputs_open, 0u) << c.what << ": every file opened to compare closed";
    EXPECT_TRUE(fs.replacements.empty()) << c.what << ": every replacement closed or removed";
    for (std::size_t i = 0; i < budget_size; ++i) EXPECT_TRUE(budget.take()) << c.what << ": descriptors given back";
    EXPECT_FALSE(budget.take()) << c.what;
  }
}

}  // namespace
