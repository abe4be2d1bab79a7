// Gregorian calendar arithmetic in UTC, on the proleptic calendar (every day counted as
// the Gregorian calendar would, before its adoption too): days since 1970-01-01 to and
// from year, month and day, for request fields such as birthdays and date texts. Pure
// functions; any thread.
#pragma once

#include <cstdint>

namespace platform {

struct CivilDate {
  std::int64_t year = 1970;
  std::int64_t month = 1;  // 1 to 12
  std::int64_t day = 1;    // 1 to daysInMonth()

  bool operator==(const CivilDate&) const = default;
};

// Days since 1970-01-01 of a date whose month is 1 to 12; a day past the month's end
// (or below 1) counts on into the next month (back into the one before).
constexpr std::int64_t daysFromCivil(const CivilDate& date) {
  const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The date `days` days after 1970-01-01 (before it when negative).
constexpr CivilDate civilFromDays(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilDate date;
  date.day = doy - (153 * mp + 2) / 5 + 1;
  date.month = mp < 10 ? mp + 3 : mp - 9;
  date.year = yoe + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

constexpr bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The number of days of `month` (1 to 12) in `year`.
constexpr std::int64_t daysInMonth(std::int64_t year, std::int64_t month) {
  constexpr std::int64_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace platform
