// Drives the Orvalis installer and uninstaller (NSIS) from outside, through window handles and
// control IDs, as the end-to-end scripts need it. Runs under Wine beside them.
//
//   orvalis_setup_driver wait KIND TEXT TIMEOUT_MS  waits until a shown window of KIND holds a
//                                                   control whose text contains TEXT; prints
//                                                   every text of that window (see "texts")
//   orvalis_setup_driver texts KIND                 prints the window's shown controls, one a
//                                                   line: "CLASS ID: TEXT" (UTF-8), then a line
//                                                   "rect: LEFT TOP WIDTH HEIGHT" in screen pixels
//   orvalis_setup_driver press KIND ID              clicks the shown button with that ID
//   orvalis_setup_driver gone TIMEOUT_MS            waits until no window of the setup is left
//
// KIND is "page" (the wizard window) or "msgbox" (a message box of the setup). Both are
// top-level dialogs (class #32770) whose title begins with "Orvalis"; a message box is told
// apart by its text control (ID 0xFFFF). Exit code 0 on success, 1 when an expectation fails
// (time-out), 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
            &written, nullptr);
}

std::wstring WindowText(HWND hwnd) {
  // WM_GETTEXT reaches controls of another process (GetWindowText does not).
  wchar_t buf[4096] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  buf[4095] = 0;
  return buf;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t cls[128] = {};
  GetClassNameW(hwnd, cls, 128);
  return cls;
}

struct Control {
  HWND hwnd;
  std::wstring cls;
  int id;
  std::wstring text;
};

BOOL CALLBACK CollectControl(HWND hwnd, LPARAM lp) {
  if (!IsWindowVisible(hwnd)) return TRUE;
  auto* out = reinterpret_cast<std::vector<Control>*>(lp);
  out->push_back({hwnd, ClassOf(hwnd), GetDlgCtrlID(hwnd), WindowText(hwnd)});
  return TRUE;
}

std::vector<Control> Controls(HWND window) {
  std::vector<Control> out;
  EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&out));
  return out;
}

bool IsMessageBox(HWND window) { return GetDlgItem(window, kMessageBoxTextId) != nullptr; }

struct Search {
  bool wantMessageBox;
  HWND found;
};

BOOL CALLBACK FindSetupWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<Search*>(lp);
  if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770") return TRUE;
  const std::wstring title = WindowText(hwnd);
  if (std::wcsncmp(title.c_str(), L"Orvalis", 7) != 0) return TRUE;
  if (IsMessageBox(hwnd) != search->wantMessageBox) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND FindSetupWindow(bool messageBox) {
  Search search{messageBox, nullptr};
  EnumWindows(FindSetupWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void PrintTexts(HWND window) {
  Print("title: " + Utf8(WindowText(window)));
  for (const Control& c : Controls(window)) {
    if (c.text.empty()) continue;
    std::wstring text = c.text;
    for (wchar_t& ch : text)
      if (ch == L'\r' || ch == L'\n') ch = L' ';
    Print(Utf8(c.cls) + " " + std::to_string(c.id) + ": " + Utf8(text));
  }
  RECT r{};
  GetWindowRect(window, &r);
  Print("rect: " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
        std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
}

bool HoldsText(HWND window, const std::wstring& text) {
  if (WindowText(window).find(text) != std::wstring::npos) return true;
  for (const Control& c : Controls(window))
    if (c.text.find(text) != std::wstring::npos) return true;
  return false;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "setup-driver: %s\n", what.c_str());
  return 1;
}

bool KindArg(const std::wstring& arg, bool& messageBox) {
  if (arg == L"page") messageBox = false;
  else if (arg == L"msgbox") messageBox = true;
  else return false;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  bool messageBox = false;

  if (command == L"wait" && argc > 4) {
    if (!KindArg(argv[2], messageBox)) return 2;
    const std::wstring text = argv[3];
    const DWORD timeout = static_cast<DWORD>(_wtoi(argv[4]));
    const DWORD start = GetTickCount();
    do {
      HWND window = FindSetupWindow(messageBox);
      if (window && HoldsText(window, text)) {
        Sleep(300);  // let the page finish drawing before anyone takes a picture of it
        PrintTexts(window);
        return 0;
      }
      Sleep(100);
    } while (GetTickCount() - start < timeout);
    if (HWND window = FindSetupWindow(messageBox)) PrintTexts(window);
    return Fail("no " + Utf8(argv[2]) + " showing \"" + Utf8(text) + "\"");
  }

  if (command == L"texts" && argc > 2) {
    if (!KindArg(argv[2], messageBox)) return 2;
    HWND window = FindSetupWindow(messageBox);
    if (!window) return Fail("no such window");
    PrintTexts(window);
    return 0;
  }

  if (command == L"press" && argc > 3) {
    if (!KindArg(argv[2], messageBox)) return 2;
    HWND window = FindSetupWindow(messageBox);
    if (!window) return Fail("no such window");
    const int id = _wtoi(argv[3]);
    for (const Control& c : Controls(window)) {
      if (c.id == id && _wcsicmp(c.cls.c_str(), L"Button") == 0) {
        if (!IsWindowEnabled(c.hwnd)) return Fail("the button is disabled");
        PostMessageW(c.hwnd, BM_CLICK, 0, 0);
        return 0;
      }
    }
    return Fail("no shown button with that ID");
  }

  if (command == L"gone" && argc > 2) {
    const DWORD timeout = static_cast<DWORD>(_wtoi(argv[2]));
    const DWORD start = GetTickCount();
    do {
      if (!FindSetupWindow(false) && !FindSetupWindow(true)) return 0;
      Sleep(100);
    } while (GetTickCount() - start < timeout);
    return Fail("the setup's windows are still there");
  }

  return 2;
}
