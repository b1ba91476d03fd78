#include "platform/win32/power_win32.h"

#include <atomic>

#include "platform/win32/system_dll_win32.h"

namespace orv {

namespace {

static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "one privilege with its attributes");

HMODULE WINAPI LoadFromSystemDirectory(LPCSTR name) { return LoadSystemLibrary(name); }

PowerApi MakeRealApi() {
  PowerApi api{};
  api.GetVersionExA = &::GetVersionExA;
  api.GetCurrentProcess = &::GetCurrentProcess;
  api.OpenProcessToken = &::OpenProcessToken;
  api.LookupPrivilegeValueA = &::LookupPrivilegeValueA;
  api.AdjustTokenPrivileges = &::AdjustTokenPrivileges;
  api.CloseHandle = &::CloseHandle;
  api.ExitWindowsEx = &::ExitWindowsEx;
  api.GetModuleHandleA = &::GetModuleHandleA;
  api.LoadSystemLibraryA = &LoadFromSystemDirectory;
  api.GetProcAddress = &::GetProcAddress;
  return api;
}

// Function-local, so the tables are ready whenever they are first asked for.
PowerApi& Api() {
  static PowerApi api = RealPowerApi();
  return api;
}

// SetSuspendState, once found; empty until the first standby that finds it.
std::atomic<SetSuspendStateFn> g_setSuspendState{nullptr};

std::uint32_t Flag32(bool b) { return b ? 0xFFFFFFFFu : 0u; }

DWORD PlatformId(const PowerApi& api) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!api.GetVersionExA(&info)) return 0;  // unknown: no token work
  return info.dwPlatformId;
}

// Without SeShutdownPrivilege enabled in the process token, ExitWindowsEx refuses to restart or
// shut down an NT system.
void EnableShutdownPrivilege(const PowerApi& api) {
  HANDLE token = nullptr;
  if (!api.OpenProcessToken(api.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            &token)) {
    return;
  }
  LUID luid{};
  if (api.LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid)) {
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = luid;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous{};
    DWORD returned = 0;
    // Whether it worked shows in ExitWindowsEx; there is nobody to tell either way.
    api.AdjustTokenPrivileges(token, FALSE, &wanted, sizeof(previous), &previous, &returned);
  }
  api.CloseHandle(token);
}

}  // namespace

const PowerApi& RealPowerApi() {
  static const PowerApi api = MakeRealApi();
  return api;
}

const PowerApi& ActivePowerApi() { return Api(); }

void SetPowerApi(const PowerApi& api) { Api() = api; }

void DoExitWindows(std::uint32_t flags) {
  const PowerApi& api = Api();
  if (PlatformId(api) == VER_PLATFORM_WIN32_NT) EnableShutdownPrivilege(api);
  api.ExitWindowsEx(flags, 0);
}

void* GetModuleProc(const char* library, const char* function) {
  const PowerApi& api = Api();
  HMODULE module = api.GetModuleHandleA(library);
  if (!module) module = api.LoadSystemLibraryA(library);
  if (!module) return nullptr;
  return reinterpret_cast<void*>(api.GetProcAddress(module, function));
}

void SuspendSystem(bool hibernate, bool force, bool disableWakeEvents) {
  SetSuspendStateFn fn = g_setSuspendState.load();
  if (!fn) {
    fn = reinterpret_cast<SetSuspendStateFn>(GetModuleProc("POWRPROF.dll", "SetSuspendState"));
    if (!fn) return;
    g_setSuspendState.store(fn);
  }
  fn(Flag32(hibernate), Flag32(force), Flag32(disableWakeEvents));
}

void ResetSuspendEntryForTesting() { g_setSuspendState.store(nullptr); }

void Win32Power::DoExitWindows(std::uint32_t flags) { orv::DoExitWindows(flags); }

void Win32Power::SuspendSystem(bool hibernate, bool force, bool disableWakeEvents) {
  orv::SuspendSystem(hibernate, force, disableWakeEvents);
}

}  // namespace orv
