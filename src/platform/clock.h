// The local date and time, behind an interface so that the scheduler can be driven minute by
// minute in tests.
#pragma once

#include "sched/oledate.h"

namespace orv {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // Minutes that the local time is ahead of UTC now (60 in Berlin in winter, 120 in summer).
  // A change of it between two ticks is a change of daylight saving or of the time zone.
  virtual int UtcOffsetMinutes() { return 0; }
};

// A clock that shows what it is told; tests and benchmarks move it by hand.
class SettableClock : public Clock {
 public:
  SettableClock() = default;
  explicit SettableClock(const LocalTime& t) : now_(t) {}
  LocalTime Now() override { return now_; }
  int UtcOffsetMinutes() override { return offset_; }
  void SetUtcOffset(int minutes) { offset_ = minutes; }
  void Set(const LocalTime& t) { now_ = t; }
  void Set(int y, int mo, int d, int h, int mi, int s = 0) {
    now_ = LocalTime{y, mo, d, h, mi, s, 0};
  }
  void AdvanceMinutes(int minutes) { now_ = AddMinutes(now_, minutes); }

 private:
  LocalTime now_{2003, 7, 9, 10, 0, 0, 0};
  int offset_ = 0;
};

// GetLocalTime.
Clock& SystemClock();

}  // namespace orv
