#pragma once
// Helpers shared by the unit tests: temporary files and the scan of a text.

#include <string>
#include <string_view>
#include <vector>

namespace stylo_test {

/// A path inside a directory private to this test process.
std::string temp_path(std::string_view leaf);

/// Writes `bytes` to `path`, replacing it.
void write_file(const std::string& path, std::string_view bytes);

/// Runs check_file on a file holding `bytes`; returns what it wrote to
/// standard output.
std::string check_text(std::string_view bytes);

/// The findings of check_text(bytes), one per warning line, as
/// "<line>:<keyword>" or "<line>:<found operator>". Fails the test if a
/// warning line is not in the exact format.
std::vector<std::string> findings(std::string_view bytes);

/// The same findings from the character-at-a-time reference scan.
std::vector<std::string> plain_findings(std::string_view bytes);

}  // namespace stylo_test
