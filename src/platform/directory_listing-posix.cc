#include "platform/directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

namespace stylo::platform {
namespace {

std::string joined(const std::string& directory, const char* name) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path += '/';
  return path + name;
}

// What an entry is, by lstat: a link is `other`, whatever it points to.
entry_kind kind_of(const std::string& directory, const dirent* entry) {
  struct stat status;
  if (::lstat(joined(directory, entry->d_name).c_str(), &status) != 0) return entry_kind::other;
  if (S_ISREG(status.st_mode)) return entry_kind::file;
  if (S_ISDIR(status.st_mode)) return entry_kind::directory;
  return entry_kind::other;
}

}  // namespace

bool list_directory(const std::string& directory, std::vector<directory_entry>& entries) {
  entries.clear();
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), kind_of(directory, entry)});
  }
  ::closedir(dir);
  return true;
}

bool is_directory(const std::string& name) {
  struct stat status;
  return !name.empty() && ::stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace stylo::platform
