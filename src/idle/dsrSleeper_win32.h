// The idle detector on Windows: its hidden window, timer and tick count, and the hook library
// carried in the program's resources.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "idle/dsrSleeper.h"
#include "ui/win/window.h"

namespace orv {

inline constexpr wchar_t kSleeperLibraryName[] = L"DsrSleep.dll";
inline constexpr wchar_t kSleeperResourceName[] = L"DsrSleepDll";

// The bytes of the resource "DsrSleepDll" of `module`; empty when it has none.
struct LibraryImage {
  const void* data = nullptr;
  DWORD size = 0;
};
LibraryImage CarriedLibrary(HMODULE module);

// True when the open file holds exactly the image's bytes.
bool FileHolds(HANDLE file, const LibraryImage& image);

// Writes the resource "DsrSleepDll" of `module` as DsrSleep.dll into `folder` (made when
// missing) and returns the file's full path. A file there that holds the same bytes is taken
// as it is. One with other bytes is replaced; when it cannot be (processes that received
// input, or another Orvalis of this user, still have an older library loaded), the library
// goes to a copy named after its content, DsrSleep-XXXXXXXX.dll, taken or written the same
// way. Empty when the module has no such resource or the folder takes no file.
std::wstring ExtractLibrary(HMODULE module, const std::wstring& folder);
// Where the library goes: this user's own folder, %LOCALAPPDATA%\Orvalis (never the system
// directory, even for an elevated run). Empty when the platform names no such folder.
std::wstring LibraryFolder();

class Win32SleeperPlatform : public SleeperPlatform, public win::Window<Win32SleeperPlatform> {
 public:
  // `reportError` shows an error raised while the hidden window handles a message.
  Win32SleeperPlatform(HINSTANCE instance, std::function<void(const std::string&)> reportError);
  ~Win32SleeperPlatform() override;

  // The component whose messages the hidden window delivers.
  void Attach(TdsrSleeper* sleeper) { sleeper_ = sleeper; }
  // Full path of the library to load; ExtractLibrary sets it.
  void SetLibraryPath(std::wstring path) { libraryPath_ = std::move(path); }
  const std::wstring& LibraryPath() const { return libraryPath_; }
  // The bytes the library must hold: Install loads nothing else.
  void SetExpectedLibrary(LibraryImage image) { expected_ = image; }
  HWND Window() const { return window_; }
  UINT AwakeMessage() const { return awakeMessage_; }
  // Whether the window lets the awake message through the filter that keeps messages of
  // programs of lower integrity from an elevated program (true where no such filter exists).
  bool AwakeMessageAllowed() const { return awakeAllowed_; }

  std::uint32_t TickCount() override;
  bool SetTimer(std::uint32_t ms) override;
  void KillTimer() override;
  volatile TSleeperShared* Install() override;
  void Remove() override;

 private:
  friend class win::Window<Win32SleeperPlatform>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void Release();

  using HookStateProc = BOOL(WINAPI*)(BOOL);
  TdsrSleeper* sleeper_ = nullptr;
  std::function<void(const std::string&)> reportError_;
  HWND window_ = nullptr;  // kept for the shared block's entry after the window is gone
  UINT awakeMessage_ = 0;
  std::wstring libraryPath_;
  LibraryImage expected_;
  bool awakeAllowed_ = false;
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
