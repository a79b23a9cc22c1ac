// What is done past GitHub's limits: the job summary of a github report
// (written only past 10 findings, every finding in it, escaped for its
// Markdown, cut within 1 MiB with the rest counted, added to what the file
// holds), the closing notice, and the SARIF warning past 25,000 results.

#include "report/github_limits.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace stylo;
using namespace stylo::report;

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// `count` findings of file `name`, lines 1, 2, ..., each with `message`.
std::string summarized(github_summary& summary, std::uint64_t count, std::string_view name,
                       std::string_view message) {
  for (std::uint64_t line = 1; line <= count; ++line) {
    finding found{};
    found.rule = rule_id::keyword_space;
    found.file_name = name;
    found.line = line;
    found.column = 3;
    found.end_column = 6;
    found.message = message;
    summary.add({found, info_of(found.rule), 0, name, 3, 6, {}});
  }
  std::string report;
  summary.finish(report);
  return report;
}

class github_limits_test : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = ::testing::TempDir() + "stylo_summary_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".md";
    std::remove(file_.c_str());
  }
  void TearDown() override { std::remove(file_.c_str()); }
  std::string file_;
};

TEST_F(github_limits_test, nothing_past_the_annotations_when_they_show_all) {
  github_summary summary(file_);
  EXPECT_EQ(summarized(summary, github_step_warnings, "a.c", "m"), "");
  EXPECT_FALSE(std::ifstream(file_).good()) << "the summary was written with every finding annotated";
}

TEST_F(github_limits_test, every_finding_in_the_summary_and_one_notice) {
  {
    std::ofstream before(file_, std::ios::binary);
    before << "earlier step text\n";
  }
  github_summary summary(file_);
  const std::string report = summarized(summary, 11, "<a&b>.c", "x < y");
  EXPECT_EQ(report,
            "::notice title=stylo::11 findings, and GitHub shows 10 as annotations of a step: all of them are in this "
            "step's job summary\n");
  const std::string written = read_file(file_);
  ASSERT_TRUE(written.starts_with("earlier step text\n### stylo: every finding\n\n<pre>\n")) << written;
  for (int line = 1; line <= 11; ++line) {
    const std::string want = std::string("&lt;a&amp;b&gt;.c:") + std::to_string(line) + ":3: keyword-space: x &lt; y\n";
    EXPECT_NE(written.find(want), std::string::npos) << want;
  }
  EXPECT_TRUE(written.ends_with("</pre>\n"));
}

TEST_F(github_limits_test, the_summary_stays_within_its_mebibyte) {
  github_summary summary(file_);
  const std::string message(1000, 'm');
  const std::string report = summarized(summary, 5000, "f.c", message);
  const std::string written = read_file(file_);
  EXPECT_LE(written.size(), github_summary_bytes);
  EXPECT_GT(written.size(), github_summary_bytes - 2000);
  const std::size_t more_at = written.find(" more findings did not fit in the summary");
  ASSERT_NE(more_at, std::string::npos);
  const std::size_t number_at = written.rfind('\n', more_at) + 1;
  const std::uint64_t more = std::stoull(written.substr(number_at, more_at - number_at));
  std::uint64_t shown = 0;
  for (std::size_t at = written.find("\nf.c:"); at != std::string::npos; at = written.find("\nf.c:", at + 1)) ++shown;
  EXPECT_GT(shown, 900u);
  EXPECT_EQ(shown + more, 5000u) << "every finding either shown or counted";
  EXPECT_NE(report.find("5000 findings"), std::string::npos);
  EXPECT_NE(report.find(std::string("the first ") + std::to_string(shown) + " are in this step's job summary"), std::string::npos)
      << report;
}

TEST_F(github_limits_test, what_the_step_wrote_before_counts_towards_the_mebibyte) {
  const std::string earlier(github_summary_bytes - 10000, 'x');
  {
    std::ofstream before(file_, std::ios::binary);
    before << earlier;
  }
  github_summary summary(file_);
  const std::string report = summarized(summary, 1000, "f.c", std::string(100, 'm'));
  const std::string written = read_file(file_);
  EXPECT_LE(written.size(), github_summary_bytes);
  ASSERT_TRUE(written.starts_with(earlier));
  std::uint64_t shown = 0;
  for (std::size_t at = written.find("\nf.c:"); at != std::string::npos; at = written.find("\nf.c:", at + 1)) ++shown;
  EXPECT_GT(shown, 50u);
  EXPECT_LT(shown, 100u);
  EXPECT_NE(written.find(std::string("\n") + std::to_string(1000 - shown) + " more findings did not fit"), std::string::npos);
  EXPECT_TRUE(written.find("</pre>\n") != std::string::npos);
  EXPECT_NE(report.find(std::string("the first ") + std::to_string(shown) + " are"), std::string::npos) << report;
}

TEST(github_limits, no_summary_file_says_how_to_see_them) {
  github_summary summary("");
  EXPECT_EQ(summarized(summary, 12, "a.c", "m"),
            "::notice title=stylo::12 findings, and GitHub shows 10 as annotations of a step: set "
            "GITHUB_STEP_SUMMARY, or run with --format=gcc, to see all of them\n");
}

TEST(github_limits, a_summary_that_cannot_be_written_is_said) {
  github_summary summary("/nonexistent/dir/summary.md");
  EXPECT_NE(summarized(summary, 11, "a.c", "m").find("the job summary could not be written"), std::string::npos);
}

TEST(github_limits, sarif_past_code_scannings_bound) {
  EXPECT_EQ(code_scanning_warning(0), "");
  EXPECT_EQ(code_scanning_warning(code_scanning_results), "");
  const std::string warning = code_scanning_warning(code_scanning_results + 1);
  EXPECT_NE(warning.find("25001 results, more than the 25000"), std::string::npos) << warning;
  EXPECT_NE(warning.find("--changed-since"), std::string::npos);
  EXPECT_NE(warning.find("--baseline"), std::string::npos);
}

}  // namespace
