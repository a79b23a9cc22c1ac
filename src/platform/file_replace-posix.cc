#include "platform/file_replace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_replace_system.h"
#include "platform/removal_registry.h"

namespace stylo::platform {

int open_source(const std::string& name, input_handle& input, file_facts& facts) {
  input = no_input;
  if (!can_name_a_file(name)) return ENOENT;
  // O_NONBLOCK: a FIFO opens at once, writer or not, and is then told
  // apart by its facts; a regular file reads as it always does.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  if (const int error = facts_of(fd, facts); error != 0) {
    ::close(fd);
    return error;
  }
  input = fd;
  return 0;
}

int rewind_input(input_handle input) {
  return ::lseek(static_cast<int>(input), 0, SEEK_SET) == 0 ? 0 : errno;
}

int may_write(const std::string& name, const file_facts& facts) {
  // access() grants an administrator everything the mount allows, a mode
  // that no one may write included: the mode is asked first.
  if ((facts.mode & 0222) == 0) return EACCES;
  return ::access(name.c_str(), W_OK) == 0 ? 0 : errno;
}

int create_unnamed_beside(const std::string& target, temporary_file& file) {
  install_stopping_handler();
  file.directory = directory_of(target);
  file.name.clear();
  // O_TMPFILE takes the umask as O_CREAT does.
  const int fd = replace_system::create_unnamed(file.directory, 0666);
  if (fd < 0) return create_beside(target, file, nullptr);
  file.handle = fd;
  return 0;
}

int create_replacement(const std::string& target, const file_facts& like, input_handle original,
                       temporary_file& file) {
  install_stopping_handler();
  file.directory = directory_of(target);
  file.name.clear();
  int fd = replace_system::create_unnamed(file.directory, 0600);
  if (fd >= 0) {
    file.handle = fd;
  } else {
    const int error = errno;
    if (error == EMFILE || error == ENFILE || error == ENOSPC || error == EROFS || error == EACCES) return error;
    // The file system has no unnamed files: a named one, short-lived.
    if (const int named = create_beside(target, file, nullptr); named != 0) return named;
    fd = static_cast<int>(file.handle);
  }
  mode_t mode = static_cast<mode_t>(like.mode);
  // The owner first: a change of owner clears the set-ID bits and some
  // attributes (file capabilities), which come after it. A runner that may
  // not give the file its owner and group makes a file of its own, which
  // must not keep the rights the old owner's set-ID bits gave.
  struct stat made;
  if (::fstat(fd, &made) != 0 || made.st_uid != like.owner || made.st_gid != like.group) {
    if (::fchown(fd, static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0) {
      mode &= static_cast<mode_t>(~(S_ISUID | S_ISGID));
    }
  }
  replace_system::copy_attributes(static_cast<int>(original), fd);
  if (::fchmod(fd, mode) != 0) {
    const int error = errno;
    remove_temporary(file);
    return error;
  }
  return 0;
}

int publish(temporary_file& file, const std::string& target) {
  if (file.name.empty()) {
    // Named only now, for the instant of the rename; the name is kept for
    // the signal handler before it exists.
    const std::string name = temporary_name_in(file.directory);
    file.registration = removal_registry::keep(name);
    if (file.registration < 0) return EMFILE;
    const int error = replace_system::name_unnamed(static_cast<int>(file.handle), name);
    removal_registry::settled();
    if (error != 0) {
      removal_registry::forget(file.registration);
      return error;
    }
    file.name = name;
  }
  if (std::rename(file.name.c_str(), target.c_str()) != 0) return errno;
  removal_registry::forget(file.registration);
  file.name.clear();
  return 0;
}

int open_in_place(const std::string& name, output_handle& output) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  output = fd;
  return 0;
}

std::size_t descriptor_limit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
  return static_cast<std::size_t>(limit.rlim_cur);
}

void report_failed_writes_as_errors() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace stylo::platform
