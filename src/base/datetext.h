// Date-time texts by a pattern of the kind the message table holds ("dddd, dd. mmmm yyyy",
// "hh:nn \"Uhr\""), with German day and month names. The platform's date formatting is not
// used, so that the texts are the same on every system and in the portable tests.
#pragma once

#include <string>

#include "base/oledate.h"

namespace orv {

// Pattern letters, in upper or lower case:
//   d dd ddd dddd   day 7, 07, short weekday name "Mo", full name "Montag"
//   m mm mmm mmmm   month 7, 07, "Jul", "Juli"; directly after an hour m and mm mean minutes
//   yy yyyy         year 03, 2003 (a single y or three count as yy and yyyy)
//   h hh  n nn  s ss  hour, minute, second without and with a leading zero
// Text between double or single quotes is copied without its quotes; every other character is
// copied as it is. The date must be a valid calendar date (ConvertError otherwise).
std::string FormatDateTime(const std::string& pattern, const LocalTime& t);

}  // namespace orv
