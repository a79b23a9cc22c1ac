#pragma once
/// A message for the user: one line on standard error, in the system's
/// line ends, written at once (it is never held back behind the report).

#include <string>
#include <string_view>

#include "platform/text_output.h"

namespace stylo::report {

inline void write_error_line(const std::string& text) {
  platform::write_all(platform::output_stream::standard_error, text + std::string(platform::line_end));
}

/// A name as messages show it: in single quotes.
inline std::string quoted(std::string_view name) {
  std::string q = "'";
  q += name;
  q += '\'';
  return q;
}

}  // namespace stylo::report
