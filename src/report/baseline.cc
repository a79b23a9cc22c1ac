#include "report/baseline.h"

#include <nlohmann/json.hpp>

#include "platform/file_input.h"

namespace stylo::report {
namespace {

// Reads the whole file through the platform layer, which opens any name
// (UTF-8 on Windows) as stylo does. False when it cannot be opened or read.
bool read_whole(const std::string& name, std::string& content, bool& opened) {
  opened = false;
  const platform::input_handle input = platform::open_for_reading(name);
  if (input == platform::no_input) return false;
  opened = true;
  char block[64 * 1024];
  for (;;) {
    const platform::block_read read = platform::read_block(input, block, sizeof block);
    if (read.outcome == platform::read_outcome::data) {
      content.append(block, read.length);
      continue;
    }
    platform::close_input(input);
    return read.outcome == platform::read_outcome::end;
  }
}

using json = nlohmann::json;

// Takes the fingerprint at `holder[key]`, if it is one. False when it is
// missing or malformed.
bool take(std::unordered_set<fingerprint>& known, const json& holder, const char* key) {
  if (!holder.is_object()) return false;
  const auto found = holder.find(key);
  if (found == holder.end() || !found->is_string()) return false;
  fingerprint value;
  if (!parse_fingerprint(found->get_ref<const std::string&>(), value)) return false;
  known.insert(value);
  return true;
}

bool take_sarif(std::unordered_set<fingerprint>& known, const json& log) {
  const auto runs = log.find("runs");
  if (runs == log.end() || !runs->is_array()) return false;
  for (const json& run : *runs) {
    if (!run.is_object()) return false;
    const auto results = run.find("results");
    if (results == run.end()) continue;
    if (!results->is_array()) return false;
    for (const json& result : *results) {
      if (!result.is_object()) return false;
      const auto partial = result.find("partialFingerprints");
      if (partial == result.end() || !take(known, *partial, "stylo/v1")) return false;
    }
  }
  return true;
}

}  // namespace

std::string baseline::load(const std::string& name) {
  std::string content;
  bool opened;
  if (!read_whole(name, content, opened)) {
    return opened ? "Failed while parsing baseline '" + name + "'" : "Unable to open baseline '" + name + "'";
  }
  const std::string not_a_report =
      "The baseline '" + name + "' is not a json, sarif or gitlab report of stylo-report";
  // A sarif report, a gitlab report (an array), or a json report of one line.
  const json whole = json::parse(content, nullptr, false);
  if (!whole.is_discarded()) {
    if (whole.is_object() && whole.contains("runs")) return take_sarif(known_, whole) ? "" : not_a_report;
    if (whole.is_array()) {
      for (const json& issue : whole) {
        if (!take(known_, issue, "fingerprint")) return not_a_report;
      }
      return {};
    }
    return take(known_, whole, "fingerprint") ? "" : not_a_report;
  }
  // A json report: one object a line.
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string_view line = std::string_view(content).substr(start, end - start);
    start = end + 1;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    const json object = json::parse(line, nullptr, false);
    if (object.is_discarded() || !take(known_, object, "fingerprint")) return not_a_report;
  }
  return {};
}

}  // namespace stylo::report
