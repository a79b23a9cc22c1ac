// End-to-end tests of stylo-report: every format on names with hard bytes,
// parsed back; the exit statuses and messages; the whole-or-nothing output
// file; the baseline; the findings and columns against stylo's own; the
// directory walk. Run against a Windows program (see cli_harness.h), the
// messages end in CR LF and the report in a line feed, as on every system.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <vector>

#include "cli_harness.h"

namespace {

using cli_harness::outcome;
using cli_harness::path;
using cli_harness::quote;
using cli_harness::slurp;
using cli_harness::windows;
using cli_harness::write;

const std::string report = cli_harness::from_environment("STYLO_TEST_REPORT_BINARY", STYLO_REPORT_BINARY);

// "REPORT" in the command stands for stylo-report, "STYLO" for stylo.
outcome run(const std::string& command) {
  std::string cmd = command;
  for (std::size_t at; (at = cmd.find("STYLO ")) != std::string::npos;) cmd.replace(at, 5, quote(STYLO_BINARY));
  outcome r = cli_harness::run(cmd, "REPORT", report);
  if (windows) r.err = cli_harness::from_windows_text(r.err, "stderr");
  return r;
}

bool have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

const std::string kw_if = "(style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  [QVS]";
const std::string op_minus = "'=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]";

std::string gcc_line(const std::string& file, int line, int column, const std::string& message,
                     const std::string& rule) {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": warning: " + message + " [" + rule +
         "]\n";
}

// Every format on files whose names hold what formats must escape, each with
// one finding: JSON parses as UTF-8 and its URIs give back every byte of
// every name, XML is well-formed, workflow commands stay one line each.
TEST(Report, NamesWithHardBytesInEveryFormat) {
  if (!have("python3") || !have("xmllint")) GTEST_SKIP() << "python3 and xmllint (libxml2-utils) are needed";
  // Windows holds no name with quotes, '<', ':' and the like, control
  // characters or bytes that are not UTF-8: those are POSIX's only.
  const struct {
    std::string name;
    bool posix_only;
  } all_names[] = {
      {"a b.c", false},                                 // blank
      {"q\"u'o\\te.c", true},                          // quotes, backslash
      {"p%20#&<>:,;=?@[].c", true},                     // percent, URI and XML delimiters, workflow separators
      {"p%20#&',;=@[].c", false},                       // the same, as far as Windows allows
      {"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80.c", false},  // UTF-8 outside ASCII, beyond the BMP
      {"bad\xFF\xC3(\xED\xA0\x80.c", true},             // bytes that are not UTF-8, a surrogate
      {"c\x01\x1F\x7F\t\r.c", true},                    // control characters, XML cannot hold most
      {"n\nl.c", true},                                 // line feed
      {"-x.c", false},                                  // leading dash
      {"\xEF\xBF\xBE.c", false},                        // U+FFFE, which XML cannot hold
  };
  std::vector<std::string> names;
  for (const auto& n : all_names) {
    if (!windows || !n.posix_only) names.push_back(n.name);
  }
  std::filesystem::remove_all(path("names"));
  std::filesystem::create_directory(path("names"));
  std::string listed;
  for (const std::string& name : names) {
    write("names/" + name, "if(x)\n");
    listed += "names/" + name + '\0';
  }
  write("names.txt", listed);
  const std::string check = quote(std::string(STYLO_SOURCE_DIR) + "/tests/report_format_check.py");
  for (const std::string format : {"json", "gitlab", "sarif", "github", "checkstyle", "junit", "gcc"}) {
    // With a file that cannot be opened, whose name is reported too.
    const outcome r = run("REPORT --format=" + format + " names 'gone <&>\"%,:.c' > r." + format);
    EXPECT_EQ(r.status, 2) << format << ": " << r.err;
    EXPECT_EQ(r.err, "Unable to open file 'gone <&>\"%,:.c'\n") << format;
    const std::string file = "r." + format;
    if (format == "checkstyle" || format == "junit") {
      const outcome parsed = run("xmllint --noout " + file + " && xmllint --xpath 'count(//" +
                                 (format == "junit" ? std::string("testcase") : std::string("error")) + ")' " + file);
      EXPECT_EQ(parsed.status, 0) << format << ": " << parsed.err;
      EXPECT_EQ(parsed.out, std::to_string(names.size() + 1) + "\n") << format;
    } else if (format == "gcc") {
      EXPECT_EQ(slurp(path(file)).find(gcc_line("names/a b.c", 1, 1, kw_if, "keyword-space")) != std::string::npos,
                true);
    } else {
      const outcome parsed = run("python3 " + check + " " + format + " " + file + " names.txt");
      EXPECT_EQ(parsed.status, 0) << parsed.out << parsed.err;
    }
  }
  // Relative names give relative URIs, absolute ones file URIs.
  write("u.c", "if(x)\n");
  const struct {
    std::string name, uri;
  } uris[] = {
      {"./u.c", "u.c"},
      {".//./u.c", "u.c"},
      {"../" + std::filesystem::path(cli_harness::work_dir()).filename().string() + "/u.c",
       "../" + std::filesystem::path(cli_harness::work_dir()).filename().string() + "/u.c"},
      {path("u.c"), "file://" + path("u.c")},
  };
  for (const auto& u : uris) {
    const outcome r = run("REPORT --format=json " + quote(u.name));
    EXPECT_NE(r.out.find(",\"uri\":\"" + u.uri + "\","), std::string::npos) << u.name << ": " << r.out;
  }
}

TEST(Report, ExitStatusesAndMessages) {
  write("a.c", "if(x)\n");
  write("clean.c", "if (x)\n");
  write("old.txt", "an older report\n");
  write("list.txt", "clean.c\na.c\n");
  write("broken.diff", "--- a/a.c\n+++ b/a.c\n@@ -1 +1 @ broken\n");
  // The reason is the system's own text (wine's, under wine).
  const std::string full_reason = windows ? "Disk full" : "No space left on device";
  const std::string missing_reason = windows ? "Path not found" : "No such file or directory";
  const struct {
    const char* what;
    std::string args;
    int status;
    std::string err;
  } cases[] = {
      {"nothing found", "clean.c", 0, ""},
      {"a finding", "clean.c a.c", 1, ""},
      {"a list on standard input", "--file-list=- < list.txt", 1, ""},
      {"a file that cannot be opened", "a.c missing.c", 2, "Unable to open file 'missing.c'\n"},
      {"a list that cannot be opened", "--file-list=missing.txt clean.c", 2,
       "Unable to open file list 'missing.txt'\n"},
      {"an unknown option", "--bogus a.c", 2, "stylo-report: unknown option '--bogus' (see stylo-report --help)\n"},
      {"an unknown format", "--format=xml a.c", 2,
       "stylo-report: unknown format 'xml' (gcc, sarif, github, gitlab, checkstyle, junit or json) (see "
       "stylo-report --help)\n"},
      {"an option without its value", "a.c --output", 2,
       "stylo-report: --output needs a value (see stylo-report --help)\n"},
      {"nothing to check", "", 2,
       "stylo-report: nothing to check: name files or directories, or give --file-list=LIST or - (see "
       "stylo-report --help)\n"},
      {"standard input twice", "- --file-list=-", 2,
       "stylo-report: standard input can be read once: give '-' or --file-list=- once only (see stylo-report "
       "--help)\n"},
      {"a failed read", "- < .", 2, "Failed while parsing '-'\n"},
      {"a failed read among other troubles, on four threads: each said in turn, and the run ends there",
       "-j4 missing.c --file-list=missing.txt a.c - missing.c < .", 2,
       "Unable to open file 'missing.c'\nUnable to open file list 'missing.txt'\nFailed while parsing '-'\n"},
      {"a change with no revision", "--changed-since= a.c", 2,
       "stylo-report: --changed-since needs a revision (a branch, a tag or a commit) (see stylo-report --help)\n"},
      {"a change from git and from a patch", "--changed-since=main --changed-lines=p.diff", 2,
       "stylo-report: --changed-since and --changed-lines exclude each other: give one (see stylo-report --help)\n"},
      {"a change and standard input", "--changed-lines=p.diff - < a.c", 2,
       "stylo-report: with --changed-lines, name files or directories only, not '-' or --file-list (see "
       "stylo-report --help)\n"},
      {"a patch that cannot be opened", "--changed-lines=missing.diff", 2,
       "stylo-report: Unable to open the patch 'missing.diff'\n"},
      {"a patch that is not one", "--changed-lines=- < list.txt", 0, ""},
      {"a hunk header that cannot be read", "--changed-lines=- < broken.diff", 2,
       "stylo-report: the patch's line 3 is not a hunk header '@@ -a,b +c,d @@': give a unified diff (git diff, "
       "diff -u)\n"},
      {"a failed write", "a.c > /dev/full", 2,
       "Failed while writing the report to standard output: " + full_reason + "\n"},
      {"a report file that cannot be made", "--output=no/dir.txt a.c", 2,
       "Unable to write the report to 'no/dir.txt': " + missing_reason + "\n"},
      {"a baseline that cannot be opened", "--baseline=missing.json a.c", 2,
       "Unable to open baseline 'missing.json'\n"},
      {"a baseline that is no report", "--baseline=a.c a.c", 2,
       "The baseline 'a.c' is not a json, sarif or gitlab report of stylo-report\n"},
      {"a failed read with --output", "--output=old.txt a.c - < .", 2, "Failed while parsing '-'\n"},
      {"no job at all", "-j0 a.c", 2,
       "stylo-report: --jobs needs a number from 1 to 1024, not '0' (see stylo-report --help)\n"},
      {"a job count that is no number", "--jobs=2x a.c", 2,
       "stylo-report: --jobs needs a number from 1 to 1024, not '2x' (see stylo-report --help)\n"},
      {"jobs in every spelling", "-j 3 --jobs 2 -j4 --jobs=1 a.c", 1, ""},
      {"the report over an input", "--output=old.txt a.c old.txt", 2,
       "The report 'old.txt' would overwrite 'old.txt', which it checks: nothing written\n"},
      {"the report over an input after another trouble, on four threads: the run ends there",
       "-j4 --output=old.txt a.c missing.c old.txt missing.c", 2,
       "Unable to open file 'missing.c'\nThe report 'old.txt' would overwrite 'old.txt', which it checks: nothing "
       "written\n"},
      {"the report over an input by another name", "--output=./old.txt --file-list=- <<< old.txt", 2,
       "The report './old.txt' would overwrite 'old.txt', which it checks: nothing written\n"},
      {"the report over standard input", "--output=old.txt - < old.txt", 2,
       "The report 'old.txt' would overwrite '-', which it checks: nothing written\n"},
      {"a rule to explain that is none", "--explain=keyword a.c", 2,
       "stylo-report: no rule 'keyword' to explain (the rules: keyword-space, reversed-operator)\n"},
      {"--explain without a rule", "--explain=", 2,
       "stylo-report: --explain needs a rule's id, such as keyword-space (see stylo-report --help)\n"},
  };
  for (const auto& c : cases) {
    // Under wine, stylo-report.exe does not tell that its standard input,
    // redirected from the report's file, is that file: not checked there.
    if (windows && std::string_view(c.what) == "the report over standard input") continue;
    const outcome r = run("REPORT " + c.args);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
  // The older report stays, and no temporary file is left.
  EXPECT_EQ(slurp(path("old.txt")), "an older report\n");
  EXPECT_EQ(run("ls old.txt*").out, "old.txt\n");
  // A file that cannot be opened still leaves the report of the others.
  EXPECT_EQ(run("REPORT --output=old.txt a.c missing.c").status, 2);
  EXPECT_EQ(slurp(path("old.txt")), gcc_line("a.c", 1, 1, kw_if, "keyword-space"));

  // Help and version are text, in the system's lines.
  const auto text = [](const std::string& out) { return windows ? cli_harness::from_windows_text(out, "stdout") : out; };
  const outcome help = run("REPORT --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(text(help.out).rfind("Usage: stylo-report [OPTION]... [NAME]...\n", 0), 0u) << help.out;
  const outcome version = run("REPORT --version");
  EXPECT_TRUE(std::regex_match(text(version.out), std::regex("stylo-report [0-9]+\\.[0-9]+(\\.[0-9]+)?\n"))) << version.out;

  // A rule's help, by its id or its SARIF name, is the manual's RULES
  // entry for it, line for line, and checks nothing.
  std::string manual = slurp(std::string(STYLO_SOURCE_DIR) + "/man/stylo-report.1");
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\\&", ""}, {"\\-", "-"}, {"\\e", "\\"}}) {
    for (std::size_t at = 0; (at = manual.find(from, at)) != std::string::npos; at += to.size()) manual.replace(at, from.size(), to);
  }
  for (const char* rule : {"keyword-space", "reversed-operator"}) {
    const outcome by_id = run(std::string("REPORT --explain ") + rule);
    EXPECT_EQ(by_id.status, 0) << rule;
    EXPECT_EQ(text(by_id.out).rfind(rule, 0), 0u) << by_id.out;
    std::string sarif_name;
    for (std::string_view part : {std::string_view(rule).substr(0, std::string_view(rule).find('-')),
                                  std::string_view(rule).substr(std::string_view(rule).find('-') + 1)}) {
      sarif_name += static_cast<char>(part[0] - 'a' + 'A');
      sarif_name += part.substr(1);
    }
    const outcome by_name = run("REPORT --explain=" + sarif_name + " missing.c");
    EXPECT_EQ(by_name.status, 0) << sarif_name;
    EXPECT_EQ(by_name.out, by_id.out) << sarif_name;
    EXPECT_EQ(by_name.err, "");
    const std::string help = text(by_id.out);
    const std::size_t body = help.find("\n\n");
    ASSERT_NE(body, std::string::npos) << help;
    std::size_t lines = 0;
    for (std::size_t at = body + 2; at < help.size();) {
      const std::size_t end = help.find('\n', at);
      const std::string line = help.substr(at, end - at);
      at = end + 1;
      if (line.empty()) continue;
      ++lines;
      EXPECT_NE(manual.find("\n" + line + "\n"), std::string::npos) << "not in the manual's RULES: " << line;
    }
    EXPECT_GT(lines, 10u) << help;
  }
}

// The report is written through a link to its target; a signal that stops
// the run leaves no temporary file; standard input is read in blocks, in
// the memory a named file takes, whatever its size.
TEST(Report, OutputFileAndStandardInput) {
  SKIP_ON_WINDOWS("symbolic links, FIFOs and signals are POSIX's");
  write("a.c", "if(x)\n");
  write("real.txt", "old\n");
  std::filesystem::remove(path("link.txt"));
  ASSERT_EQ(symlink("real.txt", path("link.txt").c_str()), 0);
  EXPECT_EQ(run("REPORT --output=link.txt a.c").status, 1);
  EXPECT_TRUE(std::filesystem::is_symlink(path("link.txt")));
  EXPECT_EQ(slurp(path("real.txt")), gcc_line("a.c", 1, 1, kw_if, "keyword-space"));

  // Stopped while it waits for standard input, its report file begun.
  for (const std::string signal : {"INT", "TERM"}) {
    const outcome r = run("rm -f fifo out.txt* .stylo-*; mkfifo fifo; exec 3<>fifo; "
                          "env --default-signal=INT REPORT --output=out.txt - < fifo & "
                          "for i in $(seq 50); do ls .stylo-*.tmp >/dev/null 2>&1 && break; sleep 0.1; done; "
                          "kill -" + signal + " $!; wait $!; echo $?; ls out.txt* .stylo-*");
    EXPECT_EQ(r.out, signal == "INT" ? "130\n" : "143\n") << signal << ": " << r.err;
  }
  // Stopped with fixed files written and not yet in place, while it waits
  // for the rest of its list: no temporary file, the files as they were.
  // One job, so that each name read is fixed at once (with more, the files
  // checked wait in the pool until the list goes on). On Linux the fixed
  // texts wait in files without a name (deleted, as /proc shows them).
  write("f1.c", "if(x)\n");
  write("f2.c", "while(x)\n");
  const outcome fixing = run("rm -f fifo; mkfifo fifo; exec 3<>fifo; printf 'f1.c\\nf2.c\\n' >&3; "
                             "env --default-signal=INT REPORT -j1 --fix --file-list=fifo < /dev/null & "
                             "for i in $(seq 50); do [ $(ls .stylo-*.tmp 2>/dev/null | wc -l) = 2 ] && break; "
                             "[ $(ls -l /proc/$!/fd 2>/dev/null | grep -c deleted) = 2 ] && break; sleep 0.1; done; "
                             "sleep 0.1; kill -INT $!; wait $!; echo $?; ls .stylo-* 2>/dev/null; cat f1.c f2.c");
  EXPECT_EQ(fixing.out, "130\nif(x)\nwhile(x)\n") << fixing.err;

  // A program run under a tool, or built with AddressSanitizer (whose
  // shadow memory alone is more), holds more than its own memory.
#if defined(__SANITIZE_ADDRESS__)
  return;
#endif
  if (!cli_harness::from_environment("STYLO_TEST_WRAPPER").empty() || !have("/usr/bin/time")) return;
  // 40 MB through a pipe, in under 8 MiB.
  const outcome big = run("yes 'if(x) y=-1; /* a comment that is long enough */' | head -c 40000000 | "
                          "/usr/bin/time -f %M REPORT - 2>&1 >/dev/null | tail -1");
  EXPECT_LT(std::stol(big.out), 8 * 1024) << big.out;
}

// A baseline made from one version of a file, applied to later versions: in
// every format that can serve as one.
TEST(Report, BaselineFollowsFindingsNotLineNumbers) {
  const std::string before = "int a;\nif(x) y=-1;\nif(x) y=-1;\n";
  const struct {
    const char* what;
    std::string after;
    std::string reported;  // gcc lines
  } cases[] = {
      {"unchanged", before, ""},
      {"lines added above and below", "// new\n\n" + before + "int z;\n", ""},
      {"lines removed above", "if(x) y=-1;\nif(x) y=-1;\n", ""},
      {"the finding's line edited", "int a;\nif(x) y=-1; \nif(x) y=-1;\n",
       gcc_line("./b.c", 2, 1, kw_if, "keyword-space") + gcc_line("./b.c", 2, 8, op_minus, "reversed-operator")},
      {"a third equal line", before + "if(x) y=-1;\n",
       gcc_line("./b.c", 4, 1, kw_if, "keyword-space") + gcc_line("./b.c", 4, 8, op_minus, "reversed-operator")},
      {"one of the two equal lines removed", "int a;\nif(x) y=-1;\n", ""},
  };
  for (const std::string format : {"json", "sarif", "gitlab"}) {
    write("b.c", before);
    ASSERT_EQ(run("REPORT --format=" + format + " --output=base b.c").status, 1) << format;
    for (const auto& c : cases) {
      write("b.c", c.after);
      const outcome r = run("REPORT --baseline=base ./b.c");
      EXPECT_EQ(r.out, c.reported) << format << ": " << c.what;
      EXPECT_EQ(r.status, c.reported.empty() ? 0 : 1) << format << ": " << c.what;
    }
  }
}

// The findings are stylo's, file by file and line by line, whatever the
// text (CR LF, Ctrl-Z, a lone CR, a long line); the byte column is where the
// finding starts; the UTF-16 column counts what comes before it right.
TEST(Report, FindingsAreStylosWithTheirColumns) {
  write("text.c", "a=-1;\r\nif(x)\r\n\r\n\tfor(;;) b==!c\rwhile(d)\r\n" + std::string(70000, 'x') + " x=+1\x1Aif(e)\n");
  const std::string list = std::string(STYLO_SOURCE_DIR) + "/examples/demo.c\ntext.c\n";
  write("list.txt", list);
  const outcome expected = run("STYLO --file-list=list.txt");
  const outcome got = run("REPORT --file-list=list.txt");
  EXPECT_EQ(got.status, 1);
  // "file(L): warning: M" against "file:L:C: warning: M [rule]".
  const std::regex stylo_line("(.*)\\((\\d+)\\): warning: (.*)");
  const std::regex report_line("(.*):(\\d+):\\d+: warning: (.*) \\[[a-z-]+\\]");
  std::istringstream expected_lines(expected.out), got_lines(got.out);
  std::string e, g;
  int count = 0;
  while (std::getline(expected_lines, e)) {
    ASSERT_TRUE(std::getline(got_lines, g)) << "missing: " << e;
    std::smatch em, gm;
    ASSERT_TRUE(std::regex_match(e, em, stylo_line) && std::regex_match(g, gm, report_line)) << e << "\n" << g;
    EXPECT_EQ(em[1].str() + em[2].str() + em[3].str(), gm[1].str() + gm[2].str() + gm[3].str());
    ++count;
  }
  EXPECT_FALSE(std::getline(got_lines, g)) << "extra: " << g;
  EXPECT_GE(count, 10);

  const struct {
    const char* what;
    std::string line;
    int column, utf16_column, utf16_end;
  } columns[] = {
      {"ASCII", "  if(x)", 3, 3, 6},
      {"two-byte and three-byte characters", "/* \xC3\xA9\xE2\x82\xAC */ while(x)", 13, 10, 16},
      {"a character beyond the BMP: two units", "/* \xF0\x9F\x98\x80 */ x=-1", 13, 11, 13},
      {"bytes that are not UTF-8: one unit each", "/* \xFF\xC3( */ y==!z", 12, 12, 15},
      {"a tab counts one", "\tswitch(c)", 2, 2, 9},
  };
  for (const auto& c : columns) {
    write("col.c", c.line + "\n");
    const outcome json = run("REPORT --format=json col.c");
    EXPECT_NE(json.out.find("\"line\":1,\"column\":" + std::to_string(c.column)), std::string::npos)
        << c.what << ": " << json.out;
    const outcome github = run("REPORT --format=github - --stdin-name=col.c < col.c");
    EXPECT_NE(github.out.find("file=col.c,line=1,col=" + std::to_string(c.utf16_column) +
                              ",endColumn=" + std::to_string(c.utf16_end) + ","),
              std::string::npos)
        << c.what << ": " << github.out;
  }
}

// --fix, --diff and the diff applied by git and by patch all give the same
// files; every byte but the blanks inserted is kept; a file with nothing to
// fix is not touched; the mode and a link named by the user are kept; what
// is reported afterwards is a plain run's report over the fixed files.
TEST(Report, FixAndDiff) {
  SKIP_ON_WINDOWS("the cases use links, modes and POSIX tools");
  const struct {
    std::string name, before, after;
  } files[] = {
      {"crlf.c", "if(x) y=-1;\r\nwhile(1){}\r\n", "if (x) y=-1;\r\nwhile (1){}\r\n"},
      {"lone cr \xC3\xA9.c", "if(a)\rfor(;;)\n", "if (a)\rfor (;;)\n"},
      {"skipped.c", "/* if(x) */ \"for(;;)\" 'w' // while(1)\n#define A if(a) \\\n  for(;;)\nswitch(c)",
       "/* if(x) */ \"for(;;)\" 'w' // while(1)\n#define A if(a) \\\n  for(;;)\nswitch (c)"},
      {"ctrl-z.c", std::string("if(a)\0\xFF\x1Aif(b)\n", 12), std::string("if (a)\0\xFF\x1Aif(b)\n", 13)},
      {"many.h", "if(a)if(b)while(c)x=!d;\n", "if (a)if (b)while (c)x=!d;\n"},
      {"operators.c", "x=-1; y==!z;\n", "x=-1; y==!z;\n"},
      {"clean.c", "if (x) {}\n", "if (x) {}\n"},
  };
  std::filesystem::remove_all(path("fix"));
  std::filesystem::create_directory(path("fix"));
  std::string names;
  for (const auto& f : files) {
    write("fix/" + f.name, f.before);
    names.append(" ").append(quote(f.name));
  }
  ASSERT_EQ(chmod(path("fix/crlf.c").c_str(), 0751), 0);
  for (const char* copy : {"by-git", "by-patch", "by-fix"}) run("cp -a fix " + std::string(copy));
  struct stat untouched;
  ASSERT_EQ(stat(path("by-fix/clean.c").c_str(), &untouched), 0);

  const outcome diff = run("cd fix && REPORT --diff" + names + " > ../fixes.diff");
  EXPECT_EQ(diff.status, 1) << diff.err;
  EXPECT_EQ(diff.err, "");
  for (const auto& f : files) EXPECT_EQ(slurp(path("fix/" + f.name)), f.before) << "--diff changed " << f.name;
  const outcome fix = run("cd by-fix && REPORT --fix" + names);
  EXPECT_EQ(fix.status, 1);
  EXPECT_EQ(fix.err, "stylo-report: fixed 9 findings in 5 files, 4 findings left\n");
  EXPECT_EQ(fix.out, run("cd by-fix && REPORT" + names).out);
  const bool git = have("git"), patch = have("patch");
  if (git) {
    EXPECT_EQ(run("cd by-git && git apply ../fixes.diff").status, 0);
  }
  if (patch) {
    EXPECT_EQ(run("cd by-patch && patch -s -p1 < ../fixes.diff").status, 0);
  }
  for (const auto& f : files) {
    EXPECT_EQ(slurp(path("by-fix/" + f.name)), f.after) << f.name;
    if (git) {
      EXPECT_EQ(slurp(path("by-git/" + f.name)), f.after) << "git apply: " << f.name;
    }
    if (patch) {
      EXPECT_EQ(slurp(path("by-patch/" + f.name)), f.after) << "patch -p1: " << f.name;
    }
  }
  struct stat after;
  ASSERT_EQ(stat(path("by-fix/clean.c").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, untouched.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, untouched.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mtim.tv_sec, untouched.st_mtim.tv_sec);
  ASSERT_EQ(stat(path("by-fix/crlf.c").c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0751u);
  EXPECT_EQ(run("ls -a by-fix | grep -c tmp").out, "0\n");

  // The fixes once more: nothing left to fix, nothing touched.
  const struct {
    const char* what;
    std::string command;
    int status;
    std::string out, err;
  } cases[] = {
      {"a second --fix", "cd by-fix && REPORT --fix crlf.c clean.c", 1,
       gcc_line("crlf.c", 1, 9, op_minus, "reversed-operator"),
       "stylo-report: fixed 0 findings in 0 files, 1 finding left\n"},
      {"an empty diff", "cd by-fix && REPORT --diff crlf.c clean.c", 0, "", ""},
      {"all fixed", "printf 'if(x)\\n' > one.c && REPORT --fix one.c && cat one.c", 0, "if (x)\n",
       "stylo-report: fixed 1 finding in 1 file, 0 findings left\n"},
      {"standard input", "printf 'if(x) y=-1;' | REPORT --fix --stdin-name=in.c -", 1, "if (x) y=-1;",
       gcc_line("in.c", 1, 9, op_minus, "reversed-operator") +
           "stylo-report: fixed 1 finding in 1 file, 1 finding left\n"},
      {"standard input, report in a file", "printf 'if(x)' | REPORT --fix --output=r.txt - && cat r.txt", 0, "if (x)",
       "stylo-report: fixed 1 finding in 1 file, 0 findings left\n"},
      {"standard input as a diff", "printf 'if(x)\\n' | REPORT --diff --stdin-name=in.c -", 1,
       "diff --git a/in.c b/in.c\n--- a/in.c\n+++ b/in.c\n@@ -1 +1 @@\n-if(x)\n+if (x)\n", ""},
      // A line that a fix changes has new fingerprints, as any edit gives.
      {"a baseline: its findings fixed too, left out of the report",
       "printf 'if(x)\\ny=-1;\\nif(x) y=-1;\\n' > b.c && REPORT --format=json --output=base.json b.c; "
       "REPORT --fix --baseline=base.json b.c; s=$?; cat b.c; exit $s",
       1, gcc_line("b.c", 3, 9, op_minus, "reversed-operator") + "if (x)\ny=-1;\nif (x) y=-1;\n",
       "stylo-report: fixed 2 findings in 1 file, 1 finding left\n"},
      {"a link named: its target fixed", "printf 'if(x)\\n' > target.c && ln -sf target.c link.c && "
       "REPORT --fix link.c && test -L link.c && cat target.c", 0, "if (x)\n",
       "stylo-report: fixed 1 finding in 1 file, 0 findings left\n"},
      {"a file named twice, once through a link: fixed once, not found changed by the first fix",
       "printf 'if(x)\\n' > twice.c && ln -sf twice.c other.c && REPORT --fix twice.c other.c twice.c && cat twice.c",
       0, "if (x)\n", "stylo-report: fixed 1 finding in 1 file, 0 findings left\n"},
      // Fixed files are put in place a batch at a time, the full batch on a
      // thread while the next one fills: the report keeps its order across them.
      {"more files than a batch holds",
       "mkdir -p batches && for i in $(seq 300); do printf 'if(x) y=-1;\\n' > batches/$i.c; done && "
       "REPORT --fix batches/*.c > fixed.txt; s=$?; REPORT batches/*.c | cmp - fixed.txt && "
       "cat batches/*.c | uniq -c; exit $s",
       1, "    300 if (x) y=-1;\n", "stylo-report: fixed 300 findings in 300 files, 300 findings left\n"},
      {"a file that cannot be opened", "REPORT --fix gone.c", 2, "",
       "Unable to open file 'gone.c'\nstylo-report: fixed 0 findings in 0 files, 0 findings left\n"},
      {"--fix with --diff", "REPORT --fix --diff a.c", 2, "",
       "stylo-report: --fix and --diff exclude each other: give one (see stylo-report --help)\n"},
  };
  for (const auto& c : cases) {
    const outcome r = run(c.command);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
}

// A file on a read-only file system: named with the reason, left as it was,
// the others still fixed, status 2, no temporary file. Needs a mount
// namespace of its own (root, or a system that lets users have one).
TEST(Report, FixWithAFileThatCannotBeWritten) {
  SKIP_ON_WINDOWS("mount namespaces are Linux's");
  if (run("unshare -m true").status != 0) GTEST_SKIP() << "unshare -m is not available here";
  std::filesystem::remove_all(path("ro"));
  std::filesystem::create_directories(path("ro/locked"));
  write("ro/a.c", "if(x)\n");
  write("ro/locked/b.c", "if(x)\n");
  write("ro/z.c", "while(x)\n");
  const outcome r = run("cd ro && unshare -m sh -c 'mount --bind -o ro locked locked && exec \"$@\"' sh "
                        "REPORT --fix a.c locked/b.c z.c");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Unable to write 'locked/b.c': Read-only file system\n"
                   "stylo-report: fixed 2 findings in 2 files, 1 finding left\n");
  EXPECT_EQ(r.out, gcc_line("locked/b.c", 1, 1, kw_if, "keyword-space"));
  EXPECT_EQ(slurp(path("ro/a.c")), "if (x)\n");
  EXPECT_EQ(slurp(path("ro/locked/b.c")), "if(x)\n");
  EXPECT_EQ(slurp(path("ro/z.c")), "while (x)\n");
  EXPECT_EQ(run("ls -a ro ro/locked | grep -c tmp").out, "0\n");
}

// What --fix, --diff and --output do to what real trees and CI machines
// hold: devices, FIFOs, files changed meanwhile, other owners, attributes,
// write-protected files, few descriptors, signals, long names, names git
// would not take, an output that fills. Each row runs in a directory of its
// own, and no temporary file may be left in it. Device nodes are made
// there, never taken from /dev: a build under test pointed at /dev/null as
// root would replace it for the whole machine. A FIFO's writer is given
// time to wait for its reader: a FIFO opened before any writer is empty.
TEST(Report, WriteCases) {
  SKIP_ON_WINDOWS("device nodes, FIFOs, owners and signals are POSIX's");
  // `limits`: the row sets a limit on the process (descriptors, file size)
  // so tight that an instrumented build's own runtime, which opens and
  // writes files of its own (coverage counts, a sanitizer's reading of the
  // memory map), fails under it and says so on standard error.
  // `other_user`: root, and the program run as another user, who cannot
  // write an instrumented build's coverage counts.
  // `unnamed`: files under way have no name (Linux); elsewhere SIGKILL
  // leaves them, as it leaves any program's.
  enum needs { nothing, root, root_and_xattr, limits, other_user, unnamed };
  const std::string fixed_one = "stylo-report: fixed 1 finding in 1 file, ";
  const struct {
    const char* what;
    needs need;
    std::string command;  // in a new directory, with a.c holding "if(x)\n"
    int status;
    std::string out, err;
  } cases[] = {
      {"--output onto a device: it stays a device", root,
       "mknod null c 1 3 && REPORT --output=null a.c; s=$?; stat -c %F null; exit $s", 1,
       "character special file\n", ""},
      {"--output onto a full device: the failed write said, the device left", root,
       "mknod full c 1 7 && REPORT --output=full a.c; s=$?; stat -c %F full; exit $s", 2,
       "character special file\n", "Failed while writing the report to 'full': No space left on device\n"},
      {"--output onto a FIFO: its reader gets the report, the FIFO stays", nothing,
       "mkfifo p && { cat p > got & } && REPORT --output=p a.c; s=$?; wait; stat -c %F p; cat got; exit $s", 1,
       "fifo\n" + gcc_line("a.c", 1, 1, kw_if, "keyword-space"), ""},
      {"a FIFO named to --fix: checked once, never replaced, no hang", nothing,
       "mkfifo f.c && { printf 'if(x)\\n' > f.c & } && sleep 0.5 && timeout 10 REPORT --fix f.c a.c; s=$?; wait; "
       "stat -c %F f.c; cat a.c; exit $s",
       2, gcc_line("f.c", 1, 1, kw_if, "keyword-space") + "fifo\nif (x)\n",
       "The file 'f.c' is not a regular file: checked, not fixed\n" + fixed_one + "1 finding left\n"},
      {"a FIFO named to --diff: checked once, no hang", nothing,
       "mkfifo f.c && { printf 'if(x)\\n' > f.c & } && sleep 0.5 && timeout 10 REPORT --diff f.c; s=$?; wait; "
       "stat -c %F f.c; exit $s",
       2, "fifo\n", "The file 'f.c' is not a regular file: checked, not fixed\n"},
      {"a file changed to as many bytes and its time put back, between read and replace: left as written", nothing,
       "printf 'while(x)\\n' > b.c && mkfifo list && { REPORT -j1 --fix --file-list=list > r.txt 2> e.txt & } && "
       "exec 3>list && printf 'a.c\\n' >&3 && sleep 0.5 && cp -p a.c keep && printf 'if(y)\\n' > a.c && "
       "touch -r keep a.c && rm keep && printf 'b.c\\n' >&3 && exec 3>&- && wait $!; s=$?; "
       "cat a.c b.c r.txt e.txt; exit $s",
       2,
       "if(y)\nwhile (x)\n" + gcc_line("a.c", 1, 1, kw_if, "keyword-space") +
           "The file 'a.c' changed while it was being fixed: left as it was\n" + fixed_one + "1 finding left\n",
       ""},
      {"another user's set-user-ID file, fixed by root: owner, mode and attributes kept", root_and_xattr,
       "chown 65534:65534 a.c && chmod 4755 a.c && setfattr -n user.kept -v yes a.c && REPORT --fix a.c; s=$?; "
       "stat -c '%u:%g %a' a.c; getfattr --only-values -n user.kept a.c; echo; cat a.c; exit $s",
       0, "65534:65534 4755\nyes\nif (x)\n", fixed_one + "0 findings left\n"},
      {"another's set-user-ID file, fixed by a user who cannot give it back: the set-ID bits dropped", other_user,
       "chmod o+x .. . && mkdir -m 777 pub && cp a.c pub/ && chmod 6777 pub/a.c && "
       "setpriv --reuid=65534 --regid=65534 --clear-groups REPORT --fix pub/a.c; s=$?; "
       "stat -c '%u %a' pub/a.c; cat pub/a.c; exit $s",
       0, "65534 777\nif (x)\n", fixed_one + "0 findings left\n"},
      {"directories the user cannot read among files of many findings: each said in its turn among the report's "
       "blocks, the same for any -j", other_user,
       "chmod o+x .. . && mkdir w && for i in $(seq 12); do mkdir w/d$i && yes 'if(x)' | head -n 1000 > w/d$i/f.c; "
       "done && chmod -R o+rX w && chmod 0 w/d12 w/d3 w/d6 w/d9 && for j in 1 2 4; do setpriv --reuid=65534 "
       "--regid=65534 --clear-groups REPORT -j$j w > o$j 2>&1; echo $?; done; cmp o1 o2 && cmp o1 o4 && "
       "grep -c '^Unable to open directory' o1 && grep -c keyword-space o1",
       0, "2\n2\n2\n4\n8000\n", ""},
      {"a write-protected file (0444): left as it was, the others fixed", nothing,
       "cp a.c ro.c && chmod 444 ro.c && REPORT --fix ro.c a.c; s=$?; cat ro.c a.c; stat -c %a ro.c; exit $s", 2,
       gcc_line("ro.c", 1, 1, kw_if, "keyword-space") + "if(x)\nif (x)\n444\n",
       "Unable to write 'ro.c': Permission denied\n" + fixed_one + "1 finding left\n"},
      {"a thousand files under ulimit -n 64, on four threads", nothing,
       "mkdir t && for i in $(seq 1000); do printf 'if(x)\\n' > t/f$i.c; done && (ulimit -n 64 && REPORT -j4 --fix t); s=$?; "
       "grep -l 'if(x)' t/*.c | wc -l; exit $s",
       0, "0\n", "stylo-report: fixed 1000 findings in 1000 files, 0 findings left\n"},
      {"no descriptor to spare at all: said so, the file left as it was", limits,
       "(exec 3>&-; ulimit -n 4 && REPORT -j1 --fix a.c); s=$?; cat a.c; exit $s", 2,
       gcc_line("a.c", 1, 1, kw_if, "keyword-space") + "if(x)\n",
       "Unable to write 'a.c': Too many open files\nstylo-report: fixed 0 findings in 0 files, 1 finding left\n"},
      {"a reader that goes away (SIGPIPE): each file fixed or not, and the files fixed counted", nothing,
       "mkdir t && for i in $(seq 3000); do printf 'if(x) y=-1;\\n' > t/f$i.c; done && "
       "REPORT --fix t 2> e.txt | head -c 1 > /dev/null; echo ${PIPESTATUS[0]}; cat t/*.c | sort -u | "
       "grep -cv '^if \\?(x) y=-1;$'; n=$(grep -l 'if (x)' t/*.c | wc -l); "
       "grep -q \"^stylo-report: fixed $n findings in $n files\" e.txt && echo counted; grep -c 'Broken pipe' e.txt",
       0, "2\n0\ncounted\n1\n", ""},
      {"a replacement past the file size limit (SIGXFSZ): said so, the file left, the others fixed", limits,
       "head -c 3000 /dev/zero | tr '\\0' x > big.c && printf '\\nif(x)\\n' >> big.c && cp big.c was && "
       "(ulimit -f 2 && REPORT --fix big.c a.c); s=$?; cmp big.c was && cat a.c; rm was; exit $s",
       2, gcc_line("big.c", 2, 1, kw_if, "keyword-space") + "if (x)\n",
       "Unable to write 'big.c': File too large\n" + fixed_one + "1 finding left\n"},
      {"--diff under names git would not take: ./, twice, a directory and a file in it, a link, ../", nothing,
       "mkdir d && cp a.c d/e.c && ln -s d/e.c l.c && cd d && REPORT --diff ./e.c e.c . ../l.c ../d/e.c > ../p.diff; "
       "s=$?; cd .. && grep '^[-+d]' p.diff && cp -r d by-git && cp -r d by-patch && (cd by-git && git apply "
       "../p.diff) && (cd by-patch && patch -s -p1 < ../p.diff) && cat by-git/e.c by-patch/e.c; exit $s",
       1, "diff --git a/e.c b/e.c\n--- a/e.c\n+++ b/e.c\n-if(x)\n+if (x)\nif (x)\nif (x)\n", ""},
      {"--diff of a file outside the current directory: refused", nothing,
       "mkdir d && cd d && REPORT --diff ../a.c /etc/hostname; s=$?; cat ../a.c; exit $s", 2, "if(x)\n",
       "The file '../a.c' is not under the current directory: no diff for it, which would not apply\n"},
      {"a name of 250 bytes, the longest most systems take less a few", nothing,
       "n=$(printf 'n%.0s' $(seq 248)).c && cp a.c $n && REPORT --fix $n; s=$?; cat $n; exit $s", 0, "if (x)\n",
       fixed_one + "0 findings left\n"},
      {"killed (SIGKILL) while the report and a fixed file wait: nothing left beside them", unnamed,
       "mkfifo list && { REPORT -j1 --fix --output=r.txt --file-list=list 2> e.txt & } && exec 3>list && "
       "printf 'a.c\\n' >&3 && sleep 0.5; kill -KILL $!; { wait $!; } 2> /dev/null; echo $?; exec 3>&-; "
       "LC_ALL=C ls -A; cat a.c",
       0, "137\na.c\ne.txt\nlist\nif(x)\n", ""},
      {"an early end (the report onto a full device): the files fixed still said", root,
       "mknod full c 1 7 && printf 'if(x) y=-1;\\n' > a.c && REPORT --fix a.c > full; s=$?; cat a.c; exit $s", 2,
       "if (x) y=-1;\n",
       "Failed while writing the report to standard output: No space left on device\n" + fixed_one +
           "1 finding left\n"},
  };
  const bool is_root = geteuid() == 0;
  const bool user_attributes = run("touch xattr-probe && setfattr -n user.probe -v 1 xattr-probe").status == 0;
  const bool instrumented = std::getenv("STYLO_TEST_INSTRUMENTED") != nullptr;
  for (const auto& c : cases) {
    if ((c.need == limits || c.need == other_user) && instrumented) {
      std::printf("skipped (an instrumented build's runtime cannot write its files there): %s\n", c.what);
      continue;
    }
    if ((c.need == root || c.need == root_and_xattr || c.need == other_user) && !is_root) {
      std::printf("skipped (needs root): %s\n", c.what);
      continue;
    }
#if STYLO_TEST_FILES_NAMED_WHILE_WRITTEN
    if (c.need == unnamed) {
      std::printf("skipped (this build names the files it writes): %s\n", c.what);
      continue;
    }
#endif
#if STYLO_TEST_ATTRIBUTES_NOT_COPIED
    if (c.need == root_and_xattr) {
      std::printf("skipped (this build copies no extended attributes): %s\n", c.what);
      continue;
    }
#endif
    if (c.need == root_and_xattr && !user_attributes) {
      std::printf("skipped (no user.* attributes here): %s\n", c.what);
      continue;
    }
    std::filesystem::remove_all(path("wc"));
    std::filesystem::create_directory(path("wc"));
    write("wc/a.c", "if(x)\n");
    const auto start = std::chrono::steady_clock::now();
    const outcome r = run("cd wc && " + c.command);
    std::printf("%5.1f s: %s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                c.what);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(run("find wc -name '.stylo-*' | wc -l").out, "0\n") << c.what << ": a temporary file left";
  }
}

// --fix stopped by a signal at a moment chosen at random, again and again:
// every file is either as it was or exactly as fixed, and no other file is
// left in the tree (on Linux the fixed texts wait with no name at all).
TEST(Report, FixStoppedAtRandomMoments) {
  SKIP_ON_WINDOWS("POSIX signals");
  std::filesystem::remove_all(path("sig"));
  std::filesystem::create_directories(path("sig/orig/sub"));
  std::vector<std::string> names;
  for (int i = 0; i < 240; ++i) {
    names.push_back((i % 2 == 0 ? "sub/f" : "f") + std::to_string(i) + ".c");
    write("sig/orig/" + names.back(), i % 3 == 0 ? "int x;\n" : "if(x) y=-1;\nwhile(x)\n  z();\n");
  }
  ASSERT_EQ(run("cd sig && cp -r orig fixed && REPORT --fix fixed >/dev/null 2>&1; test -d fixed").status, 0);
  const unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937 random(seed);
  // A closed pipe, as --fix takes it, ends the run as a failed write: sent
  // as a signal it changes nothing, and the run fixes everything.
  const char* signals[] = {"TERM", "INT", "PIPE", "HUP"};
  for (int round = 0; round < 10; ++round) {
    const std::string signal = signals[random() % 4];
    const std::string delay = "0." + std::to_string(random() % 3) + std::to_string(random() % 10);
    const std::string jobs = std::to_string(1 + random() % 3);
    const std::string how = "seed " + std::to_string(seed) + ", round " + std::to_string(round) + ": SIG" + signal +
                            " after " + delay + " s, -j" + jobs;
    run("cd sig && rm -rf run && cp -r orig run && { env --default-signal=INT REPORT -j" + jobs +
        " --fix run >/dev/null 2>&1 & p=$!; sleep " +
        delay + "; kill -" + signal + " $p; wait $p; }");
    std::size_t fixed = 0;
    for (const std::string& name : names) {
      const std::string now = slurp(path("sig/run/" + name)), was = slurp(path("sig/orig/" + name)),
                        made = slurp(path("sig/fixed/" + name));
      if (now == made && now != was) ++fixed;
      EXPECT_TRUE(now == was || now == made) << name << " is neither as it was nor as fixed; " << how;
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path("sig/run"))) {
      if (!entry.is_directory()) ++files;
    }
    EXPECT_EQ(files, names.size()) << "a file left in the tree; " << how;
    std::printf("%s: %zu files fixed\n", how.c_str(), fixed);
  }
}

void make_tree(const std::string& top, std::initializer_list<const char*> files) {
  std::filesystem::remove_all(path(top));
  for (const char* file : files) {
    std::filesystem::create_directories(std::filesystem::path(path(top + "/" + file)).parent_path());
    write(top + "/" + file, "if(x)\n");
  }
}

// Directories are walked for .c and .h files in the sorted order of their
// whole names, each after its directory's name as given and a '/' (none
// after a separator the name ends in: '/', or '\' on Windows).
TEST(Report, DirectoryWalk) {
  make_tree("tree", {"z.c", "a.h", "a/b.c", "a/deep/c.h", "a.c", "notes.txt", "a.cc"});
  const auto walked = [](const std::string& top) {
    return gcc_line(top + "a.c", 1, 1, kw_if, "keyword-space") + gcc_line(top + "a.h", 1, 1, kw_if, "keyword-space") +
           gcc_line(top + "a/b.c", 1, 1, kw_if, "keyword-space") +
           gcc_line(top + "a/deep/c.h", 1, 1, kw_if, "keyword-space") +
           gcc_line(top + "z.c", 1, 1, kw_if, "keyword-space");
  };
  const outcome r = run("REPORT tree/ clean-name-missing.c");
  EXPECT_EQ(r.out, walked("tree/"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(run("REPORT tree").out, walked("tree/"));
  if (windows) {
    EXPECT_EQ(run("REPORT 'tree\\'").out, walked("tree\\"));
  }
  // "." walks without "./" before the names.
  EXPECT_EQ(run("cd tree/a && REPORT .").out,
            gcc_line("b.c", 1, 1, kw_if, "keyword-space") + gcc_line("deep/c.h", 1, 1, kw_if, "keyword-space"));
}

// Links inside a directory are not followed; a link named by the user is.
TEST(Report, DirectoryWalkLinks) {
  SKIP_ON_WINDOWS("symbolic links made here are ordinary files and directories to wine");
  make_tree("links", {"a/b.c", "outside/o.c"});
  ASSERT_EQ(symlink("../outside/o.c", path("links/a/link.c").c_str()), 0);
  ASSERT_EQ(symlink("../outside", path("links/a/linked").c_str()), 0);
  EXPECT_EQ(run("cd links/a && REPORT . linked").out,
            gcc_line("b.c", 1, 1, kw_if, "keyword-space") + gcc_line("linked/o.c", 1, 1, kw_if, "keyword-space"));
}

}  // namespace

namespace {

// The same report, messages and status whatever the number of jobs, in
// every format: from a tree of tiny files, a large one, one with more
// findings than the threads may hold waiting, names that cannot be opened,
// directories (walked, and named in a list), and a read that fails, after
// which nothing more is reported.
TEST(Report, SameReportForEveryJobCount) {
  std::filesystem::create_directories(path("jobs/tree/sub"));
  std::string list;
  for (int i = 0; i < 120; ++i) {
    const std::string name = "jobs/tree/" + std::string(i % 3 == 0 ? "sub/" : "") + "f" + std::to_string(i) + ".c";
    std::string text;
    for (int k = 0; k < i % 4; ++k) text += "x=-" + std::to_string(k) + "; if(y) z;\n";
    write(name, text);
    list += name + "\n";
    if (i == 40) list += "jobs/missing.c\njobs/tree/sub\n\n";
  }
  std::string large, crowded;
  while (large.size() < (2u << 20)) {
    large += "int value = compute(a, b) + other * 3; /* if(x) */ while (y) z = -1;\n";
    if (large.size() % 97 == 0) large += "if(x) y=-1;\n";
  }
  // Some 4 MiB of findings waiting: more than two threads may hold.
  for (int k = 0; k < 4000; ++k) crowded += "if(a) b=-c; while(d) e=!f;\n";
  write("jobs/large.c", large);
  write("jobs/crowded.c", crowded);
  list = "jobs/large.c\n" + list + "jobs/crowded.c\n";
  write("jobs/list.txt", list);
  std::string failing = list;
  if (!windows && std::filesystem::exists("/proc/self/mem")) {
    // Opened, and its first read fails.
    const std::size_t middle = list.find('\n', list.size() / 2) + 1;
    failing = list.substr(0, middle) + "/proc/self/mem\n" + list.substr(middle);
  }
  write("jobs/failing.txt", failing);
  // Every format on the whole tree (in part: gcc and sarif only); the rest
  // in those two.
  const std::string runs[] = {
      "--file-list=jobs/list.txt jobs/tree jobs/missing.c",
      "jobs/crowded.c --file-list=jobs/failing.txt jobs/tree",
      "--baseline=jobs/base.json --file-list=jobs/list.txt",
      "--output=jobs/out.txt --file-list=jobs/list.txt",
      "--diff jobs/crowded.c --file-list=jobs/failing.txt jobs/tree",
      // The messages among the report's blocks where both go to one place.
      "--file-list=jobs/list.txt jobs/tree jobs/missing.c 2>&1",
  };
  ASSERT_EQ(run("REPORT --format=json jobs/tree/f5.c jobs/crowded.c > jobs/base.json").status, 1);
  for (const std::string format : {"gcc", "json", "sarif", "github", "gitlab", "checkstyle", "junit"}) {
    for (const std::string& args : runs) {
      if ((args != runs[0] || cli_harness::in_part) && format != "gcc" && format != "sarif") continue;
      SCOPED_TRACE(format + " " + args);
      outcome one = run("REPORT -j1 --format=" + format + " " + args);
      if (args.starts_with("--output")) one.out = slurp(path("jobs/out.txt"));
      EXPECT_NE(one.status, 0);
      for (const char* jobs : {"-j2", "-j8"}) {
        outcome many = run("REPORT " + std::string(jobs) + " --format=" + format + " " + args);
        if (args.starts_with("--output")) many.out = slurp(path("jobs/out.txt"));
        EXPECT_EQ(many.status, one.status) << jobs;
        EXPECT_EQ(many.err, one.err) << jobs;
        EXPECT_TRUE(many.out == one.out) << jobs << ": the reports differ";
      }
    }
  }
  // The failing read ends the run there, with one thread as with more.
  if (failing != list) {
    const outcome r = run("REPORT -j8 --file-list=jobs/failing.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.ends_with("Failed while parsing '/proc/self/mem'\n")) << r.err;
    EXPECT_EQ(r.out.find("crowded.c"), std::string::npos);
  }
}

}  // namespace
