#pragma once
/// The file scan: walks one source file through the cursor, skipping string
/// and character literals, comments and preprocessor lines, collecting words
/// for the keyword rule and offering other characters to the assignment rule.

#include <string_view>

#include "platform/file_input.h"
#include "rules/finding.h"

namespace stylo {

/// Makes `check_file` use the character-at-a-time scan rather than the fast
/// one. Off in the program; set by the reference build that the benchmark
/// compares the program's output with.
extern bool use_plain_scan;

/// How a check ended. The check itself says nothing to anyone: the program
/// that asked turns the outcome into its messages and exit status.
enum class check_outcome {
  checked,      ///< scanned to its end
  cannot_open,  ///< missing, unreadable, a directory, or an empty name
  /// A read failed short of the end (or the memory to read it could not be
  /// had): the findings handed out before the failure stand, none after it.
  read_failed,
};

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

/// Scans the open file from the cursor's reset state to its end, one
/// character at a time. This is the reference algorithm.
void scan_file_plain();

/// Collects the word that starts at the cursor and gives it to the keyword
/// rule, with the cursor on the character after the word.
void scan_word();

/// From an opening character, skips to the closing `delimiter` or to the end
/// of the line; a backslash takes the next character with it, so a line that
/// ends in an unpaired backslash continues the skip on the next line.
void skip_to(char delimiter);

/// From the '/' of "/*", skips to the '/' of the closing "*/".
void skip_block_comment();

}  // namespace stylo
