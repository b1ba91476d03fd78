// A clock that the tests and benchmarks move by hand.
#pragma once

#include "base/oledate.h"
#include "platform/clock.h"

namespace orv {

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

}  // namespace orv
