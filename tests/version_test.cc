// The version text made from the build time.

#include "driver/version.h"

#include <regex>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string text(const auto& chars) { return std::string(chars.data(), chars.size()); }

TEST(Version, TimestampFromCompilerMacros) {
  const struct {
    const char* date;
    const char* time;
    const char* expected;
  } cases[] = {
      {"Oct 30 2013", "00:50:45", "Wed Oct 30 00:50:45 2013"},
      {"Dec  8 2026", "18:19:07", "Tue Dec 08 18:19:07 2026"},
      {"Jan  1 2000", "23:59:59", "Sat Jan 01 23:59:59 2000"},
      {"Feb 29 2024", "12:00:00", "Thu Feb 29 12:00:00 2024"},
      {"Mar  1 2100", "00:00:00", "Mon Mar 01 00:00:00 2100"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(stylo::timestamp_from_compiler(c.date, c.time)), c.expected);
}

TEST(Version, VersionTextPicksYearMonthDayHourMinute) {
  EXPECT_EQ(text(stylo::make_version_text("Wed Oct 30 00:50:45 2013")), "2013.Oct.30.00.50");
  EXPECT_EQ(text(stylo::make_version_text("Tue Dec 08 18:19:07 2026")), "2026.Dec.08.18.19");
}

TEST(Version, BuiltVersionIsWellFormed) {
  EXPECT_TRUE(std::regex_match(std::string(stylo::version_text),
                               std::regex(R"(\d{4}\.(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\.\d\d\.\d\d\.\d\d)")))
      << stylo::version_text;
  EXPECT_EQ(stylo::version_text, text(stylo::make_version_text(stylo::build_timestamp)));
}

}  // namespace
