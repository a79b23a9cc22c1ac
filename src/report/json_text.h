#pragma once
/// Text inside a JSON string. JSON must be valid UTF-8: a byte that is not
/// UTF-8 becomes U+FFFD (the file's `uri`, percent-encoded, keeps the
/// name's every byte), and control characters are escaped.

#include <string>
#include <string_view>

namespace stylo::report {

/// Appends `text` to `out` as the inside of a JSON string (no quotes).
void append_json_text(std::string& out, std::string_view text);

/// Appends `"text"`.
void append_json_string(std::string& out, std::string_view text);

}  // namespace stylo::report
