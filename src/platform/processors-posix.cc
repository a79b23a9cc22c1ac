#include "platform/processors.h"

#include <thread>

namespace stylo::platform {

// The generic POSIX systems tell no affinity or quota in a common way: the
// processors the library sees.
unsigned usable_processors() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
}

}  // namespace stylo::platform
