#include "lsp/line_edits.h"

#include <algorithm>

namespace stylo::lsp {

line_span line_at(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t begin = offset;
  while (begin > 0 && text[begin - 1] != '\n' && text[begin - 1] != '\r') --begin;
  std::size_t end = offset;
  while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
  std::size_t next = end;
  if (next < text.size()) next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
  return {begin, end, next};
}

std::vector<byte_edit> whole_line_edits(std::string_view text, std::span<const byte_edit> edits) {
  std::vector<byte_edit> lines;
  std::size_t copied_to = 0;  // the bytes of `text` before it are in the last line edit
  for (const byte_edit& edit : edits) {
    const std::size_t begin = std::min(edit.begin, text.size());
    const std::size_t end = std::clamp(edit.end, begin, text.size());
    // Out of order, which no caller gives: left out rather than misplaced.
    if (!lines.empty() && begin < copied_to) continue;
    const std::size_t first = line_at(text, begin).begin;
    if (lines.empty() || first >= lines.back().end) {
      // Not on the lines of the edit before: those are done.
      if (!lines.empty()) lines.back().text.append(text.substr(copied_to, lines.back().end - copied_to));
      lines.push_back({first, first, {}});
      copied_to = first;
    }
    byte_edit& line = lines.back();
    line.end = std::max(line.end, line_at(text, end).next);
    line.text.append(text.substr(copied_to, begin - copied_to));
    line.text.append(edit.text);
    copied_to = end;
  }
  if (!lines.empty()) lines.back().text.append(text.substr(copied_to, lines.back().end - copied_to));
  return lines;
}

}  // namespace stylo::lsp
