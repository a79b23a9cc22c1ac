#pragma once
/// The warning lines, in the form compilers use:
///   file(line): warning: message
/// The file name and line number come from the cursor at the moment of the
/// call. Each line is written and flushed at once.

#include <string_view>

namespace stylo {

/// "(style) Devrait mettre un espace entre '<keyword>' et la parenthese. ..."
void report_keyword_warning(std::string_view keyword);

/// "'<found>' devrait probablement etre '<suggested>'; sinon, ..."
void report_operator_warning(std::string_view found, std::string_view suggested);

}  // namespace stylo
