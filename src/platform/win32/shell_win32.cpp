#include "platform/win32/shell_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide.h"

namespace orv {

namespace {

bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

}  // namespace

bool Win32Shell::Open(const std::string& file, const std::string* params, int showCommand) {
  if (HasNul(file) || (params && HasNul(*params))) return false;
  const std::wstring wfile = Wide(file);
  std::wstring wparams;
  if (params) wparams = Wide(*params);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // NOASYNC: the open is complete when the call returns, so its result is the real one.
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOZONECHECKS;
  info.lpVerb = L"open";
  info.lpFile = wfile.c_str();
  info.lpParameters = params ? wparams.c_str() : nullptr;
  info.nShow = showCommand;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace orv
