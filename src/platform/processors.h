#pragma once
/// How many processors this process may run on at once: the default number
/// of threads for work that divides into independent pieces.

namespace stylo::platform {

/// The processors the process may use: those of its affinity mask, fewer
/// where its container's CPU quota allows less (rounded up), never fewer
/// than 1.
unsigned usable_processors();

}  // namespace stylo::platform
