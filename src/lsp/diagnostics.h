#pragma once
/// stylo's findings as the protocol's diagnostics: pushed with
/// textDocument/publishDiagnostics, or pulled with textDocument/diagnostic.

#include "lsp/documents.h"
#include "lsp/json_rpc.h"
#include "lsp/positions.h"

namespace stylo::lsp {

/// One diagnostic: the range from the finding's first byte to past its last,
/// severity Warning, source "stylo", the rule's id as code.
json diagnostic_of(const located_finding& found, position_walker& positions);

/// Every finding of the document, in stylo's order.
json diagnostics_of(document& doc, position_encoding encoding);

/// The parameters of textDocument/publishDiagnostics.
json publish_params(const document& doc, json diagnostics);

/// The parameters that clear a closed document's diagnostics.
json clearing_params(std::string_view uri);

/// The answer to textDocument/diagnostic: the full report, or "unchanged"
/// when the client already has the report of this very text.
json pulled_report(document& doc, position_encoding encoding, const json& previous_result_id);

}  // namespace stylo::lsp
