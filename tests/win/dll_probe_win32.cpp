// Run from a folder that also holds copies of the fake library (fake_dll_win32.cpp): tells in its
// exit code what the library code of Orvalis loaded from that folder.
//   dll_probe power     bit 0: a library from the folder was loaded by the standby lookup
//   dll_probe restrict  bit 0: probe_before.dll loads by bare name before the start-up call
//                       bit 1: probe_after.dll loads by bare name after it
//                       bit 2: the start-up call restricted the default directories
#include <windows.h>

#include "platform/win32/power_win32.h"
#include "platform/win32/system_dll_win32.h"

namespace {

bool FakeLoaded() { return GetEnvironmentVariableW(L"ORV_FAKE_DLL_LOADED", nullptr, 0) > 0; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetEnvironmentVariableW(L"ORV_FAKE_DLL_LOADED", nullptr);
  if (argc < 2) return 100;
  const std::wstring mode = argv[1];
  if (mode == L"power") {
    orv::GetModuleProc("POWRPROF.dll", "SetSuspendState");  // looked up, never called
    return FakeLoaded() ? 1 : 0;
  }
  if (mode == L"restrict") {
    int bits = 0;
    if (LoadLibraryW(L"probe_before.dll")) bits |= 1;
    if (orv::RestrictDllSearchPath()) bits |= 4;
    if (LoadLibraryW(L"probe_after.dll")) bits |= 2;
    return bits;
  }
  return 100;
}
