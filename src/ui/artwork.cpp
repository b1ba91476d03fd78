#include "ui/artwork.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "ui/skin.h"
#include "ui/win/gdi.h"

namespace orv::art {
namespace {

// Drawing on a canvas `f` times larger than the picture, in the picture's coordinates.
struct Canvas {
  Canvas(HDC d, double factor) : dc(d), f(factor) {}
  HDC dc;
  double f;

  int S(double v) const { return static_cast<int>(std::lround(v * f)); }

  void Fill(double l, double t, double r, double b, COLORREF c) const {
    const RECT rc{S(l), S(t), S(r), S(b)};
    SetDCBrushColor(dc, c);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  // Filled shapes without an outline: GDI leaves out the right and bottom edge then, hence +1.
  void Round(double l, double t, double r, double b, double radius, COLORREF c) const {
    Begin(c);
    RoundRect(dc, S(l), S(t), S(r) + 1, S(b) + 1, S(2 * radius), S(2 * radius));
    End();
  }
  void Circle(double cx, double cy, double radius, COLORREF c) const {
    Begin(c);
    Ellipse(dc, S(cx - radius), S(cy - radius), S(cx + radius) + 1, S(cy + radius) + 1);
    End();
  }
  void Poly(std::initializer_list<std::pair<double, double>> points, COLORREF c) const {
    std::vector<POINT> p;
    for (const auto& [x, y] : points) p.push_back(POINT{S(x), S(y)});
    Begin(c);
    Polygon(dc, p.data(), static_cast<int>(p.size()));
    End();
  }
  // A straight stroke with round ends.
  void Line(double x1, double y1, double x2, double y2, double width, COLORREF c) const {
    const LOGBRUSH brush{BS_SOLID, c, 0};
    const win::Pen pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                    std::max(1, S(width)), &brush, 0, nullptr));
    const win::Selection selected(dc, pen.Get());
    MoveToEx(dc, S(x1), S(y1), nullptr);
    LineTo(dc, S(x2), S(y2));
  }
  // Centred text of `height` pixels; not antialiased here, the averaging smooths it.
  void Text(const wchar_t* text, double l, double t, double r, double b, double height, bool bold,
            COLORREF c) const {
    const win::Font font(CreateFontW(-S(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH,
                                     skin::UiFontFace().c_str()));
    const win::Selection selected(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c);
    RECT rc{S(l), S(t), S(r), S(b)};
    DrawTextW(dc, text, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }

 private:
  void Begin(COLORREF c) const {
    oldPen_ = SelectObject(dc, GetStockObject(NULL_PEN));
    oldBrush_ = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, c);
  }
  void End() const {
    SelectObject(dc, oldBrush_);
    SelectObject(dc, oldPen_);
  }
  mutable HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr;
};

constexpr COLORREF kKeyHole = AlphaImage::kKey;  // paints a hole into a picture
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

HBITMAP MakeDib(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

// ---- AlphaImage ---------------------------------------------------------------------------

AlphaImage::AlphaImage(int width96, int height96, int factor,
                       const std::function<void(HDC dc, double f)>& draw, win::Dpi dpi) {
  const int width = dpi.Scale(width96), height = dpi.Scale(height96);
  if (width <= 0 || height <= 0 || factor <= 0) return;
  const int bw = width * factor, bh = height * factor;
  void* bigBits = nullptr;
  const win::Bitmap big(MakeDib(bw, bh, &bigBits));
  const win::MemoryDc memory(nullptr);
  if (!big || !memory) return;
  HDC dc = memory.Get();
  const win::Selection selected(dc, big.Get());
  const RECT all{0, 0, bw, bh};
  SetDCBrushColor(dc, kKey);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  draw(dc, factor * static_cast<double>(dpi.Value()) / win::Dpi::kDesign);
  GdiFlush();

  void* smallBits = nullptr;
  bitmap_.Reset(MakeDib(width, height, &smallBits));
  if (bitmap_) {
    width_ = width;
    height_ = height;
    bits_ = static_cast<unsigned*>(smallBits);
    const auto* src = static_cast<const unsigned*>(bigBits);
    const unsigned key = ((kKey & 0xFF) << 16) | (kKey & 0xFF00) | ((kKey >> 16) & 0xFF);
    const int samples = factor * factor;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        unsigned r = 0, g = 0, b = 0, n = 0;
        for (int dy = 0; dy < factor; ++dy) {
          const unsigned* row = src + static_cast<std::size_t>(y * factor + dy) * bw + x * factor;
          for (int dx = 0; dx < factor; ++dx) {
            const unsigned p = row[dx] & 0xFFFFFF;
            if (p == key) continue;
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
            ++n;
          }
        }
        const unsigned a = (n * 255 + samples / 2) / samples;
        const unsigned half = samples / 2;
        bits_[static_cast<std::size_t>(y) * width + x] =
            (a << 24) | (((r + half) / samples) << 16) | (((g + half) / samples) << 8) |
            ((b + half) / samples);
      }
    }
  }
}

AlphaImage::AlphaImage(AlphaImage&& other) noexcept
    : bitmap_(std::move(other.bitmap_)),
      bits_(std::exchange(other.bits_, nullptr)),
      width_(other.width_),
      height_(other.height_) {}

AlphaImage& AlphaImage::operator=(AlphaImage&& other) noexcept {
  if (this != &other) {
    bitmap_ = std::move(other.bitmap_);
    bits_ = std::exchange(other.bits_, nullptr);
    width_ = other.width_;
    height_ = other.height_;
  }
  return *this;
}

void AlphaImage::Draw(HDC dc, int x, int y, BYTE opacity) const {
  if (!bitmap_) return;
  const win::MemoryDc src(dc);
  if (!src) return;
  const win::Selection selected(src.Get(), bitmap_.Get());
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, width_, height_, src.Get(), 0, 0, width_, height_, blend);
}

unsigned AlphaImage::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return bits_[static_cast<std::size_t>(y) * width_ + x];
}

// ---- the small pictures -------------------------------------------------------------------

AlphaImage MakeMenuImage(int index, win::Dpi dpi) {
  const auto& p = skin::Colours();
  return AlphaImage(16, 16, 4, [&](HDC dc, double f) {
    const Canvas c{dc, f};
    switch (index) {
      case kImageBeenden: {  // the power sign
        const COLORREF red = RGB(0xC8, 0x41, 0x3B);
        c.Circle(8, 8.7, 6.3, red);
        c.Circle(8, 8.7, 4.3, kKeyHole);
        c.Poly({{8, 8.7}, {4.6, 0}, {11.4, 0}}, kKeyHole);
        c.Round(7.0, 1.0, 9.0, 8.9, 1.0, red);
        break;
      }
      case kImageAnzeigen:  // a window
        c.Round(1, 2, 15, 14, 1.6, p.accent);
        c.Fill(2.3, 5.3, 13.7, 12.7, kWhite);
        c.Fill(3.3, 6.5, 9.5, 7.7, RGB(0xB9, 0xD0, 0xEA));
        c.Fill(3.3, 8.7, 11.5, 9.9, RGB(0xB9, 0xD0, 0xEA));
        break;
      case kImageMinimieren:  // a window going down to its bar
        c.Round(1, 1.5, 15, 11, 1.4, RGB(0x6B, 0x7A, 0x8C));
        c.Fill(2.3, 4.2, 13.7, 9.7, kWhite);
        c.Round(3, 12.4, 13, 14.8, 1.1, p.accent);
        break;
      case kImageInfo:
        c.Circle(8, 8, 7.2, p.accent);
        c.Circle(8, 4.6, 1.3, kWhite);
        c.Round(7.0, 6.6, 9.0, 12.5, 0.6, kWhite);
        break;
      case kImageAnzeige: {  // a screen
        const COLORREF frame = RGB(0x3A, 0x4A, 0x5C);
        c.Round(1, 1.5, 15, 11.5, 1.3, frame);
        c.Fill(2.3, 2.8, 13.7, 10.2, RGB(0x4A, 0x90, 0xD9));
        c.Poly({{2.3, 10.2}, {13.7, 2.8}, {13.7, 10.2}}, RGB(0x3B, 0x7F, 0xC8));
        c.Fill(6.8, 11.5, 9.2, 13.2, frame);
        c.Round(4, 12.8, 12, 14.6, 0.8, frame);
        break;
      }
      case kImageHilfe:
        c.Circle(8, 8, 7.2, RGB(0x2A, 0x9D, 0x8F));
        c.Text(L"?", 0, 0.5, 16, 16, 12.5, true, kWhite);
        break;
    }
  }, dpi);
}

AlphaImage MakeCheckMark(win::Dpi dpi) {
  const auto& p = skin::Colours();
  return AlphaImage(14, 14, 4, [&](HDC dc, double f) {
    const Canvas c{dc, f};
    c.Round(0, 0, 14, 14, 3, p.accent);
    c.Line(3.4, 7.3, 6.0, 9.9, 2.0, p.accentText);
    c.Line(6.0, 9.9, 10.8, 4.3, 2.0, p.accentText);
  }, dpi);
}

AlphaImage MakeBandButton(BandButton button, bool highlighted, win::Dpi dpi) {
  return AlphaImage(15, 14, 4, [&](HDC dc, double f) {
    const Canvas c{dc, f};
    const auto& p = skin::Colours();
    const bool plain = skin::HighContrast();
    const COLORREF glyph = plain ? (highlighted ? p.accentText : p.text)
                           : highlighted ? kWhite : RGB(0xC5, 0xD7, 0xEE);
    if (plain) {
      // Opaque too: the window colour with an outline, the selection's colours under the mouse.
      c.Fill(0, 0, 15, 14, highlighted ? p.accent : p.window);
      if (!highlighted) {
        c.Fill(0, 0, 15, 1, p.text);
        c.Fill(0, 13, 15, 14, p.text);
        c.Fill(0, 0, 1, 14, p.text);
        c.Fill(14, 0, 15, 14, p.text);
      }
    } else if (highlighted) {
      c.Round(0, 0, 15, 14, 3, kBandLine);
    } else {
      // Opaque: the band as it runs behind the button (rows 32 to 45 of the window), so that
      // the highlighted button of the skin below stays covered.
      for (int row = 0; row < 14; ++row) {
        const double t = (32 + row - 23) / 31.0;
        const auto mix = [t](int a, int b) { return static_cast<BYTE>(std::lround(a + (b - a) * t)); };
        c.Fill(0, row, 15, row + 1,
               RGB(mix(GetRValue(kBandTop), GetRValue(kBandBottom)),
                   mix(GetGValue(kBandTop), GetGValue(kBandBottom)),
                   mix(GetBValue(kBandTop), GetBValue(kBandBottom))));
      }
      c.Round(0, 0, 15, 14, 3, kMenuLabelColour);
      c.Round(1, 1, 14, 13, 2.2, RGB(0x13, 0x38, 0x5F));
    }
    if (button == BandButton::kMinimize) {
      c.Round(4, 8.6, 11, 10.4, 0.8, glyph);
    } else {
      c.Text(L"?", 0, 0.3, 15, 14, 10.5, true, glyph);
    }
  }, dpi);
}

// ---- skins --------------------------------------------------------------------------------

SkinBitmap::SkinBitmap(int width, int height) : width_(width), height_(height) {
  void* bits = nullptr;
  bitmap_.Reset(MakeDib(width, height, &bits));
  if (dc_ && bitmap_) old_ = SelectObject(dc_.Get(), bitmap_.Get());
}

SkinBitmap::~SkinBitmap() {
  if (old_) SelectObject(dc_.Get(), old_);  // the DC and then the bitmap go after this
}

void VerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
  TRIVERTEX v[2] = {};
  v[0].x = rect.left;
  v[0].y = rect.top;
  v[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
  v[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
  v[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
  v[1].x = rect.right;
  v[1].y = rect.bottom;
  v[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
  v[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
  v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
  GRADIENT_RECT g{0, 1};
  GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

void FrameShape(HDC dc, const RECT* shape, int shapeCount, COLORREF colour, int width) {
  const win::Region all(CreateRectRgn(0, 0, 0, 0));
  for (int i = 0; i < shapeCount; ++i) {
    const win::Region part(CreateRectRgnIndirect(&shape[i]));
    CombineRgn(all.Get(), all.Get(), part.Get(), RGN_OR);
  }
  SetDCBrushColor(dc, colour);
  FrameRgn(dc, all.Get(), static_cast<HBRUSH>(GetStockObject(DC_BRUSH)), width, width);
}

namespace {

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Frame(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A design shape's rectangles at `dpi`.
std::vector<RECT> ScaledShape(const RECT* shape, int shapeCount, win::Dpi dpi) {
  std::vector<RECT> rects;
  for (int i = 0; i < shapeCount; ++i) rects.push_back(dpi.Scale(shape[i]));
  return rects;
}

}  // namespace

COLORREF TitleColour() { return skin::HighContrast() ? skin::Colours().text : kTitleColour; }
COLORREF TitleShadowColour() {
  return skin::HighContrast() ? skin::Colours().window : kTitleShadowColour;
}
COLORREF MenuLabelColour() { return skin::HighContrast() ? skin::Colours().text : kMenuTextColour; }
COLORREF MenuLabelHotColour() {
  return skin::HighContrast() ? skin::Colours().accentHot : kMenuTextHotColour;
}

void PaintMainSkin(HDC dc, const RECT* shape, int shapeCount, HICON smallIcon,
                   const RECT& listFrame, win::Dpi dpi) {
  const auto& p = skin::Colours();
  const auto S = [&](const RECT& r) { return dpi.Scale(r); };
  const int line = std::max(1, dpi.Scale(1));
  const std::vector<RECT> outline = ScaledShape(shape, shapeCount, dpi);
  FillSolid(dc, S(RECT{0, 0, 570, 427}), p.window);
  if (skin::HighContrast()) {
    // Plain: the window colour throughout, a rule under the band, the outline in the text colour.
    FillSolid(dc, RECT{dpi.Scale(14), dpi.Scale(54), dpi.Scale(557), dpi.Scale(54) + line}, p.text);
  } else {
    // The title band, a thin sheen at its top and the accent line below it.
    VerticalGradient(dc, S(RECT{14, 23, 557, 54}), kBandTop, kBandBottom);
    FillSolid(dc, S(RECT{14, 24, 557, 25}), RGB(0x22, 0x52, 0x82));
    FillSolid(dc, S(RECT{14, 54, 557, 55}), kBandLine);
  }
  const int icon = dpi.Scale(16);
  if (smallIcon)
    DrawIconEx(dc, dpi.Scale(29), dpi.Scale(31), smallIcon, icon, icon, 0, nullptr, DI_NORMAL);
  // The highlighted image buttons: they show where the plain pictures are hidden.
  MakeBandButton(BandButton::kMinimize, true, dpi).Draw(dc, dpi.Scale(517), dpi.Scale(32));
  MakeBandButton(BandButton::kHelp, true, dpi).Draw(dc, dpi.Scale(534), dpi.Scale(32));
  // The task list's card.
  Frame(dc, S(listFrame), skin::HighContrast() ? p.text : kCardBorder);
  FrameShape(dc, outline.data(), shapeCount, p.border, line);
}

void PaintInfoSkin(HDC dc, const RECT* shape, int shapeCount, HICON smallIcon, win::Dpi dpi) {
  const auto& p = skin::Colours();
  const auto S = [&](const RECT& r) { return dpi.Scale(r); };
  const int line = std::max(1, dpi.Scale(1));
  const bool plain = skin::HighContrast();
  if (plain) {
    FillSolid(dc, S(RECT{0, 0, 350, 250}), p.window);
    FillSolid(dc, RECT{0, dpi.Scale(30), dpi.Scale(350), dpi.Scale(30) + line}, p.text);
  } else {
    VerticalGradient(dc, S(RECT{0, 0, 350, 250}), p.band, RGB(0x12, 0x3D, 0x69));
    VerticalGradient(dc, S(RECT{0, 0, 350, 30}), kBandTop, RGB(0x13, 0x39, 0x60));
    FillSolid(dc, S(RECT{0, 30, 350, 31}), kBandLine);
  }
  const int icon = dpi.Scale(16);
  if (smallIcon)
    DrawIconEx(dc, dpi.Scale(18), dpi.Scale(7), smallIcon, icon, icon, 0, nullptr, DI_NORMAL);

  if (!plain) {
    // A large, faint clock face at the right.
    AlphaImage clock(140, 140, 3, [](HDC d, double f) {
      const Canvas c{d, f};
      c.Circle(70, 70, 66, kWhite);
      c.Circle(70, 70, 56, kKeyHole);
      c.Line(70, 70, 70, 30, 9, kWhite);
      c.Line(70, 70, 98, 84, 9, kWhite);
      c.Circle(70, 70, 8, kWhite);
    }, dpi);
    clock.Draw(dc, dpi.Scale(236), dpi.Scale(48), 18);  // through a 7 % veil
  }

  // Quiet rules between the sections, and the copyright line.
  const COLORREF rule = plain ? p.text : RGB(0x3A, 0x72, 0xAE);
  FillSolid(dc, RECT{dpi.Scale(40), dpi.Scale(80), dpi.Scale(226), dpi.Scale(80) + line}, rule);
  FillSolid(dc, RECT{dpi.Scale(40), dpi.Scale(170), dpi.Scale(226), dpi.Scale(170) + line}, rule);
  {
    const win::Font font(MakeFont(skin::UiFontFace().c_str(), dpi.Scale(-11), false));
    const win::Selection selected(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, plain ? p.text : RGB(0xA9, 0xC3, 0xE3));
    RECT text = S(RECT{40, 138, 300, 154});
    DrawTextW(dc, L"Copyright © 2026 Velmora", -1, &text,
              DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
  }

  const std::vector<RECT> outline = ScaledShape(shape, shapeCount, dpi);
  FrameShape(dc, outline.data(), shapeCount, plain ? p.border : RGB(0x0E, 0x2F, 0x52), line);
}

HFONT MakeFont(const wchar_t* face, int height, bool bold, bool underline) {
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, face);
}

// ---- Surface ------------------------------------------------------------------------------

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

void Surface::AddText(HWND control, const Text& text) {
  items_.push_back(Item{control, Item::Kind::kText, text, nullptr, nullptr, 0});
}

void Surface::AddImage(HWND control, const AlphaImage* image) {
  items_.push_back(Item{control, Item::Kind::kImage, {}, image, nullptr, 0});
}

void Surface::AddIcon(HWND control, HICON icon, int size) {
  items_.push_back(Item{control, Item::Kind::kIcon, {}, nullptr, icon, size});
}

void Surface::SetIcon(HWND control, HICON icon, int size) {
  for (Item& item : items_) {
    if (item.control == control && item.kind == Item::Kind::kIcon) {
      item.icon = icon;
      item.iconSize = size;
    }
  }
}

void Surface::AddArea(HWND control) {
  items_.push_back(Item{control, Item::Kind::kArea, {}, nullptr, nullptr, 0});
}

void Surface::SetColour(HWND control, COLORREF colour) {
  for (Item& item : items_) {
    if (item.control == control && item.kind == Item::Kind::kText && item.text.colour != colour) {
      item.text.colour = colour;
      InvalidateRect(control, nullptr, FALSE);
    }
  }
}

void Surface::ReplaceFont(HFONT old, HFONT font) {
  for (Item& item : items_)
    if (item.kind == Item::Kind::kText && item.text.font == old) item.text.font = font;
}

COLORREF Surface::Colour(HWND control) const {
  for (const Item& item : items_)
    if (item.control == control && item.kind == Item::Kind::kText) return item.text.colour;
  return CLR_INVALID;
}

bool Surface::Owns(HWND control) const {
  return control && std::any_of(items_.begin(), items_.end(),
                                [&](const Item& item) { return item.control == control; });
}

RECT Surface::ChildRect(HWND control) const {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Surface::Paint(HDC dc, const RECT& area, int x, int y) const {
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  const win::OffscreenPainter painter(dc, x, y, w, h);
  if (!painter.Ok()) return;
  HDC mem = painter.Dc();
  if (background_) {
    BitBlt(mem, 0, 0, w, h, background_, area.left, area.top, SRCCOPY);
  } else {
    FillSolid(mem, RECT{0, 0, w, h}, skin::Colours().window);
  }
  SetViewportOrgEx(mem, -area.left, -area.top, nullptr);
  SetBkMode(mem, TRANSPARENT);
  // Texts with an access key show its underline only while the keyboard is used.
  const bool hideAccessKeys =
      window_ && (SendMessageW(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
  for (const Item& item : items_) {
    if (!(GetWindowLongPtrW(item.control, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT r = ChildRect(item.control);
    RECT overlap;
    if (!IntersectRect(&overlap, &r, &area)) continue;
    switch (item.kind) {
      case Item::Kind::kText: {
        const std::wstring text = WindowText(item.control);
        HGDIOBJ oldFont = SelectObject(mem, item.text.font);
        SetTextColor(mem, item.text.colour);
        const UINT format = item.text.format | (!(item.text.format & DT_NOPREFIX) && hideAccessKeys
                                                     ? DT_HIDEPREFIX
                                                     : 0);
        DrawTextW(mem, text.c_str(), static_cast<int>(text.size()), &r, format);
        SelectObject(mem, oldFont);
        break;
      }
      case Item::Kind::kImage:
        if (item.image) item.image->Draw(mem, r.left, r.top);
        break;
      case Item::Kind::kIcon:
        if (item.icon)
          DrawIconEx(mem, r.left, r.top, item.icon, item.iconSize, item.iconSize, 0, nullptr,
                     DI_NORMAL);
        break;
      case Item::Kind::kArea:
        break;
    }
  }
  SetViewportOrgEx(mem, 0, 0, nullptr);
  painter.Show();
}

void Surface::PaintChild(HWND control, HDC dc) const {
  Paint(dc, ChildRect(control), 0, 0);
}

}  // namespace orv::art
