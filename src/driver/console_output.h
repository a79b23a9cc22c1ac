#pragma once
/// Writing whole lines to standard output and standard error.
///
/// Every line goes out in a single write as soon as it is complete, which
/// is what keeps warnings and error messages in the order they were produced
/// when both streams go to one pipe. Lines end as text lines end on the
/// system: a line feed, or a carriage return and a line feed on Windows.

#include <initializer_list>
#include <string>
#include <string_view>

namespace stylo {

/// Writes the pieces, joined, then a line end, to standard error. A failure
/// to write an error message has nowhere to be reported and is ignored.
void write_error_line(std::initializer_list<std::string_view> pieces);

/// Appends the line end to `line` and writes it to standard output. If it
/// cannot be written, says so on standard error and ends the run with status
/// 1: a check whose findings were lost must not pass.
void write_output_line(std::string& line);

/// Writes "Failed while parsing '" name "'" and ends the run with status 1.
[[noreturn]] void fail_parsing(std::string_view name);

}  // namespace stylo
