#pragma once
/// One file's check as a unit of work: a name in, the outcome and the
/// findings out, kept until the report takes them. Any thread may run it,
/// with its own checker; the report takes the results in the order the
/// files were given, so that the report is the same whichever thread
/// checked which file, and however many there were.
///
/// What one file keeps is bounded: a file with more findings than that
/// (a generated table, a file of millions of lines) keeps none, only that
/// it had them, and the report checks it again in its turn, straight into
/// the output. Such files are rare, and a second read of one costs less
/// than holding millions of findings until their turn.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/check.h"
#include "rules/owned_finding.h"

namespace stylo::report {

struct file_check {
  std::string name;
  check_outcome outcome = check_outcome::checked;
  std::vector<owned_finding> findings;
  /// The text of each line that has findings, once for all of them (a line
  /// may be long), in the findings' order: the n-th line met is the n-th.
  std::vector<std::string> line_texts;
  std::uint64_t found = 0;  ///< findings, kept or not
  bool fixable = false;     ///< whether any finding has a fix
  bool dropped = false;     ///< more findings than could be kept: none kept
  std::size_t kept_bytes = 0;  ///< about what the kept findings hold, counted as they are kept

  /// About how much memory the result holds, for the bound on results
  /// waiting for their turn: the count kept while checking, not a second
  /// walk over the findings.
  std::size_t held_bytes() const;

  /// Checks the file `name` with `with`, keeping its findings while they
  /// hold fewer than about `keep_at_most` bytes.
  void run(checker& with, std::size_t keep_at_most);

  /// Hands the kept findings to `sink` in order, as the check did. Only
  /// when not `dropped`.
  void replay(finding_sink& sink) const;
};

}  // namespace stylo::report
