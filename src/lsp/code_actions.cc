#include "lsp/code_actions.h"

#include <algorithm>

#include "lsp/diagnostics.h"
#include "rules/rule_catalog.h"

namespace stylo::lsp {
namespace {

bool closes_another_operator(char before) { return std::string_view("!<>=+-*/%&|^").find(before) != std::string_view::npos; }

bool would_make_a_finding(char after) { return std::string_view("=!+-").find(after) != std::string_view::npos; }

bool kind_wanted(std::string_view kind, const std::vector<std::string>& only) {
  if (only.empty()) return true;
  return std::any_of(only.begin(), only.end(), [&](const std::string& wanted) {
    return kind == wanted || (kind.size() > wanted.size() && kind.substr(0, wanted.size()) == wanted &&
                              kind[wanted.size()] == '.');
  });
}

json text_edit(const byte_edit& edit, position_walker& positions) {
  const position start = positions.at(edit.begin);
  const position end = positions.at(edit.end);
  return {{"range",
           {{"start", {{"line", start.line}, {"character", start.character}}},
            {"end", {{"line", end.line}, {"character", end.character}}}}},
          {"newText", edit.text}};
}

json workspace_edit(const document& doc, json edits, bool document_changes) {
  if (document_changes) {
    return {{"documentChanges",
             json::array({{{"textDocument", {{"uri", doc.uri}, {"version", doc.version}}}, {"edits", std::move(edits)}}})}};
  }
  return {{"changes", {{doc.uri, std::move(edits)}}}};
}

}  // namespace

std::vector<fix> fixes_for(std::string_view text, const located_finding& found) {
  std::vector<fix> fixes;
  const std::string subject(found.subject);
  const rule_info& rule = info_of(found.rule);
  if (!rule.keywords.empty()) {
    const std::size_t after = found.begin + found.subject.size();
    fixes.push_back({"Insert a space after '" + subject + "'", true, {after, after, " "}});
    return fixes;
  }
  // Only the rules' operators have the fixes below.
  if (rule.operators.empty()) return fixes;
  // The operator: "=" and one sign, or "==" and "!". The blank goes before
  // its last sign.
  const std::size_t last = found.begin + found.subject.size() - 1;
  const std::string spaced = subject.substr(0, subject.size() - 1) + " " + subject.back();
  const bool swap_is_sound = (found.begin == 0 || !closes_another_operator(text[found.begin - 1])) &&
                             (found.end >= text.size() || !would_make_a_finding(text[found.end]));
  if (swap_is_sound) {
    fixes.push_back({"Change to '" + std::string(found.suggested) + "'", false,
                     {found.begin, found.end, std::string(found.suggested)}});
  }
  fixes.push_back({"Insert a space: '" + spaced + "'", false, {last, last, " "}});
  return fixes;
}

json code_actions(document& doc, const action_request& request, position_encoding encoding, bool document_changes) {
  json actions = json::array();
  const std::vector<located_finding>& findings = findings_of(doc);
  if (kind_wanted("quickfix", request.only)) {
    position_walker positions(doc.text, encoding);
    for (const located_finding& found : findings) {
      if (found.end < request.begin) continue;
      if (found.begin > request.end) break;
      const json diagnostic = diagnostic_of(found, positions);
      for (const fix& f : fixes_for(doc.text, found)) {
        json action = {{"title", f.title},
                       {"kind", "quickfix"},
                       {"diagnostics", json::array({diagnostic})},
                       {"edit", workspace_edit(doc, json::array({text_edit(f.edit, positions)}), document_changes)}};
        if (f.preferred) action["isPreferred"] = true;
        actions.push_back(std::move(action));
      }
    }
  }
  if (kind_wanted(fix_all_kind, request.only)) {
    json edits = json::array();
    position_walker positions(doc.text, encoding);
    for (const located_finding& found : findings) {
      if (info_of(found.rule).keywords.empty()) continue;
      edits.push_back(text_edit(fixes_for(doc.text, found).front().edit, positions));
    }
    if (!edits.empty()) {
      actions.push_back({{"title", "Fix all stylo keyword findings"},
                         {"kind", fix_all_kind},
                         {"edit", workspace_edit(doc, std::move(edits), document_changes)}});
    }
  }
  return actions;
}

}  // namespace stylo::lsp
