#include "platform/win32/power_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace orv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Recording fakes for the whole table. Nothing here reaches the real ExitWindowsEx or
// SetSuspendState.
HANDLE const kProcess = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x1230));
HANDLE const kToken = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x4560));
HMODULE const kLoadedModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000));
HMODULE const kPowrprof = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x20000));

struct Recorder {
  // What the fake system has.
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  bool openTokenFails = false;
  bool lookupFails = false;
  BOOL adjustResult = TRUE;
  LUID luid{0x13, 0x7};
  std::vector<std::string> loadedLibraries;    // found by GetModuleHandleA
  std::vector<std::string> loadableLibraries;  // found by LoadSystemLibraryA
  bool exportsSetSuspendState = true;

  // What was called, in order, and with what.
  std::vector<std::string> calls;
  DWORD versionInfoSize = 0;
  HANDLE openedProcess = nullptr;
  DWORD tokenAccess = 0;
  bool lookupOnLocalSystem = false;
  std::string privilegeName;
  HANDLE adjustedToken = nullptr;
  BOOL disableAll = TRUE;
  DWORD privilegeCount = 0;
  LUID adjustedLuid{};
  DWORD attributes = 0;
  DWORD bufferLength = 0;
  bool previousStateGiven = false;
  DWORD returnLengthBefore = 0xDEAD;
  std::vector<HANDLE> closed;
  std::vector<UINT> exitFlags;
  std::vector<DWORD> exitReasons;
  std::vector<std::string> procNames;
  std::vector<std::vector<std::uint32_t>> suspends;
};

Recorder* rec = nullptr;

bool Has(const std::vector<std::string>& names, LPCSTR name) {
  for (const std::string& n : names) {
    if (lstrcmpiA(n.c_str(), name) == 0) return true;
  }
  return false;
}

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
  rec->calls.push_back("GetVersionExA");
  rec->versionInfoSize = info->dwOSVersionInfoSize;
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
      info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA)) {
    return FALSE;
  }
  info->dwMajorVersion = 10;
  info->dwPlatformId = rec->platformId;
  return TRUE;
}

HANDLE WINAPI FakeGetCurrentProcess() {
  rec->calls.push_back("GetCurrentProcess");
  return kProcess;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  rec->calls.push_back("OpenProcessToken");
  rec->openedProcess = process;
  rec->tokenAccess = access;
  if (rec->openTokenFails) return FALSE;
  *token = kToken;
  return TRUE;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
  rec->calls.push_back("LookupPrivilegeValueA");
  rec->lookupOnLocalSystem = system == nullptr;
  rec->privilegeName = name ? name : "";
  if (rec->lookupFails) return FALSE;
  *luid = rec->luid;
  return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                      PDWORD returnLength) {
  rec->calls.push_back("AdjustTokenPrivileges");
  rec->adjustedToken = token;
  rec->disableAll = disableAll;
  rec->privilegeCount = newState->PrivilegeCount;
  rec->adjustedLuid = newState->Privileges[0].Luid;
  rec->attributes = newState->Privileges[0].Attributes;
  rec->bufferLength = bufferLength;
  rec->previousStateGiven = previousState != nullptr;
  if (returnLength) rec->returnLengthBefore = *returnLength;
  // What the system writes back: the previous state of the one privilege.
  if (previousState && bufferLength >= sizeof(TOKEN_PRIVILEGES)) {
    std::memset(previousState, 0xA5, bufferLength);
    previousState->PrivilegeCount = 1;
  }
  if (returnLength) *returnLength = sizeof(TOKEN_PRIVILEGES);
  return rec->adjustResult;
}

BOOL WINAPI FakeCloseHandle(HANDLE h) {
  rec->calls.push_back("CloseHandle");
  rec->closed.push_back(h);
  return TRUE;
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
  rec->calls.push_back("ExitWindowsEx");
  rec->exitFlags.push_back(flags);
  rec->exitReasons.push_back(reason);
  return TRUE;
}

HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name) {
  rec->calls.push_back(std::string("GetModuleHandleA ") + name);
  if (!Has(rec->loadedLibraries, name)) return nullptr;
  return lstrcmpiA(name, "POWRPROF.dll") == 0 ? kPowrprof : kLoadedModule;
}

HMODULE WINAPI FakeLoadSystemLibraryA(LPCSTR name) {
  rec->calls.push_back(std::string("LoadSystemLibraryA ") + name);
  if (!Has(rec->loadableLibraries, name)) return nullptr;
  return lstrcmpiA(name, "POWRPROF.dll") == 0 ? kPowrprof : kLoadedModule;
}

BOOLEAN WINAPI FakeSetSuspendState(std::uint32_t hibernate, std::uint32_t force,
                                   std::uint32_t disableWakeEvents) {
  rec->calls.push_back("SetSuspendState");
  rec->suspends.push_back({hibernate, force, disableWakeEvents});
  return TRUE;
}

INT_PTR WINAPI FakeExport() { return 42; }

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  rec->calls.push_back(std::string("GetProcAddress ") + name);
  rec->procNames.push_back(name);
  if (module == kPowrprof && rec->exportsSetSuspendState &&
      std::strcmp(name, "SetSuspendState") == 0) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeSetSuspendState));
  }
  if (module == kLoadedModule && std::strcmp(name, "Exported") == 0) return &FakeExport;
  return nullptr;
}

PowerApi FakeApi() {
  PowerApi api{};
  api.GetVersionExA = &FakeGetVersionExA;
  api.GetCurrentProcess = &FakeGetCurrentProcess;
  api.OpenProcessToken = &FakeOpenProcessToken;
  api.LookupPrivilegeValueA = &FakeLookupPrivilegeValueA;
  api.AdjustTokenPrivileges = &FakeAdjustTokenPrivileges;
  api.CloseHandle = &FakeCloseHandle;
  api.ExitWindowsEx = &FakeExitWindowsEx;
  api.GetModuleHandleA = &FakeGetModuleHandleA;
  api.LoadSystemLibraryA = &FakeLoadSystemLibraryA;
  api.GetProcAddress = &FakeGetProcAddress;
  return api;
}

class PowerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec = &r;
    SetPowerApi(FakeApi());
    ResetSuspendEntryForTesting();
  }
  void TearDown() override {
    ResetSuspendEntryForTesting();
    SetPowerApi(RealPowerApi());
    rec = nullptr;
  }
  Recorder r;
};

const std::vector<std::string> kPrivilegeThenExit = {
    "GetVersionExA",         "GetCurrentProcess", "OpenProcessToken",
    "LookupPrivilegeValueA", "AdjustTokenPrivileges", "CloseHandle",
    "ExitWindowsEx"};

TEST_F(PowerTest, EveryExitActionEnablesThePrivilegeFirstAndPassesItsFlags) {
  struct Case {
    std::uint32_t flags;
    UINT expected;
  };
  const Case cases[] = {
      {kEwxReboot | kEwxForce, 6},     {kEwxReboot, 2},   {kEwxShutdown, 1},
      {kEwxShutdown | kEwxForce, 5},   {kEwxPoweroff, 8}, {kEwxPoweroff | kEwxForce, 12},
      {kEwxLogoff, 0},                 {kEwxLogoff | kEwxForce, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    r = Recorder{};
    DoExitWindows(c.flags);
    EXPECT_EQ(r.calls, kPrivilegeThenExit);
    EXPECT_THAT(r.exitFlags, ElementsAre(c.expected));
    EXPECT_THAT(r.exitReasons, ElementsAre(0u));
  }
  // The program's flag values are the system's.
  EXPECT_EQ(UINT{kEwxReboot | kEwxForce}, UINT{EWX_REBOOT | EWX_FORCE});
  EXPECT_EQ(UINT{kEwxPoweroff | kEwxShutdown}, UINT{EWX_POWEROFF | EWX_SHUTDOWN});
  EXPECT_EQ(UINT{kEwxLogoff}, UINT{EWX_LOGOFF});
}

TEST_F(PowerTest, ThePrivilegeRequestIsWellFormed) {
  DoExitWindows(kEwxShutdown);
  EXPECT_GE(r.versionInfoSize, sizeof(OSVERSIONINFOA));
  EXPECT_EQ(r.openedProcess, kProcess);
  EXPECT_EQ(r.tokenAccess, 0x28u);
  EXPECT_EQ(r.tokenAccess, DWORD{TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY});
  EXPECT_TRUE(r.lookupOnLocalSystem);
  EXPECT_EQ(r.privilegeName, "SeShutdownPrivilege");
  EXPECT_EQ(r.adjustedToken, kToken);
  EXPECT_FALSE(r.disableAll);
  EXPECT_EQ(r.privilegeCount, 1u);
  EXPECT_EQ(r.adjustedLuid.LowPart, r.luid.LowPart);
  EXPECT_EQ(r.adjustedLuid.HighPart, r.luid.HighPart);
  EXPECT_EQ(r.attributes, 2u);
  EXPECT_EQ(r.bufferLength, 16u);
  EXPECT_TRUE(r.previousStateGiven);
  EXPECT_EQ(r.returnLengthBefore, 0u);
  EXPECT_THAT(r.closed, ElementsAre(kToken));
}

TEST_F(PowerTest, PrivilegeFailuresStillEndTheSessionAndNeverLeakTheToken) {
  r.openTokenFails = true;
  DoExitWindows(kEwxReboot);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetVersionExA", "GetCurrentProcess",
                                               "OpenProcessToken", "ExitWindowsEx"}));
  EXPECT_THAT(r.exitFlags, ElementsAre(2u));

  r = Recorder{};
  r.lookupFails = true;
  DoExitWindows(kEwxPoweroff);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetVersionExA", "GetCurrentProcess",
                                               "OpenProcessToken", "LookupPrivilegeValueA",
                                               "CloseHandle", "ExitWindowsEx"}));
  EXPECT_THAT(r.closed, ElementsAre(kToken));
  EXPECT_THAT(r.exitFlags, ElementsAre(8u));

  r = Recorder{};
  r.adjustResult = FALSE;
  DoExitWindows(kEwxShutdown | kEwxForce);
  EXPECT_EQ(r.calls, kPrivilegeThenExit);
  EXPECT_THAT(r.exitFlags, ElementsAre(5u));
}

TEST_F(PowerTest, WithoutTheNtFamilyThereIsNoTokenWork) {
  r.platformId = VER_PLATFORM_WIN32_WINDOWS;
  DoExitWindows(kEwxReboot | kEwxForce);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetVersionExA", "ExitWindowsEx"}));
  EXPECT_THAT(r.exitFlags, ElementsAre(6u));
}

TEST_F(PowerTest, SuspendPassesEachFlagAsAFull32BitValue) {
  r.loadableLibraries = {"POWRPROF.dll"};
  SuspendSystem(false, false, false);
  SuspendSystem(false, true, false);
  SuspendSystem(true, true, true);
  ASSERT_EQ(r.suspends.size(), 3u);
  EXPECT_THAT(r.suspends[0], ElementsAre(0u, 0u, 0u));
  EXPECT_THAT(r.suspends[1], ElementsAre(0u, 0xFFFFFFFFu, 0u));
  EXPECT_THAT(r.suspends[2], ElementsAre(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu));
}

TEST_F(PowerTest, SuspendLooksTheEntryUpOnceAndKeepsIt) {
  r.loadableLibraries = {"POWRPROF.dll"};
  SuspendSystem(false, false, false);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetModuleHandleA POWRPROF.dll",
                                               "LoadSystemLibraryA POWRPROF.dll",
                                               "GetProcAddress SetSuspendState",
                                               "SetSuspendState"}));
  r.calls.clear();
  SuspendSystem(false, true, false);
  SuspendSystem(false, false, false);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"SetSuspendState", "SetSuspendState"}));
}

TEST_F(PowerTest, SuspendRetriesAFailedLookupAtTheNextStandby) {
  // No library at all, then a library without the export: nothing is called either time.
  SuspendSystem(false, true, false);
  r.loadedLibraries = {"POWRPROF.dll"};
  r.exportsSetSuspendState = false;
  SuspendSystem(false, true, false);
  EXPECT_THAT(r.suspends, IsEmpty());
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetModuleHandleA POWRPROF.dll",
                                               "LoadSystemLibraryA POWRPROF.dll",
                                               "GetModuleHandleA POWRPROF.dll",
                                               "GetProcAddress SetSuspendState"}));
  // Now the system offers it: this standby finds it and suspends.
  r.exportsSetSuspendState = true;
  SuspendSystem(false, true, false);
  ASSERT_EQ(r.suspends.size(), 1u);
  EXPECT_THAT(r.suspends[0], ElementsAre(0u, 0xFFFFFFFFu, 0u));
}

TEST_F(PowerTest, GetModuleProcUsesALoadedLibraryOrLoadsIt) {
  r.loadedLibraries = {"loaded.dll"};
  r.loadableLibraries = {"onDisk.dll"};

  EXPECT_EQ(GetModuleProc("loaded.dll", "Exported"), reinterpret_cast<void*>(&FakeExport));
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetModuleHandleA loaded.dll",
                                               "GetProcAddress Exported"}));

  r.calls.clear();
  EXPECT_EQ(GetModuleProc("onDisk.dll", "Exported"), reinterpret_cast<void*>(&FakeExport));
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetModuleHandleA onDisk.dll",
                                               "LoadSystemLibraryA onDisk.dll",
                                               "GetProcAddress Exported"}));

  r.calls.clear();
  EXPECT_EQ(GetModuleProc("missing.dll", "Exported"), nullptr);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"GetModuleHandleA missing.dll",
                                               "LoadSystemLibraryA missing.dll"}));

  EXPECT_EQ(GetModuleProc("loaded.dll", "NotExported"), nullptr);
}

TEST_F(PowerTest, Win32PowerForwardsToTheSystemActions) {
  r.loadableLibraries = {"POWRPROF.dll"};
  Win32Power power;
  Power& p = power;
  p.DoExitWindows(kEwxLogoff | kEwxForce);
  p.SuspendSystem(true, false, true);
  EXPECT_THAT(r.exitFlags, ElementsAre(4u));
  ASSERT_EQ(r.suspends.size(), 1u);
  EXPECT_THAT(r.suspends[0], ElementsAre(0xFFFFFFFFu, 0u, 0xFFFFFFFFu));
  EXPECT_EQ(r.privilegeName, "SeShutdownPrivilege");
}

// Against the real system: lookups only, never a power action.
TEST(PowerRealTest, GetModuleProcFindsRealExports) {
  SetPowerApi(RealPowerApi());
  void* const tick = GetModuleProc("kernel32.dll", "GetTickCount");
  ASSERT_NE(tick, nullptr);
  EXPECT_EQ(tick, reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"),
                                                           "GetTickCount")));
  EXPECT_EQ(GetModuleProc("kernel32.dll", "OrvalisNoSuchExport"), nullptr);
  EXPECT_EQ(GetModuleProc("orvalis_no_such_library.dll", "GetTickCount"), nullptr);
}

TEST(PowerRealTest, TheRealSystemIsOfTheNtFamily) {
  // So a real exit action enables the shutdown privilege first.
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(RealPowerApi().GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, DWORD{VER_PLATFORM_WIN32_NT});
}

}  // namespace
}  // namespace orv::testing
