#include "driver/version.h"

namespace stylo {
namespace {

#if defined(STYLO_BUILD_TIMESTAMP)
// Fixed by the build from SOURCE_DATE_EPOCH, for reproducible builds.
constexpr std::string_view given_timestamp = STYLO_BUILD_TIMESTAMP;
static_assert(given_timestamp.size() == 24, "STYLO_BUILD_TIMESTAMP must be like \"Wed Oct 30 00:50:45 2013\"");
constexpr timestamp_text timestamp = [] {
  timestamp_text out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = given_timestamp[i];
  return out;
}();
#else
constexpr timestamp_text timestamp = timestamp_from_compiler(__DATE__, __TIME__);
#endif

constexpr version_string version = make_version_text({timestamp.data(), timestamp.size()});

}  // namespace

const std::string_view build_timestamp{timestamp.data(), timestamp.size()};
const std::string_view version_text{version.data(), version.size()};

}  // namespace stylo
