#include "platform/locale.h"

#include <cstdio>

#include "base/oledate.h"

namespace orv {

std::string NumericShortDate(double date) {
  const LocalTime t = DecodeDateTime(date);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
  return buf;
}

}  // namespace orv
