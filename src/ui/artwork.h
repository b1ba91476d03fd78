// Orvalis's own artwork, drawn with GDI at start-up: the main window's skin, the about box's
// skin, the two image buttons of the title band and the six small menu images. Nothing is
// loaded from files; the program icon comes from the resources.
//
// Small pictures are drawn at four times their size on a key colour and averaged down, so their
// edges are smooth (32-bit bitmaps with premultiplied alpha, drawn with AlphaBlend).
//
// A Surface composes what a skinned window shows: its skin picture with the texts and images
// of its "transparent" child controls drawn over it. Every such child and the window itself
// paint the part of the same composition that they cover, so overlapping controls (the title
// and its shadow, an image under its hot area) always agree.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/design_colours.h"
#include "ui/win/dpi.h"
#include "ui/win/gdi.h"

namespace orv::art {

// Colours (0x00BBGGRR): first those of the window design, then our own.
inline constexpr COLORREF kTitleColour = 16381420;        // title, about-box texts
inline constexpr COLORREF kTitleShadowColour = 13536356;  // the title's shadow
inline constexpr COLORREF kMenuLabelColour = 13012572;    // menu bar labels
inline constexpr COLORREF kMenuLabelHotColour = 14526325; // ... under the mouse
// The menu bar labels' text on the title band, lighter still under the mouse.
inline constexpr COLORREF kMenuTextColour = design::kMenuText;
inline constexpr COLORREF kMenuTextHotColour = RGB(0xDC, 0xEB, 0xFA);
inline constexpr COLORREF kLinkColour = 15785170;         // about-box links
// Ours: the title band of the main window, a deep blue of the dialogs' family.
inline constexpr COLORREF kBandTop = design::kBandTop;
inline constexpr COLORREF kBandBottom = design::kBandBottom;
inline constexpr COLORREF kBandLine = RGB(0x2B, 0x73, 0xB9);  // under the band
inline constexpr COLORREF kCardBorder = RGB(0xD3, 0xDA, 0xE3);  // around the task list
inline constexpr COLORREF kMenuImageColumn = RGB(0xEE, 0xF2, 0xF7);
inline constexpr COLORREF kMenuSeparator = RGB(0xD5, 0xDB, 0xE3);

// A 32-bit picture with premultiplied alpha.
class AlphaImage {
 public:
  AlphaImage() = default;
  // A picture designed `width` by `height` at 96 dpi, made at `dpi` (so drawn, not stretched:
  // sharp at every scale). Calls `draw` on a canvas `factor` times as large as the picture at
  // `dpi` (design coordinates there are multiplied by `f`), filled with the key colour kKey;
  // what stays key is transparent.
  AlphaImage(int width, int height, int factor, const std::function<void(HDC dc, double f)>& draw,
             win::Dpi dpi = win::Dpi());
  AlphaImage(AlphaImage&& other) noexcept;
  AlphaImage& operator=(AlphaImage&& other) noexcept;
  AlphaImage(const AlphaImage&) = delete;
  AlphaImage& operator=(const AlphaImage&) = delete;

  static constexpr COLORREF kKey = RGB(0xFF, 0x00, 0xFF);

  bool Ok() const { return static_cast<bool>(bitmap_); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Blends the picture onto `dc`, at `opacity` (255: as it is).
  void Draw(HDC dc, int x, int y, BYTE opacity = 255) const;
  // Premultiplied 0xAARRGGBB at (x, y), for tests.
  unsigned Pixel(int x, int y) const;

 private:
  win::Bitmap bitmap_;
  unsigned* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

// The six menu images, 16 x 16, in the order of the one image list.
enum MenuImage : int {
  kImageBeenden = 0,
  kImageAnzeigen = 1,
  kImageMinimieren = 2,
  kImageInfo = 3,
  kImageAnzeige = 4,
  kImageHilfe = 5,
  kMenuImageCount = 6,
};
AlphaImage MakeMenuImage(int index, win::Dpi dpi = win::Dpi());

// The check mark of a checked menu item without an image, 14 x 14.
AlphaImage MakeCheckMark(win::Dpi dpi = win::Dpi());

// The minimise and help buttons of the title band, 15 x 14: their plain look (the pictures
// ImageMinimize and ImageHelp) and their highlighted look (part of the skin).
enum class BandButton { kMinimize, kHelp };
// In high contrast they take the system's colours.
AlphaImage MakeBandButton(BandButton button, bool highlighted, win::Dpi dpi = win::Dpi());

// A device-independent screen-sized bitmap to paint a skin into once.
class SkinBitmap {
 public:
  SkinBitmap(int width, int height);
  ~SkinBitmap();
  SkinBitmap(const SkinBitmap&) = delete;
  SkinBitmap& operator=(const SkinBitmap&) = delete;
  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Ok() const { return dc_ && bitmap_; }

 private:
  win::Bitmap bitmap_;
  win::MemoryDc dc_{nullptr};  // goes before the bitmap, which it holds selected
  HGDIOBJ old_ = nullptr;
  int width_, height_;
};

// The main window's skin, 570 x 427 at 96 dpi, painted at `dpi`: title band with the program
// icon, the two highlighted image buttons, the content area with the frame of the task list,
// the outline of `shape`. `shape` and `listFrame` are design rectangles. In high contrast it
// steps back to plain system colours: window colour, a line under the band, the outline.
void PaintMainSkin(HDC dc, const RECT* shape, int shapeCount, HICON smallIcon,
                   const RECT& listFrame, win::Dpi dpi = win::Dpi());
// The about box's skin, 350 x 250 at 96 dpi, painted at `dpi`; plain in high contrast.
void PaintInfoSkin(HDC dc, const RECT* shape, int shapeCount, HICON smallIcon,
                   win::Dpi dpi = win::Dpi());
// The colours of the skin's texts: the design's, or the system's in high contrast.
COLORREF TitleColour();
COLORREF TitleShadowColour();
COLORREF MenuLabelColour();
COLORREF MenuLabelHotColour();

// Vertical gradient over `rect`.
void VerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
// The outline of the region made of `shape` in `colour`, one pixel wide (`width` pixels).
void FrameShape(HDC dc, const RECT* shape, int shapeCount, COLORREF colour, int width = 1);

// A font of the given face and pixel height (negative: character height), not scaled.
HFONT MakeFont(const wchar_t* face, int height, bool bold, bool underline = false);

// What a skinned window shows, composed: its skin with its transparent children drawn over.
class Surface {
 public:
  // Text of a child control: its window text in `font`, `colour`, DrawText `format`.
  struct Text {
    HFONT font;
    COLORREF colour;
    UINT format;
  };

  explicit Surface(HWND window) : window_(window) {}
  void SetWindow(HWND window) { window_ = window; }
  // The skin picture: `dc` holds the whole client area (the Surface does not own it).
  void SetBackground(HDC dc) { background_ = dc; }
  // Children drawn in the order added; hidden children are left out.
  void AddText(HWND control, const Text& text);
  void AddImage(HWND control, const AlphaImage* image);
  void AddIcon(HWND control, HICON icon, int size);
  void SetIcon(HWND control, HICON icon, int size);
  // A child that shows only what lies under it (a hot area).
  void AddArea(HWND control);
  void SetColour(HWND control, COLORREF colour);
  // Every text drawn in `old` is drawn in `font` from now on (the window's dpi changed).
  void ReplaceFont(HFONT old, HFONT font);
  COLORREF Colour(HWND control) const;
  bool Owns(HWND control) const;

  // Paints `area` (client coordinates of the window) into `dc` at (x, y).
  void Paint(HDC dc, const RECT& area, int x, int y) const;
  // Paints a child: its own rectangle at the top left of `dc`.
  void PaintChild(HWND control, HDC dc) const;

 private:
  struct Item {
    HWND control;
    enum class Kind { kText, kImage, kIcon, kArea } kind;
    Text text;
    const AlphaImage* image;
    HICON icon;
    int iconSize;
  };
  RECT ChildRect(HWND control) const;

  HWND window_;
  HDC background_ = nullptr;
  std::vector<Item> items_;
};

// Window text of `hwnd`.
std::wstring WindowText(HWND hwnd);

}  // namespace orv::art
