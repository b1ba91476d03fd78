// Libraries are never taken from the program's own folder: a copy of the probe program runs in a
// fresh folder beside a library that says when it is loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/win_support.h"

namespace orv::testing {
namespace {

class DllFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made()) << GetLastError();
    dir_ = folder_.Path();
    Place(BuiltPath(ORV_DLL_PROBE_EXE), L"probe.exe");
  }
  void Place(const std::wstring& from, const std::wstring& name) {
    const std::wstring to = dir_ + L"\\" + name;
    ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << GetLastError();
  }
  void PlaceFake(const std::wstring& name) { Place(BuiltPath(ORV_FAKE_DLL), name); }

  // The probe's exit code; it starts in another folder, so only its own folder holds the fakes.
  DWORD RunProbe(const std::wstring& mode) {
    std::wstring cmd = L"\"" + dir_ + L"\\probe.exe\" " + mode;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, windows, &si,
                        &pi)) {
      ADD_FAILURE() << "probe not started: " << GetLastError();
      return 1000;
    }
    DWORD code = 1001;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
      GetExitCodeProcess(pi.hProcess, &code);
    else
      TerminateProcess(pi.hProcess, 1002);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }

  TempFolder folder_{L"orvalis-dll-"};
  std::wstring dir_;
};

TEST_F(DllFolder, TheStandbyLookupNeverLoadsAPowrprofFromTheProgramFolder) {
  PlaceFake(L"POWRPROF.dll");
  // Windows looks in the program's folder first for a library that is not one of its known
  // ones, and POWRPROF.dll is not. Wine prefers its built-in library unless told otherwise: its
  // per-program setting gives the probe the search order of Windows (Windows ignores the key).
  const wchar_t* const kWineKey = L"Software\\Wine\\AppDefaults\\probe.exe\\DllOverrides";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kWineKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t order[] = L"native,builtin";
  RegSetValueExW(key, L"powrprof", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
  RegCloseKey(key);
  const DWORD code = RunProbe(L"power");
  RegDeleteKeyW(HKEY_CURRENT_USER, kWineKey);
  // Only what is then empty goes: under Wine the rest holds Wine's own settings.
  for (const wchar_t* made : {L"Software\\Wine\\AppDefaults\\probe.exe",
                              L"Software\\Wine\\AppDefaults", L"Software\\Wine"})
    RegDeleteKeyW(HKEY_CURRENT_USER, made);
  EXPECT_EQ(code, 0u) << "the POWRPROF.dll beside the program was loaded";
}

TEST_F(DllFolder, TheStartUpCallTakesTheProgramFolderOffTheSearchPath) {
  PlaceFake(L"probe_before.dll");
  PlaceFake(L"probe_after.dll");
  const DWORD bits = RunProbe(L"restrict");
  ASSERT_LT(bits, 8u) << "probe failed: " << bits;
  EXPECT_TRUE(bits & 1) << "control: a library in the program folder loads by bare name";
  EXPECT_TRUE(bits & 4) << "SetDefaultDllDirectories is there and restricted the path";
  EXPECT_FALSE(bits & 2) << "a library in the program folder still loads after the start-up call";
}

}  // namespace
}  // namespace orv::testing
