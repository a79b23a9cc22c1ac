// Times the scan of one file with each scan the program has: the
// character-at-a-time reference and the fast scan with each set of byte
// searches this processor runs. Prints MB/s for each, best of five.
//
//   build-bench/fast_scan_perftest [FILE]
//
// Without FILE it scans 64 MB of generated C-like text.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "driver/warning_lines.h"
#include "scanner/byte_search.h"
#include "scanner/fast_scan.h"
#include "scanner/file_scan.h"
#include "scanner/source_cursor.h"

namespace {

std::string generated_text() {
  const char* lines[] = {
      "static int ring_push(struct ring *r, char c)\n", "{\n", "\tif (r->size == (int)sizeof r->data)\n",
      "\t\treturn -1;      /* full: the caller retries */\n", "\tr->data[r->tail] = c;\n",
      "\tpr_debug(\"push %d at %d\\n\", c, r->tail);\n", "#define RING_NEXT(i) (((i) + 1) % RING_SIZE)\n",
      "/*\n * The ring is a power of two long, so that the modulo is a mask.\n */\n", "}\n"};
  std::string text;
  while (text.size() < (64u << 20)) {
    for (const char* line : lines) text += line;
  }
  return text;
}

template <typename scan>
double megabytes_per_second(const std::string& path, double size, scan&& run) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    static stylo::cursor_state cursor;
    if (stylo::open_source(cursor, path) != stylo::open_status::opened) std::exit(1);
    stylo::reset_cursor(cursor);
    static stylo::warning_line_sink warning_lines;
    cursor.sink = &warning_lines;
    run(cursor);
    stylo::close_source(cursor);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return size / best / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "/tmp/stylo_perftest.c";
  if (argc <= 1) std::ofstream(path, std::ios::binary) << generated_text();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const double size = static_cast<double>(in.tellg());
  // Warnings are part of the work but not of the report.
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);

  std::fprintf(stderr, "%-22s %8.0f MB/s\n", "plain scan", megabytes_per_second(path, size, [](stylo::cursor_state& c) { stylo::scan_file_plain(c); }));
  std::fprintf(stderr, "%-22s %8.0f MB/s\n", "fast scan, portable", megabytes_per_second(path, size, [](stylo::cursor_state& c) {
    stylo::scan_file_fast_with(c, stylo::byte_searches::portable);
  }));
#if defined(__SSE2__)
  std::fprintf(stderr, "%-22s %8.0f MB/s\n", "fast scan, SSE2", megabytes_per_second(path, size, [](stylo::cursor_state& c) {
    stylo::scan_file_fast_with(c, stylo::byte_searches::sse2);
  }));
#endif
#if defined(STYLO_HAVE_X86_SEARCHES)
  if (stylo::avx2_available()) {
    std::fprintf(stderr, "%-22s %8.0f MB/s\n", "fast scan, AVX2", megabytes_per_second(path, size, [](stylo::cursor_state& c) {
      stylo::scan_file_fast_with(c, stylo::byte_searches::avx2);
    }));
  }
  if (stylo::avx512_available()) {
    std::fprintf(stderr, "%-22s %8.0f MB/s\n", "fast scan, AVX-512", megabytes_per_second(path, size, [](stylo::cursor_state& c) {
      stylo::scan_file_fast_with(c, stylo::byte_searches::avx512);
    }));
  }
#endif
  return 0;
}
