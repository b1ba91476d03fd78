// The German locale of the tests, without the platform.
#pragma once

#include <string>

#include "platform/locale.h"

namespace orv {

// A German locale without the platform: "dd.mm.yyyy" and a comparison that orders letters
// alphabetically with a lower-case letter before its upper-case form, as the Windows word sort
// does for plain ASCII names.
class GermanTestLocale : public Locale {
 public:
  std::string ShortDate(double date) override;
  int Compare(const std::string& a, const std::string& b) override;
};

}  // namespace orv
