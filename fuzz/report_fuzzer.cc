// Fuzz target: arbitrary bytes as a file name and a source text, through
// every stylo-report format.
//
// For every input, what must always hold:
// - no crash, no hang, no sanitizer report;
// - json, gitlab and sarif parse as JSON (which must be valid UTF-8), hold
//   one entry per finding, and their URIs give back every byte of the name;
// - checkstyle and junit are well-formed XML 1.0 as far as their
//   characters go: valid UTF-8, only characters XML can hold, '<' and '&'
//   only where markup or a known reference begins, no '"' inside a value;
// - github is one line per finding, plus one for the file that cannot be
//   opened.
//
// The input's first byte gives the name's length (0-63); the name follows,
// the text is the rest. The name is then reported once more as a file that
// cannot be opened.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "report/finding_reporter.h"
#include "report/report_format.h"
#include "text/utf8_text.h"
#include "core/check.h"

namespace {

using stylo::report::format_name;
using stylo_fuzz::fail;

std::string percent_decoded(std::string_view uri) {
  std::string bytes;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size()) {
      bytes += static_cast<char>(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      bytes += uri[i];
    }
  }
  return bytes;
}

// The name as its URI gives it back: a leading "./" is dropped, an absolute
// name is a file URI (see file_uri.h).
void check_uri(std::string_view uri, std::string_view name) {
  std::string expected(name);
  const bool drive = name.size() >= 3 && ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z') && name[1] == ':' &&
                     (name[2] == '/' || name[2] == '\\');
  if (drive) {
    for (char& c : expected) c = c == '\\' ? '/' : c;
    expected = "file:///" + expected;
  } else if (name.starts_with('/')) {
    expected = "file://" + expected;
  } else {
    std::string_view rest = name;
    while (rest.starts_with("./")) {
      rest.remove_prefix(2);
      while (rest.starts_with('/')) rest.remove_prefix(1);
    }
    expected = rest;
  }
  if (percent_decoded(uri) != expected) fail("a URI does not give back the name", uri);
}

nlohmann::json parsed(const std::string& text) {
  nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
  if (value.is_discarded()) fail("not JSON", text);
  return value;
}

void check_xml_characters(const std::string& xml) {
  bool in_tag = false, in_value = false;
  for (std::size_t at = 0; at < xml.size();) {
    const std::size_t length = stylo::utf8_sequence_length(xml, at);
    if (length == 0) fail("XML that is not UTF-8", xml);
    const char32_t code = stylo::utf8_code_point(xml, at, length);
    if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0xFFFE || code == 0xFFFF) {
      fail("a character XML cannot hold", xml);
    }
    if (code == '&') {
      static constexpr std::string_view references[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#9;", "&#10;", "&#13;"};
      bool known = false;
      for (std::string_view reference : references) known = known || xml.compare(at, reference.size(), reference) == 0;
      if (!known) fail("an '&' that begins no reference", xml.substr(at, 20));
    } else if (code == '<') {
      if (in_tag || in_value) fail("a '<' inside markup", xml.substr(at, 40));
      in_tag = true;
    } else if (code == '>' && in_tag && !in_value) {
      in_tag = false;
    } else if (code == '"' && in_tag) {
      in_value = !in_value;
    } else if (code == '>' && !in_tag) {
      fail("a '>' outside markup", xml.substr(at, 40));
    }
    at += length;
  }
  if (in_tag || in_value) fail("XML ends inside markup", xml);
}

std::string report(format_name format, const std::string& name, std::string_view text, std::uint64_t& findings) {
  std::string out;
  const auto writer = stylo::report::make_format(format, out);
  stylo::report::finding_reporter reporter(*writer, nullptr, nullptr);
  writer->begin();
  reporter.start_file(name);
  static stylo::checker checks;
  if (checks.check_text(name, text, reporter) != stylo::check_outcome::checked) fail("check_text failed", text);
  reporter.end_file();
  reporter.start_file(name);
  reporter.cannot_open();
  writer->end();
  findings = reporter.reported();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t name_length = std::min<std::size_t>(bytes[0] & 63, size - 1);
  const std::string name(bytes.substr(1, name_length));
  const std::string_view text = bytes.substr(1 + name_length);

  std::uint64_t expected = 0;
  report(format_name::gcc, name, text, expected);
  for (const format_name format : {format_name::json, format_name::gitlab, format_name::sarif, format_name::github,
                                   format_name::checkstyle, format_name::junit}) {
    std::uint64_t findings = 0;
    const std::string out = report(format, name, text, findings);
    if (findings != expected) fail("formats differ in their findings", out);
    switch (format) {
      case format_name::json: {
        std::size_t lines = 0;
        for (std::size_t start = 0; start < out.size(); ++lines) {
          const std::size_t end = out.find('\n', start);
          const nlohmann::json object = parsed(out.substr(start, end - start));
          check_uri(object.at("uri").get<std::string>(), name);
          start = end + 1;
        }
        if (lines != findings) fail("json: not one line per finding", out);
        break;
      }
      case format_name::gitlab:
        if (parsed(out).size() != findings) fail("gitlab: not one issue per finding", out);
        break;
      case format_name::sarif: {
        const nlohmann::json run = parsed(out).at("runs").at(0);
        if (run.at("results").size() != findings) fail("sarif: not one result per finding", out);
        for (const nlohmann::json& result : run.at("results")) {
          check_uri(result.at("locations").at(0).at("physicalLocation").at("artifactLocation").at("uri")
                        .get<std::string>(),
                    name);
        }
        break;
      }
      case format_name::github: {
        std::size_t lines = 0;
        for (const char c : out) lines += c == '\n';
        if (lines != findings + 1 || out.find('\r') != std::string::npos) fail("github: not one line each", out);
        break;
      }
      default:
        check_xml_characters(out);
    }
  }
  return 0;
}
