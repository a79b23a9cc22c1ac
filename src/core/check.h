#pragma once
/// What the programs (stylo, stylo-report, stylo-lsp) use of the scan and
/// the rules: a checker, which checks a file or a text and hands the
/// findings to a sink; the finding itself (rules/finding.h); and the rules'
/// facts (rules/rule_catalog.h). How the scan works stays behind this.
///
/// A checker holds the scan's state and its read buffer. It is not shared:
/// each thread, or each document, has its own, and reuses it file after
/// file so that its buffer is allocated once. Checkers share nothing, so
/// any number of them may check at the same time.

#include <memory>
#include <string_view>

#include "platform/file_input.h"
#include "rules/finding.h"
#include "rules/rule_catalog.h"

namespace stylo {

struct cursor_state;

/// How a check ended. The check itself says nothing to anyone: the program
/// that asked turns the outcome into its messages and exit status.
enum class check_outcome {
  checked,      ///< scanned to its end
  cannot_open,  ///< missing, unreadable, a directory, or an empty name
  /// A read failed short of the end (or the memory to read it could not be
  /// had): the findings handed out before the failure stand, none after it.
  read_failed,
};

/// Which scan walks the text. Both give the same findings; the character-
/// at-a-time one is the reference that the fast one is measured and tested
/// against, and only a reference build asks for it.
enum class scan_method { fast, plain };

class checker {
 public:
  explicit checker(scan_method method = scan_method::fast);
  ~checker();
  checker(const checker&) = delete;
  checker& operator=(const checker&) = delete;

  /// Checks one file: opens it, scans it to its end and hands its findings
  /// to `sink`, in order. `name` must outlive the call.
  check_outcome check_file(std::string_view name, finding_sink& sink);

  /// The same for an input already open (standard input, say), read from
  /// where it stands to its end as a file would be, a block at a time: the
  /// memory used does not grow with the input. The input is not closed.
  check_outcome check_input(std::string_view name, platform::input_handle input, finding_sink& sink);

  /// The same for a text held in memory: the findings of a file holding
  /// exactly these bytes. `name` is what the findings carry. `read_failed`
  /// only when there is no memory for the text.
  check_outcome check_text(std::string_view name, std::string_view text, finding_sink& sink);

 private:
  check_outcome scan_opened(finding_sink& sink);

  std::unique_ptr<cursor_state> cursor_;
  scan_method method_;
};

}  // namespace stylo
