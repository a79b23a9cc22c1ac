#pragma once
/// The version shown in the usage text: the time the program was built.

#include <array>
#include <cstddef>
#include <string_view>

namespace stylo {

/// A timestamp in the form "Wed Oct 30 00:50:45 2013": day of week, month,
/// day of month in two positions, hh:mm:ss, year, single blanks between.
using timestamp_text = std::array<char, 24>;

/// Year, month, day, hour and minute of a timestamp joined by dots:
/// "2013.Oct.30.00.50".
using version_string = std::array<char, 17>;

/// Turns the compiler's __DATE__ ("Oct 30 2013", day padded with a blank)
/// and __TIME__ ("00:50:45") into a timestamp. The day of month is written
/// with a leading zero below 10, so that the version text never holds a blank.
constexpr timestamp_text timestamp_from_compiler(std::string_view date, std::string_view time) {
  constexpr std::string_view months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  constexpr std::string_view days = "SunMonTueWedThuFriSat";
  int month = 0;
  while (month < 12 && months.substr(static_cast<std::size_t>(month) * 3, 3) != date.substr(0, 3)) ++month;
  const int day = (date[4] == ' ' ? 0 : date[4] - '0') * 10 + (date[5] - '0');
  const int year = (date[7] - '0') * 1000 + (date[8] - '0') * 100 + (date[9] - '0') * 10 + (date[10] - '0');
  // Day of week by Sakamoto's method (month 0-based here).
  constexpr int offsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = month < 2 ? year - 1 : year;
  const int weekday = (y + y / 4 - y / 100 + y / 400 + offsets[month % 12] + day) % 7;

  timestamp_text out{};
  std::size_t at = 0;
  auto put = [&](std::string_view piece) {
    for (char ch : piece) out[at++] = ch;
  };
  put(days.substr(static_cast<std::size_t>(weekday) * 3, 3));
  put(" ");
  put(date.substr(0, 3));
  put(" ");
  out[at++] = date[4] == ' ' ? '0' : date[4];
  out[at++] = date[5];
  put(" ");
  put(time.substr(0, 8));
  put(" ");
  put(date.substr(7, 4));
  return out;
}

/// Takes positions 20-23, 4-6, 8-9, 11-12 and 14-15 of a timestamp, joined
/// by dots; the day of week and the seconds are dropped.
constexpr version_string make_version_text(std::string_view timestamp) {
  version_string out{};
  std::size_t at = 0;
  auto copy = [&](std::size_t from, std::size_t count) {
    if (at > 0) out[at++] = '.';
    for (std::size_t i = 0; i < count; ++i) out[at++] = timestamp[from + i];
  };
  copy(20, 4);
  copy(4, 3);
  copy(8, 2);
  copy(11, 2);
  copy(14, 2);
  return out;
}

/// When the program was built (see `timestamp_from_compiler`).
extern const std::string_view build_timestamp;

/// `make_version_text(build_timestamp)`.
extern const std::string_view version_text;

}  // namespace stylo
