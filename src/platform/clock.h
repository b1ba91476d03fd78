// The local date and time, behind an interface so that the scheduler can be driven minute by
// minute in tests.
#pragma once

#include "base/oledate.h"

namespace orv {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // Minutes that the local time is ahead of UTC now (60 in Berlin in winter, 120 in summer).
  // A change of it between two ticks is a change of daylight saving or of the time zone.
  virtual int UtcOffsetMinutes() { return 0; }
};

// GetLocalTime.
Clock& SystemClock();

}  // namespace orv
