#include "rules/warnings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "rules/finding.h"
#include "scanner/source_cursor.h"

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

void hand_over(rule_id rule, std::size_t first, std::size_t length, std::string_view subject,
               std::string_view suggested, std::string_view message, std::optional<fix_edit> fix) {
  const cursor_state& c = source_cursor;
  if (c.sink == nullptr) return;
  c.sink->take({rule, c.file_name, c.line_number, first + 1, first + 1 + length, c.line_buffer, subject, suggested,
                message, fix});
}

// The offset in the file of the byte under the cursor.
std::uint64_t offset_at_cursor() {
  const cursor_state& c = source_cursor;
  return input_offset(c.input, c.line_buffer.data() + c.column);
}

}  // namespace

void report_keyword_warning(std::string_view keyword) {
  message_text message;
  message << "(style) Devrait mettre un espace entre '" << keyword << "' et la parenthese. [guide 80]  [QVS]";
  // The finding is the keyword and the parenthesis against it. What was
  // meant is never in doubt: a blank before the parenthesis. This and the
  // operator's none below are the only places that say which findings an
  // automatic fix may remove.
  hand_over(rule_id::keyword_space, source_cursor.column - keyword.size(), keyword.size() + 1, keyword, {},
            message.view(), fix_edit{offset_at_cursor(), 0, " "});
}

void report_operator_warning(std::string_view found, std::string_view suggested) {
  message_text message;
  message << "'" << found << "' devrait probablement etre '" << suggested << "'; sinon, ajoutez un espace entre.  [QVS]";
  // Whether "x=-1" meant "x = -1" or "x -= 1" only its author knows: no
  // automatic fix.
  hand_over(rule_id::reversed_operator, source_cursor.column, found.size(), found, suggested, message.view(),
            std::nullopt);
}

}  // namespace stylo
