#include "rules/warnings.h"

#include <optional>

namespace stylo {
namespace {

// Messages are built in a fixed buffer: a keyword has at most six letters
// and an operator three characters, so no message needs more, and making one
// allocates nothing and cannot fail.
class message_text {
 public:
  message_text& operator<<(std::string_view piece) {
    for (char ch : piece) {
      if (length_ < sizeof text_) text_[length_++] = ch;
    }
    return *this;
  }
  std::string_view view() const { return {text_, length_}; }

 private:
  char text_[160];
  std::size_t length_ = 0;
};

}  // namespace

void report_keyword_warning(finding_sink& sink, const finding_line& line, std::size_t paren, std::string_view keyword) {
  message_text message;
  message << "(style) Devrait mettre un espace entre '" << keyword << "' et la parenthese. [guide 80]  [QVS]";
  // The finding is the keyword and the parenthesis against it. What was
  // meant is never in doubt: a blank before the parenthesis. This and the
  // operator's none below are the only places that say which findings an
  // automatic fix may remove.
  const std::size_t first = paren - keyword.size();
  sink.take({rule_id::keyword_space, line.file_name, line.number, first + 1, paren + 2, line.text, keyword, {},
             message.view(), fix_edit{line.offset + paren, 0, " "}, line.offset});
}

void report_operator_warning(finding_sink& sink, const finding_line& line, std::size_t at, const misspelling& m) {
  message_text message;
  message << "'" << m.found << "' devrait probablement etre '" << m.suggested
          << "'; sinon, ajoutez un espace entre.  [QVS]";
  // Whether "x=-1" meant "x = -1" or "x -= 1" only its author knows: no
  // automatic fix.
  sink.take({rule_id::reversed_operator, line.file_name, line.number, at + 1, at + 1 + m.found.size(), line.text,
             m.found, m.suggested, message.view(), std::nullopt, line.offset});
}

}  // namespace stylo
