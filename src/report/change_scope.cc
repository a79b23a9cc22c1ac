#include "report/change_scope.h"

#include <optional>

#include "platform/file_input.h"
#include "report/git_changes.h"
#include "report/patch_reader.h"
#include "report/read_all.h"

namespace stylo::report {
namespace {

// `path` with its "." and ".." resolved and its empty parts dropped, or
// nothing when ".." leaves the top.
std::optional<std::string> normal(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string joined;
  for (const std::string& part : parts) {
    if (!joined.empty()) joined += '/';
    joined += part;
  }
  return joined;
}

bool is_c_source(const std::string& name) { return name.ends_with(".c") || name.ends_with(".h"); }

// The name of `path` (from the top) for the current directory at `prefix`.
std::string from_here(const std::string& path, const std::string& prefix) {
  if (path.starts_with(prefix)) return path.substr(prefix.size());
  std::string up;
  std::string common = prefix;
  while (!common.empty() && !path.starts_with(common)) {
    common.pop_back();  // the '/' at its end
    const std::size_t slash = common.rfind('/');
    common.erase(slash == std::string::npos ? 0 : slash + 1);
    up += "../";
  }
  return up + path.substr(common.size());
}

}  // namespace

void select_changes(const changed_files& changes, const std::string& top, const std::string& prefix,
                    const std::vector<std::string>& names, changed_files& selected) {
  // Each NAME from the top, with whether it names one file exactly.
  std::vector<std::string> scopes;
  for (const std::string& name : names) {
    std::string from_top;
    if (name.starts_with('/') && !top.empty()) {
      if (name != top && !name.starts_with(top + "/")) continue;  // outside the work tree
      from_top = name.substr(top.size());
    } else {
      from_top = prefix + name;
    }
    if (const std::optional<std::string> scope = normal(from_top)) scopes.push_back(*scope);
  }
  for (const auto& [path, lines] : changes) {
    if (lines.empty()) continue;
    bool wanted = names.empty() && is_c_source(path);
    for (const std::string& scope : scopes) {
      // A file named exactly is checked whatever its name; one found in a
      // directory only as C source, as a directory walk finds them.
      if (path == scope || (is_c_source(path) && (scope.empty() || path.starts_with(scope + "/")))) wanted = true;
    }
    if (wanted) selected.emplace(from_here(path, prefix), lines);
  }
}

}  // namespace stylo::report

namespace stylo::report {

std::string find_changes(const options& given, changed_files& selected) {
  std::vector<std::string> names;
  for (const input& each : given.inputs) names.push_back(each.name);
  if (!given.changed_since.empty()) {
    git_changes changes;
    if (std::string error = changes_since(given.changed_since, changes); !error.empty()) return error;
    select_changes(changes.files, changes.top, changes.prefix, names, selected);
    return {};
  }
  const bool from_standard_input = given.changed_lines == "-";
  const platform::input_handle input =
      from_standard_input ? platform::standard_input() : platform::open_for_reading(given.changed_lines);
  if (input == platform::no_input) return "Unable to open the patch '" + given.changed_lines + "'";
  std::string patch;
  const bool read = read_all(input, patch);
  if (!from_standard_input) platform::close_input(input);
  if (!read) return "Failed while reading the patch '" + given.changed_lines + "'";
  changed_files changes;
  if (std::string error = read_patch(patch, changes); !error.empty()) {
    return error + ": give a unified diff (git diff, diff -u)";
  }
  select_changes(changes, {}, {}, names, selected);
  return {};
}

}  // namespace stylo::report
