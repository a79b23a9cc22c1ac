#pragma once
/// The file scan: walks one source file through the cursor, skipping string
/// and character literals, comments and preprocessor lines, collecting words
/// for the keyword rule and offering other characters to the assignment rule.

#include <string_view>

namespace stylo {

/// Makes `check_file` use the character-at-a-time scan rather than the fast
/// one. Off in the program; set by the reference build that the benchmark
/// compares the program's output with.
extern bool use_plain_scan;

/// Checks one file: opens it (saying "Unable to open file" if it cannot),
/// scans it to its end and writes its warnings.
void check_file(std::string_view name);

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
