#pragma once
// Helpers shared by the fuzz targets: in-memory files, capture of what the
// checker writes to a descriptor, delivery of input in small reads, and the
// exact forms of the lines stylo may write.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stylo_fuzz {

/// Prints `what` and the offending text to the real standard error, then
/// aborts, so that libFuzzer records the input as a finding.
[[noreturn]] void fail(std::string_view what, std::string_view detail);

/// An anonymous in-memory file, reused from input to input.
struct memory_file {
  int fd = -1;
  explicit memory_file(const char* name);
  void assign(std::string_view bytes);  ///< replaces the content, offset 0
  std::string content() const;          ///< the whole content
  std::string path() const;             ///< a name open(2) can reopen it by
};

/// Runs `body` with descriptor `target` (1 or 2) sent to an in-memory file
/// and returns what was written there. Sanitizer reports keep going to the
/// real standard error.
template <typename Body>
std::string capture(int target, Body body);

/// A descriptor from which read(2) returns `bytes` in the pieces given by
/// `cuts` (each read returns at most one piece), then the end of input.
/// Owned by the caller.
int split_input(std::string_view bytes, const std::vector<std::size_t>& cuts);

/// Piece lengths from 1 to 64, drawn from `seed`; at most 64 pieces, the
/// last one taking whatever is left.
std::vector<std::size_t> pieces_for(std::string_view bytes, std::uint32_t seed);

/// The lines of a text as stylo reads it: a 0x1A ends it, a carriage return
/// directly before a line feed is dropped, and a last line without line feed
/// still counts.
std::vector<std::string_view> text_lines(std::string_view bytes);

/// Checks that `output` is whole warning lines, each for `file` with a line
/// number from 1 to `line_count`, in one of the eight exact forms. Returns
/// the number of lines.
std::size_t check_warning_lines(std::string_view output, std::string_view file, std::size_t line_count);

// Implementation of capture: a template, so it lives here.
int begin_capture(int target);
std::string end_capture(int target, int saved);

template <typename Body>
std::string capture(int target, Body body) {
  const int saved = begin_capture(target);
  body();
  return end_capture(target, saved);
}

}  // namespace stylo_fuzz
