#pragma once
/// Text inside XML 1.0, in an attribute value or between tags. XML cannot
/// hold most control characters, nor U+FFFE and U+FFFF, even as character
/// references: these, and bytes that are not UTF-8, become U+FFFD. Tab,
/// line feed and carriage return are written as character references, so
/// that a parser gives them back as they were.

#include <string>
#include <string_view>

namespace stylo::report {

/// Appends `text` to `out` for a double-quoted attribute value or for
/// element content.
void append_xml_text(std::string& out, std::string_view text);

}  // namespace stylo::report
