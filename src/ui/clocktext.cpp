#include "ui/clocktext.h"

#include "ui/win32_text.h"

namespace orv {

namespace {

// A date or time pattern of the message table in the platform's picture syntax: "mmmm" the
// month name, "nn" the minutes, double-quoted literals single-quoted.
std::wstring Picture(const std::string& pattern, bool time) {
  std::wstring out;
  const std::wstring p = W(pattern);
  for (std::size_t i = 0; i < p.size(); ++i) {
    const wchar_t c = p[i];
    if (c == L'"') {
      const std::size_t end = p.find(L'"', i + 1);
      const std::wstring literal = p.substr(i + 1, end == std::wstring::npos ? std::wstring::npos
                                                                              : end - i - 1);
      out += L"'" + literal + L"'";
      if (end == std::wstring::npos) break;
      i = end;
    } else if (time && c == L'h') {
      out += L'H';
    } else if (time && c == L'n') {
      out += L'm';
    } else if (!time && c == L'm') {
      out += L'M';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::wstring ClockDateText(const SYSTEMTIME& st, const std::string& pattern) {
  const std::wstring picture = Picture(pattern, false);
  wchar_t buf[128];
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), buf, 128);
  return n > 1 ? std::wstring(buf, static_cast<std::size_t>(n - 1)) : std::wstring();
}

std::wstring ClockTimeText(const SYSTEMTIME& st, const std::string& pattern) {
  const std::wstring picture = Picture(pattern, true);
  wchar_t buf[64];
  const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), buf, 64);
  return n > 1 ? std::wstring(buf, static_cast<std::size_t>(n - 1)) : std::wstring();
}

}  // namespace orv
