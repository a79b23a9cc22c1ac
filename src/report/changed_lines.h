#pragma once
/// Which lines of which files a change added: the filter of --changed-since
/// and --changed-lines. A finding counts only on a line its file's set
/// holds, and a fix is made only there. Lines are numbered from 1 and end
/// at a line feed, as the checker numbers them (a lone carriage return is
/// an ordinary byte, as it is to diff and git).

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace stylo::report {

class line_set {
 public:
  /// Every line counts: a file the change adds whole (untracked, say).
  void add_every_line() { every_line_ = true; }
  /// The lines from `first` to `last`, both counted.
  void add_lines(std::uint64_t first, std::uint64_t last);

  bool contains(std::uint64_t line) const;
  /// No line at all: a file whose change only removed lines.
  bool empty() const { return !every_line_ && ranges_.empty(); }
  bool every_line() const { return every_line_; }
  /// The ranges, sorted, none touching another.
  const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges() const { return ranges_; }

 private:
  bool every_line_ = false;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges_;
};

/// The changed files by name (as they are to be opened: relative to the
/// current directory, or to where the patch applies), in byte order.
using changed_files = std::map<std::string, line_set>;

/// The lines of the file `name` that count, or nullptr when every line
/// does: no filter at all, or a file the change does not name (which is
/// then never checked).
inline const line_set* lines_of(const changed_files* changes, const std::string& name) {
  if (changes == nullptr) return nullptr;
  static const line_set none;
  const auto found = changes->find(name);
  return found == changes->end() ? &none : &found->second;
}

}  // namespace stylo::report
