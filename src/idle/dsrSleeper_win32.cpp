#include "idle/dsrSleeper_win32.h"

#include <shlobj.h>

namespace orv {
namespace {

constexpr wchar_t kWindowClass[] = L"TdsrSleeperWindow";
constexpr UINT_PTR kTimerId = 1;

std::uint32_t Handle32(HWND wnd) {
  // Window handles have 32 significant bits on every Windows; the block keeps those.
  return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(wnd));
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  const bool closed = CloseHandle(file) != 0;
  if (ok && closed) return true;
  DeleteFileW(path.c_str());  // no half-written library is ever left for the loader
  return false;
}

}  // namespace

std::vector<std::wstring> LibraryFolders() {
  std::vector<std::wstring> folders;
  wchar_t buffer[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) folders.emplace_back(buffer, n);
  // A standard user cannot write to the system directory.
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                                 buffer)))
    folders.push_back(std::wstring(buffer) + L"\\Orvalis");
  return folders;
}

std::wstring ExtractLibrary(HMODULE module, const std::vector<std::wstring>& folders) {
  HRSRC resource = FindResourceW(module, kSleeperResourceName, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!resource) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};

  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    path += kSleeperLibraryName;
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // Only the sizes are compared: a library of the same size is the one we carry.
      if (info.nFileSizeHigh == 0 && info.nFileSizeLow == size) return path;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    if (WriteWholeFile(path, data, size)) return path;
  }
  return {};
}

Win32SleeperPlatform::Win32SleeperPlatform(HINSTANCE instance,
                                           std::function<void(const std::string&)> reportError)
    : reportError_(std::move(reportError)) {
  awakeMessage_ = RegisterWindowMessageA(kAwakeMessageName);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32SleeperPlatform::WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);  // fails harmlessly when a second component registers it again
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            instance, this);
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
  // directory is never taken in its place.
  if (libraryPath_.empty() || !window_) fail(kErrLoadLibrary);
  library_ = LoadLibraryW(libraryPath_.c_str());
  if (!library_) fail(kErrLoadLibrary);
  hookState_ = reinterpret_cast<HookStateProc>(
      reinterpret_cast<void*>(GetProcAddress(library_, "HookState")));
  if (!hookState_) fail(kErrNoHookState);
  hookState_(TRUE);

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

LRESULT CALLBACK Win32SleeperPlatform::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Win32SleeperPlatform* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<Win32SleeperPlatform*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Win32SleeperPlatform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self || !self->sleeper_ || (msg != WM_TIMER && msg != self->awakeMessage_))
    return DefWindowProcW(hwnd, msg, wp, lp);
  // An error of the detector or of its owner's handlers is shown; the message is handled.
  try {
    if (msg == WM_TIMER)
      self->sleeper_->TimerFired();
    else
      self->sleeper_->AwakeReceived();
  } catch (const std::exception& e) {
    if (self->reportError_) self->reportError_(e.what());
  }
  return 0;
}

dsrSleeper::dsrSleeper(HINSTANCE instance, std::function<void(const std::string&)> reportError)
    : platform_(instance, std::move(reportError)) {
  platform_.Attach(&sleeper_);
  platform_.SetLibraryPath(ExtractLibrary(GetModuleHandleW(nullptr), LibraryFolders()));
}

}  // namespace orv
