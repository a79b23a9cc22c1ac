#pragma once
/// stylo's findings as the protocol's diagnostics: pushed with
/// textDocument/publishDiagnostics, or pulled with textDocument/diagnostic.
///
/// A large document may carry thousands of findings and is checked again at
/// every keystroke, so the diagnostics are written straight into the
/// message's text rather than built as a JSON tree first (which costs
/// twenty times as long).

#include <string>
#include <string_view>

#include "lsp/documents.h"
#include "lsp/json_rpc.h"
#include "lsp/positions.h"

namespace stylo::lsp {

/// One diagnostic: the range from the finding's first byte to past its last,
/// severity Warning, source "stylo", the rule's id as code, stylo's message.
json diagnostic_of(const owned_finding& found, position_walker& positions);

/// The JSON array of every finding's diagnostic, in stylo's order.
std::string diagnostics_array(document& doc, position_encoding encoding);

/// The whole textDocument/publishDiagnostics notification for a document.
std::string publish_message(document& doc, position_encoding encoding);

/// The notification that clears a closed document's diagnostics.
std::string clearing_message(std::string_view uri);

/// The response to textDocument/diagnostic (`doc` null: a document that is
/// not open, which has no findings): the full report, or "unchanged" when
/// the client already has the report of this very text.
std::string pulled_response(const json& id, document* doc, position_encoding encoding,
                            const json& previous_result_id);

}  // namespace stylo::lsp
