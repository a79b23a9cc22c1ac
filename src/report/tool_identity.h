#pragma once
/// What stylo-report says of itself: its version (the project's, set once
/// in CMakeLists.txt's project()) and where to learn more, for --version
/// and the SARIF tool description.

#include <string_view>

namespace stylo::report {

inline constexpr std::string_view tool_version = STYLO_REPORT_VERSION;
inline constexpr std::string_view tool_information_uri = STYLO_REPORT_INFORMATION_URI;

}  // namespace stylo::report
