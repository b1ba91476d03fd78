// The local date and time, behind an interface so that the scheduler can be driven minute by
// minute in tests.
#pragma once

#include "sched/oledate.h"

namespace orv {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
};

// A clock that shows what it is told; tests and benchmarks move it by hand.
class SettableClock : public Clock {
 public:
  SettableClock() = default;
  explicit SettableClock(const LocalTime& t) : now_(t) {}
  LocalTime Now() override { return now_; }
  void Set(const LocalTime& t) { now_ = t; }
  void Set(int y, int mo, int d, int h, int mi, int s = 0) {
    now_ = LocalTime{y, mo, d, h, mi, s, 0};
  }
  void AdvanceMinutes(int minutes) { now_ = AddMinutes(now_, minutes); }

 private:
  LocalTime now_{2003, 7, 9, 10, 0, 0, 0};
};

// GetLocalTime.
Clock& SystemClock();

}  // namespace orv
