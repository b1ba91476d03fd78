// Owners of GDI objects and device contexts, and the one off-screen painter: each lets go of
// what it holds when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace orv::win {

// Owns a font, brush, pen, bitmap or region; DeleteObject at the end. Stock objects must not be
// handed to it.
template <class Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle h) : h_(h) {}
  GdiObject(GdiObject&& other) noexcept : h_(other.Release()) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(); }

  Handle Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset(Handle h = nullptr) {
    if (h_ && h_ != h) DeleteObject(h_);
    h_ = h;
  }
  // Gives the object away (to SetWindowRgn, say, which then owns it).
  Handle Release() { return std::exchange(h_, nullptr); }

 private:
  Handle h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// A memory device context compatible with `reference` (the screen when null); DeleteDC at the end.
class MemoryDc {
 public:
  explicit MemoryDc(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HDC dc_;
};

// A window's device context (GetDC); ReleaseDC at the end.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// The painting of WM_PAINT: BeginPaint, EndPaint at the end.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(hwnd_, &ps_); }
  HDC Get() const { return dc_; }
  const RECT& Area() const { return ps_.rcPaint; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects an object into a device context and selects the previous one back at the end.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Drawing off screen, so that nothing flickers: a memory DC with a bitmap of `width` by
// `height` compatible with `target`. Show() copies it to `target` at (x, y); the DC and the
// bitmap go at the end, shown or not.
class OffscreenPainter {
 public:
  OffscreenPainter(HDC target, int x, int y, int width, int height);
  OffscreenPainter(const OffscreenPainter&) = delete;
  OffscreenPainter& operator=(const OffscreenPainter&) = delete;
  ~OffscreenPainter();

  // False when the DC or the bitmap could not be made: nothing is to be drawn then.
  bool Ok() const { return ok_; }
  HDC Dc() const { return dc_.Get(); }
  void Show() const;

 private:
  HDC target_;
  int x_, y_, width_, height_;
  MemoryDc dc_;
  Bitmap bitmap_;
  HGDIOBJ old_ = nullptr;
  bool ok_ = false;
};

}  // namespace orv::win
