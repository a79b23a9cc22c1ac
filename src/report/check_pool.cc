#include "report/check_pool.h"

namespace stylo::report {

check_pool::check_pool(unsigned threads, std::size_t window, std::size_t held_bytes)
    : window_(window == 0 ? 1 : window), held_limit_(held_bytes) {
  threads_.reserve(threads);
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
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
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    tasks_.emplace_back();
    tasks_.back().check->name = std::move(name);
  }
  ++waiting_;
  work_ready_.notify_one();
}

bool check_pool::next_ready() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return !tasks_.empty() && tasks_.front().done;
}

std::unique_ptr<file_check> check_pool::take_next() {
  std::unique_ptr<file_check> result;
  bool was_full = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    task_done_.wait(lock, [this] { return tasks_.front().done; });
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

void check_pool::work() {
  // The thread's own checker, reused for every file it checks.
  checker files;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The front task is claimed whatever is held, so that the report's
    // next result is always under way.
    work_ready_.wait(lock, [this] {
      return stopping_ || (claimed_ < tasks_.size() && (claimed_ == 0 || held_ <= held_limit_));
    });
    if (stopping_) return;
    // A deque keeps its elements where they are when either end changes.
    task& mine = tasks_[claimed_++];
    file_check& check = *mine.check;
    lock.unlock();
    check.run(files);
    const std::size_t bytes = check.held_bytes();
    lock.lock();
    mine.done = true;
    mine.bytes = bytes;
    held_ += bytes;
    // Only the report's thread waits, and only for the front: a file done
    // ahead of its turn wakes no one (files are small, and a wake per file
    // would cost more than checking it).
    if (&mine == &tasks_.front()) task_done_.notify_one();
  }
}

}  // namespace stylo::report
