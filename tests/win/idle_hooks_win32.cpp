// The idle detector with the real DsrSleep.dll on the real desktop: input sent with SendInput
// reaches the global hooks, the shared block is the real named mapping, and a second process
// registers beside this one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "idle/dsrSleeper_win32.h"

namespace orv {
namespace {

using HookStateProc = BOOL(WINAPI*)(BOOL);
using HookProc = LRESULT(CALLBACK*)(int, WPARAM, LPARAM);

// This process's own view of the block, to look at it from outside the detector.
class BlockView {
 public:
  BlockView() {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(TSleeperShared), kSleeperMappingName);
    if (mapping_)
      view_ = static_cast<volatile TSleeperShared*>(
          MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(TSleeperShared)));
  }
  ~BlockView() {
    if (view_) UnmapViewOfFile(const_cast<TSleeperShared*>(view_));
    if (mapping_) CloseHandle(mapping_);
  }
  volatile TSleeperShared* operator->() { return view_; }
  volatile TSleeperShared& operator*() { return *view_; }
  explicit operator bool() const { return view_ != nullptr; }
  void Clear() {
    for (auto& w : view_->Wnds) w = 0;
    view_->WndCount = 0;
    view_->Sleeping = 0;
    view_->AnchorPosX = 0;
    view_->AnchorPosY = 0;
  }

 private:
  HANDLE mapping_ = nullptr;
  volatile TSleeperShared* view_ = nullptr;
};

void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}

template <typename Pred>
bool PumpUntil(Pred pred, DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (!pred()) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Pump(20);
  }
  return true;
}

// The library's load error is never shown while it loads (other programs load it under their
// loader lock, where a box can hang them): only the program's own process, which installs the
// hooks, shows it then. Declared first: the block must not exist yet, so that a kernel object
// of another kind can take its name and make the library's attach fail.
constexpr char kLoadErrorCaption[] = "Error DsrSleep.dll loading";

// Runs `call` on a thread of its own and closes the library's error boxes meanwhile; the
// number of boxes, or -1 when the call did not return.
template <typename Call>
int BoxesWhile(Call call) {
  struct Job {
    Call call;
    static DWORD WINAPI Run(void* self) {
      static_cast<Job*>(self)->call();
      return 0;
    }
  } job{call};
  HANDLE thread = CreateThread(nullptr, 0, &Job::Run, &job, 0, nullptr);
  int boxes = 0;
  for (int i = 0; i < 500 && WaitForSingleObject(thread, 10) == WAIT_TIMEOUT; ++i) {
    if (HWND box = FindWindowA(nullptr, kLoadErrorCaption)) {
      ++boxes;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      Sleep(200);
    }
  }
  const bool done = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
  if (!done) TerminateThread(thread, 1);
  CloseHandle(thread);
  return done ? boxes : -1;
}

TEST(IdleLoadError, NoBoxWhileLoadingOneWhenTheProgramInstallsTheHooks) {
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, kSleeperMappingName);
  if (!squatter || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (squatter) CloseHandle(squatter);
    GTEST_SKIP() << "the block exists already (another process holds it): its attach cannot be "
                    "made to fail here";
  }
  // A copy of its own, so that this process loads it anew.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"orvalis-loaderror-" +
                            std::to_wstring(GetTickCount()) + L".dll";
  const LibraryImage image = CarriedLibrary(GetModuleHandleW(nullptr));
  {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(static_cast<const char*>(image.data), image.size);
  }
  HMODULE library = nullptr;
  EXPECT_EQ(BoxesWhile([&] { library = LoadLibraryW(path.c_str()); }), 0)
      << "a box while loading, where other programs would hang on it";
  ASSERT_TRUE(library);
  auto hookState = reinterpret_cast<BOOL(WINAPI*)(BOOL)>(
      reinterpret_cast<void*>(GetProcAddress(library, "HookState")));
  ASSERT_TRUE(hookState);
  EXPECT_EQ(BoxesWhile([&] { hookState(TRUE); }), 1);
  EXPECT_EQ(BoxesWhile([&] { hookState(FALSE); hookState(TRUE); }), 0);  // shown once
  hookState(FALSE);
  FreeLibrary(library);
  CloseHandle(squatter);
  DeleteFileW(path.c_str());
}

// A shown window in the foreground that receives the test's input.
class InputWindow {
 public:
  InputWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvalisIdleTestWindow";
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Leerlauf-Test", WS_POPUP | WS_VISIBLE,
                            100, 100, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    Pump(300);
  }
  ~InputWindow() { DestroyWindow(hwnd_); }
  HWND Handle() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

void SendKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

void MoveMouseTo(int x, int y) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = static_cast<LONG>(x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
  in.mi.dy = static_cast<LONG>(y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(INPUT));
}

struct Counts {
  int sleeps = 0, awakes = 0;
};

// A detector as the main window holds it, with a short threshold.
void Watch(dsrSleeper& sleeper, Counts& counts, int interval = 1) {
  sleeper->SetActive(true);
  sleeper->SetInterval(interval);
  sleeper->SetOnAwake([&counts](TdsrSleeper&) { ++counts.awakes; });
  sleeper->SetOnSleep([&counts](TdsrSleeper&) { ++counts.sleeps; });
}

class IdleHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(block);
    block.Clear();
  }
  BlockView block;
  InputWindow window;
};

TEST_F(IdleHooks, AKeyPressDuringAnIdlePeriodWakesAtOnce) {
  Counts counts;
  std::vector<std::string> errors;
  dsrSleeper sleeper(GetModuleHandleW(nullptr),
                     [&errors](const std::string& e) { errors.push_back(e); });
  // The window lets the awake message through the filter that would drop it on its way from a
  // normal program to an elevated Orvalis. Wine has no such filter and accepts the call; it
  // cannot show that the message then passes.
  EXPECT_TRUE(sleeper.Platform().AwakeMessageAllowed());
  Watch(sleeper, counts);
  ASSERT_TRUE(sleeper->Hooked());
  EXPECT_EQ(block->WndCount, 1);
  EXPECT_EQ(block->Wnds[0], static_cast<std::uint32_t>(
                                reinterpret_cast<UINT_PTR>(sleeper.Platform().Window())));
  ASSERT_TRUE(PumpUntil([&] { return counts.sleeps == 1; }, 4000)) << "no idle period began";
  EXPECT_EQ(block->Sleeping, 1);
  Pump(1500);
  EXPECT_EQ(counts.sleeps, 1);  // not again until input came

  const DWORD before = GetTickCount();
  SendKey(VK_SHIFT);
  ASSERT_TRUE(PumpUntil([&] { return counts.awakes == 1; }, 2000)) << "the key did not wake it";
  EXPECT_LT(GetTickCount() - before, 1000u);
  EXPECT_EQ(block->Sleeping, 0);
  EXPECT_TRUE(errors.empty());
}

TEST_F(IdleHooks, TheFirstMouseEventOnlyRecordsTheAnchorAndAMoveElsewhereWakes) {
  Counts counts;
  dsrSleeper sleeper(GetModuleHandleW(nullptr), nullptr);
  MoveMouseTo(200, 200);
  Pump(200);
  Watch(sleeper, counts);
  ASSERT_TRUE(PumpUntil([&] { return counts.sleeps == 1; }, 4000));
  MoveMouseTo(220, 210);
  Pump(500);
  EXPECT_EQ(counts.awakes, 0) << "the first mouse event of an idle period woke it";
  EXPECT_EQ(block->AnchorPosX, 220);
  EXPECT_EQ(block->AnchorPosY, 210);
  MoveMouseTo(260, 230);
  ASSERT_TRUE(PumpUntil([&] { return counts.awakes == 1; }, 2000)) << "the move did not wake it";
  EXPECT_EQ(block->AnchorPosX, 0);
}

// The exported hook procedures called directly with made-up events, on the real block.
class HookExports : public IdleHooks {
 protected:
  void SetUp() override {
    IdleHooks::SetUp();
    const std::wstring path = ExtractLibrary(GetModuleHandleW(nullptr), LibraryFolder());
    ASSERT_FALSE(path.empty());
    library = LoadLibraryW(path.c_str());
    ASSERT_TRUE(library);
    hookState = reinterpret_cast<HookStateProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "HookState")));
    keyboard = reinterpret_cast<HookProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "KeyboardProc")));
    mouse = reinterpret_cast<HookProc>(reinterpret_cast<void*>(GetProcAddress(library, "MouseProc")));
    ASSERT_TRUE(hookState && keyboard && mouse);
  }
  void TearDown() override {
    if (library) FreeLibrary(library);
  }
  LRESULT Mouse(UINT msg, int x, int y) {
    MOUSEHOOKSTRUCT record{};
    record.pt = {x, y};
    return mouse(HC_ACTION, msg, reinterpret_cast<LPARAM>(&record));
  }
  HMODULE library = nullptr;
  HookStateProc hookState = nullptr;
  HookProc keyboard = nullptr, mouse = nullptr;
};

TEST_F(HookExports, MovesAtTheSamePlaceAreNoInputAndTheAnchorHolds) {
  block->LastPosX = 10;
  block->LastPosY = 20;
  block->LastTick = 5;
  EXPECT_EQ(Mouse(WM_MOUSEMOVE, 10, 20), 0);
  EXPECT_EQ(block->LastTick, 5u);
  Mouse(WM_MOUSEMOVE, 11, 20);
  EXPECT_NE(block->LastTick, 5u);

  block->Sleeping = 1;
  Mouse(WM_MOUSEMOVE, 30, 40);  // the anchor
  Mouse(WM_MOUSEMOVE, 30, 40);  // back at the anchor: no wake
  EXPECT_EQ(block->Sleeping, 1);
  Mouse(WM_LBUTTONDOWN, 30, 40);  // a click wakes, even at the anchor
  EXPECT_EQ(block->Sleeping, 0);
  EXPECT_EQ(block->AnchorPosX, 0);
  // A null record and negative codes pass on without touching the block.
  block->Sleeping = 1;
  mouse(HC_ACTION, WM_MOUSEMOVE, 0);
  keyboard(-1, 'A', 0);
  EXPECT_EQ(block->Sleeping, 1);
  EXPECT_EQ(keyboard(HC_ACTION, 'A', 0), 0);
  EXPECT_EQ(block->Sleeping, 0);
}

TEST_F(HookExports, HookStateInstallsOnceAndRemovingTwiceIsHarmless) {
  EXPECT_TRUE(hookState(FALSE));  // nothing installed: true, nothing changes
  block->LastTick = 0;
  EXPECT_TRUE(hookState(0x100 | TRUE));  // only the low byte counts: 0x101 is true
  EXPECT_NE(block->LastTick, 0u);
  EXPECT_TRUE(hookState(TRUE));
  EXPECT_TRUE(hookState(0x100));  // low byte 0: remove
  EXPECT_TRUE(hookState(FALSE));
}

// The hook procedures do a constant, small amount of work per event, and hand every event on
// with CallNextHookEx, which is the platform's own cost (under Wine a round trip to the
// server, tens of microseconds; on Windows a system call). The figures go into the README; the
// bound only catches work of ours that grows (a loop over something, another system call).
TEST_F(HookExports, OneHookCallCostsLittleMoreThanPassingTheEventOn) {
  constexpr int kCalls = 20000;
  LARGE_INTEGER f, t0, t1, t2, t3;
  QueryPerformanceFrequency(&f);
  MOUSEHOOKSTRUCT record{};
  QueryPerformanceCounter(&t0);
  for (int i = 0; i < kCalls; ++i) CallNextHookEx(nullptr, HC_ACTION, 'A', 0);
  QueryPerformanceCounter(&t1);
  for (int i = 0; i < kCalls; ++i) {
    record.pt = {i & 1023, 10};
    mouse(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&record));
  }
  QueryPerformanceCounter(&t2);
  for (int i = 0; i < kCalls; ++i) keyboard(HC_ACTION, 'A', 0);
  QueryPerformanceCounter(&t3);
  auto ns = [&](const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    return 1e9 * static_cast<double>(b.QuadPart - a.QuadPart) / f.QuadPart / kCalls;
  };
  const double nextNs = ns(t0, t1), mouseNs = ns(t1, t2), keyNs = ns(t2, t3);
  std::printf("hook call: MouseProc %.1f ns, KeyboardProc %.1f ns, of which CallNextHookEx "
              "%.1f ns (real DLL, %d calls each)\n",
              mouseNs, keyNs, nextNs, kCalls);
  const double bound = nextNs * 1.5 + 2000.0;
  EXPECT_LT(mouseNs, bound);
  EXPECT_LT(keyNs, bound);
}

TEST_F(HookExports, AGarbageBlockCrashesNothingWhenInputArrives) {
  ASSERT_TRUE(hookState(TRUE));
  for (std::int32_t count : {1000000, -5}) {
    for (auto& w : block->Wnds) w = 0x7FFF0000u + 1;  // no window has this handle
    block->WndCount = count;
    block->Sleeping = 1;
    block->AnchorPosX = 1;
    SendKey(VK_SHIFT);
    MoveMouseTo(300 + count % 7, 150);
    Pump(400);
    EXPECT_EQ(block->Sleeping, 0) << count;  // the input arrived, and this process lives
    // The same through the exports directly.
    block->Sleeping = 1;
    keyboard(HC_ACTION, 'B', 0);
    EXPECT_EQ(block->Sleeping, 0);
  }
  hookState(FALSE);
}

// Another program's hooks, installed before ours: they sit behind ours in the chain and see an
// event only when ours passes it on.
int g_otherKeys = 0, g_otherMice = 0;
LRESULT CALLBACK OtherKeyboardHook(int code, WPARAM wp, LPARAM lp) {
  if (code >= 0) ++g_otherKeys;
  return CallNextHookEx(nullptr, code, wp, lp);
}
LRESULT CALLBACK OtherMouseHook(int code, WPARAM wp, LPARAM lp) {
  if (code >= 0) ++g_otherMice;
  return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(HookExports, HooksInstalledBeforeOursStillReceiveTheInput) {
  HHOOK keys = SetWindowsHookExW(WH_KEYBOARD, &OtherKeyboardHook, GetModuleHandleW(nullptr), 0);
  HHOOK mice = SetWindowsHookExW(WH_MOUSE, &OtherMouseHook, GetModuleHandleW(nullptr), 0);
  ASSERT_TRUE(keys && mice);
  ASSERT_TRUE(hookState(TRUE));  // the later hooks are called first
  block->LastTick = 0;
  g_otherKeys = g_otherMice = 0;
  SetForegroundWindow(window.Handle());
  SendKey(VK_SHIFT);
  MoveMouseTo(250, 170);
  MoveMouseTo(270, 190);
  EXPECT_TRUE(PumpUntil([] { return g_otherKeys > 0 && g_otherMice > 0; }, 3000))
      << "keyboard events behind ours: " << g_otherKeys << ", mouse events: " << g_otherMice;
  EXPECT_NE(block->LastTick, 0u);  // ours saw them first
  hookState(FALSE);
  UnhookWindowsHookEx(keys);
  UnhookWindowsHookEx(mice);
}

TEST_F(IdleHooks, TwoProcessesShareTheBlockAndSwitchingOnTwiceInstallsOnce) {
  Counts counts;
  dsrSleeper sleeper(GetModuleHandleW(nullptr), nullptr);
  Watch(sleeper, counts, 60);
  sleeper->SetActive(true);
  EXPECT_EQ(block->WndCount, 1);
  const std::uint32_t own =
      static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(sleeper.Platform().Window()));

  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"OrvalisSleeperPeerReady");
  HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"OrvalisSleeperPeerQuit");
  ResetEvent(ready);
  ResetEvent(quit);
  std::wstring command = L"\"" ORV_SLEEPER_PEER_EXE "\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0; }, 15000))
      << "the second process did not switch its detector on";
  EXPECT_EQ(block->WndCount, 2);
  EXPECT_EQ(block->Wnds[0], own);
  const std::uint32_t peer = block->Wnds[1];
  EXPECT_NE(peer, 0u);
  EXPECT_NE(peer, own);

  sleeper->SetActive(false);  // this one leaves: the other moves to the front
  EXPECT_EQ(block->WndCount, 1);
  EXPECT_EQ(block->Wnds[0], peer);
  sleeper->SetActive(true);  // and comes back behind it
  EXPECT_EQ(block->WndCount, 2);
  EXPECT_EQ(block->Wnds[1], own);

  SetEvent(quit);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(block->WndCount, 1);
  EXPECT_EQ(block->Wnds[0], own);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(ready);
  CloseHandle(quit);
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

// A library that loads but cannot install its hooks would let an idle period begin that no
// input can end: the detector takes it as a failed install and runs without idle detection.
TEST(IdleLibraryFile, HooksThatCannotBeInstalledFailTheInstall) {
  const std::wstring path = ORV_FAILING_HOOKS_DLL;
  const std::string bytes = ReadAll(path);
  ASSERT_FALSE(bytes.empty());
  dsrSleeper sleeper(GetModuleHandleW(nullptr), nullptr);
  sleeper.Platform().SetExpectedLibrary({bytes.data(), static_cast<DWORD>(bytes.size())});
  sleeper.Platform().SetLibraryPath(path);
  try {
    sleeper->SetActive(true);
    ADD_FAILURE() << "no error";
  } catch (const EdsrSleeperError& e) {
    EXPECT_STREQ(e.what(), "Cannot install the hooks of DsrSleep.dll");
  }
  EXPECT_FALSE(sleeper->Hooked());
  EXPECT_EQ(GetModuleHandleW(L"orvalis_failing_hooks.dll"), nullptr) << "the library stayed loaded";
}

TEST(IdleLibraryFile, ComparedByContentKeptPerUserAndACopyWhenTheOldOneIsInUse) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"orvalis-idle-" + std::to_wstring(GetTickCount());
  const std::wstring blocked = base + L"-file";  // a file where a folder should be
  const std::wstring folder = base + L"-dir";
  { std::ofstream(blocked.c_str()) << "x"; }
  HMODULE self = GetModuleHandleW(nullptr);
  const LibraryImage image = CarriedLibrary(self);
  ASSERT_GT(image.size, 1000u);
  const std::string carried(static_cast<const char*>(image.data), image.size);

  const std::wstring path = ExtractLibrary(self, folder);
  ASSERT_EQ(path, folder + L"\\DsrSleep.dll");
  EXPECT_EQ(ReadAll(path), carried);

  // Same size, one byte other (in the DOS stub: still a working library): written anew.
  std::string other = carried;
  const std::size_t stub = other.find("This program");
  ASSERT_NE(stub, std::string::npos);
  other[stub] = 't';
  WriteAll(path, other);
  EXPECT_EQ(ExtractLibrary(self, folder), path);
  EXPECT_EQ(ReadAll(path), carried);

  // The detector loads nothing but those bytes.
  WriteAll(path, other);
  dsrSleeper sleeper(self, nullptr);
  sleeper.Platform().SetLibraryPath(path);
  EXPECT_THROW(sleeper->SetActive(true), EdsrSleeperError);
  EXPECT_FALSE(sleeper->Hooked());
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "the foreign library was loaded";
  sleeper->SetActive(false);

  // The old file cannot be replaced while it is in use (here a reader that lets nobody write,
  // as a loaded library does): the library goes to a copy named after its content, which the
  // next start takes again.
  HANDLE busy = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  const std::wstring copy = ExtractLibrary(self, folder);
  EXPECT_EQ(copy.rfind(folder + L"\\DsrSleep-", 0), 0u) << std::string(copy.begin(), copy.end());
  EXPECT_EQ(copy.size(), path.size() + 9);  // "-XXXXXXXX"
  EXPECT_EQ(ReadAll(copy), carried);
  EXPECT_EQ(ReadAll(path), other);
  EXPECT_EQ(ExtractLibrary(self, folder), copy);
  sleeper.Platform().SetLibraryPath(copy);
  EXPECT_NO_THROW(sleeper->SetActive(true));
  EXPECT_TRUE(sleeper->Hooked());
  sleeper->SetActive(false);
  CloseHandle(busy);

  // No folder takes it, or the module carries none: no path.
  EXPECT_EQ(ExtractLibrary(self, blocked), L"");
  EXPECT_EQ(ExtractLibrary(GetModuleHandleW(L"kernel32.dll"), folder), L"");
  // The program's own copy is this user's, never in the system directory.
  const std::wstring own = LibraryFolder();
  ASSERT_GT(own.size(), 8u);
  EXPECT_EQ(own.substr(own.size() - 8), L"\\Orvalis");
  EXPECT_EQ(dsrSleeper(self, nullptr).Platform().LibraryPath().rfind(own + L"\\DsrSleep", 0), 0u);

  DeleteFileW(copy.c_str());
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
  DeleteFileW(blocked.c_str());
}

}  // namespace
}  // namespace orv
