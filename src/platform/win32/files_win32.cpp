#include "platform/win32/files_win32.h"

#include <windows.h>

#include "base/oledate.h"
#include "platform/win32/wide.h"

namespace orv {

namespace {

// A path with a NUL inside would name a different, shorter path at the wide API; such a path
// names no file at all.
bool ToWide(const std::string& utf8, std::wstring& out) {
  if (utf8.find('\0') != std::string::npos) return false;
  out = Wide(utf8);
  return true;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool Win32Files::FileExists(const std::string& path) {
  std::wstring wide;
  return ToWide(path, wide) && IsFile(wide);
}

bool Win32Files::IsFileInUse(const std::string& path) {
  std::wstring wide;
  if (!ToWide(path, wide) || !IsFile(wide)) return false;
  // Exclusive read and write access fails for a running executable (its image is mapped), a
  // file another process holds open, a read-only file and a file we may not write.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  CloseHandle(h);
  return false;
}

double Win32Files::GetFileModifyDate(const std::string& path) {
  constexpr double kMissing = -1.0;
  std::wstring wide;
  if (!ToWide(path, wide)) return kMissing;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return kMissing;
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kMissing;
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st))
    return kMissing;
  if (!IsValidDate(st.wYear, st.wMonth, st.wDay)) return kMissing;
  return EncodeDateTime(
      LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
}

}  // namespace orv
