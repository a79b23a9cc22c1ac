#include "rules/warnings.h"

#include <charconv>
#include <string>

#include "scanner/console_output.h"
#include "scanner/source_cursor.h"

namespace stylo {
namespace {

void write_warning(std::string_view head, std::string_view word, std::string_view tail) {
  static std::string line;  // reused: warnings allocate nothing once warm
  char number[24];
  const auto [number_end, ec] = std::to_chars(number, number + sizeof number, source_cursor.line_number);
  (void)ec;
  line.clear();
  line += source_cursor.file_name;
  line += '(';
  line.append(number, number_end);
  line += head;
  line += word;
  line += tail;
  write_output_line(line);
}

}  // namespace

void report_keyword_warning(std::string_view keyword) {
  write_warning("): warning: (style) Devrait mettre un espace entre '", keyword,
                "' et la parenthese. [guide 80]  [QVS]");
}

void report_operator_warning(std::string_view found, std::string_view suggested) {
  static std::string middle;
  middle.assign(found);
  middle += "' devrait probablement etre '";
  middle += suggested;
  write_warning("): warning: '", middle, "'; sinon, ajoutez un espace entre.  [QVS]");
}

}  // namespace stylo
