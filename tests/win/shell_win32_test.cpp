#include "platform/win32/shell_win32.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "win/win_support.h"

namespace orv::testing {
namespace {

// Programs started through the shell record their command line in a file of a fresh folder,
// named to them by the environment they inherit.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made()) << GetLastError();
    dir_ = folder_.Path();
    record_ = dir_ + L"\\record.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORV_RECORD_FILE", record_.c_str()));
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"ORV_RECORD_FILE", nullptr);
    if (!folder_.Remove()) ADD_FAILURE() << "could not remove " << U8(dir_);
  }

  // The recorded text once it holds `lines` complete lines, waiting up to ten seconds.
  std::string WaitForLines(std::size_t lines) {
    RecordedLines(record_, lines);
    return ReadAll(record_);
  }

  TempFolder folder_{L"orvalis-shell-"};
  std::wstring dir_;
  std::wstring record_;
  Win32Shell shell_;
};

TEST_F(ShellTest, StartsAProgramWithoutParameters) {
  EXPECT_TRUE(shell_.Open(U8(HelperExe()), nullptr, kSwHide));
  EXPECT_EQ(WaitForLines(1), "\n");
}

TEST_F(ShellTest, StartsAProgramWithParametersAsGiven) {
  const std::string params = "--eins \"zwei drei\" Größe=5 C:\\Pfad\\x.txt";
  shell_.Open(U8(HelperExe()), &params, kSwHide);
  EXPECT_EQ(WaitForLines(1), params + "\n");
}

TEST_F(ShellTest, StartsAProgramWhosePathHasSpacesAndUmlauts) {
  const std::wstring folder = dir_ + L"\\Mein Ördner";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
  const std::wstring exe = folder + L"\\Prüf programm.exe";
  ASSERT_TRUE(CopyFileW(HelperExe().c_str(), exe.c_str(), TRUE)) << GetLastError();

  const std::string params = "ä";
  shell_.Open(U8(exe), &params, kSwShow);
  EXPECT_EQ(WaitForLines(1), "ä\n");
}

TEST_F(ShellTest, TextWithANulInsideIsNotOpened) {
  // Cut at the NUL, these would start the helper with other parameters than the task holds.
  const std::string cut = std::string("erst") + '\0' + "danach";
  EXPECT_FALSE(shell_.Open(U8(HelperExe()), &cut, kSwHide));
  EXPECT_FALSE(shell_.Open(U8(HelperExe()) + '\0' + "x", nullptr, kSwHide));
  // The last start is the sentinel: once it has recorded, a helper started before it would
  // have recorded too.
  const std::string last = "zuletzt";
  shell_.Open(U8(HelperExe()), &last, kSwHide);
  EXPECT_EQ(WaitForLines(1), "zuletzt\n");
}

// EnumWindows calls back with the system's calling convention (stdcall in 32-bit code), which a
// lambda does not have.
BOOL CALLBACK CollectOwnWindow(HWND hwnd, LPARAM out) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
    reinterpret_cast<std::set<HWND>*>(out)->insert(hwnd);
  return TRUE;
}

// The visible top-level windows of this process.
std::set<HWND> OwnWindows() {
  std::set<HWND> found;
  EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST_F(ShellTest, WhatCannotBeOpenedFailsWithoutAnyWindow) {
  // Windows' own ShellExecute puts up an error box here ("Windows cannot find ..."), modal and
  // ownerless, that holds the caller until someone answers it. Wine's ShellExecuteW shows none
  // of its own, its ShellExecuteExW does unless told not to. The open runs on a thread of its
  // own, set up as the program sets up its window thread; a box that appears is recorded and
  // closed, so that the test fails instead of hanging.
  for (const std::string& target : {std::string("C:\\orvalis-nirgends\\fehlt.exe"),
                                   std::string("orvalis-unbekannt:ziel")}) {
    SCOPED_TRACE(target);
    const std::set<HWND> before = OwnWindows();
    std::atomic<bool> done{false};
    bool opened = true;
    std::thread opener([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
      opened = shell_.Open(target, nullptr, kSwShow);
      CoUninitialize();
      done = true;
    });
    std::set<HWND> appeared;
    const ULONGLONG until = GetTickCount64() + 20000;
    while (!done && GetTickCount64() < until) {
      for (HWND w : OwnWindows()) {
        if (before.count(w)) continue;
        appeared.insert(w);
        PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(w, WM_CLOSE, 0, 0);
      }
      Sleep(20);
    }
    if (!done) {
      opener.detach();
      FAIL() << "the open still waits after 20 s";
    }
    opener.join();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(appeared.empty()) << appeared.size() << " window(s) appeared";
  }
}

}  // namespace
}  // namespace orv::testing
