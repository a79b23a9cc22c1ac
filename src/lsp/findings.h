#pragma once
/// stylo's findings on a document held in memory: the rules' own kept
/// findings (rules/owned_finding.h), placed at byte offsets of the
/// document's text, with every fix the rules know for each.

#include <string_view>
#include <vector>

#include "core/check.h"
#include "rules/owned_finding.h"

namespace stylo::lsp {

/// The findings stylo gives on a file holding exactly `text`, in stylo's
/// order. False when the check could not have the memory it needed: the
/// findings found before that are kept.
/// `with` is the caller's checker, reused from text to text.
bool find_in(checker& with, std::string_view text, std::vector<owned_finding>& findings);

}  // namespace stylo::lsp
