#pragma once
/// The findings the rules make, handed to a sink. The scan says where: the
/// file, the line and its text, and the byte in it; the message texts live
/// here, so every program that writes findings writes these texts.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rules/finding.h"
#include "rules/rule_catalog.h"

namespace stylo {

/// The line a finding is on, as the scan knows it.
struct finding_line {
  std::string_view file_name;
  std::uint64_t number;   ///< from 1
  std::string_view text;  ///< without its line end
  std::uint64_t offset;   ///< of the line's first byte in the file, for fixes
};

/// `keyword` written against the '(' at byte `paren` of the line (from 0):
/// "(style) Devrait mettre un espace entre '<keyword>' et la parenthese. ..."
void report_keyword_warning(finding_sink& sink, const finding_line& line, std::size_t paren, std::string_view keyword);

/// A probable misspelling `m` whose '=' is byte `at` of the line (from 0):
/// "'<found>' devrait probablement etre '<suggested>'; sinon, ..."
void report_operator_warning(finding_sink& sink, const finding_line& line, std::size_t at, const misspelling& m);

}  // namespace stylo
