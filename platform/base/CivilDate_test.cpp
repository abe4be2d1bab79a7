#include "platform/base/CivilDate.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(CivilDateTest, DaysAndDatesConvertBothWays) {
  const struct {
    CivilDate date;
    std::int64_t days;
  } rows[] = {
      {{1970, 1, 1}, 0},      {{1969, 12, 31}, -1},    {{2000, 2, 29}, 11016}, {{2000, 3, 1}, 11017},
      {{1900, 3, 1}, -25508}, {{2024, 12, 31}, 20088}, {{1, 1, 1}, -719162},   {{-1, 12, 31}, -719529},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(daysFromCivil(row.date), row.days) << row.date.year << "-" << row.date.month << "-" << row.date.day;
    EXPECT_EQ(civilFromDays(row.days), row.date) << row.days;
  }
  // A day past the month's end counts on into the next month.
  EXPECT_EQ(daysFromCivil({2023, 2, 29}), daysFromCivil({2023, 3, 1}));
  EXPECT_EQ(daysFromCivil({2023, 3, 0}), daysFromCivil({2023, 2, 28}));
}

TEST(CivilDateTest, MonthLengthsFollowTheLeapYearRule) {
  const struct {
    std::int64_t year, month, days;
  } rows[] = {{2023, 2, 28}, {2024, 2, 29}, {1900, 2, 28}, {2000, 2, 29}, {2023, 4, 30}, {2023, 12, 31}};
  for (const auto& row : rows) EXPECT_EQ(daysInMonth(row.year, row.month), row.days) << row.year << "-" << row.month;
}

}  // namespace
}  // namespace platform
