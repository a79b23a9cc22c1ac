#include "rules/fixes.h"

namespace stylo {

std::string apply_fixes(std::string_view original, std::span<const fix_edit> edits) {
  std::size_t grows = 0;
  for (const fix_edit& edit : edits) grows += edit.text.size();
  std::string fixed;
  fixed.reserve(original.size() + grows);
  std::size_t kept_to = 0;  // the bytes of `original` before it are in `fixed`
  for (const fix_edit& edit : edits) {
    if (edit.offset < kept_to || edit.offset > original.size() || edit.length > original.size() - edit.offset) {
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(edit.offset);
    fixed.append(original.substr(kept_to, at - kept_to));
    fixed.append(edit.text);
    kept_to = at + edit.length;
  }
  fixed.append(original.substr(kept_to));
  return fixed;
}

}  // namespace stylo
