#pragma once
/// The names of the temporary files under way, kept where a signal handler
/// (or Windows's console handler, on a thread of its own) can remove them:
/// a fixed table of pointers, set and cleared atomically, which the handler
/// only reads. Used by the file_output implementations only.

#include <atomic>
#include <cstring>
#include <string>

namespace stylo::platform::removal_registry {

// Room for every file --fix holds written and not yet in place (at most
// 128, see file_commit.h; on Linux they have no name at all) and the
// report, many times over. A file whose name finds no slot is not made:
// every name made can be removed by a signal.
inline constexpr int slots = 1024;

inline std::atomic<char*> names[slots];
/// Set by the handler: no new name may be kept, so no file is made after
/// it has removed the others.
inline std::atomic<bool> stopping{false};
/// Names kept whose file may still be about to appear (between `keep` and
/// `settled`): another thread's open or link in progress, which the
/// handler waits for, or it would remove the name before the file exists.
inline std::atomic<int> making{0};

/// Keeps a copy of `name`; returns its slot, or -1 when all are taken.
/// Each successful `keep` is followed by `settled` once the call that
/// makes the file (or fails to) has returned.
inline int keep(const std::string& name) {
  making.fetch_add(1);
  if (stopping.load()) {
    making.fetch_sub(1);
    return -1;
  }
  char* copy = new char[name.size() + 1];
  std::memcpy(copy, name.c_str(), name.size() + 1);
  for (int i = 0; i < slots; ++i) {
    char* empty = nullptr;
    if (names[i].compare_exchange_strong(empty, copy)) return i;
  }
  delete[] copy;
  making.fetch_sub(1);
  return -1;
}

/// The file of the name just kept exists now, or will not.
inline void settled() { making.fetch_sub(1); }

/// Forgets the name in `slot` (the file was renamed or removed).
inline void forget(int& slot) {
  if (slot < 0) return;
  // Taken out of the table before it is freed: a handler that runs now
  // sees either the name whole or nothing.
  delete[] names[slot].exchange(nullptr);
  slot = -1;
}

/// For the handler: stops new names, waits (calling `pause`, about a
/// millisecond each, at most some 200 times) for the files other threads
/// are making, then calls `remove` on every name kept, allocating nothing.
/// A file the handler's own thread was making never settles: the wait
/// ends, and its name, kept before the file, is removed all the same.
template <typename Remove, typename Pause>
void remove_all(Remove remove, Pause pause) {
  stopping.store(true);
  for (int waits = 0; making.load() > 0 && waits < 200; ++waits) pause();
  for (int i = 0; i < slots; ++i) {
    if (const char* name = names[i].load()) remove(name);
  }
}

}  // namespace stylo::platform::removal_registry
