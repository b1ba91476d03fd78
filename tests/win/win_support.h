// What the Windows tests share: the paths of the programs the build puts beside them, a fresh
// temporary folder, and the record that the helper program (record_args_win32.cpp) writes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "ui/win32_text.h"

namespace orv::testing {

// A path from the build as Windows sees it: a Linux path under Wine lies on drive Z:.
inline std::wstring BuiltPath(const std::string& built) {
  std::string path = built.starts_with("/") ? "Z:" + built : built;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return W(path);
}

#ifdef ORV_RECORD_ARGS_EXE
// The helper program that appends its command line to the file named by ORV_RECORD_FILE.
inline std::wstring HelperExe() { return BuiltPath(ORV_RECORD_ARGS_EXE); }
#endif

inline std::string ReadAll(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return out;
}

// A fresh folder under the temporary directory, named by the prefix, this process and the
// moment, then the suffix; Remove() (and the destructor) take it away with everything in it.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& prefix, const std::wstring& suffix = L"") {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp, n) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + suffix;
    made_ = n > 0 && CreateDirectoryW(path_.c_str(), nullptr);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(); }

  bool Made() const { return made_; }
  const std::wstring& Path() const { return path_; }
  std::string Utf8() const { return U8(path_); }

  // Retries for up to five seconds: a program started by a test may still be writing or ending.
  bool Remove() {
    if (!made_) return true;
    for (int i = 0; i < 50; ++i) {
      if (RemoveTree(path_)) {
        made_ = false;
        return true;
      }
      Sleep(100);
    }
    return false;
  }

 private:
  static bool RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = dir + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    return RemoveDirectoryW(dir.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  }

  std::wstring path_;
  bool made_ = false;
};

// The lines (without their line ends) of a record file once it holds `count` complete ones,
// waiting up to ten seconds; fewer if they do not come.
inline std::vector<std::string> RecordedLines(const std::wstring& file, std::size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200; ++i) {
    lines.clear();
    const std::string text = ReadAll(file);
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = text.substr(start, nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    if (lines.size() >= count) break;
    Sleep(50);
  }
  return lines;
}

}  // namespace orv::testing
