// The OLE Automation date: days since 30 December 1899 00:00 local time as a double, the
// fraction being the time of day. Before the epoch the whole part counts days back while the
// fraction still counts forward from midnight (-1.25 is 29 December 1899, 06:00).
#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// Raised when a text is not the number or time it must be.
class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct LocalTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1 to 12
bool IsValidDate(int year, int month, int day);

// Whole days; the date must be valid and within the years 1 to 9999 (ConvertError otherwise).
double EncodeDate(int year, int month, int day);
// A fraction of a day (hours may run past 23 for a time beyond one day).
double EncodeTime(int hour, int minute, int second = 0, int millisecond = 0);
double EncodeDateTime(const LocalTime& t);

// Calendar fields of a date-time, rounded to the millisecond. Any finite value is accepted;
// values outside the years 1 to 9999 are clamped to that range. Non-finite values give the epoch.
LocalTime DecodeDateTime(double dt);
// The calendar fields `minutes` later (or earlier, when negative).
LocalTime AddMinutes(const LocalTime& t, long long minutes);
// 1 Sunday to 7 Saturday.
int DayOfWeek(double dt);
// The time of day in whole milliseconds, 0 to 86 399 999 (the part within one day).
long long TimeOfDayMs(double dt);

}  // namespace orv
