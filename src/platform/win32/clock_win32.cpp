#include <windows.h>

#include "platform/clock.h"

namespace orv {

namespace {
class Win32Clock : public Clock {
 public:
  LocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                     st.wMilliseconds};
  }
  int UtcOffsetMinutes() override {
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
    const auto ticks = [](const FILETIME& f) {
      return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                    f.dwLowDateTime);
    };
    const long long perMinute = 600000000;  // 100-ns units
    const long long diff = ticks(local) - ticks(utc);
    return static_cast<int>((diff + (diff >= 0 ? perMinute / 2 : -perMinute / 2)) / perMinute);
  }
};
}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace orv
