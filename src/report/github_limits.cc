#include "report/github_limits.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace stylo::report {
namespace {

// The summary is Markdown, in which HTML is taken as it is: the findings go
// in a <pre> block, where only these three need escaping.
void append_html(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

constexpr std::string_view heading = "### stylo: every finding\n\n<pre>\n";
constexpr std::string_view closing = "</pre>\n";
// Room kept for the closing tag and the line that counts what did not fit.
constexpr std::uint64_t room_for_the_end = 256;

}  // namespace

github_summary::github_summary(std::string summary_file) : file_(std::move(summary_file)), text_(heading) {}

void github_summary::add(const reported_finding& reported) {
  ++findings_;
  if (shown_ < findings_ - 1) return;  // the summary is full
  std::string line;
  append_html(line, reported.found.file_name);
  line += ':';
  append_number(line, reported.found.line);
  line += ':';
  append_number(line, reported.found.column);
  line += ": ";
  append_html(line, reported.rule.id);
  line += ": ";
  append_html(line, reported.found.message);
  line += '\n';
  if (text_.size() + line.size() + room_for_the_end > github_summary_bytes) return;
  text_ += line;
  ++shown_;
}

void github_summary::finish(std::string& report) {
  if (findings_ <= github_step_warnings) return;
  const std::string count = std::to_string(findings_);
  std::string where;
  if (!file_.empty()) {
    // The summary file is GitHub's, shared by the step's commands: added to,
    // as its protocol asks, within what the step's earlier text left of the
    // mebibyte GitHub shows.
    std::FILE* summary = std::fopen(file_.c_str(), "ab");
    long before = 0;
    if (summary != nullptr && std::fseek(summary, 0, SEEK_END) == 0) before = std::max(0L, std::ftell(summary));
    const std::uint64_t left = github_summary_bytes - std::min<std::uint64_t>(github_summary_bytes, before);
    if (text_.size() + room_for_the_end > left) {
      // Whole lines only: cut back to a line end, and count what was cut.
      const std::size_t keep = left > heading.size() + room_for_the_end
                                   ? text_.rfind('\n', left - room_for_the_end - 1) + 1
                                   : 0;
      const std::size_t kept = std::max(keep, heading.size());
      const auto cut = text_.begin() + static_cast<std::ptrdiff_t>(kept);
      shown_ -= static_cast<std::uint64_t>(std::count(cut, text_.end(), '\n'));
      text_.resize(kept);
    }
    text_ += closing;
    if (shown_ < findings_) {
      text_ += '\n';
      text_ += std::to_string(findings_ - shown_);
      text_ +=
          " more findings did not fit in the summary: run stylo-report on the change (--changed-since) or with "
          "--output to a file kept as an artifact.\n";
    }
    const bool written = summary != nullptr && std::fwrite(text_.data(), 1, text_.size(), summary) == text_.size();
    const bool closed = summary != nullptr && std::fclose(summary) == 0;
    if (!written || !closed) {
      where = "the job summary could not be written (" + file_ + "): see the step's log";
    } else if (shown_ < findings_) {
      where = "the first ";
      where += std::to_string(shown_);
      where += " are in this step's job summary";
    } else {
      where = "all of them are in this step's job summary";
    }
  } else {
    where = "set GITHUB_STEP_SUMMARY, or run with --format=gcc, to see all of them";
  }
  report += "::notice title=stylo::" + count + " findings, and GitHub shows " +
            std::to_string(github_step_warnings) + " as annotations of a step: " + where + "\n";
}

std::string code_scanning_warning(std::uint64_t results) {
  if (results <= code_scanning_results) return {};
  return "stylo-report: warning: the SARIF report holds " + std::to_string(results) +
         " results, more than the " + std::to_string(code_scanning_results) +
         " GitHub code scanning takes in one run: report only a change (--changed-since=REV) or leave out the "
         "known findings (--baseline=FILE)";
}

}  // namespace stylo::report
