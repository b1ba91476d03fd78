// The system power actions: ending the Windows session (restart, shut down, power off, log off)
// and standby or hibernation.
//
// Every Win32 entry point used here goes through one table of function pointers, so the tests
// can put recording fakes in place of the functions that would really end the session.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace orv {

struct PowerApi {
  BOOL(WINAPI* GetVersionExA)(LPOSVERSIONINFOA info);
  HANDLE(WINAPI* GetCurrentProcess)();
  BOOL(WINAPI* OpenProcessToken)(HANDLE process, DWORD access, PHANDLE token);
  BOOL(WINAPI* LookupPrivilegeValueA)(LPCSTR system, LPCSTR name, PLUID luid);
  BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                      PDWORD returnLength);
  BOOL(WINAPI* CloseHandle)(HANDLE handle);
  BOOL(WINAPI* ExitWindowsEx)(UINT flags, DWORD reason);
  HMODULE(WINAPI* GetModuleHandleA)(LPCSTR name);
  // Loads a library from the system directory only (LoadSystemLibrary).
  HMODULE(WINAPI* LoadSystemLibraryA)(LPCSTR name);
  FARPROC(WINAPI* GetProcAddress)(HMODULE module, LPCSTR name);
};

// SetSuspendState of POWRPROF.dll is BOOLEAN WINAPI (BOOLEAN, BOOLEAN, BOOLEAN). It is called
// with each flag in a 32-bit slot holding 0 for false and all bits set for true.
using SetSuspendStateFn = BOOLEAN(WINAPI*)(std::uint32_t hibernate, std::uint32_t force,
                                           std::uint32_t disableWakeEvents);

// The table pointing at the real Win32 functions.
const PowerApi& RealPowerApi();
// The table in use; the real one unless replaced.
const PowerApi& ActivePowerApi();
// Replaces the table in use (tests only; not safe while another thread runs a power action).
void SetPowerApi(const PowerApi& api);

// Enables the shutdown privilege on the NT family, then ExitWindowsEx(flags, 0). Failures are
// not reported: the session either ends or it does not.
void DoExitWindows(std::uint32_t flags);

// The address of `function` in `library`, loading the library from the system directory when it
// is not loaded yet (it is never unloaded; a file of that name in the program's folder is never
// loaded); null when the library cannot be loaded or does not export the function.
void* GetModuleProc(const char* library, const char* function);

// Standby or hibernation through SetSuspendState. The entry point is looked up once and kept;
// while the system does not offer it, nothing happens and the next call looks again.
void SuspendSystem(bool hibernate, bool force, bool disableWakeEvents);

// Forgets the kept SetSuspendState entry point (tests only).
void ResetSuspendEntryForTesting();

class Win32Power : public Power {
 public:
  void DoExitWindows(std::uint32_t flags) override;
  void SuspendSystem(bool hibernate, bool force, bool disableWakeEvents) override;
};

}  // namespace orv
