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

/// A diagnostic of stylo's that the client names in its request
/// (CodeActionContext.diagnostics): the one it shows where the user asks.
struct named_diagnostic {
  json diagnostic;  ///< as the client sent it, named again in the actions
  rule_id rule;     ///< from its code
  position start;   ///< as the client gives it; its column may be the client's own
  std::string message;
};

struct action_request {
  std::size_t begin;  ///< the range asked about, as byte offsets
  std::size_t end;
  /// The kinds the client asked for (CodeActionContext.only); empty: all.
  std::vector<std::string> only;
  /// stylo's diagnostics among those the client names; other servers'
  /// (another source, a code that is no rule of stylo's) are left out.
  std::vector<named_diagnostic> diagnostics;
};

/// The code actions for a request on a document:
/// - quick fixes (kind "quickfix"): when the request names diagnostics of
///   stylo's, the fixes of exactly those findings. Each is matched to one
///   of the server's findings by rule and line, and among several on the
///   line by the nearest column (the same message first), so a client that
///   counts columns its own way still gets exactly its finding's fixes.
///   When it names none, the fixes of the findings the range touches; when
///   the range touches none (a cursor past them), those of the findings on
///   the lines it touches. The actions of the finding nearest the range
///   (the one under the cursor, whatever else is named) come first, and its
///   certain fix is the one preferred action: never more than one a
///   request, and none when that finding is an operator's, so that "apply
///   the preferred fix" fixes the finding at the cursor or nothing.
/// - source.fixAll.stylo, when the document has certain fixes: all of them.
/// Every edit replaces whole lines (see line_edits.h), fix-all one edit per
/// changed line. Edits are versioned documentChanges where the client takes
/// them, else changes.
json code_actions(document& doc, const action_request& request, position_encoding encoding, bool document_changes);

}  // namespace stylo::lsp
