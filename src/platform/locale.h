// What the scheduler takes from the user's locale: the short date text and the task list's
// string comparison.
#pragma once

#include <string>

namespace orv {

class Locale {
 public:
  virtual ~Locale() = default;
  // The date part of an OLE date in the user's short date format.
  virtual std::string ShortDate(double date) = 0;
  // Locale-aware, case-sensitive comparison: <0, 0, >0.
  virtual int Compare(const std::string& a, const std::string& b) = 0;
};

// The date part of an OLE date as "dd.mm.yyyy": the short date when the platform gives none.
std::string NumericShortDate(double date);

// The user's locale through GetDateFormatW and CompareStringW.
Locale& UserLocale();

}  // namespace orv
