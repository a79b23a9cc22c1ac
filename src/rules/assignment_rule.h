#pragma once
/// The assignment-operator rule: "=!", "=+" and "=-" are probably misspelt
/// "!=", "+=" and "-=", and "==!" a misspelt "!=".

#include <string_view>

#include "rules/rule_catalog.h"

namespace stylo {

/// The misspelling an '=' makes with the two bytes after it, if any
/// (`found` is empty otherwise). The scan passes '\n' for a byte past the
/// end of the line, so an operator split over two lines is never one.
constexpr misspelling misspelling_after(char next, char after_next) {
  for (const misspelling& m : reversed_operators) {
    if (m.found[1] == next && (m.found.size() == 2 || m.found[2] == after_next)) return m;
  }
  return {};
}

}  // namespace stylo
