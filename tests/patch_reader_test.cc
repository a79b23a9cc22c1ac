// The lines a unified diff adds, file by file, read in memory: git's
// headers and quoting, diff -u's times, hunk counts that say where a hunk
// ends (so that "+++" and "---" inside one are lines), CR LF patches, and
// the marker of a missing last line end. Also the line set's merging.

#include "report/patch_reader.h"

#include "report/change_scope.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using stylo::report::changed_files;
using stylo::report::line_set;
using stylo::report::read_patch;

// A file's lines as "name:1-3,7" for comparing; "name:*" for every line.
using ranges = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

struct patch_case {
  const char* what;
  std::string patch;
  std::vector<std::pair<std::string, ranges>> want;  // every file named, in byte order
};

const std::vector<patch_case> patch_cases = {
    {"git: one line changed, one added",
     "diff --git a/x.c b/x.c\nindex 1..2 100644\n--- a/x.c\n+++ b/x.c\n@@ -2 +2 @@\n-old\n+new\n@@ -5,0 +6 @@ f\n+added\n",
     {{"x.c", {{2, 2}, {6, 6}}}}},
    {"a hunk with context lines, a run of additions and a removal between",
     "--- a/d/y.h\n+++ b/d/y.h\n@@ -10,6 +10,7 @@\n ctx\n+a\n+b\n ctx\n-gone\n+c\n ctx\n ctx\n",
     {{"d/y.h", {{11, 12}, {14, 14}}}}},
    {"added lines that look like headers, counted as lines",
     "--- a/z.c\n+++ b/z.c\n@@ -1,2 +1,3 @@\n--- x\n+++ y\n++++ w\n+@@ -1 +1 @@\n",
     {{"z.c", {{1, 3}}}}},
    {"a new file, a deleted file skipped",
     "--- /dev/null\n+++ b/new.c\n@@ -0,0 +1,3 @@\n+a\n+b\n+c\n--- a/old.c\n+++ /dev/null\n@@ -1,2 +0,0 @@\n-a\n-b\n",
     {{"new.c", {{1, 3}}}}},
    {"only removals: the file is named with no line",
     "--- a/r.c\n+++ b/r.c\n@@ -3,2 +2,0 @@\n-a\n-b\n",
     {{"r.c", {}}}},
    {"git's quoting: a quote, a backslash, a tab and octal UTF-8",
     "--- \"a/na\\\"me.c\"\n+++ \"b/na\\\"me\\\\x\\t\\303\\251.c\"\n@@ -1 +1 @@\n-a\n+b\n",
     {{"na\"me\\x\t\xc3\xa9.c", {{1, 1}}}}},
    {"diff -u: no prefix, the time after a tab, a name with a blank",
     "--- old dir/f.c\t2024-01-01 10:00:00.000000000 +0100\n+++ new dir/f.c\t2024-01-02 10:00:00.000000000 +0100\n"
     "@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n",
     {{"new dir/f.c", {{2, 2}}}}},
    {"a CR LF patch: line ends of headers and of content lines",
     "--- a/w.c\r\n+++ b/w.c\r\n@@ -1,2 +1,4 @@\r\n a\r\n+b\r\n \r\n+c\r\n",
     {{"w.c", {{2, 2}, {4, 4}}}}},
    {"no line end at the end of file, on either side",
     "--- a/n.c\n+++ b/n.c\n@@ -1 +1,2 @@\n-last\n\\ No newline at end of file\n+last\n+more\n\\ No newline at end of file\n",
     {{"n.c", {{1, 2}}}}},
    {"format-patch: mail headers, a message with a diff-like line, the signature",
     "From 123 Mon Sep 17 00:00:00 2001\nSubject: [PATCH] x\n\n--- a/notes\nmessage\n---\n g.c | 1 +\n\n"
     "diff --git a/g.c b/g.c\n--- a/g.c\n+++ b/g.c\n@@ -4,0 +5,2 @@\n+x\n+y\n-- \n2.39.2\n\n",
     {{"g.c", {{5, 6}}}}},
    {"two files; the second's lines are not the first's",
     "--- a/a.c\n+++ b/a.c\n@@ -1 +1 @@\n-a\n+b\n--- a/b.c\n+++ b/b.c\n@@ -7 +7 @@\n-a\n+b\n",
     {{"a.c", {{1, 1}}}, {"b.c", {{7, 7}}}}},
    {"a rename with an edit",
     "diff --git a/old.c b/new.c\nsimilarity index 90%\nrename from old.c\nrename to new.c\n--- a/old.c\n+++ b/new.c\n"
     "@@ -3 +3 @@\n-x\n+y\n",
     {{"new.c", {{3, 3}}}}},
    {"an empty context line (trailing blank lost in a mail)",
     "--- a/e.c\n+++ b/e.c\n@@ -1,3 +1,4 @@\n a\n\n+b\n c\n",
     {{"e.c", {{3, 3}}}}},
    {"a symbolic link made, and one that becomes a file: only the file counts",
     "diff --git a/l.c b/l.c\nnew file mode 120000\nindex 0000000..1234567\n--- /dev/null\n+++ b/l.c\n@@ -0,0 +1 @@\n"
     "+target.c\n\\ No newline at end of file\n"
     "diff --git a/k.c b/k.c\nold mode 120000\nnew mode 100644\n--- a/k.c\n+++ b/k.c\n@@ -1 +1 @@\n-t.c\n+int k;\n"
     "diff --git a/m.c b/m.c\nindex 1111111..2222222 120000\n--- a/m.c\n+++ b/m.c\n@@ -1 +1 @@\n-a.c\n+b.c\n",
     {{"k.c", {{1, 1}}}}},
    {"a patch with no hunk, and nothing at all", "Binary files a/p.png and b/p.png differ\n", {}},
};

TEST(patch_reader, added_lines_by_file) {
  for (const patch_case& each : patch_cases) {
    changed_files files;
    EXPECT_EQ(read_patch(each.patch, files), "") << each.what;
    std::vector<std::pair<std::string, ranges>> got;
    for (const auto& [name, lines] : files) got.emplace_back(name, lines.ranges());
    EXPECT_EQ(got, each.want) << each.what;
  }
}

TEST(patch_reader, unreadable_hunk_headers_and_quotes) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"--- a/x\n+++ b/x\n@@ -1 +x @@\n", "the patch's line 3 is not a hunk header '@@ -a,b +c,d @@'"},
      {"--- a/x\n+++ b/x\n@@ -1,2 +1,99999999999999999999 @@\n", "the patch's line 3 is not a hunk header '@@ -a,b +c,d @@'"},
      {"+++ \"b/unended\n", "the patch's line 1 has a quoted name without its end quote"},
      {"+++ \"b/bad\\9.c\"\n", "the patch's line 1 has a quoted name without its end quote"},
  };
  for (const auto& [patch, error] : bad) {
    changed_files files;
    EXPECT_EQ(read_patch(patch, files), error) << patch;
  }
}

TEST(line_set, ranges_merge_and_lines_are_found) {
  line_set lines;
  lines.add_lines(10, 12);
  lines.add_lines(1, 2);
  lines.add_lines(13, 13);  // touches 10-12
  lines.add_lines(4, 4);
  lines.add_lines(3, 3);    // joins 1-2 and 4
  lines.add_lines(20, 15);  // empty: ignored
  EXPECT_EQ(lines.ranges(), (ranges{{1, 4}, {10, 13}}));
  const std::vector<std::pair<std::uint64_t, bool>> probes = {{0, false}, {1, true},  {4, true},  {5, false},
                                                              {9, false}, {10, true}, {13, true}, {14, false}};
  for (const auto& [line, in] : probes) EXPECT_EQ(lines.contains(line), in) << line;
  line_set whole;
  EXPECT_TRUE(whole.empty());
  whole.add_every_line();
  EXPECT_TRUE(whole.contains(123456789));
  EXPECT_FALSE(whole.empty());
}

}  // namespace

// Which changed files a run checks, and by what name, from where it runs.
namespace {

using stylo::report::select_changes;

struct scope_case {
  const char* what;
  std::string prefix;  // the current directory from the top
  std::vector<std::string> names;
  std::vector<std::string> want;  // in byte order
};

TEST(change_scope, names_restrict_and_paths_are_from_here) {
  changed_files changes;
  for (const char* name : {"a.c", "b.h", "notes.txt", "inc/x.h", "sub/s.c", "sub/deeper/d.c", "sub/readme",
                           "subway/w.c", "-dash.c"}) {
    changes[name].add_lines(1, 1);
  }
  changes["gone.c"];  // only lines removed: never read
  changes["new.c"].add_every_line();
  const std::vector<scope_case> cases = {
      {"the top, no NAME: every C file",
       "",
       {},
       {"-dash.c", "a.c", "b.h", "inc/x.h", "new.c", "sub/deeper/d.c", "sub/s.c", "subway/w.c"}},
      {"a subdirectory, no NAME: every C file, from here",
       "sub/",
       {},
       {"../-dash.c", "../a.c", "../b.h", "../inc/x.h", "../new.c", "../subway/w.c", "deeper/d.c", "s.c"}},
      {"a deeper directory",
       "sub/deeper/",
       {},
       {"../../-dash.c", "../../a.c", "../../b.h", "../../inc/x.h", "../../new.c", "../../subway/w.c", "../s.c",
        "d.c"}},
      {"'.' in a subdirectory: not its namesake 'subway'", "sub/", {"."}, {"deeper/d.c", "s.c"}},
      {"a file not C named exactly", "", {"notes.txt", "sub"}, {"notes.txt", "sub/deeper/d.c", "sub/s.c"}},
      {"names with ./, .., // and a trailing /",
       "sub/",
       {"./deeper/", "..//inc", "../sub/../b.h"},
       {"../b.h", "../inc/x.h", "deeper/d.c"}},
      {"a name above the top, a name not changed", "", {"../a.c", "zzz.c", "gone.c"}, {}},
      {"a name with a dash", "", {"-dash.c"}, {"-dash.c"}},
      {"an absolute name in the work tree", "sub/", {"/top/inc"}, {"../inc/x.h"}},
      {"an absolute name outside it", "", {"/elsewhere/a.c", "/topless"}, {}},
  };
  for (const scope_case& each : cases) {
    changed_files selected;
    select_changes(changes, "/top", each.prefix, each.names, selected);
    std::vector<std::string> got;
    for (const auto& [name, lines] : selected) got.push_back(name);
    EXPECT_EQ(got, each.want) << each.what;
  }
}

}  // namespace
