#include "lsp/code_actions.h"

#include <algorithm>
#include <span>

#include "lsp/diagnostics.h"

namespace stylo::lsp {
namespace {

bool kind_wanted(std::string_view kind, const std::vector<std::string>& only) {
  if (only.empty()) return true;
  return std::any_of(only.begin(), only.end(), [&](const std::string& wanted) {
    return kind == wanted || (kind.size() > wanted.size() && kind.substr(0, wanted.size()) == wanted &&
                              kind[wanted.size()] == '.');
  });
}

// The edits as whole lines, each from the start of its first line to the
// start of the line after its last: no column in either. A last line
// without a line end has no line after it; its end is given as a character
// count no client can find short of the line's end (its length in bytes,
// at least its length in any unit), which the protocol takes as the end.
json text_edits(std::string_view text, std::span<const byte_edit> edits, position_walker& positions) {
  json out = json::array();
  for (const byte_edit& line : whole_line_edits(text, edits)) {
    const position start = positions.at(line.begin);
    position end = positions.at(line.end);
    const line_span last = line_at(text, line.end);
    if (line.end == text.size() && last.next == last.end && last.begin < line.end) {
      end = {positions.at(last.begin).line, last.end - last.begin};
    }
    out.push_back({{"range",
                    {{"start", {{"line", start.line}, {"character", 0}}},
                     {"end", {{"line", end.line}, {"character", end.character}}}}},
                   {"newText", line.text}});
  }
  return out;
}

json workspace_edit(const document& doc, json edits, bool document_changes) {
  if (document_changes) {
    return {{"documentChanges",
             json::array({{{"textDocument", {{"uri", doc.uri}, {"version", doc.version}}}, {"edits", std::move(edits)}}})}};
  }
  return {{"changes", {{doc.uri, std::move(edits)}}}};
}

}  // namespace

std::vector<fix> fixes_for(const owned_finding& found) {
  std::vector<fix> fixes;
  for (const finding_fix& f : found.fixes) {
    const auto at = static_cast<std::size_t>(f.edit.offset);
    fixes.push_back({fix_title(found, f), f.certainty == fix_certainty::certain,
                     {at, at + f.edit.length, std::string(f.edit.text)}});
  }
  return fixes;
}

json code_actions(document& doc, const action_request& request, position_encoding encoding, bool document_changes) {
  json actions = json::array();
  const std::vector<owned_finding>& findings = findings_of(doc);
  if (kind_wanted("quickfix", request.only)) {
    // The whole lines the range touches.
    const std::size_t begin = line_at(doc.text, request.begin).begin;
    const std::size_t end = line_at(doc.text, std::max(request.begin, request.end)).end;
    position_walker positions(doc.text, encoding), edit_positions(doc.text, encoding);
    for (const owned_finding& found : findings) {
      if (found.end < begin) continue;
      if (found.begin > end) break;
      const json diagnostic = diagnostic_of(found, positions);
      for (const fix& f : fixes_for(found)) {
        json action = {{"title", f.title},
                       {"kind", "quickfix"},
                       {"diagnostics", json::array({diagnostic})},
                       {"edit", workspace_edit(doc, text_edits(doc.text, std::span(&f.edit, 1), edit_positions),
                                               document_changes)}};
        if (f.preferred) action["isPreferred"] = true;
        actions.push_back(std::move(action));
      }
    }
  }
  if (kind_wanted(fix_all_kind, request.only)) {
    // The same fixes as stylo-report's: the core's, every one of them.
    std::vector<byte_edit> edits;
    for (const owned_finding& found : findings) {
      const finding_fix* certain = found.certain_fix();
      if (certain == nullptr) continue;
      const auto at = static_cast<std::size_t>(certain->edit.offset);
      edits.push_back({at, at + certain->edit.length, std::string(certain->edit.text)});
    }
    if (!edits.empty()) {
      position_walker positions(doc.text, encoding);
      actions.push_back({{"title", "Fix all stylo keyword findings"},
                         {"kind", fix_all_kind},
                         {"edit", workspace_edit(doc, text_edits(doc.text, edits, positions), document_changes)}});
    }
  }
  return actions;
}

}  // namespace stylo::lsp
