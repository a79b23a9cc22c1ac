#include "report/check_pool.h"

#include "platform/file_replace.h"

namespace stylo::report {

check_pool::check_pool(unsigned threads, std::size_t window, std::size_t held_bytes, job_settings how)
    : window_(window == 0 ? 1 : window),
      held_limit_(held_bytes),
      per_file_(held_bytes / (threads == 0 ? 1 : threads)),
      how_(how) {
  threads_.reserve(threads);
  // Started with the stopping signals blocked, which they keep.
  platform::block_stopping_signals();
  try {
    for (unsigned i = 1; i < threads; ++i) threads_.emplace_back([this] { work(); });
  } catch (...) {
    platform::unblock_stopping_signals();
    throw;
  }
  platform::unblock_stopping_signals();
}

check_pool::~check_pool() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& each : threads_) each.join();
}

void check_pool::add(std::string name) {
  staged_.push_back(std::move(name));
  ++waiting_;
  // The first names of a run go out at once, so that no thread waits for
  // a batch to fill; after that, a few at a time.
  if (staged_.size() >= staged_at_most || tasks_.size() < threads_.size()) hand_over();
}

void check_pool::hand_over() {
  if (staged_.empty()) return;
  const std::size_t count = staged_.size();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& name : staged_) {
      tasks_.emplace_back();
      tasks_.back().check->name = std::move(name);
    }
  }
  staged_.clear();
  if (count == 1) {
    work_ready_.notify_one();
  } else {
    work_ready_.notify_all();
  }
}

std::unique_ptr<file_check> check_pool::take_next() {
  hand_over();  // the file whose turn it is may be among them
  std::unique_ptr<file_check> result;
  bool was_full = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!tasks_.front().done.load(std::memory_order_relaxed)) {
      if (task* mine = claim()) {
        run(*mine, own_, own_text_, lock);
      } else {
        task_done_.wait(lock);
      }
    }
    result = std::move(tasks_.front().check);
    was_full = held_ > held_limit_;
    held_ -= tasks_.front().bytes;
    tasks_.pop_front();
    --claimed_;  // the front was claimed, or it would not be done
  }
  --waiting_;
  // Less held: threads waiting for room may claim again. Otherwise taking
  // a result changes nothing a thread waits for, and waking them would
  // cost a switch per file.
  if (was_full) work_ready_.notify_all();
  return result;
}

check_pool::task* check_pool::claim() {
  // The front task is claimed whatever is held, so that the report's next
  // result is always under way.
  if (claimed_ < tasks_.size() && (claimed_ == 0 || held_ <= held_limit_)) return &tasks_[claimed_++];
  return nullptr;
}

void check_pool::run(task& mine, checker& with, std::string& text, std::unique_lock<std::mutex>& lock) {
  // A deque keeps its elements where they are when either end changes.
  file_check& check = *mine.check;
  lock.unlock();
  check.run(with, text, per_file_, how_);
  const std::size_t bytes = check.held_bytes();
  lock.lock();
  mine.bytes = bytes;
  mine.done.store(true, std::memory_order_release);
  held_ += bytes;
}

void check_pool::work() {
  // A signal is handled on the report's thread, the one that names
  // temporary files, never between a worker's steps.
  platform::block_stopping_signals();
  // The thread's own checker and buffer, reused for every file it checks.
  checker files;
  std::string text;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    task* mine = nullptr;
    work_ready_.wait(lock, [this, &mine] { return stopping_ || (mine = claim()) != nullptr; });
    if (stopping_) return;
    run(*mine, files, text, lock);
    // Only the report's thread waits, and only for the front: a file done
    // ahead of its turn wakes no one (files are small, and a wake per file
    // would cost more than checking it).
    if (mine == &tasks_.front()) task_done_.notify_one();
  }
}

}  // namespace stylo::report
