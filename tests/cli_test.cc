// End-to-end tests of the built program: arguments, usage, exit statuses,
// every message, list mode, text-mode input, odd file names, the merged
// order of warnings and errors, and failures of reading and writing.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::string stylo = STYLO_BINARY;

const std::string& work_dir() {
  static const std::string dir = [] {
    std::string pattern = ::testing::TempDir() + "stylo_cli_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return dir;
}

std::string path(const std::string& leaf) { return work_dir() + "/" + leaf; }

void write(const std::string& leaf, const std::string& bytes) {
  std::ofstream(path(leaf), std::ios::binary | std::ios::trunc) << bytes;
}

std::string slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct outcome {
  std::string out, err;
  int status;
};

// Runs a shell command in the work directory; "STYLO" in it stands for the
// program. Standard output and error are captured separately.
outcome run(const std::string& command) {
  std::string cmd = command;
  for (std::size_t at; (at = cmd.find("STYLO")) != std::string::npos;) cmd.replace(at, 5, quote(stylo));
  const std::string full = "cd " + quote(work_dir()) + " && { " + cmd + " ; } >" + quote(path(".out")) + " 2>" +
                           quote(path(".err"));
  const int raw = std::system(("/bin/bash -c " + quote(full)).c_str());
  return {slurp(path(".out")), slurp(path(".err")), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
}

std::string kw(const std::string& file, int line, const std::string& keyword) {
  return file + "(" + std::to_string(line) + "): warning: (style) Devrait mettre un espace entre '" + keyword +
         "' et la parenthese. [guide 80]  [QVS]\n";
}

std::string op(const std::string& file, int line, const std::string& found, const std::string& suggested) {
  return file + "(" + std::to_string(line) + "): warning: '" + found + "' devrait probablement etre '" + suggested +
         "'; sinon, ajoutez un espace entre.  [QVS]\n";
}

std::string usage(const std::string& program) {
  return "Usage: " + program + " <filename>\nor     " + program +
         " --file-list=<file>\n       (use '-' as <file> for standard input)\n";
}

bool have_strace() { return std::system("strace -V >/dev/null 2>&1") == 0; }

TEST(Cli, UsageOnWrongArgumentCount) {
  for (const std::string args : {"", "a.c b.c", "--file-list=- x"}) {
    const outcome r = run("STYLO " + args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    ASSERT_EQ(r.err.rfind(usage(stylo), 0), 0u) << r.err;
    EXPECT_TRUE(std::regex_match(r.err.substr(usage(stylo).size()),
                                 std::regex("Version \\d{4}\\.[A-Z][a-z]{2}\\.\\d\\d\\.\\d\\d\\.\\d\\d\n")))
        << r.err;
  }
  const outcome named = run("(exec -a 'my stylo' STYLO)");
  EXPECT_EQ(named.err.rfind(usage("my stylo"), 0), 0u) << named.err;
}

TEST(Cli, SingleFile) {
  write("a.c", "while(x) y=-1;\n");
  write("clean.c", "while (x) y -= 1;\n");
  const struct {
    std::string args;
    std::string out, err;
    int status;
  } cases[] = {
      {"a.c", kw("a.c", 1, "while") + op("a.c", 1, "=-", "-="), "", 0},
      {"clean.c", "", "", 0},
      {"missing.c", "", "Unable to open file 'missing.c'\n", 0},
      {"''", "", "Unable to open file ''\n", 0},
      {".", "", "Unable to open file '.'\n", 0},
      {"-", "", "Unable to open file '-'\n", 0},
      {"--file-list", "", "Unable to open file '--file-list'\n", 0},
      {"--file-list=", "", "Unable to open file list ''\n", 1},
      {"--file-list=missing", "", "Unable to open file list 'missing'\n", 1},
      {"--file-list=.", "", "Unable to open file list '.'\n", 1},
  };
  for (const auto& c : cases) {
    const outcome r = run("STYLO " + c.args);
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.status, c.status) << c.args;
  }
}

TEST(Cli, UnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: permissions do not stop reading";
  write("secret.c", "if(x)\n");
  chmod(path("secret.c").c_str(), 0);
  const outcome r = run("STYLO secret.c");
  EXPECT_EQ(r.err, "Unable to open file 'secret.c'\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, FileListInOrderWithMergedErrors) {
  write("one.c", "if(a)\n");
  write("my file (2).c", "x=+1;\n");
  write("list.txt", "one.c\nmissing.c\n\nmy file (2).c\r\none.c\n.\n   one.c\none.c");
  const std::string expected_out = kw("one.c", 1, "if") + op("my file (2).c", 1, "=+", "+=") + kw("one.c", 1, "if") +
                                   kw("one.c", 1, "if");
  const std::string expected_err =
      "Unable to open file 'missing.c'\nUnable to open file ''\nUnable to open file '.'\nUnable to open file '   one.c'\n";
  const outcome named = run("STYLO --file-list=list.txt");
  EXPECT_EQ(named.out, expected_out);
  EXPECT_EQ(named.err, expected_err);
  EXPECT_EQ(named.status, 0);
  const outcome piped = run("cat list.txt | STYLO --file-list=-");
  EXPECT_EQ(piped.out, expected_out);
  EXPECT_EQ(piped.err, expected_err);
  EXPECT_EQ(piped.status, 0);

  const outcome merged = run("STYLO --file-list=- < list.txt 2>&1");
  EXPECT_EQ(merged.out, kw("one.c", 1, "if") + "Unable to open file 'missing.c'\nUnable to open file ''\n" +
                            op("my file (2).c", 1, "=+", "+=") + kw("one.c", 1, "if") +
                            "Unable to open file '.'\nUnable to open file '   one.c'\n" + kw("one.c", 1, "if"));
}

TEST(Cli, EmptyListAndCtrlZInList) {
  write("one.c", "if(a)\n");
  write("empty.txt", "");
  write("z.txt", "one.c\r\n\x1Amissing.c\n");
  EXPECT_EQ(run("STYLO --file-list=empty.txt").out, "");
  EXPECT_EQ(run("STYLO --file-list=- < /dev/null").status, 0);
  const outcome r = run("STYLO --file-list=z.txt");
  EXPECT_EQ(r.out, kw("one.c", 1, "if"));
  EXPECT_EQ(r.err, "");
}

TEST(Cli, TextModeSourceFiles) {
  write("crlf.c", "a=-1;\r\nif(x)\r\n\r\nfor(;;)\r");
  write("ctrlz.c", "if(a)\x1A\nif(b)\n");
  EXPECT_EQ(run("STYLO crlf.c").out, op("crlf.c", 1, "=-", "-=") + kw("crlf.c", 2, "if") + kw("crlf.c", 4, "for"));
  EXPECT_EQ(run("STYLO ctrlz.c").out, kw("ctrlz.c", 1, "if"));
}

TEST(Cli, FifosAsSourceAndList) {
  mkfifo(path("src.fifo").c_str(), 0600);
  mkfifo(path("list.fifo").c_str(), 0600);
  const outcome r = run(
      "(printf 'if(a)\\n'; sleep 0.2; printf 'x=!y\\n') > src.fifo & "
      "(printf 'src.fifo\\n'; sleep 0.1; printf 'missing.c\\n') > list.fifo & "
      "STYLO --file-list=list.fifo; wait");
  EXPECT_EQ(r.out, kw("src.fifo", 1, "if") + op("src.fifo", 2, "=!", "!="));
  EXPECT_EQ(r.err, "Unable to open file 'missing.c'\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, HugeLine) {
  const outcome r = run("{ head -c 67108864 /dev/zero | tr '\\0' x; printf ' if(a)\\nb=-1'; } > huge.c && STYLO huge.c");
  EXPECT_EQ(r.out, kw("huge.c", 1, "if") + op("huge.c", 2, "=-", "-="));
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, WarningsThatCannotBeWrittenFail) {
  write("a.c", "if(a)\nif(b)\n");
  write("clean.c", "if (a)\n");
  const outcome full = run("STYLO a.c > /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Failed while writing warnings to standard output: No space left on device\n");
  EXPECT_EQ(run("STYLO clean.c > /dev/full").status, 0);
  const outcome closed = run("STYLO a.c >&-");
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "Failed while writing warnings to standard output: Bad file descriptor\n");
}

// Read errors are injected with strace into the reads of one file only
// (-P), counted from that file's first read.
TEST(Cli, ReadErrorsAreFailuresNotEnd) {
  if (!have_strace()) GTEST_SKIP() << "strace is not installed: read errors cannot be injected";
  // big.c takes five reads of 256 KiB and a sixth that finds the end; its
  // first line and its last line each give a warning.
  std::string big = "if(a)\n";
  for (int i = 0; i < 40000; ++i) big += "int v" + std::to_string(i) + " = 0; /* padding */\n";
  big += "b=-1;\n";
  write("big.c", big);
  write("list.txt", "big.c\nbig.c\n");
  const std::string first = kw("big.c", 1, "if");
  const std::string both = first + op("big.c", 40002, "=-", "-=");
  const std::string failed_big = "Failed while parsing 'big.c'\n";
  const std::string failed_list = "Failed while parsing 'list.txt'\n";
  const struct {
    const char* what;
    const char* traced;
    int when;
    std::string args, out, err;
  } cases[] = {
      {"first read of a file", "big.c", 1, "big.c", "", failed_big},
      {"middle read of a file", "big.c", 2, "big.c", first, failed_big},
      {"read that would find the end", "big.c", 6, "big.c", both, failed_big},
      {"first read of a named list", "list.txt", 1, "--file-list=list.txt", "", failed_list},
      {"list read after its names", "list.txt", 2, "--file-list=list.txt", both + both, failed_list},
      {"list on standard input", "list.txt", 1, "--file-list=- < list.txt", "", "Failed while parsing '-'\n"},
      {"file read inside a list", "big.c", 3, "--file-list=list.txt", first, failed_big},
  };
  for (const auto& c : cases) {
    const outcome r = run("strace -f -o /dev/null -e trace=read -e inject=read:error=EIO:when=" +
                          std::to_string(c.when) + " -P " + quote(path(c.traced)) + " STYLO " + c.args);
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
  // The same reads without a fault find everything.
  EXPECT_EQ(run("strace -f -o /dev/null -P " + quote(path("big.c")) + " STYLO big.c").out, both);
}

}  // namespace
