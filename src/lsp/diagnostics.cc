#include "lsp/diagnostics.h"

#include <string>

#include "rules/rule_catalog.h"

namespace stylo::lsp {
namespace {

json position_json(position p) { return {{"line", p.line}, {"character", p.character}}; }

}  // namespace

json diagnostic_of(const located_finding& found, position_walker& positions) {
  const position start = positions.at(found.begin);
  const position end = positions.at(found.end);
  return {{"range", {{"start", position_json(start)}, {"end", position_json(end)}}},
          {"severity", 2},
          {"source", "stylo"},
          {"code", info_of(found.rule).id},
          {"message", found.message}};
}

json diagnostics_of(document& doc, position_encoding encoding) {
  json items = json::array();
  position_walker positions(doc.text, encoding);
  for (const located_finding& found : findings_of(doc)) items.push_back(diagnostic_of(found, positions));
  return items;
}

json publish_params(const document& doc, json diagnostics) {
  return {{"uri", doc.uri}, {"version", doc.version}, {"diagnostics", std::move(diagnostics)}};
}

json clearing_params(std::string_view uri) { return {{"uri", uri}, {"diagnostics", json::array()}}; }

json pulled_report(document& doc, position_encoding encoding, const json& previous_result_id) {
  const std::string result_id = std::to_string(doc.generation);
  if (previous_result_id.is_string() && previous_result_id.get_ref<const std::string&>() == result_id) {
    return {{"kind", "unchanged"}, {"resultId", result_id}};
  }
  return {{"kind", "full"}, {"resultId", result_id}, {"items", diagnostics_of(doc, encoding)}};
}

}  // namespace stylo::lsp
