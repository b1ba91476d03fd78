#include "exec/shell_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "store/text.h"

namespace orv {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

}  // namespace

void Win32Shell::Open(const std::string& file, const std::string* params, int showCommand) {
  if (HasNul(file) || (params && HasNul(*params))) return;
  const std::wstring wfile = Wide(file);
  std::wstring wparams;
  if (params) wparams = Wide(*params);
  ShellExecuteW(nullptr, L"open", wfile.c_str(), params ? wparams.c_str() : nullptr, nullptr,
                showCommand);
}

}  // namespace orv
