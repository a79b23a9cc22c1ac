#pragma once
/// The assignment-operator rule: "=!", "=+" and "=-" are probably misspelt
/// "!=", "+=" and "-=", and "==!" a misspelt "!=".

#include <string_view>

namespace stylo {

/// Examines the character under the cursor. Moves the cursor only after
/// "==!", onto the second '=', so that the "=!" inside it is not reported a
/// second time.
void check_assignment_operator();

/// An operator the rule reports, and the one it suggests instead.
struct misspelling {
  std::string_view found;
  std::string_view suggested;
};

/// The misspelling an '=' makes with the byte after it, if any (`found` is
/// empty otherwise). "==!" is looked for apart: it needs two bytes ahead.
constexpr misspelling misspelling_after(char next) {
  switch (next) {
    case '!': return {"=!", "!="};
    case '+': return {"=+", "+="};
    case '-': return {"=-", "-="};
    default: return {};
  }
}

inline constexpr misspelling double_equals_bang{"==!", "!="};

}  // namespace stylo
