#include "report/changed_lines.h"

#include <algorithm>

namespace stylo::report {

void line_set::add_lines(std::uint64_t first, std::uint64_t last) {
  if (first > last) return;
  // Hunks come in order, so this is nearly always an append; a patch that
  // names a file twice merges here.
  auto at = std::lower_bound(ranges_.begin(), ranges_.end(), std::make_pair(first, last));
  at = ranges_.insert(at, {first, last});
  // Merged with its neighbours where they overlap or touch.
  if (at != ranges_.begin() && std::prev(at)->second + 1 >= at->first) {
    --at;
    at->second = std::max(at->second, std::next(at)->second);
    ranges_.erase(std::next(at));
  }
  while (std::next(at) != ranges_.end() && at->second + 1 >= std::next(at)->first) {
    at->second = std::max(at->second, std::next(at)->second);
    ranges_.erase(std::next(at));
  }
}

bool line_set::contains(std::uint64_t line) const {
  if (every_line_) return true;
  const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), line,
                                      [](std::uint64_t n, const auto& range) { return n < range.first; });
  return after != ranges_.begin() && std::prev(after)->second >= line;
}

}  // namespace stylo::report
