#pragma once
/// The run's pipeline: entries go in in the order the inputs name them and
/// come out in that order, whichever thread did what. An entry is either a
/// job, which any thread may run (a file's check and, with --fix or --diff,
/// its fix: file_check.h), or an item, which is the report's own business
/// and is done on its thread when its turn comes (a message, standard
/// input's check). Threads go on running the jobs after an item while it
/// waits for its turn, so a message never holds them up, and nothing ever
/// has to be drained: the report takes entries one at a time, and at the
/// end takes what is left.
///
/// The report's own thread is one of the threads: when the job whose turn
/// it is has not been run yet, it runs the next job no thread has claimed
/// rather than sleep. Files take some 20 microseconds each, less than a
/// sleep and a wake cost, so a report that slept for each would spend more
/// on waking than the threads save.
///
/// Jobs are claimed in order, so the one whose turn it is has always been
/// claimed: the report never waits on a job no thread is running. What
/// waits is bounded: at most `window` entries given and not yet taken, and
/// no new job is claimed while the results waiting hold more than
/// `held_bytes` (the job whose turn it is still goes ahead, so a file with
/// very many findings slows the others rather than being held up). One job
/// keeps at most `held_bytes` divided among the threads.
///
/// A Job has `std::size_t held_bytes() const`, read once it has run. Each
/// thread runs its jobs with a runner of its own, made on that thread by
/// the function given, so that what a thread reuses from job to job (a
/// checker, a read buffer) is never shared.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "platform/file_replace.h"

namespace stylo::report {

template <typename Job, typename Item>
class ordered_pipeline {
 public:
  /// What comes out: a job that has run, or an item whose turn it is.
  using entry = std::variant<std::unique_ptr<Job>, Item>;
  /// Runs one job on the thread that made it.
  using runner = std::function<void(Job&)>;
  /// Makes a thread's runner, given what one job may keep.
  using runner_maker = std::function<runner(std::size_t keep_at_most)>;

  /// `threads` counts the report's own: `threads - 1` are started, with the
  /// stopping signals blocked (file_replace.h).
  ordered_pipeline(unsigned threads, std::size_t window, std::size_t held_bytes, runner_maker make_runner)
      : window_(window == 0 ? 1 : window),
        held_limit_(held_bytes),
        per_job_(held_bytes / (threads == 0 ? 1 : threads)),
        make_runner_(std::move(make_runner)) {
    threads_.reserve(threads);
    // Started with the stopping signals blocked, which they keep: a signal
    // is handled on the report's thread, the one that names temporary
    // files, never between a worker's steps.
    platform::block_stopping_signals();
    try {
      for (unsigned i = 1; i < threads; ++i) threads_.emplace_back([this] { work(); });
    } catch (...) {
      stop();
      platform::unblock_stopping_signals();
      throw;
    }
    platform::unblock_stopping_signals();
  }
  /// Stops the threads once each has finished the job it is running;
  /// entries not taken are dropped.
  ~ordered_pipeline() { stop(); }
  ordered_pipeline(const ordered_pipeline&) = delete;
  ordered_pipeline& operator=(const ordered_pipeline&) = delete;

  /// Whether `add` may be called: fewer than `window` entries waiting.
  bool has_room() const { return waiting_ < window_; }
  bool empty() const { return waiting_ == 0; }
  std::size_t waiting() const { return waiting_; }

  /// Gives the next entry. Only while `has_room()`. Entries are handed to
  /// the threads a few at a time, under one lock.
  void add(std::unique_ptr<Job> job) { stage(entry(std::in_place_index<0>, std::move(job))); }
  void add_item(Item item) { stage(entry(std::in_place_index<1>, std::move(item))); }

  /// Whether the entry whose turn it is may be taken at once (never waits,
  /// and takes no lock).
  bool next_ready() const { return !tasks_.empty() && tasks_.front().done.load(std::memory_order_acquire); }

  /// Waits until the entry whose turn it is is ready (a job run, an item
  /// at once), and hands it over. Only while not `empty()`.
  entry take_next() {
    hand_over();  // the entry whose turn it is may be among them
    std::optional<entry> result;
    bool was_full = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!tasks_.front().done.load(std::memory_order_relaxed)) {
        if (task* mine = claim()) {
          if (!own_) own_ = make_runner_(per_job_);
          run(*mine, *own_, lock);
        } else {
          task_done_.wait(lock);
        }
      }
      result.emplace(std::move(tasks_.front().what));
      was_full = held_ > held_limit_;
      held_ -= tasks_.front().bytes;
      tasks_.pop_front();
      // The front was claimed or passed over, unless it is an item no
      // thread has looked past yet: `claimed_` is then 0.
      if (claimed_ > 0) --claimed_;
    }
    --waiting_;
    // Less held: threads waiting for room may claim again. Otherwise taking
    // a result changes nothing a thread waits for, and waking them would
    // cost a switch per file.
    if (was_full) work_ready_.notify_all();
    return std::move(*result);
  }

 private:
  struct task {
    explicit task(entry given) : what(std::move(given)), done(what.index() == 1) {}
    entry what;
    /// Set by the thread that ran the job, once it and `bytes` are final
    /// (an item, from the start); read by the report's thread without the
    /// lock.
    std::atomic<bool> done;
    std::size_t bytes = 0;  ///< `held_bytes` of the job, once done
  };

  void stage(entry given) {
    staged_.push_back(std::move(given));
    ++waiting_;
    // The first entries of a run go out at once, so that no thread waits
    // for a batch to fill; after that, a few at a time.
    if (staged_.size() >= staged_at_most || tasks_.size() < threads_.size()) hand_over();
  }

  /// Hands the entries staged to the threads.
  void hand_over() {
    if (staged_.empty()) return;
    std::size_t jobs = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      for (entry& each : staged_) {
        jobs += each.index() == 0;
        tasks_.emplace_back(std::move(each));
      }
    }
    staged_.clear();
    if (jobs == 1) {
      work_ready_.notify_one();
    } else if (jobs > 1) {
      work_ready_.notify_all();
    }
  }

  /// The first job not yet claimed, if one may be: claimed. Under the lock.
  task* claim() {
    // Items are the report's: passed over, as if claimed.
    while (claimed_ < tasks_.size() && tasks_[claimed_].what.index() == 1) ++claimed_;
    // The front is claimed whatever is held, so that the report's next
    // result is always under way.
    if (claimed_ < tasks_.size() && (claimed_ == 0 || held_ <= held_limit_)) return &tasks_[claimed_++];
    return nullptr;
  }

  /// Runs `mine` with `with` and marks it done. Entered and left with
  /// `lock` held; not held while running.
  void run(task& mine, runner& with, std::unique_lock<std::mutex>& lock) {
    // A deque keeps its elements where they are when either end changes.
    Job& job = *std::get<0>(mine.what);
    lock.unlock();
    with(job);
    const std::size_t bytes = job.held_bytes();
    lock.lock();
    mine.bytes = bytes;
    mine.done.store(true, std::memory_order_release);
    held_ += bytes;
  }

  void work() {
    // The thread's own runner, reused for every job it runs.
    runner with = make_runner_(per_job_);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      task* mine = nullptr;
      work_ready_.wait(lock, [this, &mine] { return stopping_ || (mine = claim()) != nullptr; });
      if (stopping_) return;
      run(*mine, with, lock);
      // Only the report's thread waits, and only for the front: a job done
      // ahead of its turn wakes no one (files are small, and a wake per
      // file would cost more than checking it).
      if (mine == &tasks_.front()) task_done_.notify_one();
    }
  }

  void stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& each : threads_) each.join();
    threads_.clear();
  }

  /// Staging a few entries before taking the lock: one lock and one wake
  /// for them all, rather than for each file. Only the report's thread.
  static constexpr std::size_t staged_at_most = 16;
  std::vector<entry> staged_;

  const std::size_t window_;
  const std::size_t held_limit_;
  const std::size_t per_job_;  ///< what one job's result may keep
  const runner_maker make_runner_;
  std::size_t waiting_ = 0;  ///< given and not taken; only the report's thread changes it
  std::optional<runner> own_;  ///< the report thread's, made when it first runs a job

  std::mutex mutex_;
  std::condition_variable work_ready_;  ///< a job to claim, room to claim it, or the end
  std::condition_variable task_done_;   ///< a job has been run
  /// In order; the front's turn is next. Only the report's thread adds and
  /// removes tasks (under the lock), so it may look at the front without it.
  std::deque<task> tasks_;
  std::size_t claimed_ = 0;  ///< the tasks at the front already claimed (or items passed over)
  std::size_t held_ = 0;     ///< bytes of results done and not taken
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace stylo::report
