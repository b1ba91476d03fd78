#include "platform/win32/system_dll_win32.h"

#include <string>

namespace orv {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);

// Present from Windows 8 on, and on Windows 7 with its loader update; the LOAD_LIBRARY_SEARCH_*
// flags are understood exactly where it is.
SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesEntry() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

}  // namespace

bool RestrictDllSearchPath() {
  bool restricted = false;
  if (SetDefaultDllDirectoriesFn set = SetDefaultDllDirectoriesEntry())
    restricted = set(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
  SetDllDirectoryW(L"");
  return restricted;
}

HMODULE LoadSystemLibrary(const char* name) {
  if (!name || !*name) return nullptr;
  if (SetDefaultDllDirectoriesEntry())
    return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Older systems: the full path in the system directory; its own imports are then looked for
  // beside it first.
  char dir[MAX_PATH];
  const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::string path = std::string(dir, n) + "\\" + name;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace orv
