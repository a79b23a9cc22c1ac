#pragma once
/// stylo's findings on a document held in memory, placed at byte offsets of
/// the document's text.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "rules/finding.h"

namespace stylo::lsp {

struct located_finding {
  rule_id rule;
  std::size_t begin;  ///< byte offset of the finding's first byte in the document
  std::size_t end;    ///< one past its last byte
  std::string_view subject;    ///< "if", "=-", "==!"
  std::string_view suggested;  ///< "-=", "!=", or empty for a keyword
  std::string_view message;    ///< the text stylo writes after "warning: "
  /// The core's fix, where it has one, its offset one of the document's.
  std::optional<fix_edit> fix;
};

/// The findings stylo gives on a file holding exactly `text`, in stylo's
/// order. False when the check could not have the memory it needed: the
/// findings found before that are kept.
bool find_in(std::string_view text, std::vector<located_finding>& findings);

}  // namespace stylo::lsp
