// Drives the real Orvalis.exe from outside, as a user or a screen reader would reach it:
// through window handles, control IDs and messages. Runs under Wine beside the program.
//
//   orvalis_driver wait-window TIMEOUT_MS
//   orvalis_driver window-size                      prints "WIDTH HEIGHT"
//   orvalis_driver expect-columns HEADING...        the task list's column headings, in order
//   orvalis_driver row-count                        prints the number of task list rows
//   orvalis_driver wait-rows N TIMEOUT_MS           waits until the list has N rows
//   orvalis_driver rows [CLASS]                     prints every row: name | next start | kind
//                                                   (of the list of that window, when given)
//   orvalis_driver file-dialog PATH TIMEOUT_MS      waits for an open or save dialog of the
//                                                   program, types PATH as the file name and
//                                                   presses its OK button
//   orvalis_driver dialog-text TIMEOUT_MS [BUTTON]  waits for a message box of the program,
//                                                   prints its text and presses BUTTON (IDOK)
//   orvalis_driver select ROW...                    selects these rows of the task list
//   orvalis_driver click-main ID                    clicks a button of the main window
//   orvalis_driver close                            asks the window to close (WM_CLOSE)
//   orvalis_driver quit                             "Beenden" (the tray menu's item); prints
//                                                   "sent at MS" (ms since 1970)
//   orvalis_driver option show|minimized            the start option (the "Optionen" menu's items)
//   orvalis_driver command ID                       any menu item: WM_COMMAND with its ID
//   orvalis_driver is-iconic                        exit 0 when minimised, 3 otherwise
//   orvalis_driver main-text ID                     prints the text of a main-window control
//   orvalis_driver responsive TIMEOUT_MS            finds the main window (shown or not) and
//                                                   checks that it answers a message within 1 s
//   orvalis_driver is-visible                       exit 0 when shown, 3 when hidden
//   orvalis_driver wait-class CLASS TIMEOUT_MS      waits for a shown window of that class
//   orvalis_driver reachable CLASS                  exit 0 when that window is shown, wholly on
//                                                   the screen's work area, and has a taskbar
//                                                   button and a place in Alt+Tab; prints why not
//   orvalis_driver control-text CLASS ID            prints the text of a control of that window
//   orvalis_driver click CLASS ID                   clicks a button of that window
//   orvalis_driver next-execution-future TASK       exit 0 when the task's stored next start
//                                                   lies in the future
//   orvalis_driver silent-server PORT SECONDS       accepts connections on 127.0.0.1:PORT and
//                                                   never answers, for SECONDS
//   The task editor's controls lie deeper than the main window's own; these reach any control
//   below the main window by ID:
//   orvalis_driver set-text ID TEXT                 sets the text (WM_SETTEXT)
//   orvalis_driver text ID                          prints the text
//   orvalis_driver press ID                         clicks a button (BM_CLICK)
//   orvalis_driver shown ID                         exit 0 when shown, 3 when hidden
//   orvalis_driver paste ID TEXT                    puts TEXT on the clipboard and pastes it
//   orvalis_driver type ID TEXT                     sends TEXT as typed characters (WM_CHAR)
//   orvalis_driver key ID VK                        posts a key press (WM_KEYDOWN/WM_KEYUP)
//   orvalis_driver selected-rows                    prints the selected rows' indexes
//   orvalis_driver query-end-session                asks whether the session may end
//                                                   (WM_QUERYENDSESSION), prints the answer
//   orvalis_driver end-session                      tells the window the session ends; prints
//                                                   "sent at MS"
//   The window chrome and the about box:
//   orvalis_driver window-rect [CLASS]              prints "X Y WIDTH HEIGHT" on the screen
//   orvalis_driver control-rect CLASS ID            the same for a control of that window
//   orvalis_driver region [CLASS]                   prints the window region's rectangles,
//                                                   "left top right bottom" a line
//   orvalis_driver window-count CLASS               prints how many shown windows of that
//                                                   class the program has
//   orvalis_driver wait-menu TIMEOUT_MS             waits for an open popup menu, prints its
//                                                   "X Y WIDTH HEIGHT"
//   orvalis_driver menu-closed TIMEOUT_MS           waits until no popup menu is open
//   orvalis_driver escape                           Escape to the main window (closes a menu)
//   orvalis_driver tray click|right|balloon-click   the tray icon's messages of a left click,
//                                                   of a right click, of a click on its
//                                                   balloon (at the mouse)
//   orvalis_driver tray keyselect|contextmenu [X Y] Enter or Space, and Shift+F10, on the icon
//                                                   chosen with the keyboard (anchor X Y)
//   orvalis_driver tray-present                     exit 0 when the tray icon exists, 3 if not
//   orvalis_driver tray-remove                      removes the icon, as a dying shell would
//   orvalis_driver taskbar-created                  tells the program the shell has restarted
//   orvalis_driver tick                             the job timer fires now
//   orvalis_driver power-resume                     posts the resume from standby
//   orvalis_driver time-change                      posts the change of the clock (WM_TIMECHANGE)
//   orvalis_driver backdrop RRGGBB SECONDS          a window of that colour behind all others,
//                                                   over the whole screen, for SECONDS
//   orvalis_driver backdrop-off                     closes it
//   Display scaling:
//   orvalis_driver check-layout [CLASS] [ID:ID...]  exit 0 when every shown control below that
//                                                   window (the main window) lies inside its
//                                                   parent's client area and overlaps no shown
//                                                   sibling, but for the pairs given (drawn one
//                                                   over the other on purpose); prints each fault
//   orvalis_driver dpi-changed DPI [CLASS]          sends WM_DPICHANGED with the window's rect
//                                                   scaled from its dpi as the suggested one,
//                                                   moved onto the screen as far as it fits
//
//   The run history:
//   orvalis_driver history-rows                     prints every row of the "Verlauf" window:
//                                                   time | task | trigger | outcome
//   orvalis_driver acc-name ROW                     prints the accessible name of a task list
//                                                   row, as a screen reader gets it
//   orvalis_driver wait-tooltip TEXT TIMEOUT_MS     waits for a shown tooltip or balloon (of
//                                                   any process) whose text holds TEXT; prints it
//
//   The keyboard alone:
//   orvalis_driver keys KEY...                      presses keys in the window that has the
//                                                   program's keyboard focus (posted as the
//                                                   keyboard would post them, so that the
//                                                   program's message loop and dialog manager
//                                                   see them): tab enter escape space up down
//                                                   left right delete f1 f10 alt, alt+LETTER,
//                                                   or text:TEXT (typed characters); returns
//                                                   once the program has handled each
//   orvalis_driver focus                            prints the ID and class of the control
//                                                   that has the program's keyboard focus
//   orvalis_driver checked ID                       exit 0 when the check box or radio button
//                                                   is checked, 3 when not
//   orvalis_driver activate                         brings the main window to the foreground,
//                                                   as Alt+Tab does, and waits until it is
//                                                   active
//
//   orvalis_driver sync                             returns once the program's window thread has
//                                                   handled everything sent to it before and
//                                                   waits for messages again
//
// The commands that deliver a message to the program (click, click-main, press, close, option,
// command, tray, taskbar-created, tick, power-resume, time-change, dialog-text's button) return
// only once the program has handled it, as "sync" does: the scripts never sleep for a message.
// Exit code 0 on success, 1 when an expectation fails, 2 on a usage error.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <initguid.h>
#include <oleacc.h>
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/oledate.h"
#include "ui/win32_text.h"

namespace {

// The system time in milliseconds since 1970, as the test scripts' `date +%s%N` counts it:
// "sent at MS", before the driver sends a message whose effect a script times.
void PrintUnixMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const unsigned long long t =
      (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  std::printf("sent at %llu\n", (t - 116444736000000000ULL) / 10000);
  std::fflush(stdout);
}

int Fail(const char* what) {
  std::fprintf(stderr, "driver: %s\n", what);
  return 1;
}

constexpr wchar_t kMainClass[] = L"TFormMain";
constexpr int kIdListViewTasks = 1001;
// Menu commands (src/ui/chrome.h), the tray icon's ID and message, the job timer's ID.
constexpr WPARAM kCmdPopupMenuTrayBeenden = 3003;
constexpr WPARAM kCmdPopupMenuOptionenFensterAnzeigen = 3021;
constexpr WPARAM kCmdPopupMenuOptionenMinimiertStarten = 3022;
constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr WPARAM kTimerJobs = 1;

// A popup menu of the program that is open (menus are windows of the class "#32768").
struct MenuSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMenu(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<MenuSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (pid == search->pid && std::wstring(cls) == L"#32768" && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND OpenMenu(HWND main) {
  MenuSearch search{0, nullptr};
  GetWindowThreadProcessId(main, &search.pid);
  EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ClassCount {
  DWORD pid;
  const wchar_t* cls;
  int count;
};

BOOL CALLBACK CountClass(HWND hwnd, LPARAM lp) {
  auto* c = reinterpret_cast<ClassCount*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (pid == c->pid && std::wstring(cls) == c->cls && IsWindowVisible(hwnd)) ++c->count;
  return TRUE;
}

void PrintRect(const RECT& r) {
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool TrayIcon(HWND main, DWORD message) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = main;
  data.uID = kTrayIconId;
  if (message == NIM_MODIFY) {
    data.uFlags = NIF_TIP;
    wcscpy(data.szTip, L"Orvalis");
  }
  return Shell_NotifyIconW(message, &data);
}

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (msg == WM_TIMER) DestroyWindow(hwnd);
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// A window of one colour over the whole screen, below every other window.
int Backdrop(unsigned rgb, int seconds) {
  const COLORREF colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  WNDCLASSW wc{};
  wc.lpfnWndProc = BackdropProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = CreateSolidBrush(colour);
  wc.lpszClassName = L"OrvalisBackdrop";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP,
                              0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return Fail("no backdrop window");
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetTimer(hwnd, 1, 1000u * static_cast<UINT>(seconds), nullptr);
  std::printf("backdrop shown\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

HWND FindMain() { return FindWindowW(kMainClass, nullptr); }

// Waits until the program's window thread has handled everything sent to it before and is
// waiting for messages again (in its message loop or in the loop of a dialog or menu it shows).
// Messages sent from another thread are handled in the order they were sent, and before any
// posted one: a WM_NULL sent after the message answers only once that message has been handled
// or has opened a modal loop. A window that went away meanwhile (the program ended) counts as
// handled.
bool Sync(HWND window) {
  DWORD_PTR ignored = 0;
  if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored)) return true;
  return !IsWindow(window);
}

// Delivers a message the way the program would get it posted, and returns once the program has
// handled it. SendNotifyMessage does not wait itself, so a handler that opens a dialog does not
// hold the driver; the sync after it answers from the dialog's loop.
int Deliver(HWND target, UINT msg, WPARAM wp, LPARAM lp) {
  if (!SendNotifyMessageW(target, msg, wp, lp)) return Fail("cannot send the message");
  HWND main = FindMain();
  if (!Sync(main ? main : target)) return Fail("the message was not handled within 30 s");
  return 0;
}

// The window that has the keyboard focus in the program's window thread (in a menu or a
// message box too), else the active one.
HWND FocusOf(HWND main) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return nullptr;
  return info.hwndFocus ? info.hwndFocus : info.hwndActive;
}

// Posts one keyboard message to the focused window and returns once the program has handled
// it and what it led to. Posted messages come out of the queue in order, after the messages
// sent to the thread: each answered WM_NULL means the thread came back for a message once
// more. Three rounds cover the key, the character that TranslateMessage posts for it, and the
// message that was already being handled when the first round arrived.
bool PostKey(HWND main, UINT msg, WPARAM vk, bool up, bool alt) {
  HWND target = FocusOf(main);
  if (!target) target = main;
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
  LPARAM lp = 1 | (static_cast<LPARAM>(scan) << 16) | (alt ? (1 << 29) : 0);
  if (up) lp |= static_cast<LPARAM>(0xC0000000u);
  if (!PostMessageW(target, msg, vk, lp)) return false;
  for (int i = 0; i < 3; ++i)
    if (!Sync(main)) return false;
  return true;
}

bool PressKey(HWND main, const std::wstring& key) {
  struct Named {
    const wchar_t* name;
    WPARAM vk;
  };
  static const Named kNamed[] = {{L"tab", VK_TAB},       {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE},
                                 {L"space", VK_SPACE},   {L"up", VK_UP},        {L"down", VK_DOWN},
                                 {L"left", VK_LEFT},     {L"right", VK_RIGHT},  {L"delete", VK_DELETE},
                                 {L"f1", VK_F1}};
  for (const Named& n : kNamed)
    if (key == n.name) return PostKey(main, WM_KEYDOWN, n.vk, false, false) &&
                              PostKey(main, WM_KEYUP, n.vk, true, false);
  if (key == L"f10")  // F10 comes as a system key
    return PostKey(main, WM_SYSKEYDOWN, VK_F10, false, false) &&
           PostKey(main, WM_SYSKEYUP, VK_F10, true, false);
  if (key == L"alt")
    return PostKey(main, WM_SYSKEYDOWN, VK_MENU, false, true) &&
           PostKey(main, WM_SYSKEYUP, VK_MENU, true, true);
  if (key.size() == 5 && key.compare(0, 4, L"alt+") == 0) {
    const WPARAM letter = static_cast<WPARAM>(towupper(key[4]));
    return PostKey(main, WM_SYSKEYDOWN, VK_MENU, false, true) &&
           PostKey(main, WM_SYSKEYDOWN, letter, false, true) &&
           PostKey(main, WM_SYSKEYUP, letter, true, true) &&
           PostKey(main, WM_KEYUP, VK_MENU, true, false);
  }
  if (key.compare(0, 5, L"text:") == 0) {
    for (std::size_t i = 5; i < key.size(); ++i) {
      HWND target = FocusOf(main);
      if (!target || !PostMessageW(target, WM_CHAR, key[i], 1)) return false;
      if (!Sync(main) || !Sync(main)) return false;
    }
    return true;
  }
  return false;
}

// Memory inside the program's process, for messages whose arguments are pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND hwnd, SIZE_T size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool Ok() const { return address_ != nullptr; }
  void* Address() const { return address_; }
  bool Write(const void* data, SIZE_T n, SIZE_T offset = 0) {
    return n + offset <= size_ &&
           WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, nullptr);
  }
  bool Read(void* data, SIZE_T n, SIZE_T offset = 0) {
    return n + offset <= size_ &&
           ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  SIZE_T size_;
};

bool ItemText(HWND list, int item, int subItem, std::wstring& out) {
  constexpr SIZE_T kTextChars = 512;
  RemoteBuffer remote(list, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!remote.Ok()) return false;
  LVITEMW lv{};
  lv.iSubItem = subItem;
  lv.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof lv);
  lv.cchTextMax = kTextChars;
  if (!remote.Write(&lv, sizeof lv)) return false;
  SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(remote.Address()));
  wchar_t text[kTextChars] = {};
  if (!remote.Read(text, sizeof text, sizeof lv)) return false;
  text[kTextChars - 1] = 0;
  out = text;
  return true;
}

// A top-level dialog window (message box) that belongs to the program's process.
struct DialogSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (pid == search->pid && std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// A file dialog (open or save) of the program: a dialog with a file name field.
BOOL CALLBACK FindFileDialog(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<DialogSearch*>(lp);
  if (FindDialog(hwnd, lp) == FALSE) {
    if (GetDlgItem(hwnd, 0x47C) || GetDlgItem(hwnd, 0x480)) return FALSE;  // cmb13 / edt1
    search->found = nullptr;
  }
  return TRUE;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lp) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    wchar_t text[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    *reinterpret_cast<std::wstring*>(lp) += text;
  }
  return TRUE;
}

bool ColumnHeading(HWND list, int index, std::wstring& out) {
  constexpr SIZE_T kTextChars = 256;
  RemoteBuffer remote(list, sizeof(LVCOLUMNW) + kTextChars * sizeof(wchar_t));
  if (!remote.Ok()) return false;
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof col);
  col.cchTextMax = kTextChars;
  if (!remote.Write(&col, sizeof col)) return false;
  if (!SendMessageW(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(remote.Address())))
    return false;
  wchar_t text[kTextChars] = {};
  if (!remote.Read(text, sizeof text, sizeof col)) return false;
  text[kTextChars - 1] = 0;
  out = text;
  return true;
}

// Non-ASCII characters as \uXXXX so that the output survives any console code page.
std::string Printable(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

struct IdSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<IdSearch*>(lp);
  if (GetDlgCtrlID(hwnd) == search->id) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// A control anywhere below `root` (EnumChildWindows walks all descendants).
HWND FindDescendant(HWND root, int id) {
  IdSearch search{id, nullptr};
  EnumChildWindows(root, FindById, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool SetClipboardText(const std::wstring& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool ok = false;
  if (memory) {
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!ok) GlobalFree(memory);
  }
  CloseClipboard();
  return ok;
}

struct LayoutCheck {
  std::vector<std::pair<int, int>> allowed;
  int faults = 0;
};

std::wstring Describe(HWND w) {
  wchar_t cls[64] = {}, text[64] = {};
  GetClassNameW(w, cls, 64);
  GetWindowTextW(w, text, 64);
  return std::to_wstring(GetDlgCtrlID(w)) + L" (" + cls + L" \"" + text + L"\")";
}

BOOL CALLBACK CollectChildren(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}

// The shown direct children of `parent`, each checked against its parent and its siblings,
// then their own children.
void CheckLayout(HWND parent, LayoutCheck& check) {
  std::vector<HWND> all, shown;
  EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&all));
  for (HWND w : all)
    if (GetParent(w) == parent && IsWindowVisible(w)) shown.push_back(w);
  RECT client;
  GetClientRect(parent, &client);
  MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    RECT r, overlap;
    GetWindowRect(shown[i], &r);
    if (r.left < client.left || r.top < client.top || r.right > client.right ||
        r.bottom > client.bottom) {
      std::wprintf(L"outside its parent: %ls at %ld,%ld-%ld,%ld in %ld,%ld-%ld,%ld\n",
                   Describe(shown[i]).c_str(), r.left - client.left, r.top - client.top,
                   r.right - client.left, r.bottom - client.top, 0L, 0L,
                   client.right - client.left, client.bottom - client.top);
      ++check.faults;
    }
    for (std::size_t j = i + 1; j < shown.size(); ++j) {
      RECT q;
      GetWindowRect(shown[j], &q);
      if (!IntersectRect(&overlap, &r, &q)) continue;
      const int a = GetDlgCtrlID(shown[i]), b = GetDlgCtrlID(shown[j]);
      bool ok = false;
      for (const auto& [x, y] : check.allowed) ok = ok || (x == a && y == b) || (x == b && y == a);
      if (ok) continue;
      std::wprintf(L"overlap: %ls and %ls by %ldx%ld\n", Describe(shown[i]).c_str(),
                   Describe(shown[j]).c_str(), overlap.right - overlap.left,
                   overlap.bottom - overlap.top);
      ++check.faults;
    }
    CheckLayout(shown[i], check);
  }
}

}  // namespace

// A shown tooltip or balloon whose text holds `part` (a callback of the system's calling
// convention: a lambda is not one in the 32-bit build).
struct TooltipSearch {
  std::wstring part, found;
};
BOOL CALLBACK FindTooltip(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<TooltipSearch*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (_wcsicmp(cls, L"tooltips_class32") != 0 || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000,
                      &ignored);
  if (std::wstring(text).find(s->part) == std::wstring::npos) return TRUE;
  s->found = text;
  return FALSE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];

  if (command == L"wait-window") {
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 20000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      HWND main = FindMain();
      if (main && IsWindowVisible(main)) return 0;
      Sleep(100);
    }
    return Fail("the main window did not appear");
  }

  if (command == L"wait-class" && argc > 2) {
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 20000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      HWND w = FindWindowW(argv[2], nullptr);
      if (w && IsWindowVisible(w)) return 0;
      Sleep(100);
    }
    return Fail("the window did not appear");
  }
  if (command == L"history-rows") {
    HWND history = FindWindowW(L"TFormHistory", nullptr);
    HWND list = history ? GetDlgItem(history, 1404) : nullptr;
    if (!list) return Fail("no history window");
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::string line;
      for (int sub = 0; sub < 4; ++sub) {
        std::wstring text;
        if (!ItemText(list, i, sub, text)) return Fail("cannot read a row");
        line += (sub ? " | " : "") + Printable(text);
      }
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  if (command == L"wait-tooltip" && argc > 3) {
    // Tooltips and balloons are top-level windows of the tooltip class; a balloon of the
    // notification area belongs to the shell's process. Their text comes with WM_GETTEXT,
    // which the system carries across processes.
    TooltipSearch search{argv[2], {}};
    const DWORD timeout = static_cast<DWORD>(_wtoi(argv[3]));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      EnumWindows(FindTooltip, reinterpret_cast<LPARAM>(&search));
      if (!search.found.empty()) {
        std::printf("%s\n", Printable(search.found).c_str());
        return 0;
      }
      Sleep(100);
    }
    return Fail("no tooltip with that text appeared");
  }
  if (command == L"reachable" && argc > 2) {
    HWND w = FindWindowW(argv[2], nullptr);
    if (!w) return Fail("no such window");
    RECT place{};
    GetWindowRect(w, &place);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG_PTR ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    // The shell gives a taskbar button (and Alt+Tab a place) to a shown window that no other
    // window owns or that asks for one, unless it is a tool window.
    const bool taskbar = (!GetWindow(w, GW_OWNER) || (ex & WS_EX_APPWINDOW)) &&
                         !(ex & WS_EX_TOOLWINDOW);
    if (!IsWindowVisible(w) || IsIconic(w)) return Fail("not shown");
    if (place.left < work.left || place.top < work.top || place.right > work.right ||
        place.bottom > work.bottom)
      return Fail("not on the screen");
    if (!taskbar) return Fail("no taskbar button");
    PrintRect(place);
    return 0;
  }
  if ((command == L"control-text" || command == L"click") && argc > 3) {
    HWND w = FindWindowW(argv[2], nullptr);
    HWND control = w ? GetDlgItem(w, _wtoi(argv[3])) : nullptr;
    if (!control) return Fail("no such control");
    if (command == L"click") return Deliver(control, BM_CLICK, 0, 0);
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    std::printf("%s\n", Printable(text).c_str());
    return 0;
  }
  if (command == L"next-execution-future" && argc > 2) {
    const std::wstring key = std::wstring(L"Software\\Velmora\\Orvalis\\Jobs\\") + argv[2];
    double stored = 0;
    DWORD size = sizeof stored;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"NextExecution", RRF_RT_REG_BINARY, nullptr,
                     &stored, &size) != ERROR_SUCCESS || size != sizeof stored)
      return Fail("no NextExecution");
    SYSTEMTIME st;
    GetLocalTime(&st);
    const double now = orv::EncodeDateTime(
        {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
    std::printf("NextExecution %.6f, now %.6f\n", stored, now);
    return stored > now ? 0 : 1;
  }

  if (command == L"silent-server") {
    if (argc < 4) return 2;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return Fail("no Winsock");
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(_wtoi(argv[2])));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener, 8) != 0)
      return Fail("cannot listen");
    u_long nonBlocking = 1;
    ioctlsocket(listener, FIONBIO, &nonBlocking);
    std::vector<SOCKET> held;
    const DWORD until = GetTickCount() + 1000u * static_cast<DWORD>(_wtoi(argv[3]));
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
      SOCKET s = accept(listener, nullptr, nullptr);
      if (s != INVALID_SOCKET) {
        held.push_back(s);
        std::printf("silent-server: connection %zu\n", held.size());
        std::fflush(stdout);
      }
      Sleep(50);
    }
    for (SOCKET s : held) closesocket(s);
    closesocket(listener);
    return held.empty() ? 1 : 0;
  }

  if (command == L"backdrop-off") {
    HWND w = FindWindowW(L"OrvalisBackdrop", nullptr);
    if (w) PostMessageW(w, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"backdrop" && argc > 3)
    return Backdrop(static_cast<unsigned>(wcstoul(argv[2], nullptr, 16)), _wtoi(argv[3]));
  if ((command == L"window-rect" || command == L"region") ) {
    HWND w = FindWindowW(argc > 2 ? argv[2] : kMainClass, nullptr);
    if (!w) return Fail("no such window");
    if (command == L"window-rect") {
      RECT r;
      GetWindowRect(w, &r);
      PrintRect(r);
      return 0;
    }
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(w, region) == ERROR) return Fail("the window has no region");
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<DWORD> buffer((size + 3) / 4);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(region, size, data) != size) return Fail("cannot read the region");
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i)
      std::printf("%ld %ld %ld %ld\n", rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
    DeleteObject(region);
    return 0;
  }
  if (command == L"check-layout") {
    int next = 2;
    HWND w = nullptr;
    if (argc > 2 && !std::wcschr(argv[2], L':')) {
      w = FindWindowW(argv[2], nullptr);
      next = 3;
    } else {
      w = FindMain();
    }
    if (!w) return Fail("no such window");
    LayoutCheck check;
    for (int i = next; i < argc; ++i) {
      int a = 0, b = 0;
      if (std::swscanf(argv[i], L"%d:%d", &a, &b) == 2) check.allowed.emplace_back(a, b);
    }
    SendMessageW(w, WM_NULL, 0, 0);  // whatever was sent before is handled
    CheckLayout(w, check);
    return check.faults == 0 ? 0 : 1;
  }
  if (command == L"dpi-changed" && argc > 2) {
    HWND w = argc > 3 ? FindWindowW(argv[3], nullptr) : FindMain();
    if (!w) return Fail("no such window");
    const int dpi = _wtoi(argv[2]);
    // The window's dpi as the program has it: its size against its design at 96 dpi.
    RECT r;
    GetWindowRect(w, &r);
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const int from = argc > 4 ? _wtoi(argv[4]) : (getDpi ? static_cast<int>(getDpi(w)) : 96);
    // As the system proposes it: on the monitor the window went to, here the one screen.
    const int width = MulDiv(r.right - r.left, dpi, from);
    const int height = MulDiv(r.bottom - r.top, dpi, from);
    const int left = std::max(0, std::min<int>(r.left, GetSystemMetrics(SM_CXSCREEN) - width));
    const int top = std::max(0, std::min<int>(r.top, GetSystemMetrics(SM_CYSCREEN) - height));
    RECT suggested{left, top, left + width, top + height};
    RemoteBuffer remote(w, sizeof suggested);
    if (!remote.Ok() || !remote.Write(&suggested, sizeof suggested))
      return Fail("cannot reach the program's memory");
    SendMessageW(w, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(remote.Address()));
    return 0;
  }
  if (command == L"control-rect" && argc > 3) {
    HWND w = FindWindowW(argv[2], nullptr);
    HWND control = w ? GetDlgItem(w, _wtoi(argv[3])) : nullptr;
    if (!control) return Fail("no such control");
    RECT r;
    GetWindowRect(control, &r);
    PrintRect(r);
    return 0;
  }

  if (command == L"responsive") {
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 20000;
    const DWORD start = GetTickCount();
    HWND main = nullptr;
    while (!(main = FindMain()) && GetTickCount() - start < timeout) Sleep(50);
    if (!main) return Fail("no main window");
    DWORD_PTR result = 0;
    const DWORD before = GetTickCount();
    if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
      return Fail("the main window does not answer");
    std::printf("answered after %lu ms\n", GetTickCount() - before);
    return 0;
  }

  if (command == L"dialog-text") {
    // The main window may not exist yet: a message box can come up during start-up.
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 20000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      HWND owner = FindMain();
      if (owner) {
        DialogSearch search{0, nullptr};
        GetWindowThreadProcessId(owner, &search.pid);
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
          std::wstring text;
          EnumChildWindows(search.found, CollectStatic, reinterpret_cast<LPARAM>(&text));
          std::printf("%s\n", Printable(text).c_str());
          std::fflush(stdout);
          const int button = argc > 3 ? _wtoi(argv[3]) : IDOK;
          PostMessageW(search.found, WM_COMMAND, button, 0);
          // The box is gone and the code after it has run up to the next wait for messages.
          for (DWORD waited = 0; IsWindow(search.found) && waited < 10000; waited += 20) Sleep(20);
          if (IsWindow(search.found)) return Fail("the message box stayed open");
          if (!Sync(owner)) return Fail("the program did not go on after the message box");
          return 0;
        }
      }
      Sleep(100);
    }
    return Fail("no message box appeared");
  }

  if (command == L"file-dialog" && argc > 3) {
    const DWORD timeout = static_cast<DWORD>(_wtoi(argv[3]));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      HWND owner = FindMain();
      DialogSearch search{0, nullptr};
      if (owner) GetWindowThreadProcessId(owner, &search.pid);
      if (owner) EnumWindows(FindFileDialog, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        HWND field = GetDlgItem(search.found, 0x47C);
        if (!field) field = GetDlgItem(search.found, 0x480);
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
        PostMessageW(search.found, WM_COMMAND, IDOK, 0);
        for (DWORD waited = 0; IsWindow(search.found) && waited < 10000; waited += 20) Sleep(20);
        if (IsWindow(search.found)) return Fail("the file dialog stayed open");
        if (!Sync(owner)) return Fail("the program did not go on after the file dialog");
        return 0;
      }
      Sleep(100);
    }
    return Fail("no file dialog appeared");
  }

  HWND main = FindMain();
  if (!main) return Fail("no main window");

  if (command == L"is-visible") return IsWindowVisible(main) ? 0 : 3;
  if (command == L"keys") {
    for (int i = 2; i < argc; ++i)
      if (!PressKey(main, argv[i])) {
        std::fprintf(stderr, "driver: cannot press \"%s\"\n", Printable(argv[i]).c_str());
        return 1;
      }
    return 0;
  }
  if (command == L"activate") {
    // Another program may still be taking the foreground meanwhile: until the window is in
    // front and one of its controls has the focus, at most 5 s.
    for (int i = 0; i < 100; ++i) {
      if (GetForegroundWindow() != main) SetForegroundWindow(main);
      if (!Sync(main) || !Sync(main)) return Fail("the program does not answer");
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      if (GetForegroundWindow() == main &&
          GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) && info.hwndFocus)
        return 0;
      Sleep(50);
    }
    return Fail("the main window did not come to the front with a focused control");
  }
  if (command == L"focus") {
    // A program the task started may hold the foreground for a moment; Windows gives it back
    // when that program's window goes. Nothing focused after 3 s is an answer.
    HWND focus = FocusOf(main);
    for (int i = 0; !focus && i < 60; ++i) {
      Sleep(50);
      if (!Sync(main)) break;
      focus = FocusOf(main);
    }
    if (!focus) {
      std::fprintf(stderr, "driver: nothing has the focus (foreground %p, main %p)\n",
                   static_cast<void*>(GetForegroundWindow()), static_cast<void*>(main));
      return 1;
    }
    wchar_t cls[64] = {};
    GetClassNameW(focus, cls, 64);
    std::printf("%d %s\n", GetDlgCtrlID(focus), Printable(cls).c_str());
    return 0;
  }
  if ((command == L"set-text" || command == L"paste" || command == L"type" ||
       command == L"key") && argc > 3) {
    HWND control = FindDescendant(main, _wtoi(argv[2]));
    if (!control) return Fail("no such control");
    if (command == L"type") {
      for (const wchar_t* c = argv[3]; *c; ++c) SendMessageW(control, WM_CHAR, *c, 1);
      return 0;
    }
    if (command == L"key") {  // a key press (virtual-key code); what it opens may wait for an answer
      PostMessageW(control, WM_KEYDOWN, _wtoi(argv[3]), 1);
      PostMessageW(control, WM_KEYUP, _wtoi(argv[3]), 0xC0000001);
      return 0;
    }
    if (command == L"set-text") {
      SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
      return 0;
    }
    if (!SetClipboardText(argv[3])) return Fail("cannot set the clipboard");
    SendMessageW(control, WM_PASTE, 0, 0);
    return 0;
  }
  if ((command == L"text" || command == L"press" || command == L"shown" || command == L"checked") &&
      argc > 2) {
    HWND control = FindDescendant(main, _wtoi(argv[2]));
    if (!control) return Fail("no such control");
    if (command == L"checked")
      return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 0 : 3;
    if (command == L"press") return Deliver(control, BM_CLICK, 0, 0);
    if (command == L"shown") return IsWindowVisible(control) ? 0 : 3;
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    std::printf("%s\n", Printable(text).c_str());
    return 0;
  }
  if (command == L"window-size") {
    RECT r;
    GetWindowRect(main, &r);
    std::printf("%ld %ld\n", r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (command == L"close") return Deliver(main, WM_CLOSE, 0, 0);
  if (command == L"sync") return Sync(main) ? 0 : Fail("the program does not answer");
  if (command == L"query-end-session") {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                             &answer))
      return Fail("no answer to WM_QUERYENDSESSION");
    std::printf("%u\n", static_cast<unsigned>(answer));
    return 0;
  }
  if (command == L"end-session") {
    PrintUnixMs();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &ignored);
    return 0;
  }
  // Menu items, as the menus send them (see MenuCommandId in src/ui/chrome.h).
  if (command == L"quit") {
    PrintUnixMs();
    PostMessageW(main, WM_COMMAND, kCmdPopupMenuTrayBeenden, 0);
    return 0;
  }
  if (command == L"option" && argc > 2)
    return Deliver(main, WM_COMMAND,
                   std::wstring(argv[2]) == L"show" ? kCmdPopupMenuOptionenFensterAnzeigen
                                                    : kCmdPopupMenuOptionenMinimiertStarten,
                   0);
  if (command == L"command" && argc > 2)
    return Deliver(main, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[2])), 0);
  if (command == L"window-count" && argc > 2) {
    ClassCount count{0, argv[2], 0};
    GetWindowThreadProcessId(main, &count.pid);
    EnumWindows(CountClass, reinterpret_cast<LPARAM>(&count));
    std::printf("%d\n", count.count);
    return 0;
  }
  if (command == L"wait-menu" || command == L"menu-closed") {
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 5000;
    const DWORD start = GetTickCount();
    const bool wantOpen = command == L"wait-menu";
    while (GetTickCount() - start < timeout) {
      HWND menu = OpenMenu(main);
      if (wantOpen && menu) {
        RECT r;
        GetWindowRect(menu, &r);
        PrintRect(r);
        return 0;
      }
      if (!wantOpen && !menu) return 0;
      Sleep(50);
    }
    return Fail(wantOpen ? "no menu opened" : "the menu stayed open");
  }
  if (command == L"escape") {
    PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(main, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return 0;
  }
  if (command == L"tray" && argc > 2) {
    // The icon's messages as the shell sends them in version 4, which the program asks for
    // and Wine 8 grants: the event and the icon's ID in lParam, the anchor point in wParam
    // (the mouse's position, or the icon's for the keyboard).
    const std::wstring what = argv[2];
    POINT at{};
    GetCursorPos(&at);
    if (argc > 4) at = POINT{_wtoi(argv[3]), _wtoi(argv[4])};
    const WPARAM anchor = MAKEWPARAM(at.x, at.y);
    const auto event = [](UINT e) { return static_cast<LPARAM>(MAKELPARAM(e, kTrayIconId)); };
    if (what == L"balloon-click") return Deliver(main, kTrayMessage, anchor, event(NIN_BALLOONUSERCLICK));
    // Wine's notification area takes no keyboard focus (there is no Win+B): these two are what
    // Windows' shell sends for Enter or Space and for Shift+F10 or the menu key on the icon.
    if (what == L"keyselect") return Deliver(main, kTrayMessage, anchor, event(NIN_KEYSELECT));
    if (what == L"contextmenu") return Deliver(main, kTrayMessage, anchor, event(WM_CONTEXTMENU));
    // A click: press, release, and NIN_SELECT (a right click: WM_CONTEXTMENU) after it.
    const bool left = what == L"click";
    for (UINT e : {left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, left ? WM_LBUTTONUP : WM_RBUTTONUP})
      if (!SendNotifyMessageW(main, kTrayMessage, anchor, event(e)))
        return Fail("cannot send the message");
    return Deliver(main, kTrayMessage, anchor, event(left ? NIN_SELECT : WM_CONTEXTMENU));
  }
  if (command == L"tray-present") return TrayIcon(main, NIM_MODIFY) ? 0 : 3;
  if (command == L"tray-remove") return TrayIcon(main, NIM_DELETE) ? 0 : Fail("no tray icon");
  if (command == L"taskbar-created")
    return Deliver(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  if (command == L"tick") return Deliver(main, WM_TIMER, kTimerJobs, 0);
  if (command == L"power-resume")  // what Windows sends after standby or hibernation
    return Deliver(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  if (command == L"time-change")  // what Windows sends after the clock or time zone changed
    return Deliver(main, WM_TIMECHANGE, 0, 0);
  if (command == L"is-iconic") return IsIconic(main) ? 0 : 3;
  if (command == L"main-text" && argc > 2) {
    HWND control = GetDlgItem(main, _wtoi(argv[2]));
    if (!control) return Fail("no such control");
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    std::printf("%s\n", Printable(text).c_str());
    return 0;
  }

  HWND list = GetDlgItem(main, kIdListViewTasks);
  if (!list) return Fail("no task list");

  if (command == L"row-count") {
    std::printf("%ld\n", static_cast<long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    return 0;
  }
  if (command == L"wait-rows") {
    const long want = argc > 2 ? _wtol(argv[2]) : 0;
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 20000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
      if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == want) return 0;
      Sleep(50);
    }
    return Fail("the list did not reach the expected number of rows");
  }
  if (command == L"click-main" && argc > 2) {
    HWND control = GetDlgItem(main, _wtoi(argv[2]));
    if (!control) return Fail("no such control");
    return Deliver(control, BM_CLICK, 0, 0);
  }
  if (command == L"select") {
    RemoteBuffer remote(list, sizeof(LVITEMW));
    if (!remote.Ok()) return Fail("no remote memory");
    for (int i = 2; i < argc; ++i) {
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED;
      item.state = LVIS_SELECTED;
      if (!remote.Write(&item, sizeof item)) return Fail("cannot write");
      SendMessageW(list, LVM_SETITEMSTATE, _wtoi(argv[i]), reinterpret_cast<LPARAM>(remote.Address()));
    }
    return 0;
  }
  if (command == L"acc-name" && argc > 2) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&acc))) ||
        !acc)
      return Fail("no accessible object for the list");
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = _wtoi(argv[2]) + 1;
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(child, &name);
    acc->Release();
    if (FAILED(hr) || !name) return Fail("no accessible name");
    std::printf("%s\n", Printable(name).c_str());
    SysFreeString(name);
    return 0;
  }
  if (command == L"selected-rows") {
    int i = -1;
    while ((i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i),
                                              LVNI_SELECTED))) >= 0)
      std::printf("%d\n", i);
    return 0;
  }
  if (command == L"rows") {
    if (argc > 2) {
      HWND w = FindWindowW(argv[2], nullptr);
      list = w ? FindWindowExW(w, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
      if (!list) return Fail("no such list");
    }
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::string line;
      for (int sub = 0; sub < 3; ++sub) {
        std::wstring text;
        if (!ItemText(list, i, sub, text)) return Fail("cannot read a row");
        line += (sub ? " | " : "") + Printable(text);
      }
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  if (command == L"expect-columns") {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    int status = 0;
    if (count != argc - 2) {
      std::fprintf(stderr, "driver: %d columns, expected %d\n", count, argc - 2);
      status = 1;
    }
    for (int i = 0; i < count; ++i) {
      std::wstring text;
      if (!ColumnHeading(list, i, text)) return Fail("cannot read a column heading");
      std::printf("column %d: %s\n", i, Printable(text).c_str());
      if (i + 2 < argc && text != argv[i + 2]) {
        std::fprintf(stderr, "driver: column %d is \"%s\", expected \"%s\"\n", i,
                     Printable(text).c_str(), Printable(argv[i + 2]).c_str());
        status = 1;
      }
    }
    return status;
  }
  return 2;
}
