#include "idle/dsrSleeper_win32.h"

#include <shlobj.h>

#include <cstring>

namespace orv {
namespace {

constexpr wchar_t kWindowClass[] = L"TdsrSleeperWindow";
constexpr UINT_PTR kTimerId = 1;

std::uint32_t Handle32(HWND wnd) {
  // Window handles have 32 significant bits on every Windows; the block keeps those.
  return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(wnd));
}

bool WriteWholeFile(const std::wstring& path, const LibraryImage& image) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, image.data, image.size, &written, nullptr) && written == image.size;
  const bool closed = CloseHandle(file) != 0;
  if (ok && closed) return true;
  DeleteFileW(path.c_str());  // no half-written library is ever left for the loader
  return false;
}

bool PathHolds(const std::wstring& path, const LibraryImage& image) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool same = FileHolds(file, image);
  CloseHandle(file);
  return same;
}

// Takes the file at `path` when it holds the image, else writes it there.
bool TakeOrWrite(const std::wstring& path, const LibraryImage& image) {
  return PathHolds(path, image) || WriteWholeFile(path, image);
}

std::uint32_t ContentHash(const LibraryImage& image) {  // FNV-1a
  std::uint32_t h = 2166136261u;
  const auto* p = static_cast<const unsigned char*>(image.data);
  for (DWORD i = 0; i < image.size; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

// An elevated program receives no message from a program of lower integrity unless its window
// lets it through; the awake message comes from the hooks in every program that receives
// input. Looked up at run time: older systems have only the process-wide call, or no filter.
bool AllowAwakeMessage(HWND window, UINT message) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32 || !window || !message) return false;
  using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using Filter = BOOL(WINAPI*)(UINT, DWORD);
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW; MSGFLT_ADD for the process-wide call
  if (auto filterEx = reinterpret_cast<FilterEx>(
          reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx"))))
    return filterEx(window, message, kAllow, nullptr) != 0;
  if (auto filter = reinterpret_cast<Filter>(
          reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter"))))
    return filter(message, kAllow) != 0;
  return true;  // no filter on this system
}

}  // namespace

LibraryImage CarriedLibrary(HMODULE module) {
  HRSRC resource = FindResourceW(module, kSleeperResourceName, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!resource) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  return {data, size};
}

bool FileHolds(HANDLE file, const LibraryImage& image) {
  if (!image.data || image.size == 0) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart != image.size) return false;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  const auto* expected = static_cast<const char*>(image.data);
  char buffer[4096];
  DWORD done = 0;
  while (done < image.size) {
    DWORD got = 0;
    const DWORD want = image.size - done < sizeof buffer ? image.size - done : sizeof buffer;
    if (!ReadFile(file, buffer, want, &got, nullptr) || got == 0) return false;
    if (std::memcmp(buffer, expected + done, got) != 0) return false;
    done += got;
  }
  return true;
}

std::wstring LibraryFolder() {
  wchar_t buffer[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                              buffer)))
    return {};
  return std::wstring(buffer) + L"\\Orvalis";
}

std::wstring ExtractLibrary(HMODULE module, const std::wstring& folder) {
  const LibraryImage image = CarriedLibrary(module);
  if (!image.data || folder.empty()) return {};
  std::wstring base = folder;
  if (base.back() != L'\\') base += L'\\';
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = base + kSleeperLibraryName;
  if (TakeOrWrite(path, image)) return path;
  wchar_t name[32];
  wsprintfW(name, L"DsrSleep-%08X.dll", static_cast<unsigned>(ContentHash(image)));
  const std::wstring copy = base + name;
  if (TakeOrWrite(copy, image)) return copy;
  return {};
}

Win32SleeperPlatform::Win32SleeperPlatform(HINSTANCE instance,
                                           std::function<void(const std::string&)> reportError)
    : reportError_(std::move(reportError)) {
  awakeMessage_ = RegisterWindowMessageA(kAwakeMessageName);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);  // fails harmlessly when a second component registers it again
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            instance, this);
  awakeAllowed_ = AllowAwakeMessage(window_, awakeMessage_);
}

Win32SleeperPlatform::~Win32SleeperPlatform() {
  Release();
  if (window_) DestroyWindow(window_);
}

std::uint32_t Win32SleeperPlatform::TickCount() { return GetTickCount(); }

bool Win32SleeperPlatform::SetTimer(std::uint32_t ms) {
  return window_ && ::SetTimer(window_, kTimerId, ms, nullptr) != 0;
}

void Win32SleeperPlatform::KillTimer() {
  if (window_) ::KillTimer(window_, kTimerId);
}

volatile TSleeperShared* Win32SleeperPlatform::Install() {
  if (view_) return view_;
  auto fail = [this](const char* text) {
    Release();
    throw EdsrSleeperError(text);
  };
  // Loaded by its full path: a file of the same name beside the program or in the working
  // directory is never taken in its place. Only a file that holds the bytes the program
  // carries is loaded, and nobody can change or rename it between the check and the load:
  // the handle that was read keeps others from writing and deleting until then.
  if (libraryPath_.empty() || !window_) fail(kErrLoadLibrary);
  HANDLE file = CreateFileW(libraryPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(kErrLoadLibrary);
  if (FileHolds(file, expected_)) library_ = LoadLibraryW(libraryPath_.c_str());
  CloseHandle(file);
  if (!library_) fail(kErrLoadLibrary);
  hookState_ = reinterpret_cast<HookStateProc>(
      reinterpret_cast<void*>(GetProcAddress(library_, "HookState")));
  if (!hookState_) fail(kErrNoHookState);
  // Without both hooks no input would ever end an idle period: no idle detection at all.
  if (!hookState_(TRUE)) fail(kErrHookState);

  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
    fail(kErrInitSecurity);
  if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) fail(kErrSetDacl);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, TRUE};
  mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                sizeof(TSleeperShared), kSleeperMappingName);
  if (!mapping_) fail(kErrMapFile);
  view_ = static_cast<volatile TSleeperShared*>(
      MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(TSleeperShared)));
  if (!view_) fail(kErrMapView);
  try {
    RegisterSleeperWindow(*view_, Handle32(window_));
  } catch (const EdsrSleeperError& e) {
    fail(e.what());
  }
  registered_ = true;
  return view_;
}

void Win32SleeperPlatform::Remove() { Release(); }

void Win32SleeperPlatform::Release() {
  if (hookState_) hookState_(FALSE);
  hookState_ = nullptr;
  if (view_ && registered_) UnregisterSleeperWindow(*view_, Handle32(window_));
  registered_ = false;
  if (view_) UnmapViewOfFile(const_cast<TSleeperShared*>(view_));
  view_ = nullptr;
  if (mapping_) CloseHandle(mapping_);
  mapping_ = nullptr;
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
}

LRESULT Win32SleeperPlatform::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (!sleeper_ || (msg != WM_TIMER && msg != awakeMessage_))
    return DefWindowProcW(Handle(), msg, wp, lp);
  // An error of the detector or of its owner's handlers is shown; the message is handled.
  // A handler that shows a warning pumps messages, and one of them may end the program: the
  // detector and this platform (one object, dsrSleeper) are then gone, and nothing of them is
  // touched again.
  const std::weak_ptr<const void> alive = sleeper_->Alive();
  try {
    if (msg == WM_TIMER)
      sleeper_->TimerFired();
    else
      sleeper_->AwakeReceived();
  } catch (const std::exception& e) {
    if (!alive.expired() && reportError_) {
      const auto report = reportError_;  // whole even if the box's loop ends us
      report(e.what());
    }
  }
  return 0;
}

dsrSleeper::dsrSleeper(HINSTANCE instance, std::function<void(const std::string&)> reportError)
    : platform_(instance, std::move(reportError)) {
  platform_.Attach(&sleeper_);
  HMODULE self = GetModuleHandleW(nullptr);
  platform_.SetExpectedLibrary(CarriedLibrary(self));
  platform_.SetLibraryPath(ExtractLibrary(self, LibraryFolder()));
}

}  // namespace orv
