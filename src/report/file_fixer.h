#pragma once
/// A text through --fix or --diff given on standard input: the fixes its
/// findings carry made on the whole text. (Named files are fixed by their
/// jobs, file_check.h, and put in place by file_commit.h.)

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/check.h"
#include "report/changed_lines.h"
#include "rules/finding.h"

namespace stylo::report {

class file_fixer {
 public:
  enum class status {
    cannot_open,        ///< as a plain check: missing, unreadable, a directory
    read_failed,        ///< a read failed short of the end
    nothing_found,      ///< no finding at all
    nothing_to_fix,     ///< findings, none of them fixable: the file as it is
    fixed,              ///< `original` and `fixed` differ; written to `pending`
    changed_meanwhile,  ///< changed by another while being fixed: left alone
    write_failed,       ///< could not be written (`error`): left alone
  };

  struct result {
    status what = status::nothing_found;
    std::uint64_t fixes = 0;  ///< the fixes made (for a diff: to be made)
    int error = 0;            ///< the system's code, for `write_failed`
  };

  /// Only the fixes on the lines of a change are made (nullptr: all are).
  void only_changes(const changed_files* changes) { changes_ = changes; }

  /// Works out the fixed text of `text`, as the findings of a file `name`
  /// holding it give them. `nothing_found`, `nothing_to_fix` or `fixed`.
  result fix_text(std::string_view name, std::string text);

  /// The text as read, and as fixed, after `fixed` (the fixed text also
  /// after a `write_failed`); valid until the next call.
  const std::string& original() const { return original_; }
  const std::string& fixed() const { return fixed_; }

 private:
  // Takes the edits of the findings handed to it, and counts them all.
  class edit_collector final : public finding_sink {
   public:
    void take(const finding& found) override;
    void clear();
    std::vector<fix_edit> edits;
    std::uint64_t findings = 0;
    const line_set* lines = nullptr;  ///< where fixes are made; nullptr: everywhere
  };

  result fix_held(std::string_view name);

  checker checker_;
  edit_collector collector_;
  const changed_files* changes_ = nullptr;
  std::string original_, fixed_;
};

}  // namespace stylo::report
