#include "lsp/documents.h"

#include <utility>

namespace stylo::lsp {
namespace {

position position_from(const json& p) {
  if (!p.is_object()) throw invalid_params{"a position is not an object"};
  const auto line = p.find("line"), character = p.find("character");
  if (line == p.end() || character == p.end() || !line->is_number_unsigned() || !character->is_number_unsigned()) {
    throw invalid_params{"a position needs a line and a character, counted from 0"};
  }
  return {line->get<std::uint64_t>(), character->get<std::uint64_t>()};
}

}  // namespace

void apply_change(document& doc, json& change, position_encoding encoding) {
  if (!change.is_object()) throw invalid_params{"a content change is not an object"};
  const auto text = change.find("text");
  if (text == change.end() || !text->is_string()) throw invalid_params{"a content change has no text"};
  const auto range = change.find("range");
  if (range == change.end() || range->is_null()) {
    doc.text = std::move(text->get_ref<std::string&>());
    doc.findings_current = false;
    return;
  }
  if (!range->is_object() || !range->contains("start") || !range->contains("end")) {
    throw invalid_params{"a content change's range needs a start and an end"};
  }
  const position start = position_from((*range)["start"]);
  const position end = position_from((*range)["end"]);
  std::size_t from = offset_of(doc.text, start, encoding);
  std::size_t to = offset_of(doc.text, end, encoding);
  if (to < from) std::swap(from, to);
  doc.text.replace(from, to - from, text->get_ref<const std::string&>());
  doc.findings_current = false;
}

const std::vector<owned_finding>& findings_of(document& doc) {
  if (!doc.findings_current) {
    if (doc.checks != nullptr) {
      doc.findings_complete = find_in(*doc.checks, doc.text, doc.findings);
    } else {
      checker own;
      doc.findings_complete = find_in(own, doc.text, doc.findings);
    }
    doc.findings_current = true;
  }
  return doc.findings;
}

document& document_store::open(std::string uri, std::string text, std::int64_t version) {
  document& doc = documents_[uri];
  doc.uri = std::move(uri);
  doc.text = std::move(text);
  doc.version = version;
  doc.findings.clear();
  doc.findings_current = false;
  doc.checks = &checker_;
  touch(doc);
  return doc;
}

document* document_store::find(std::string_view uri) {
  const auto it = documents_.find(std::string(uri));
  return it == documents_.end() ? nullptr : &it->second;
}

void document_store::close(std::string_view uri) { documents_.erase(std::string(uri)); }

void document_store::touch(document& doc) { doc.generation = ++generations_; }

}  // namespace stylo::lsp
