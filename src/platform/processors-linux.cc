#include "platform/processors.h"

#include <sched.h>

#include <cstdio>
#include <thread>

namespace stylo::platform {
namespace {

// The CPU quota of the cgroup (v2) the process runs in, as whole processors
// rounded up: "max" (no quota) or no such file gives 0, for none.
unsigned quota_processors() {
  std::FILE* file = std::fopen("/sys/fs/cgroup/cpu.max", "r");
  if (file == nullptr) return 0;
  char quota[32] = {};
  unsigned long long period = 0;
  const int read = std::fscanf(file, "%31s %llu", quota, &period);
  std::fclose(file);
  if (read != 2 || period == 0) return 0;
  unsigned long long microseconds = 0;
  if (std::sscanf(quota, "%llu", &microseconds) != 1) return 0;  // "max"
  const unsigned long long whole = (microseconds + period - 1) / period;
  return whole == 0 ? 1 : static_cast<unsigned>(whole > 4096 ? 4096 : whole);
}

}  // namespace

unsigned usable_processors() {
  unsigned count = 0;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) count = static_cast<unsigned>(CPU_COUNT(&set));
  // A machine with more processors than the fixed set holds: the library's
  // count, which is not limited by the affinity mask.
  if (count == 0) count = std::thread::hardware_concurrency();
  const unsigned quota = quota_processors();
  if (quota != 0 && quota < count) count = quota;
  return count == 0 ? 1 : count;
}

}  // namespace stylo::platform
