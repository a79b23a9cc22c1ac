#pragma once
/// Applying the fixes that findings carry to the text they were found in.

#include <span>
#include <string>
#include <string_view>

#include "rules/finding.h"

namespace stylo {

/// `original` with each edit made. The edits are in ascending order of
/// offset and do not overlap (as the findings of one text give them); every
/// byte no edit covers is kept exactly as it is, including the bytes after
/// a 0x1A, which the scan never reads. An edit that does not fit in the text
/// (an offset past its end, or one out of order) is left out rather than
/// trusted: it can only come from findings on another text.
std::string apply_fixes(std::string_view original, std::span<const fix_edit> edits);

}  // namespace stylo
