// Test helper: appends its command line, without the program name, as one UTF-8 line to the
// file named by the environment variable ORV_RECORD_FILE, or else to record_args.txt beside
// itself. Tests start it the way Orvalis starts programs and read back what it was given.
#include <windows.h>

#include <string>

namespace {

// The command line after the program name and the blanks that separate it from the rest.
// The program name follows the rules CreateProcess applies: up to the closing quote when it
// starts with one, else up to the first blank.
const wchar_t* SkipProgramName(const wchar_t* p) {
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
  }
  return out;
}

std::wstring RecordFile() {
  DWORD n = GetEnvironmentVariableW(L"ORV_RECORD_FILE", nullptr, 0);
  if (n > 1) {
    std::wstring v(n, L'\0');
    n = GetEnvironmentVariableW(L"ORV_RECORD_FILE", v.data(), n);
    v.resize(n);
    if (!v.empty()) return v;
  }
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (got == 0) return L"record_args.txt";
    if (got < self.size()) {
      self.resize(got);
      break;
    }
    self.resize(self.size() * 2);
  }
  const std::size_t slash = self.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1)) +
         L"record_args.txt";
}

}  // namespace

int wmain() {
  const std::string line = ToUtf8(SkipProgramName(GetCommandLineW())) + "\n";
  const std::wstring path = RecordFile();
  // Several helpers may record at once: append-only writes land whole, one after the other.
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) Sleep(20);
  }
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == line.size() ? 0 : 1;
}
