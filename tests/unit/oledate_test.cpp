#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "base/oledate.h"

namespace orv {
namespace {

LocalTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return LocalTime{y, mo, d, h, mi, s, ms};
}

std::string Fmt(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return buf;
}

TEST(OleDate, EncodeDateAnchorsAndInvalidDates) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2003, 7, 7), 37809.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0);
  EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);

  const int invalid[][3] = {{2003, 2, 29}, {1900, 2, 29}, {2003, 4, 31}, {2003, 13, 1},
                            {2003, 1, 0},  {0, 12, 31},   {10000, 1, 1}};
  for (const auto& d : invalid) EXPECT_THROW(EncodeDate(d[0], d[1], d[2]), ConvertError) << d[0];
}

TEST(OleDate, LeapYearsAndMonthLengths) {
  for (int y : {2000, 2024, 1600, 4})
    EXPECT_TRUE(IsLeapYear(y) && DaysInMonth(y, 2) == 29) << y;
  for (int y : {1900, 2100, 2003, 1})
    EXPECT_TRUE(!IsLeapYear(y) && DaysInMonth(y, 2) == 28) << y;
  const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(2003, m), lengths[m - 1]) << m;
  EXPECT_EQ(DaysInMonth(2003, 0), 0);
  EXPECT_EQ(DaysInMonth(2003, 13), 0);
}

TEST(OleDate, DayOfWeekAndTimeOfDay) {
  EXPECT_EQ(DayOfWeek(37809.0), 2);   // Monday, 7 July 2003
  EXPECT_EQ(DayOfWeek(37809.99), 2);  // still Monday late in the evening
  EXPECT_EQ(DayOfWeek(0.0), 7);       // 30 December 1899 was a Saturday
  EXPECT_EQ(DayOfWeek(-1.25), 6);     // 29 December 1899, Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);
  for (int k = 0; k < 14; ++k) EXPECT_EQ(DayOfWeek(37809.0 + k), (1 + k) % 7 + 1) << k;

  EXPECT_EQ(TimeOfDayMs(0.0), 0);
  EXPECT_EQ(TimeOfDayMs(37809.5), 43200000);
  EXPECT_EQ(TimeOfDayMs(-1.25), 21600000);
  EXPECT_EQ(TimeOfDayMs(EncodeTime(23, 59, 59, 999)), 86399999);
  EXPECT_EQ(TimeOfDayMs(EncodeTime(25, 0)), 3600000);  // part within the day
}

TEST(OleDate, BeforeTheEpochTheFractionCountsForward) {
  EXPECT_EQ(Fmt(DecodeDateTime(-1.25)), "1899-12-29 06:00:00.000");
  EXPECT_EQ(Fmt(DecodeDateTime(-2.75)), "1899-12-28 18:00:00.000");
  EXPECT_EQ(EncodeDateTime(At(1899, 12, 29, 6)), -1.25);
  EXPECT_EQ(EncodeDateTime(At(1899, 12, 28, 18)), -2.75);
}

TEST(OleDate, RoundTripsAreExactToTheMillisecond) {
  const std::vector<LocalTime> cases = {
      At(1899, 12, 30), At(1899, 12, 30, 23, 59, 59, 999), At(1899, 12, 29, 0, 0, 0, 1),
      At(1899, 12, 29, 23, 59, 59, 999), At(1800, 2, 28, 12, 30, 15, 500),
      At(1600, 2, 29, 23, 59, 59, 999), At(2000, 2, 29, 0, 0, 0, 1), At(2003, 1, 31, 23, 59, 59),
      At(2003, 12, 31, 23, 59, 59, 999), At(2024, 2, 29, 18, 0), At(2100, 2, 28, 23, 59, 59, 998),
      At(1, 1, 1), At(1, 1, 2, 12), At(9999, 12, 31), At(9999, 12, 31, 23, 59, 59, 900)};
  for (const LocalTime& t : cases) EXPECT_EQ(Fmt(DecodeDateTime(EncodeDateTime(t))), Fmt(t));

  // A sweep across the whole range with changing times of day.
  for (double day = -693592.0; day <= 2958465.0; day += 997.0) {
    const LocalTime d = DecodeDateTime(day);
    const int k = static_cast<int>(day) & 0xFFFF;
    const LocalTime t = At(d.year, d.month, d.day, k % 24, k % 60, (k / 7) % 60, (k * 37) % 1000);
    ASSERT_EQ(Fmt(DecodeDateTime(EncodeDateTime(t))), Fmt(t));
  }
}

// The first and the last day of the range keep their time of day too: clamping only applies to
// values outside the years 1 to 9999.
TEST(OleDate, RoundTripsOnTheFirstAndLastDayOfTheRange) {
  for (const LocalTime& t : {At(1, 1, 1, 0, 0, 0, 1), At(1, 1, 1, 12), At(1, 1, 1, 23, 59, 59, 999),
                             At(9999, 12, 31, 23, 59, 59, 999)})
    EXPECT_EQ(Fmt(DecodeDateTime(EncodeDateTime(t))), Fmt(t));
}

TEST(OleDate, RoundingToMidnightCarriesIntoTheNextDay) {
  const double almost = (86400000.0 - 0.3) / 86400000.0;  // 23:59:59.9997
  EXPECT_EQ(Fmt(DecodeDateTime(EncodeDate(2003, 12, 31) + almost)), Fmt(At(2004, 1, 1)));
  EXPECT_EQ(Fmt(DecodeDateTime(EncodeDate(2004, 2, 28) + almost)), Fmt(At(2004, 2, 29)));
  EXPECT_EQ(Fmt(DecodeDateTime(-1.0 - almost)), Fmt(At(1899, 12, 30)));
  EXPECT_EQ(Fmt(DecodeDateTime(-2.0 - almost)), Fmt(At(1899, 12, 29)));
  EXPECT_EQ(DayOfWeek(EncodeDate(2003, 7, 6) + almost), 2);
}

TEST(OleDate, AnyDoubleDecodesWithoutCrashing) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf,
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                           std::numeric_limits<double>::denorm_min(), -1e300, 1e300, -1e7, 1e7,
                           -693594.5, 2958466.5};
  for (double v : values) {
    const LocalTime t = DecodeDateTime(v);
    EXPECT_TRUE(t.year >= 1 && t.year <= 9999 && IsValidDate(t.year, t.month, t.day) &&
                t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
                t.second >= 0 && t.second <= 59 && t.millisecond >= 0 && t.millisecond <= 999)
        << v << ": " << Fmt(t);
    EXPECT_TRUE(DayOfWeek(v) >= 1 && DayOfWeek(v) <= 7) << v;
    EXPECT_TRUE(TimeOfDayMs(v) >= 0 && TimeOfDayMs(v) < 86400000) << v;
  }
  EXPECT_EQ(Fmt(DecodeDateTime(std::nan(""))), Fmt(At(1899, 12, 30)));
  const LocalTime high = DecodeDateTime(1e300), low = DecodeDateTime(-1e300);
  EXPECT_TRUE(high.year == 9999 && high.month == 12 && high.day == 31);
  EXPECT_TRUE(low.year == 1 && low.month == 1 && low.day == 1);
}

}  // namespace
}  // namespace orv
