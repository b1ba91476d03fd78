// UTF-8 <-> wide text at the Win32 boundary, as the windows spell it.
#pragma once

#include <string>

#include "ui/win/text.h"

namespace orv {

inline std::wstring W(const std::string& utf8) { return win::Wide(utf8); }
inline std::string U8(const std::wstring& wide) { return win::Narrow(wide); }

}  // namespace orv
