#pragma once
// Helpers shared by the unit tests: temporary files and the scan of a text.

#include <string>
#include <string_view>
#include <vector>

#include "core/check.h"
#include "platform/file_input.h"
#include "scanner/line_reader.h"

namespace stylo_test {

/// A path inside a directory private to this test process.
std::string temp_path(std::string_view leaf);

/// Writes `bytes` to `path`, replacing it.
void write_file(const std::string& path, std::string_view bytes);

/// An open input on `path` whose every read fails: opened for writing only.
stylo::platform::input_handle write_only_input(const std::string& path);

struct lines_result {
  std::vector<std::string> lines;
  stylo::read_status last;  ///< the status that ended the reading
};

/// Reads `input` to its end with read_line, then closes it.
lines_result read_all(stylo::platform::input_handle input);

/// Runs check_file on a file holding `bytes`; returns what it wrote to
/// standard output.
std::string check_text(std::string_view bytes, stylo::scan_method method = stylo::scan_method::fast);

/// Keeps every finding it is given, each as
/// "<line>:<column>-<end column>:<subject>:<suggested>|<line text>".
class recording_sink final : public stylo::finding_sink {
 public:
  void take(const stylo::finding& found) override;
  std::vector<std::string> found;
};

/// The scans that must agree on every input.
enum class scan_kind { plain, fast, fast_portable, fast_sse2, fast_avx2, fast_avx512 };

/// The findings of one scan of a file holding `bytes`, one per warning
/// line, as "<line>:<keyword>" or "<line>:<found operator>". Fails the test
/// if a warning line is not in the exact format.
std::vector<std::string> findings_of(scan_kind scan, std::string_view bytes);

/// `full` rounds of a randomized test, or the share of them that
/// STYLO_TEST_ROUNDS_PERCENT gives (at least one). Builds that run many
/// times slower than a native one (sanitized, under valgrind or an
/// emulator) run the random cases in part; a native build runs them all.
int rounds(int full);

/// Whether this build runs the random cases in part (see `rounds`): its
/// widest cases may then be made smaller too.
bool runs_in_part();

/// The plain scan, then every fast scan this processor runs.
std::vector<scan_kind> fast_scans();

/// Where the plain scan puts each finding of a file holding `bytes`, one per
/// line: "<line>:<column>-<end column>:<subject>:<suggested>:fix@<offset>|<line text>"
/// (the fix's offset only where the finding has one).
std::string places_of(scan_kind scan, std::string_view bytes);

/// The places of the findings of the last `findings_of` or `places_of`.
const std::string& last_places();

/// Expects every scan, and the check of the same bytes held in memory, to
/// give `expected` for `bytes`, each finding at the same place.
void expect_findings(std::string_view bytes, const std::vector<std::string>& expected, std::string_view label);

}  // namespace stylo_test
