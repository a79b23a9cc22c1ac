#pragma once
/// Writing to standard output and standard error, the way the system
/// provides.

#include <string>
#include <string_view>

namespace stylo::platform {

enum class output_stream { standard_output, standard_error };

/// The end of a line of text on this system: "\n", or "\r\n" on Windows.
/// Every line stylo writes ends with it, to a terminal, a pipe or a file.
extern const std::string_view line_end;

/// `text` with each "\n" made `line_end`: text for a person, in the
/// system's lines (a report itself is data, the same bytes everywhere).
inline std::string in_system_lines(std::string_view text) {
  std::string lines;
  for (const char c : text) {
    if (c == '\n') {
      lines += line_end;
    } else {
      lines += c;
    }
  }
  return lines;
}

/// Writes all of `bytes` (whole lines, each ended by `line_end`) to
/// `stream`, resuming after short writes and interruptions and waiting
/// while the output has no room. Returns 0, or the system's code for the
/// failure. Where the stream is a Windows console, the UTF-8 text is shown
/// as the characters it encodes.
int write_all(output_stream stream, std::string_view bytes);

/// The system's one-line description of a code from `write_all`.
std::string describe_error(int code);

}  // namespace stylo::platform
