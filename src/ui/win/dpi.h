// Display scaling: every window is designed at 96 dpi and placed, sized and drawn at the dpi of
// the monitor it is on. A Dpi turns design pixels into device pixels; ChildLayout remembers the
// design rectangles of a window's children and moves them when the window's dpi changes
// (WM_DPICHANGED, a move to a monitor with another scale).
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

namespace orv::win {

class Dpi {
 public:
  static constexpr int kDesign = 96;

  constexpr Dpi() = default;
  constexpr explicit Dpi(int value) : value_(value > 0 ? value : kDesign) {}

  // The dpi of the monitor `window` is on (GetDpiForWindow, looked up at run time); the
  // system's where that is missing or the window is null.
  static Dpi OfWindow(HWND window);
  // The dpi the process started with (GetDpiForSystem, or the screen's LOGPIXELSY).
  static Dpi OfSystem();

  constexpr int Value() const { return value_; }
  int Scale(int px96) const { return MulDiv(px96, value_, kDesign); }
  RECT Scale(const RECT& r96) const {
    return RECT{Scale(r96.left), Scale(r96.top), Scale(r96.right), Scale(r96.bottom)};
  }
  POINT Scale(POINT p96) const { return POINT{Scale(p96.x), Scale(p96.y)}; }
  // Device pixels back to design pixels: exact for what Scale gave at 96 dpi or more.
  int Unscale(int px) const { return MulDiv(px, kDesign, value_); }
  RECT Unscale(const RECT& r) const {
    return RECT{Unscale(r.left), Unscale(r.top), Unscale(r.right), Unscale(r.bottom)};
  }
  // A font height given in design pixels or taken at `from` (LOGFONT lfHeight), at this dpi.
  int FontHeight(int height, int fromDpi = kDesign) const { return MulDiv(height, value_, fromDpi); }

  friend constexpr bool operator==(Dpi a, Dpi b) { return a.value_ == b.value_; }
  friend constexpr bool operator!=(Dpi a, Dpi b) { return a.value_ != b.value_; }

 private:
  int value_ = kDesign;
};

// Makes the process aware of each monitor's dpi (per-monitor v2 where the system has it,
// per-monitor or system-wide otherwise), for systems that do not read the manifest's setting.
// True when a per-monitor mode is in force.
bool EnablePerMonitorDpiAwareness();

// GetSystemMetricsForDpi where the system has it; the system metric scaled otherwise.
int SystemMetric(int index, Dpi dpi);

// The program's icon on a window's taskbar button and in Alt+Tab (WM_SETICON ICON_SMALL and
// ICON_BIG) at the small- and large-icon sizes of the window's dpi, taken from the icon's own
// images (the system scales the nearest one where it lacks that size). The icons are the
// object's; it must outlive the window or be applied to no window any more.
class WindowIcons {
 public:
  WindowIcons() = default;
  ~WindowIcons();
  WindowIcons(const WindowIcons&) = delete;
  WindowIcons& operator=(const WindowIcons&) = delete;

  // Loads icon `resource` of `instance` at the sizes of `dpi` and gives them to `window`.
  void Apply(HWND window, HINSTANCE instance, const wchar_t* resource, Dpi dpi);
  HICON Small() const { return small_; }
  HICON Big() const { return big_; }

 private:
  HICON small_ = nullptr, big_ = nullptr;
};

// The rectangles of a window's children at 96 dpi, taken once they exist; Apply moves and sizes
// each of them for a new dpi and hands it the font `refont` gives for its old one (none when
// refont is empty or gives null). A drop-down list keeps its dropped height.
class ChildLayout {
 public:
  // Takes every direct child of `parent`, laid out at `dpi`. Children added later are taken
  // by calling Capture again (those taken before keep their design).
  void Capture(HWND parent, Dpi dpi);
  void Apply(Dpi dpi, const std::function<HFONT(HFONT)>& refont) const;
  // A child's design height where the window does not tell it: a drop-down list's dropped
  // height, which not every system reports back (CB_GETDROPPEDCONTROLRECT).
  void SetDesignHeight(HWND child, int height96);
  // The design rectangle of a child taken, or false.
  bool DesignRect(HWND child, RECT& r96) const;
  std::size_t Size() const { return children_.size(); }

 private:
  std::vector<std::pair<HWND, RECT>> children_;
};

}  // namespace orv::win
