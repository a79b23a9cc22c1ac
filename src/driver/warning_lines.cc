#include "driver/warning_lines.h"

#include <charconv>
#include <string>

#include "driver/console_output.h"

namespace stylo {

void warning_line_sink::take(const finding& found) {
  static std::string line;  // reused: warnings allocate nothing once warm
  char number[24];
  const auto [number_end, ec] = std::to_chars(number, number + sizeof number, found.line);
  (void)ec;
  line.clear();
  line += found.file_name;
  line += '(';
  line.append(number, number_end);
  line += "): warning: ";
  line += found.message;
  write_output_line(line);
}

}  // namespace stylo
