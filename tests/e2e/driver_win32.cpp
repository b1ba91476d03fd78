// Drives the real Orvalis.exe from outside, as a user or a screen reader would reach it:
// through window handles, control IDs and messages. Runs under Wine beside the program.
//
//   orvalis_driver wait-window TIMEOUT_MS
//   orvalis_driver window-size                      prints "WIDTH HEIGHT"
//   orvalis_driver expect-columns HEADING...        the task list's column headings, in order
//   orvalis_driver row-count                        prints the number of task list rows
//   orvalis_driver close
//
// Exit code 0 on success, 1 when an expectation fails, 2 on a usage error.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/win32_text.h"

namespace {

constexpr wchar_t kMainClass[] = L"TFormMain";
constexpr int kIdListViewTasks = 1001;

HWND FindMain() { return FindWindowW(kMainClass, nullptr); }

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

int Fail(const char* what) {
  std::fprintf(stderr, "driver: %s\n", what);
  return 1;
}

}  // namespace

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

  HWND main = FindMain();
  if (!main) return Fail("no main window");

  if (command == L"window-size") {
    RECT r;
    GetWindowRect(main, &r);
    std::printf("%ld %ld\n", r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (command == L"close") {
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
  }

  HWND list = GetDlgItem(main, kIdListViewTasks);
  if (!list) return Fail("no task list");

  if (command == L"row-count") {
    std::printf("%ld\n", static_cast<long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
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
