#include "platform/child_process.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace stylo::platform {
namespace {

// Closes what it holds when the run ends, however it ends.
struct descriptor {
  int fd = -1;
  descriptor() = default;
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  ~descriptor() { close_now(); }
  void close_now() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

bool make_pipe(descriptor& read_end, descriptor& write_end) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  read_end.fd = ends[0];
  write_end.fd = ends[1];
  // The parent's ends must not leak into the child (nor into another child
  // started meanwhile on another thread).
  ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
}

// Both pipes drained as the child writes them: a child that fills one while
// the parent waits on the other would never end.
int drain(descriptor& out, descriptor& err, std::string& output, std::string& errors) {
  char block[64 * 1024];
  while (out.fd >= 0 || err.fd >= 0) {
    pollfd watched[2];
    nfds_t count = 0;
    if (out.fd >= 0) watched[count++] = {out.fd, POLLIN, 0};
    if (err.fd >= 0) watched[count++] = {err.fd, POLLIN, 0};
    if (::poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (watched[i].revents == 0) continue;
      descriptor& from = watched[i].fd == out.fd ? out : err;
      const ssize_t got = ::read(from.fd, block, sizeof block);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got < 0) return errno;
      if (got == 0) {
        from.close_now();
        continue;
      }
      (&from == &out ? output : errors).append(block, static_cast<std::size_t>(got));
    }
  }
  return 0;
}

}  // namespace

child_result run_child(const std::vector<std::string>& arguments) {
  child_result result;
  if (arguments.empty()) {
    result.error = EINVAL;
    return result;
  }
  std::vector<char*> argv;
  for (const std::string& each : arguments) argv.push_back(const_cast<char*>(each.c_str()));
  argv.push_back(nullptr);

  descriptor out_read, out_write, err_read, err_write;
  if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) {
    result.error = errno;
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_write.fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_write.fd, STDERR_FILENO);
  pid_t child = 0;
  const int started = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    result.what = started == ENOENT ? child_result::status::not_found : child_result::status::failed;
    result.error = started;
    return result;
  }
  out_write.close_now();
  err_write.close_now();
  const int read_error = drain(out_read, err_read, result.output, result.errors);
  out_read.close_now();
  err_read.close_now();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = errno;
      return result;
    }
  }
  if (read_error != 0) {
    result.error = read_error;
    return result;
  }
  // A C library whose posix_spawnp cannot report a failed exec has the
  // child end with 127, as a shell would for a command not found.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && result.output.empty() && result.errors.empty()) {
    result.what = child_result::status::not_found;
    result.error = ENOENT;
    return result;
  }
  if (!WIFEXITED(status)) return result;
  result.what = child_result::status::exited;
  result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace stylo::platform
