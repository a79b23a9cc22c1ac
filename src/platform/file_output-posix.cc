#include "platform/file_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <atomic>
#include <mutex>

#include <pthread.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/file_replace.h"
#include "platform/file_replace_system.h"
#include "platform/removal_registry.h"

namespace stylo::platform {
namespace {

void facts_from(const struct stat& status, file_facts& facts) {
  facts.device = static_cast<std::uint64_t>(status.st_dev);
  facts.inode = static_cast<std::uint64_t>(status.st_ino);
  facts.size = static_cast<std::uint64_t>(status.st_size);
  facts.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  facts.mode = static_cast<std::uint32_t>(status.st_mode & 07777);
  facts.owner = static_cast<std::uint32_t>(status.st_uid);
  facts.group = static_cast<std::uint32_t>(status.st_gid);
  facts.regular = S_ISREG(status.st_mode);
  facts.directory = S_ISDIR(status.st_mode);
}

// Every signal that ends the process by default and may be caught: a
// closed pipe and a file grown past its limit too, not only the user's
// interrupt.
const int stopping_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2};

// Removes the temporary files under way, then dies of the signal as it
// would have without this handler, so that the shell sees why it ended.
// unlink, signal and raise are async-signal-safe; the table is read only.
extern "C" void remove_and_die(int signal_number) {
  removal_registry::remove_all([](const char* name) { ::unlink(name); },
                                [] {
                                  const struct timespec millisecond = {0, 1000000};
                                  ::nanosleep(&millisecond, nullptr);
                                });
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Installed with the first temporary file. A signal the process was told
// to ignore (nohup, a background job's SIGINT) stays ignored.
void handle_stopping_signals() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (const int each : stopping_signals) {
      struct sigaction old_action {};
      if (::sigaction(each, nullptr, &old_action) != 0 || old_action.sa_handler == SIG_IGN) continue;
      struct sigaction action {};
      action.sa_handler = remove_and_die;
      sigemptyset(&action.sa_mask);
      for (const int other : stopping_signals) sigaddset(&action.sa_mask, other);
      ::sigaction(each, &action, nullptr);
    }
  });
}

}  // namespace

std::string directory_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

std::string temporary_name_in(const std::string& directory) {
  static std::atomic<unsigned> counter{0};
  return directory + "/.stylo-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

void install_stopping_handler() { handle_stopping_signals(); }

void block_stopping_signals() {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int each : stopping_signals) sigaddset(&blocked, each);
  ::pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

void unblock_stopping_signals() {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int each : stopping_signals) sigaddset(&blocked, each);
  ::pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
}

int facts_of(const std::string& name, file_facts& facts) {
  struct stat status;
  if (::stat(name.c_str(), &status) != 0) return errno;
  facts_from(status, facts);
  return 0;
}

int facts_of(input_handle input, file_facts& facts) {
  struct stat status;
  if (::fstat(static_cast<int>(input), &status) != 0) return errno;
  facts_from(status, facts);
  return 0;
}

std::string link_target(const std::string& name) {
  std::string current = name;
  // As many links as the system itself follows; a loop ends in a name the
  // write then fails on, with the system's own reason.
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) return current;
    std::string next(target, static_cast<std::size_t>(length));
    // A relative target is relative to the link's own directory.
    if (!next.starts_with('/') && current.find('/') != std::string::npos) next = directory_of(current) + "/" + next;
    current = std::move(next);
  }
  return current;
}

int create_beside(const std::string& final_name, temporary_file& file, const file_facts* like) {
  handle_stopping_signals();
  // The process id and a counter make a short name (a long final name
  // still fits the system's limit); O_EXCL makes sure that no file of
  // another is ever taken over.
  file.directory = directory_of(final_name);
  for (unsigned attempt = 0;; ++attempt) {
    file.name = temporary_name_in(file.directory);
    // Kept before the file exists, so that no moment is left in which a
    // signal would find the file and not its name.
    file.registration = removal_registry::keep(file.name);
    if (file.registration < 0) {
      file.name.clear();
      return EMFILE;
    }
    const int fd = ::open(file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    const int error = errno;
    removal_registry::settled();
    if (fd >= 0) {
      file.handle = fd;
      // The file replaced keeps its permissions (the umask took some away
      // at the open): a script stays executable, a private file private.
      if (like != nullptr && ::fchmod(fd, static_cast<mode_t>(like->mode)) != 0) {
        const int error = errno;
        remove_temporary(file);
        file.name.clear();
        return error;
      }
      return 0;
    }
    removal_registry::forget(file.registration);
    if (error != EEXIST || attempt == 100) {
      file.name.clear();  // not ours: nothing to remove
      return error;
    }
  }
}

int write_to(output_handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(static_cast<int>(file), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int sync_output(output_handle file) {
  while (::fsync(static_cast<int>(file)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int close_output(output_handle file) { return ::close(static_cast<int>(file)) == 0 ? 0 : errno; }

int rename_over(temporary_file& from, const std::string& to) {
  if (std::rename(from.name.c_str(), to.c_str()) != 0) return errno;
  removal_registry::forget(from.registration);
  return 0;
}

void remove_temporary(temporary_file& file) {
  if (file.handle != no_output) {
    ::close(static_cast<int>(file.handle));
    file.handle = no_output;
  }
  if (!file.name.empty()) ::unlink(file.name.c_str());
  file.name.clear();
  removal_registry::forget(file.registration);
}

}  // namespace stylo::platform
