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

// A German locale without the platform: "dd.mm.yyyy" and a comparison that orders letters
// alphabetically with a lower-case letter before its upper-case form, as the Windows word sort
// does for plain ASCII names. For tests and the portable build.
class GermanTestLocale : public Locale {
 public:
  std::string ShortDate(double date) override;
  int Compare(const std::string& a, const std::string& b) override;
};

// The user's locale through GetDateFormatW and CompareStringW.
Locale& UserLocale();

}  // namespace orv
