#pragma once
/// The file scan: walks one source file through a cursor, skipping string
/// and character literals, comments and preprocessor lines, collecting words
/// for the keyword rule and offering other characters to the assignment rule.
/// The character-at-a-time reference; the programs run the fast scan
/// (fast_scan.h) through a checker (core/check.h).

#include "scanner/source_cursor.h"

namespace stylo {

/// Scans the open file from the cursor's reset state to its end, one
/// character at a time, handing findings to the cursor's sink.
void scan_file_plain(cursor_state& c);

/// Collects the word that starts at the cursor and gives it to the keyword
/// rule, with the cursor on the character after the word.
void scan_word(cursor_state& c);

/// From an opening character, skips to the closing `delimiter` or to the end
/// of the line; a backslash takes the next character with it, so a line that
/// ends in an unpaired backslash continues the skip on the next line.
void skip_to(cursor_state& c, char delimiter);

/// From the '/' of "/*", skips to the '/' of the closing "*/".
void skip_block_comment(cursor_state& c);

}  // namespace stylo
