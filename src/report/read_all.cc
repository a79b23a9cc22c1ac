#include "report/read_all.h"

namespace stylo::report {

bool read_all(platform::input_handle input, std::string& text) {
  char block[64 * 1024];
  for (;;) {
    const platform::block_read read = platform::read_block(input, block, sizeof block);
    if (read.outcome == platform::read_outcome::end) return true;
    if (read.outcome != platform::read_outcome::data) return false;
    text.append(block, read.length);
  }
}

}  // namespace stylo::report
