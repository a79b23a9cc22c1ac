#include "report/diff_name.h"

#include "platform/real_path.h"

namespace stylo::report {

diff_names::verdict diff_names::name_for(const std::string& name, std::string& relative) {
  if (here_.empty() && platform::real_path(".", here_) != 0) here_.clear();
  std::string real;
  if (here_.empty() || platform::real_path(name, real) != 0) return verdict::outside;
  std::string prefix = here_;
  if (prefix.back() != platform::path_separator()) prefix += platform::path_separator();
  if (!real.starts_with(prefix) || real.size() == prefix.size()) return verdict::outside;
  relative = real.substr(prefix.size());
  // A diff's names use '/' on every system.
  for (char& c : relative) {
    if (c == platform::path_separator()) c = '/';
  }
  return diffed_.insert(relative).second ? verdict::use : verdict::repeated;
}

}  // namespace stylo::report
