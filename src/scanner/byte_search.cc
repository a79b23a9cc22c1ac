#include "scanner/byte_search.h"

namespace stylo {

#if defined(STYLO_HAVE_X86_SEARCHES)
alignas(64) const std::array<std::array<char, 64>, 256> byte_splats = [] {
  std::array<std::array<char, 64>, 256> rows{};
  for (unsigned c = 0; c < 256; ++c) rows[c].fill(static_cast<char>(c));
  return rows;
}();
#endif

}  // namespace stylo
