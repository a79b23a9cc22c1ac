#pragma once
/// A finding's fingerprint: what a baseline remembers it by.
///
/// It is a 64-bit hash, written as 16 lower-case hex digits, of the rule's
/// id, the file's URI (so "./a.c" and "a.c" are one file), the whole text of
/// the finding's line, the finding's column in that line, and its
/// occurrence: how many findings with the same rule, line text and column
/// came before it in the same file. The line's number is not in it, so
/// lines added or removed elsewhere in the file leave it as it was; any
/// change to the line itself (a blank added, the line re-indented) gives a
/// new one; and two findings on two equal lines of one file stay apart by
/// their occurrence.
///
/// Occurrences are counted in a table of a fixed 262,144 slots (1 MiB), so
/// the memory stays the same however many findings a file has. Findings of
/// unequal lines that share a slot are counted together; that only matters
/// (it may give a finding a new fingerprint when such a line is added above
/// it) in a file with very many findings, and never makes two findings of
/// one file share a fingerprint.

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "rules/finding.h"

namespace stylo::report {

using fingerprint = std::uint64_t;

/// 16 lower-case hex digits.
std::array<char, 16> fingerprint_text(fingerprint value);

/// Reads 16 hex digits (either case); false for anything else.
bool parse_fingerprint(std::string_view text, fingerprint& value);

class fingerprinter {
 public:
  fingerprinter();
  ~fingerprinter();
  fingerprinter(const fingerprinter&) = delete;
  fingerprinter& operator=(const fingerprinter&) = delete;

  /// Forgets the occurrences of the file before: call before each file.
  void new_file();

  /// The fingerprint of the next finding of the current file, whose URI is
  /// `uri`; counts the finding as one occurrence.
  fingerprint next(const finding& found, std::string_view uri);

 private:
  std::uint32_t* slots_;              ///< zeroed pages, touched only where used
  std::vector<std::uint32_t> touched_;  ///< slots used in this file, while few
  bool many_touched_ = false;          ///< too many to list: clear them all
};

}  // namespace stylo::report
