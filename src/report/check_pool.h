#pragma once
/// The run's pipeline: threads that run the files' jobs side by side (each
/// a check and, with --fix or --diff, the fix: file_check.h), each with its
/// own checker, while the report takes the results one at a time in the
/// order the files were given. The report's own thread is one of them: when the file whose turn
/// it is has not been checked yet, it checks the next file no thread has
/// claimed rather than sleep. Files take some 20 microseconds each, less
/// than a sleep and a wake cost, so a report that slept for each would
/// spend more on waking than the threads save.
///
/// Files are claimed in that order, so the one whose turn it is has always
/// been claimed: the report never waits on a file no thread is checking.
/// What waits is bounded: at most `window` files given and not yet taken,
/// and no new file is claimed while the results waiting hold more than
/// `held_bytes` (the file whose turn it is still goes ahead, so a file with
/// very many findings slows the others rather than being held up). One
/// file keeps at most `held_bytes` divided among the threads.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "report/file_check.h"

namespace stylo::report {

class check_pool {
 public:
  /// `threads` counts the report's own: `threads - 1` are started, with the
  /// stopping signals blocked (file_replace.h). Each file is run with `how`.
  check_pool(unsigned threads, std::size_t window, std::size_t held_bytes, job_settings how = {});
  /// Stops the threads once each has finished the file it is checking;
  /// results not taken are dropped.
  ~check_pool();
  check_pool(const check_pool&) = delete;
  check_pool& operator=(const check_pool&) = delete;

  /// Whether `add` may be called: fewer than `window` files waiting.
  bool has_room() const { return waiting_ < window_; }
  bool empty() const { return waiting_ == 0; }

  /// Gives the next file to check. Only while `has_room()`. Names are
  /// handed to the threads a few at a time, under one lock.
  void add(std::string name);

  /// Whether the file whose turn it is has been checked (never waits, and
  /// takes no lock).
  bool next_ready() const { return !tasks_.empty() && tasks_.front().done.load(std::memory_order_acquire); }

  /// Waits until the file whose turn it is has been checked, and hands over
  /// its result. Only while not `empty()`.
  std::unique_ptr<file_check> take_next();

 private:
  struct task {
    std::unique_ptr<file_check> check = std::make_unique<file_check>();
    /// Set by the thread that checked it, once `check` and `bytes` are
    /// final; read by the report's thread without the lock.
    std::atomic<bool> done{false};
    std::size_t bytes = 0;  ///< `held_bytes` of the result, once done
  };

  void work();
  /// The first task not yet claimed, if one may be: claimed. Under the lock.
  task* claim();
  /// Checks `mine` with `with` (and `text`, its buffer) and marks it done. Entered and left with
  /// `lock` held; not held while checking.
  void run(task& mine, checker& with, std::string& text, std::unique_lock<std::mutex>& lock);
  /// Hands the names staged to the threads.
  void hand_over();

  /// Staging a few names before taking the lock: one lock and one wake for
  /// them all, rather than for each file. Only the report's thread.
  static constexpr std::size_t staged_at_most = 16;
  std::vector<std::string> staged_;

  const std::size_t window_;
  const std::size_t held_limit_;
  const std::size_t per_file_;          ///< what one file's result may keep
  const job_settings how_;
  std::size_t waiting_ = 0;  ///< given and not taken; only the report's thread changes it

  std::mutex mutex_;
  std::condition_variable work_ready_;  ///< a file to claim, room to claim it, or the end
  std::condition_variable task_done_;   ///< a file has been checked
  /// In order; the front's turn is next. Only the report's thread adds and
  /// removes tasks (under the lock), so it may look at the front without it.
  std::deque<task> tasks_;
  std::size_t claimed_ = 0;             ///< the tasks at the front already claimed
  std::size_t held_ = 0;                ///< bytes of results done and not taken
  bool stopping_ = false;
  checker own_;  ///< the report thread's, for the files it checks itself
  std::string own_text_;
  std::vector<std::thread> threads_;
};

}  // namespace stylo::report
