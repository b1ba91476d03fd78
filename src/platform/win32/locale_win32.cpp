#include <windows.h>

#include "platform/locale.h"
#include "base/oledate.h"
#include "platform/win32/wide.h"

namespace orv {

namespace {

class Win32Locale : public Locale {
 public:
  std::string ShortDate(double date) override {
    const LocalTime t = DecodeDateTime(date);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    wchar_t buf[128];
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 128);
    if (n <= 1) return NumericShortDate(date);
    return Narrow(buf, static_cast<std::size_t>(n - 1));
  }

  int Compare(const std::string& a, const std::string& b) override {
    // The comparison behind lstrcmpW: the user's locale, case-sensitive word sort.
    const std::wstring wa = Wide(a), wb = Wide(b);
    const int r = CompareStringW(LOCALE_USER_DEFAULT, 0, wa.c_str(), static_cast<int>(wa.size()),
                                 wb.c_str(), static_cast<int>(wb.size()));
    return r == 0 ? (wa < wb ? -1 : wa > wb ? 1 : 0) : r - CSTR_EQUAL;
  }
};

}  // namespace

Locale& UserLocale() {
  static Win32Locale locale;
  return locale;
}

}  // namespace orv
