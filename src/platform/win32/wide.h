// UTF-8 <-> wide text at the Win32 calls below the windows: the program keeps every text in
// UTF-8 and converts it only where a wide API takes or gives it.
#pragma once

#include <cstddef>
#include <string>

#include "base/text.h"

namespace orv {

inline std::wstring Wide(const std::string& utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

inline std::string Narrow(const wchar_t* text, std::size_t length) {
  return Utf16ToUtf8(std::u16string(text, text + length));
}

inline std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

}  // namespace orv
