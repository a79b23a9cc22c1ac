#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>

#include <gtest/gtest.h>

#include "driver/warning_lines.h"
#include "scanner/byte_search.h"
#include "scanner/fast_scan.h"
#include "core/check.h"
#include "scanner/file_scan.h"
#include "scanner/source_cursor.h"

namespace stylo_test {
namespace {

const std::string& temp_dir() {
  static const std::string dir = [] {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string candidate = ::testing::TempDir() + "stylo_unit_" + std::to_string(random());
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) return candidate;
    }
    std::abort();
  }();
  return dir;
}

// Takes `prefix` off the front of `rest`, if it is there.
bool take(std::string_view& rest, std::string_view prefix) {
  if (!rest.starts_with(prefix)) return false;
  rest.remove_prefix(prefix.size());
  return true;
}

// Takes the bytes `allowed` from the front of `rest` into `run`: at least one.
bool take_run(std::string_view& rest, bool (*allowed)(char), std::string_view& run) {
  std::size_t n = 0;
  while (n < rest.size() && allowed(rest[n])) ++n;
  run = rest.substr(0, n);
  rest.remove_prefix(n);
  return n > 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_word(char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_operator(char c) { return c == '=' || c == '!' || c == '+' || c == '-'; }

// The finding of one warning line, after its file name, as "<line>:<keyword>"
// or "<line>:<found operator>"; empty unless the line is exactly one of the
// two warnings. Matched by hand, not with std::regex: the tests that compare
// the scans parse hundreds of thousands of lines, and at -O0 under the
// sanitizers the regex took more than half of their time.
std::string parse_finding(std::string_view rest) {
  std::string_view number, subject;
  if (!take(rest, "(") || !take_run(rest, is_digit, number) || !take(rest, "): warning: ")) return {};
  if (take(rest, "(style) Devrait mettre un espace entre '")) {
    if (!take_run(rest, is_word, subject) || rest != "' et la parenthese. [guide 80]  [QVS]") return {};
  } else if (!take(rest, "'") || !take_run(rest, is_operator, subject) ||
             !take(rest, "' devrait probablement etre '") || rest.size() < 2 ||
             std::string_view("!+-").find(rest[0]) == std::string_view::npos || rest[1] != '=' ||
             rest.substr(2) != "'; sinon, ajoutez un espace entre.  [QVS]") {
    return {};
  }
  return std::string(number) + ":" + std::string(subject);
}

std::vector<std::string> parse_findings(const std::string& path, const std::string& output) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < output.size()) {
    const std::size_t lf = output.find('\n', at);
    EXPECT_NE(lf, std::string::npos) << "unterminated warning line";
    if (lf == std::string::npos) break;
    const std::string line = output.substr(at, lf - at);
    at = lf + 1;
    EXPECT_EQ(line.rfind(path, 0), 0u) << line;
    std::string found = line.starts_with(path) ? parse_finding(std::string_view(line).substr(path.size())) : "";
    if (!found.empty()) {
      out.push_back(std::move(found));
    } else {
      ADD_FAILURE() << "malformed warning line: " << line;
    }
  }
  return out;
}

// Writes the warning lines, and keeps where each finding is: its line,
// columns, subject, the offset of its fix in the file and the line's text,
// which the lines do not show.
class place_recorder final : public stylo::finding_sink {
 public:
  void take(const stylo::finding& found) override {
    lines_.take(found);
    places += std::to_string(found.line) + ":" + std::to_string(found.column) + "-" +
              std::to_string(found.end_column) + ":" + std::string(found.subject) + ":" +
              std::string(found.suggested) + ":" + (found.fix ? "fix@" + std::to_string(found.fix->offset) : "") + "|" +
              std::string(found.line_text) + "\n";
  }
  std::string places;

 private:
  stylo::warning_line_sink lines_;
};

place_recorder recorder;
stylo::cursor_state cursor;
stylo::checker checks;

// GoogleTest reads captured output back in text mode, so on Windows the
// CR LF line ends come back as line feeds here; the end-to-end tests see
// the program's real bytes.
std::string run_check(std::string_view bytes, scan_kind scan) {
  const std::string path = temp_path("scan.c");
  write_file(path, bytes);
  ::testing::internal::CaptureStdout();
  recorder.places.clear();
  if (stylo::open_source(cursor, path) == stylo::open_status::opened) {
    stylo::reset_cursor(cursor);
    cursor.sink = &recorder;
    switch (scan) {
      case scan_kind::plain: stylo::scan_file_plain(cursor); break;
      case scan_kind::fast: stylo::scan_file_fast(cursor); break;
      case scan_kind::fast_portable: stylo::scan_file_fast_with(cursor, stylo::byte_searches::portable); break;
      case scan_kind::fast_sse2: stylo::scan_file_fast_with(cursor, stylo::byte_searches::sse2); break;
      case scan_kind::fast_avx2: stylo::scan_file_fast_with(cursor, stylo::byte_searches::avx2); break;
      case scan_kind::fast_avx512: stylo::scan_file_fast_with(cursor, stylo::byte_searches::avx512); break;
    }
    cursor.sink = nullptr;
    stylo::close_source(cursor);
  }
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace

std::string temp_path(std::string_view leaf) { return temp_dir() + "/" + std::string(leaf); }

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

lines_result read_all(stylo::platform::input_handle input) {
  static stylo::line_reader reader;  // reused, as in the program: buffers survive across inputs
  stylo::open_input(reader, input, true);
  lines_result result{{}, stylo::read_status::line};
  std::string_view line;
  while ((result.last = stylo::read_line(reader, line)) == stylo::read_status::line) result.lines.emplace_back(line);
  stylo::close_input(reader);
  return result;
}

void recording_sink::take(const stylo::finding& found_now) {
  found.push_back(std::to_string(found_now.line) + ":" + std::to_string(found_now.column) + "-" +
                  std::to_string(found_now.end_column) + ":" + std::string(found_now.subject) + ":" +
                  std::string(found_now.suggested) + "|" + std::string(found_now.line_text));
}

std::string check_text(std::string_view bytes, stylo::scan_method method) {
  const std::string path = temp_path("scan.c");
  write_file(path, bytes);
  ::testing::internal::CaptureStdout();
  stylo::warning_line_sink lines;
  stylo::checker with(method);
  EXPECT_EQ(with.check_file(path, lines), stylo::check_outcome::checked);
  return ::testing::internal::GetCapturedStdout();
}

std::vector<std::string> findings_of(scan_kind scan, std::string_view bytes) {
  return parse_findings(temp_path("scan.c"), run_check(bytes, scan));
}

int rounds(int full) {
  const char* percent = std::getenv("STYLO_TEST_ROUNDS_PERCENT");
  if (percent == nullptr || *percent == '\0') return full;
  const long share = std::strtol(percent, nullptr, 10);
  if (share <= 0 || share >= 100) return full;
  return static_cast<int>(std::max(1L, full * share / 100));
}

bool runs_in_part() { return rounds(100) < 100; }

std::vector<scan_kind> fast_scans() {
  std::vector<scan_kind> scans = {scan_kind::plain, scan_kind::fast, scan_kind::fast_portable};
#if defined(__SSE2__)
  scans.push_back(scan_kind::fast_sse2);
#endif
#if defined(STYLO_HAVE_X86_SEARCHES)
  if (stylo::avx2_available()) scans.push_back(scan_kind::fast_avx2);
  if (stylo::avx512_available()) scans.push_back(scan_kind::fast_avx512);
#endif
  return scans;
}

std::string places_of(scan_kind scan, std::string_view bytes) {
  run_check(bytes, scan);
  return recorder.places;
}

const std::string& last_places() { return recorder.places; }

std::string places_in_memory(std::string_view bytes) {
  recorder.places.clear();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(checks.check_text("memory.c", bytes, recorder), stylo::check_outcome::checked);
  ::testing::internal::GetCapturedStdout();
  return recorder.places;
}

void expect_findings(std::string_view bytes, const std::vector<std::string>& expected, std::string_view label) {
  static const char* const names[] = {"plain", "fast", "fast portable", "fast SSE2", "fast AVX2", "fast AVX-512"};
  const std::string plain_places = places_of(scan_kind::plain, bytes);
  for (scan_kind scan : fast_scans()) {
    EXPECT_EQ(findings_of(scan, bytes), expected) << label << " (" << names[static_cast<int>(scan)] << " scan)";
    // Every scan also puts each finding at the same columns of the same line.
    EXPECT_EQ(recorder.places, plain_places) << label << " (" << names[static_cast<int>(scan)] << " scan)";
  }
  EXPECT_EQ(places_in_memory(bytes), plain_places) << label << " (a text in memory)";
}

}  // namespace stylo_test
