#include "lsp/diagnostics.h"

#include <array>

#include "rules/rule_catalog.h"

namespace stylo::lsp {
namespace {

json position_json(position p) { return {{"line", p.line}, {"character", p.character}}; }

std::string json_text(std::string_view text) {
  return json(text).dump(-1, ' ', false, json::error_handler_t::replace);
}

void append_number(std::string& out, std::uint64_t n) {
  char digits[20];
  int i = 0;
  do {
    digits[i++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (i > 0) out += digits[--i];
}

void append_position(std::string& out, position p) {
  out += "{\"line\":";
  append_number(out, p.line);
  out += ",\"character\":";
  append_number(out, p.character);
  out += '}';
}

}  // namespace

json diagnostic_of(const owned_finding& found, position_walker& positions) {
  const position start = positions.at(static_cast<std::size_t>(found.begin));
  const position end = positions.at(static_cast<std::size_t>(found.end));
  return {{"range", {{"start", position_json(start)}, {"end", position_json(end)}}},
          {"severity", 2},
          {"source", "stylo"},
          {"code", info_of(found.rule).id},
          {"message", found.message}};
}

std::string diagnostics_array(document& doc, position_encoding encoding) {
  const std::vector<owned_finding>& findings = findings_of(doc);
  std::string out;
  out.reserve(16 + findings.size() * 200);
  out += '[';
  position_walker positions(doc.text, encoding);
  // The quoted message of the finding before: findings of one kind come in
  // runs, and the few texts need quoting only when they change.
  std::string_view last_message;
  std::string last_quoted;
  // Every rule's id, quoted once per array.
  std::array<std::string, rule_catalog.size()> quoted_ids;
  for (const rule_info& rule : rule_catalog) quoted_ids[static_cast<std::size_t>(rule.rule)] = json_text(rule.id);
  for (const owned_finding& found : findings) {
    if (out.size() > 1) out += ',';
    out += "{\"range\":{\"start\":";
    append_position(out, positions.at(static_cast<std::size_t>(found.begin)));
    out += ",\"end\":";
    append_position(out, positions.at(static_cast<std::size_t>(found.end)));
    out += "},\"severity\":2,\"source\":\"stylo\",\"code\":";
    out += quoted_ids[static_cast<std::size_t>(found.rule)];
    if (found.message.data() != last_message.data() || found.message.size() != last_message.size()) {
      last_message = found.message;
      last_quoted = json_text(found.message);
    }
    out += ",\"message\":";
    out += last_quoted;
    out += '}';
  }
  out += ']';
  return out;
}

std::string publish_message(document& doc, position_encoding encoding) {
  std::string items = diagnostics_array(doc, encoding);
  std::string out = "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/publishDiagnostics\",\"params\":{\"uri\":";
  out += json_text(doc.uri);
  out += ",\"version\":";
  out += std::to_string(doc.version);
  out += ",\"diagnostics\":";
  out += items;
  out += "}}";
  return out;
}

std::string clearing_message(std::string_view uri) {
  return make_notification("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
}

std::string pulled_response(const json& id, document* doc, position_encoding encoding,
                            const json& previous_result_id) {
  if (doc == nullptr) return make_response(id, {{"kind", "full"}, {"items", json::array()}});
  const std::string result_id = std::to_string(doc->generation);
  if (previous_result_id.is_string() && previous_result_id.get_ref<const std::string&>() == result_id) {
    return make_response(id, {{"kind", "unchanged"}, {"resultId", result_id}});
  }
  std::string out = "{\"jsonrpc\":\"2.0\",\"id\":";
  out += id.dump();
  out += ",\"result\":{\"kind\":\"full\",\"resultId\":\"" + result_id + "\",\"items\":";
  out += diagnostics_array(*doc, encoding);
  out += "}}";
  return out;
}

}  // namespace stylo::lsp
