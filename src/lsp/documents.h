#pragma once
/// The documents the client has opened: their text as the client holds it,
/// byte for byte, kept up to date by the client's changes. The server never
/// reads them from disk.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lsp/findings.h"
#include "lsp/json_rpc.h"
#include "lsp/positions.h"

namespace stylo::lsp {

/// Parameters that do not have the shape the protocol gives them; the
/// server answers with InvalidParams.
struct invalid_params {
  std::string why;
};

struct document {
  std::string uri;
  std::string text;
  std::int64_t version = 0;
  /// Changes whenever the text does, across every document: the result id of
  /// pulled diagnostics.
  std::uint64_t generation = 0;
  /// stylo's findings on `text`, made when first wanted after a change.
  std::vector<owned_finding> findings;
  bool findings_current = false;
  bool findings_complete = true;
  /// The checker that finds them: the store's, shared by its documents
  /// (one thread serves them all). None: one is made for the check.
  checker* checks = nullptr;
};

/// Applies one entry of didChange's contentChanges: with a range, the text
/// between its two positions is replaced; without one, the whole text is.
/// A range past the end is taken up to the end; a start after the end is
/// taken as the end. Throws `invalid_params` for a change of the wrong shape,
/// the document unchanged.
void apply_change(document& doc, json& change, position_encoding encoding);

/// The document's findings, checking its text if it changed since.
const std::vector<owned_finding>& findings_of(document& doc);

class document_store {
 public:
  document& open(std::string uri, std::string text, std::int64_t version);
  document* find(std::string_view uri);
  void close(std::string_view uri);
  /// A new generation for a document whose text has changed.
  void touch(document& doc);

 private:
  std::unordered_map<std::string, document> documents_;
  checker checker_;
  std::uint64_t generations_ = 0;
};

}  // namespace stylo::lsp
