#pragma once
/// textDocument/codeAction: the quick fixes of each finding, and
/// source.fixAll.stylo, which fixes every keyword of a document.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/documents.h"
#include "lsp/json_rpc.h"
#include "lsp/line_edits.h"
#include "lsp/positions.h"

namespace stylo::lsp {

inline constexpr std::string_view fix_all_kind = "source.fixAll.stylo";

struct fix {
  std::string title;
  bool preferred;
  byte_edit edit;
};

/// The fixes the rules give `found` (rules/owned_finding.h), as an editor
/// offers them: the certain one preferred, the suggestions not.
std::vector<fix> fixes_for(const owned_finding& found);

struct action_request {
  std::size_t begin;  ///< the range asked about, as byte offsets
  std::size_t end;
  /// The kinds the client asked for (CodeActionContext.only); empty: all.
  std::vector<std::string> only;
};

/// The code actions for a range of a document: each finding on the lines
/// that the range touches gives its fixes (kind "quickfix", with its
/// diagnostic), and the document gives source.fixAll.stylo when it has
/// keyword findings. Whole lines, not the range's columns, choose the
/// findings: a client that counts columns its own way still gets the fix of
/// the line it asks about. Every edit replaces whole lines (see
/// line_edits.h), fix-all one edit per changed line. Edits are versioned
/// documentChanges where the client takes them, else changes.
json code_actions(document& doc, const action_request& request, position_encoding encoding, bool document_changes);

}  // namespace stylo::lsp
