// The idle detector on Windows: its hidden window, timer and tick count, and the hook library
// carried in the program's resources.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "idle/dsrSleeper.h"

namespace orv {

inline constexpr wchar_t kSleeperLibraryName[] = L"DsrSleep.dll";
inline constexpr wchar_t kSleeperResourceName[] = L"DsrSleepDll";

// Writes the resource "DsrSleepDll" of `module` as DsrSleep.dll into the first of `folders`
// where that works and returns the file's full path. A file of the same size as the resource
// is taken as it is and never rewritten. Empty when the module has no such resource or no
// folder could take the file.
std::wstring ExtractLibrary(HMODULE module, const std::vector<std::wstring>& folders);
// Where the library may go: the system directory, then a folder of this user's own.
std::vector<std::wstring> LibraryFolders();

class Win32SleeperPlatform : public SleeperPlatform {
 public:
  // `reportError` shows an error raised while the hidden window handles a message.
  Win32SleeperPlatform(HINSTANCE instance, std::function<void(const std::string&)> reportError);
  ~Win32SleeperPlatform() override;

  // The component whose messages the hidden window delivers.
  void Attach(TdsrSleeper* sleeper) { sleeper_ = sleeper; }
  // Full path of the library to load; ExtractLibrary sets it.
  void SetLibraryPath(std::wstring path) { libraryPath_ = std::move(path); }
  const std::wstring& LibraryPath() const { return libraryPath_; }
  HWND Window() const { return window_; }
  UINT AwakeMessage() const { return awakeMessage_; }

  std::uint32_t TickCount() override;
  bool SetTimer(std::uint32_t ms) override;
  void KillTimer() override;
  volatile TSleeperShared* Install() override;
  void Remove() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Release();

  using HookStateProc = BOOL(WINAPI*)(BOOL);
  TdsrSleeper* sleeper_ = nullptr;
  std::function<void(const std::string&)> reportError_;
  HWND window_ = nullptr;
  UINT awakeMessage_ = 0;
  std::wstring libraryPath_;
  HMODULE library_ = nullptr;
  HookStateProc hookState_ = nullptr;
  HANDLE mapping_ = nullptr;
  volatile TSleeperShared* view_ = nullptr;
  bool registered_ = false;
};

// The component as a form holds it: its platform side first, so that the detector is
// switched off before the window and the library go.
class dsrSleeper {
 public:
  dsrSleeper(HINSTANCE instance, std::function<void(const std::string&)> reportError);
  TdsrSleeper& operator*() { return sleeper_; }
  TdsrSleeper* operator->() { return &sleeper_; }
  Win32SleeperPlatform& Platform() { return platform_; }

 private:
  Win32SleeperPlatform platform_;
  TdsrSleeper sleeper_{platform_};
};

}  // namespace orv
