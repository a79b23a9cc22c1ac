#include "platform/processors.h"

#include <windows.h>

#include <bitset>
#include <thread>

namespace stylo::platform {

// The processors of the process's affinity mask (in its processor group);
// the library's count where the mask cannot be had.
unsigned usable_processors() {
  DWORD_PTR process = 0, system = 0;
  unsigned count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) != 0) {
    count = static_cast<unsigned>(std::bitset<sizeof(DWORD_PTR) * 8>(process).count());
  }
  if (count == 0) count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
}

}  // namespace stylo::platform
