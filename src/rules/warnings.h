#pragma once
/// The two findings the rules make, handed to the cursor's sink. The file
/// name, the line and its text come from the cursor at the moment of the
/// call, and the column from where it stands. The message texts live here:
/// every program that writes findings writes these texts.

#include <string_view>

namespace stylo {

/// A keyword against its parenthesis, with the cursor on the '(':
/// "(style) Devrait mettre un espace entre '<keyword>' et la parenthese. ..."
void report_keyword_warning(std::string_view keyword);

/// A probable misspelling, with the cursor on the '=' that begins `found`:
/// "'<found>' devrait probablement etre '<suggested>'; sinon, ..."
void report_operator_warning(std::string_view found, std::string_view suggested);

}  // namespace stylo
