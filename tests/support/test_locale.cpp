#include "support/test_locale.h"

#include <cctype>

namespace orv {

std::string GermanTestLocale::ShortDate(double date) { return NumericShortDate(date); }

int GermanTestLocale::Compare(const std::string& a, const std::string& b) {
  // First the letters without regard to case, then lower before upper at the first difference.
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
  }
  return 0;
}

}  // namespace orv
