#include "ui/win/dpi.h"

#include <algorithm>

namespace orv::win {
namespace {

// Functions of newer systems, looked up once: the program also runs where they are missing.
template <class Fn>
Fn User32(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user, name)))
              : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);
using SetProcessDPIAwareFn = BOOL(WINAPI*)();

// The awareness contexts, as the system defines them (older headers may lack them).
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));

}  // namespace

Dpi Dpi::OfSystem() {
  static const auto getDpiForSystem = User32<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem) {
    const UINT dpi = getDpiForSystem();
    if (dpi > 0) return Dpi(static_cast<int>(dpi));
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return Dpi();
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return Dpi(dpi);
}

Dpi Dpi::OfWindow(HWND window) {
  static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return Dpi(static_cast<int>(dpi));
  }
  return OfSystem();
}

bool EnablePerMonitorDpiAwareness() {
  if (const auto set = User32<SetProcessDpiAwarenessContextFn>("SetProcessDpiAwarenessContext")) {
    // Fails with "access denied" when the manifest has set it already: then it is in force.
    if (set(kPerMonitorAwareV2) || GetLastError() == ERROR_ACCESS_DENIED) return true;
    if (set(kPerMonitorAware)) return true;
  }
  if (const auto set = User32<SetProcessDPIAwareFn>("SetProcessDPIAware")) set();
  return false;
}

int SystemMetric(int index, Dpi dpi) {
  static const auto forDpi = User32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi.Value()));
  return MulDiv(GetSystemMetrics(index), dpi.Value(), Dpi::OfSystem().Value());
}

WindowIcons::~WindowIcons() {
  for (HICON icon : {small_, big_})
    if (icon) DestroyIcon(icon);
}

void WindowIcons::Apply(HWND window, HINSTANCE instance, const wchar_t* resource, Dpi dpi) {
  if (!window) return;
  const int smallSize = SystemMetric(SM_CXSMICON, dpi), bigSize = SystemMetric(SM_CXICON, dpi);
  auto load = [&](int size) {
    return static_cast<HICON>(LoadImageW(instance, resource, IMAGE_ICON, size, size, 0));
  };
  HICON smallIcon = load(smallSize), bigIcon = load(bigSize);
  // The window holds the new ones before the old ones go.
  if (smallIcon) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    std::swap(smallIcon, small_);
  }
  if (bigIcon) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    std::swap(bigIcon, big_);
  }
  for (HICON old : {smallIcon, bigIcon})
    if (old) DestroyIcon(old);
}

namespace {

bool IsDropDown(HWND child) {
  wchar_t cls[16] = {};
  GetClassNameW(child, cls, 16);
  return lstrcmpiW(cls, L"COMBOBOX") == 0 &&
         (GetWindowLongPtrW(child, GWL_STYLE) & 3) != CBS_SIMPLE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM lp) {
  auto& list = *reinterpret_cast<std::vector<HWND>*>(lp);
  list.push_back(child);
  return TRUE;
}

}  // namespace

void ChildLayout::Capture(HWND parent, Dpi dpi) {
  std::vector<HWND> all;
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&all));
  for (HWND child : all) {
    if (GetParent(child) != parent) continue;  // grandchildren belong to their own parent
    if (std::any_of(children_.begin(), children_.end(),
                    [&](const auto& c) { return c.first == child; }))
      continue;
    RECT r;
    if (!GetWindowRect(child, &r)) continue;
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    if (IsDropDown(child)) {
      // The window's height is the closed field's; what it was given is the dropped one,
      // down to the bottom of the dropped list.
      RECT dropped, field;
      if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)) &&
          GetWindowRect(child, &field))
        r.bottom = r.top + std::max(field.bottom, dropped.bottom) - field.top;
    }
    children_.emplace_back(child, dpi.Unscale(r));
  }
}

void ChildLayout::Apply(Dpi dpi, const std::function<HFONT(HFONT)>& refont) const {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(children_.size()));
  for (const auto& [child, r96] : children_) {
    if (!IsWindow(child)) continue;
    if (refont) {
      const auto old = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
      if (HFONT font = old ? refont(old) : nullptr; font && font != old)
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    const RECT r = dpi.Scale(r96);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (batch)
      batch = DeferWindowPos(batch, child, nullptr, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, flags);
    else
      SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
  }
  if (batch) EndDeferWindowPos(batch);
}

void ChildLayout::SetDesignHeight(HWND child, int height96) {
  for (auto& [c, r] : children_)
    if (c == child) r.bottom = r.top + height96;
}

bool ChildLayout::DesignRect(HWND child, RECT& r96) const {
  for (const auto& [c, r] : children_) {
    if (c == child) {
      r96 = r;
      return true;
    }
  }
  return false;
}

}  // namespace orv::win
