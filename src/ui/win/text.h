// UTF-8 <-> wide text at the Win32 boundary: the one conversion of the windows.
#pragma once

#include <string>

namespace orv::win {

// Invalid input becomes U+FFFD, as Windows converts it.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace orv::win
