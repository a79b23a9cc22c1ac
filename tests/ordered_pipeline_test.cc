// stylo-report's pipeline with fake jobs, in memory: whatever the threads,
// the window and the order the jobs finish in, entries come out in the
// order given, items exactly between the jobs around them; no more than
// the window waits, a big result holds the others back, and a pipeline
// dropped with work outstanding joins its threads and leaves nothing.

#include "report/ordered_pipeline.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Blocks the jobs that wait on it until it is opened.
class gate {
 public:
  void open() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

struct counters {
  std::atomic<int> alive{0};      // jobs and items made and not yet destroyed
  std::atomic<int> started{0};    // jobs a thread began
  std::atomic<int> in_flight{0};  // jobs begun and not yet taken
  std::atomic<int> most_in_flight{0};
  std::atomic<std::size_t> keep_at_most{0};  // what the runners were told a job may keep
};

struct fake_job {
  fake_job(counters& c, int id, std::size_t bytes, std::chrono::microseconds delay, gate* held_by)
      : counts(c), id(id), bytes(bytes), delay(delay), held_by(held_by) {
    ++counts.alive;
  }
  ~fake_job() { --counts.alive; }
  fake_job(const fake_job&) = delete;
  fake_job& operator=(const fake_job&) = delete;
  std::size_t held_bytes() const { return ran ? bytes : 0; }

  counters& counts;
  const int id;
  const std::size_t bytes;
  const std::chrono::microseconds delay;
  gate* const held_by;
  bool ran = false;
};

struct fake_item {
  fake_item(counters& c, int id, bool ends) : counts(c), id(id), ends(ends) { ++counts.alive; }
  ~fake_item() { --counts.alive; }
  fake_item(const fake_item&) = delete;
  fake_item& operator=(const fake_item&) = delete;
  counters& counts;
  const int id;
  const bool ends;  // the run ends when its turn comes
};

using pipeline = stylo::report::ordered_pipeline<fake_job, std::unique_ptr<fake_item>>;

pipeline::runner_maker runners(counters& counts) {
  return [&counts](std::size_t keep_at_most) {
    counts.keep_at_most = keep_at_most;
    return [&counts](fake_job& job) {
      ++counts.started;
      const int now = ++counts.in_flight;
      for (int most = counts.most_in_flight; now > most && !counts.most_in_flight.compare_exchange_weak(most, now);) {
      }
      if (job.held_by != nullptr) job.held_by->pass();
      if (job.delay.count() > 0) std::this_thread::sleep_for(job.delay);
      job.ran = true;
    };
  };
}

// One entry of a run: a job, or an item (which may end the run).
struct step {
  bool item = false;
  std::size_t bytes = 0;
  std::chrono::microseconds delay{0};
  bool ends = false;
  gate* held_by = nullptr;
};

// Takes the entries as the report does: each added once there is room, the
// entries already done taken on the way, the rest at the end; an ending
// item stops the run. Returns the ids in the order they came out, an
// item's as a negative number.
std::vector<int> drive(pipeline& pipe, counters& counts, const std::vector<step>& steps) {
  std::vector<int> out;
  bool ended = false;
  const auto take = [&] {
    pipeline::entry next = pipe.take_next();
    if (auto* job = std::get_if<std::unique_ptr<fake_job>>(&next)) {
      EXPECT_TRUE((*job)->ran) << "job " << (*job)->id << " handed over before it ran";
      out.push_back((*job)->id);
      --counts.in_flight;
    } else {
      const auto& item = std::get<std::unique_ptr<fake_item>>(next);
      out.push_back(-item->id);
      ended = item->ends;
    }
  };
  for (std::size_t i = 0; i < steps.size() && !ended; ++i) {
    while (!ended && !pipe.empty() && (!pipe.has_room() || pipe.next_ready())) take();
    if (ended) break;
    const step& s = steps[i];
    const int id = static_cast<int>(i) + 1;
    if (s.item) {
      pipe.add_item(std::make_unique<fake_item>(counts, id, s.ends));
    } else {
      pipe.add(std::make_unique<fake_job>(counts, id, s.bytes, s.delay, s.held_by));
    }
  }
  while (!ended && !pipe.empty()) take();
  return out;
}

// What should come out: every entry up to the first ending item.
std::vector<int> expected(const std::vector<step>& steps) {
  std::vector<int> out;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const int id = static_cast<int>(i) + 1;
    out.push_back(steps[i].item ? -id : id);
    if (steps[i].ends) break;
  }
  return out;
}

TEST(OrderedPipeline, EntriesComeOutInTheOrderGiven) {
  const struct {
    const char* what;
    std::size_t count;
    int item_every;     // 0: no items
    int ending_at;      // the index of an item that ends the run; -1: none
    std::size_t bytes;  // each job's result
    std::size_t held;   // the pipeline's bound on the bytes held
  } cases[] = {
      {"jobs only", 150, 0, -1, 10, 1 << 20},
      {"an item between every two jobs", 150, 2, -1, 10, 1 << 20},
      {"items now and then", 150, 7, -1, 10, 1 << 20},
      {"every result over the bound: only the front runs", 60, 5, -1, 100, 50},
      {"an item that ends the run halfway", 150, 4, 75, 10, 1 << 20},
      {"an item that ends the run first", 20, 3, 0, 10, 1 << 20},
  };
  std::mt19937 random(20261210);
  for (const auto& c : cases) {
    for (unsigned threads = 1; threads <= 4; ++threads) {
      for (const std::size_t window : {1u, 2u, 7u, 64u}) {
        SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(threads) + " threads, window " +
                     std::to_string(window));
        std::vector<step> steps(c.count);
        for (std::size_t i = 0; i < steps.size(); ++i) {
          steps[i].item = c.item_every != 0 && i % static_cast<std::size_t>(c.item_every) == 0;
          steps[i].ends = steps[i].item && static_cast<int>(i) == c.ending_at;
          steps[i].bytes = c.bytes;
          // Jobs that finish out of order: most at once, some late.
          steps[i].delay = std::chrono::microseconds(random() % 4 == 0 ? random() % 400 : 0);
        }
        counters counts;
        {
          pipeline pipe(threads, window, c.held, runners(counts));
          EXPECT_EQ(drive(pipe, counts, steps), expected(steps));
          EXPECT_LE(counts.most_in_flight.load(), static_cast<int>(window));
        }
        EXPECT_EQ(counts.alive.load(), 0) << "an entry outlived the pipeline";
        if (counts.started > 0) {
          EXPECT_EQ(counts.keep_at_most.load(), c.held / threads);
        }
      }
    }
  }
}

// The first job is held until released; the second has a big result. No
// job after them starts meanwhile when that result is over the bound (an
// item between them lets nothing through); when it is not, the threads go
// on ahead.
TEST(OrderedPipeline, ABigResultHoldsTheOthersBack) {
  const struct {
    const char* what;
    unsigned threads;
    std::size_t big;
    bool others_start;  // before the first job is released
  } cases[] = {
      {"two threads, over the bound", 2, 1000, false},
      {"three threads, over the bound", 3, 1000, false},
      {"four threads, over the bound", 4, 5000, false},
      {"two threads, within it", 2, 10, true},
      {"four threads, within it", 4, 10, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    counters counts;
    gate first;
    std::vector<step> steps(40);
    steps[0].held_by = &first;
    steps[1].bytes = c.big;
    steps[2].item = true;
    int started_before_release = 0;
    {
      pipeline pipe(c.threads, 64, 100, runners(counts));
      std::thread releaser([&] {
        // Once the first two are under way, a while for the others to
        // start if they may: long enough when they should not, and cut
        // short as soon as they do when they should.
        while (counts.started < 2) std::this_thread::sleep_for(1ms);
        const auto until = std::chrono::steady_clock::now() + (c.others_start ? 10s : 100ms);
        while (std::chrono::steady_clock::now() < until && counts.started <= 2) std::this_thread::sleep_for(1ms);
        started_before_release = counts.started;
        first.open();
      });
      EXPECT_EQ(drive(pipe, counts, steps), expected(steps));
      releaser.join();
    }
    if (c.others_start) {
      EXPECT_GT(started_before_release, 2);
    } else {
      EXPECT_EQ(started_before_release, 2);
    }
    EXPECT_EQ(counts.alive.load(), 0);
  }
}

// A pipeline dropped while jobs are staged, running (held up) or done and
// not taken, and items wait: it joins its threads once the running jobs
// end, and every job and item is gone with it.
TEST(OrderedPipeline, DroppedWithWorkOutstandingLeavesNothing) {
  const struct {
    unsigned threads;
    std::size_t entries;
    std::size_t taken;  // before it is dropped
    bool held_up;       // a job still running when it is dropped
  } cases[] = {
      {1, 10, 0, false}, {2, 40, 0, true}, {3, 40, 5, true}, {4, 100, 30, true}, {4, 100, 99, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.threads) + " threads, " + std::to_string(c.taken) + " of " +
                 std::to_string(c.entries) + " taken");
    counters counts;
    gate late;
    std::optional<std::thread> releaser;
    {
      pipeline pipe(c.threads, c.entries, 1 << 20, runners(counts));
      for (std::size_t i = 0; i < c.entries; ++i) {
        const int id = static_cast<int>(i) + 1;
        if (i % 3 == 2) {
          pipe.add_item(std::make_unique<fake_item>(counts, id, false));
        } else {
          // With more than one thread, a job after those taken stays held
          // up until after the drop has begun.
          gate* held = c.held_up && c.threads > 1 && i == c.taken + 1 ? &late : nullptr;
          pipe.add(std::make_unique<fake_job>(counts, id, 1, 0us, held));
        }
      }
      // Started before any entry is taken: the report's thread, helping
      // while the front is not done, may claim the held job itself, and
      // would wait for ever on a gate opened only after the taking.
      releaser.emplace([&] {
        std::this_thread::sleep_for(50ms);
        late.open();
      });
      for (std::size_t i = 0; i < c.taken; ++i) {
        const pipeline::entry next = pipe.take_next();
        if (const auto* job = std::get_if<std::unique_ptr<fake_job>>(&next)) {
          EXPECT_EQ((*job)->id, static_cast<int>(i) + 1);
        }
      }
      EXPECT_EQ(pipe.waiting(), c.entries - c.taken);
    }
    releaser->join();
    const int started = counts.started;
    EXPECT_EQ(counts.alive.load(), 0) << "an entry outlived the pipeline";
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(counts.started.load(), started) << "a job ran after the pipeline was gone";
  }
}

}  // namespace
