// UTF-8 <-> wide text at the Win32 boundary.
#pragma once

#include <string>

#include "base/text.h"

namespace orv {

inline std::wstring W(const std::string& utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

inline std::string U8(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace orv
