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

/// Keeps a copy of `name`; returns its slot, or -1 when all are taken.
inline int keep(const std::string& name) {
  char* copy = new char[name.size() + 1];
  std::memcpy(copy, name.c_str(), name.size() + 1);
  for (int i = 0; i < slots; ++i) {
    char* empty = nullptr;
    if (names[i].compare_exchange_strong(empty, copy)) return i;
  }
  delete[] copy;
  return -1;
}

/// Forgets the name in `slot` (the file was renamed or removed).
inline void forget(int& slot) {
  if (slot < 0) return;
  // Taken out of the table before it is freed: a handler that runs now
  // sees either the name whole or nothing.
  delete[] names[slot].exchange(nullptr);
  slot = -1;
}

/// For the handler: calls `remove` on every name kept, allocating nothing.
template <typename Remove>
void remove_all(Remove remove) {
  for (int i = 0; i < slots; ++i) {
    if (const char* name = names[i].load()) remove(name);
  }
}

}  // namespace stylo::platform::removal_registry
