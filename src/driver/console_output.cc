#include "driver/console_output.h"

#include <cstdlib>
#include <string>

#include "platform/text_output.h"

namespace stylo {

void write_error_line(std::initializer_list<std::string_view> pieces) {
  static std::string line;
  line.clear();
  for (std::string_view piece : pieces) line += piece;
  line += platform::line_end;
  (void)platform::write_all(platform::output_stream::standard_error, line);
}

void write_output_line(std::string& line) {
  line += platform::line_end;
  if (const int error = platform::write_all(platform::output_stream::standard_output, line)) {
    write_error_line({"Failed while writing warnings to standard output: ", platform::describe_error(error)});
    std::exit(1);
  }
}

void fail_parsing(std::string_view name) {
  write_error_line({"Failed while parsing '", name, "'"});
  std::exit(1);
}

}  // namespace stylo
