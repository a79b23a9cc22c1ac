#include "report/directory_walk.h"

#include <algorithm>
#include <vector>

#include "platform/directory_listing.h"

namespace stylo::report {
namespace {

bool is_c_source(std::string_view name) { return name.ends_with(".c") || name.ends_with(".h"); }

std::string joined(const std::string& directory, const std::string& name) {
  if (directory == ".") return name;  // "src/a.c", as git names it, not "./src/a.c"
  if (directory.ends_with('/')) return directory + name;
  return directory + "/" + name;
}

// A directory sorts as its name with '/' after it, so that "a.c" comes
// before "a/b.c" as in a sorted list of whole names.
std::string sort_key(const platform::directory_entry& entry) {
  return entry.kind == platform::entry_kind::directory ? entry.name + "/" : entry.name;
}

}  // namespace

bool walk_directory(const std::string& directory, const walk_visitor& visit) {
  std::vector<platform::directory_entry> entries;
  if (!platform::list_directory(directory, entries)) return visit.unreadable(directory);
  std::vector<std::pair<std::string, platform::directory_entry>> sorted;
  sorted.reserve(entries.size());
  for (platform::directory_entry& entry : entries) sorted.emplace_back(sort_key(entry), std::move(entry));
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [key, entry] : sorted) {
    const std::string path = joined(directory, entry.name);
    if (entry.kind == platform::entry_kind::directory) {
      if (!walk_directory(path, visit)) return false;
    } else if (entry.kind == platform::entry_kind::file && is_c_source(entry.name)) {
      if (!visit.file(path)) return false;
    }
  }
  return true;
}

}  // namespace stylo::report
