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

namespace {

// A finding whose fixes answer the request, and how well it matches: 0 for
// the finding asked about exactly, more the farther off.
struct match {
  std::size_t finding;  ///< index into the document's findings
  std::uint64_t distance;
  const json* diagnostic;  ///< the client's, when it named one
};

std::uint64_t apart(std::uint64_t a, std::uint64_t b) { return a < b ? b - a : a - b; }

// How far the byte `at` is from a finding: 0 inside it, 1 just before or
// just after it, and so on.
std::uint64_t bytes_from(const owned_finding& found, std::size_t at) {
  if (at < found.begin) return found.begin - at;
  if (at >= found.end) return at - found.end + 1;
  return 0;
}

// How far the request's range is from a finding: 0 when it touches it.
std::uint64_t range_from(const owned_finding& found, const action_request& request) {
  if (found.begin <= request.end && found.end >= request.begin) return 0;
  return found.begin > request.end ? found.begin - request.end : bytes_from(found, request.begin);
}

// How many code points the bytes of `text` make, a byte that starts no
// valid sequence counting as one.
std::uint64_t code_points_in(std::string_view text) {
  std::uint64_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++count) {
    at += std::max<std::size_t>(1, utf8_sequence_length(text.substr(at)));
  }
  return count;
}

// How far a client's column is from where a finding starts. Some clients
// send back the columns they show, counted their own way (Neovim 0.7 in
// bytes, lsp-mode in code points), so the column is also read in those
// units: 0 when it is the finding's in the agreed encoding, else 1 more
// than its distance in the unit that brings it nearest. On a line with
// several emoji, a byte column taken for UTF-16 lands on the next finding.
std::uint64_t column_distance(std::string_view text, const owned_finding& found, position start,
                              std::uint64_t named) {
  if (named == start.character) return 0;
  const std::size_t line_begin = line_at(text, found.begin).begin;
  const std::string_view before = text.substr(line_begin, found.begin - line_begin);
  std::uint64_t nearest = apart(named, start.character);
  const std::uint64_t bytes = before.size();
  for (const std::uint64_t column : {bytes, units_in(before, position_encoding::utf16), code_points_in(before)}) {
    nearest = std::min(nearest, apart(named, column));
  }
  return 1 + nearest;
}

// The findings the named diagnostics stand for: one each, by rule and line,
// then the same message, then the nearest column (see column_distance). A
// finding named twice is taken once, at its better match.
std::vector<match> named_findings(const std::vector<owned_finding>& findings, const action_request& request,
                                  std::string_view text, position_walker& positions) {
  std::vector<position> starts;
  starts.reserve(findings.size());
  for (const owned_finding& found : findings) starts.push_back(positions.at(static_cast<std::size_t>(found.begin)));
  std::vector<match> matches;
  for (const named_diagnostic& named : request.diagnostics) {
    std::size_t best = findings.size();
    bool best_same_message = false;
    std::uint64_t best_distance = 0;
    for (std::size_t i = 0; i < findings.size(); ++i) {
      if (findings[i].rule != named.rule || starts[i].line != named.start.line) continue;
      const bool same_message = findings[i].message == named.message;
      const std::uint64_t distance = column_distance(text, findings[i], starts[i], named.start.character);
      if (best == findings.size() || (same_message && !best_same_message) ||
          (same_message == best_same_message && distance < best_distance)) {
        best = i;
        best_same_message = same_message;
        best_distance = distance;
      }
    }
    if (best == findings.size()) continue;  // a diagnostic of a text since changed
    const auto known = std::find_if(matches.begin(), matches.end(), [&](const match& m) { return m.finding == best; });
    if (known == matches.end()) {
      matches.push_back({best, best_distance, &named.diagnostic});
    } else if (best_distance < known->distance) {
      *known = {best, best_distance, &named.diagnostic};
    }
  }
  // Which of them the user is asking about is told by the range, not by the
  // diagnostics: a client may name every diagnostic of the line (Neovim
  // does), and the finding under the cursor must still come first.
  for (match& m : matches) m.distance = range_from(findings[m.finding], request);
  std::sort(matches.begin(), matches.end(), [](const match& a, const match& b) { return a.finding < b.finding; });
  return matches;
}

// The findings the range touches; if none, those on the lines it touches.
std::vector<match> touched_findings(const std::vector<owned_finding>& findings, const action_request& request,
                                    std::string_view text) {
  std::vector<match> matches;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (findings[i].begin <= request.end && findings[i].end >= request.begin) {
      matches.push_back({i, bytes_from(findings[i], request.begin), nullptr});
    }
  }
  if (!matches.empty()) return matches;
  const std::size_t begin = line_at(text, request.begin).begin;
  const std::size_t end = line_at(text, std::max(request.begin, request.end)).end;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (findings[i].end < begin) continue;
    if (findings[i].begin > end) break;
    matches.push_back({i, bytes_from(findings[i], request.begin), nullptr});
  }
  return matches;
}

}  // namespace

json code_actions(document& doc, const action_request& request, position_encoding encoding, bool document_changes) {
  json actions = json::array();
  const std::vector<owned_finding>& findings = findings_of(doc);
  if (kind_wanted("quickfix", request.only)) {
    position_walker positions(doc.text, encoding), edit_positions(doc.text, encoding);
    std::vector<match> matches = request.diagnostics.empty() ? touched_findings(findings, request, doc.text)
                                                             : named_findings(findings, request, doc.text, positions);
    // The best match first: the nearest, the first of equals.
    const auto best = std::min_element(matches.begin(), matches.end(),
                                       [](const match& a, const match& b) { return a.distance < b.distance; });
    if (best != matches.end()) std::rotate(matches.begin(), best, best + 1);
    bool first = true;
    for (const match& m : matches) {
      const owned_finding& found = findings[m.finding];
      const json diagnostic = m.diagnostic != nullptr ? *m.diagnostic : diagnostic_of(found, positions);
      for (const fix& f : fixes_for(found)) {
        json action = {{"title", f.title},
                       {"kind", "quickfix"},
                       {"diagnostics", json::array({diagnostic})},
                       {"edit", workspace_edit(doc, text_edits(doc.text, std::span(&f.edit, 1), edit_positions),
                                               document_changes)}};
        if (first && f.preferred) action["isPreferred"] = true;
        actions.push_back(std::move(action));
      }
      first = false;
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
