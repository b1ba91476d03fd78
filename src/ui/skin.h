// The flat look of Orvalis's own windows: colours, fonts, the rounded window outline with its
// title band, and owner-drawn labels, push buttons and check boxes. GDI only.
//
// Controls made here are real child windows (STATIC with SS_OWNERDRAW, BUTTON with
// BS_OWNERDRAW; check boxes and radio buttons are BS_AUTOCHECKBOX and BS_AUTORADIOBUTTON
// controls that keep their class, state and role and are only painted by the skin), so keyboard
// navigation, screen readers and the end-to-end driver reach them by handle and ID. The parent
// window forwards WM_DRAWITEM to Skin::DrawItem and the buttons' NM_CUSTOMDRAW to
// Skin::CustomDraw.
//
// All sizes are given in pixels at 96 dpi; Scale() turns them into device pixels.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/win/dpi.h"
#include "ui/design_colours.h"
#include "ui/win/gdi.h"

namespace orv::skin {

struct Palette {
  COLORREF window;          // window background
  COLORREF band;            // title band
  COLORREF bandText;        // text on the band
  COLORREF text;            // ordinary text
  COLORREF disabledText;
  COLORREF border;          // the window's outline
  COLORREF accent;          // primary button, ticked box, focus ring
  COLORREF accentText;      // text and marks on the accent colour
  COLORREF accentHot;
  COLORREF accentPressed;
  COLORREF buttonFace;      // secondary button
  COLORREF buttonFaceHot;
  COLORREF buttonFacePressed;
  COLORREF buttonBorder;
  COLORREF boxFace;         // check box square
  COLORREF boxBorder;
};

inline constexpr Palette kPalette{
    .window = design::kWindow,
    .band = RGB(0x1F, 0x5F, 0x9E),
    .bandText = RGB(0xFF, 0xFF, 0xFF),
    .text = RGB(0x1F, 0x24, 0x2B),
    .disabledText = RGB(0xA0, 0xA6, 0xAE),
    .border = RGB(0x17, 0x48, 0x78),
    .accent = RGB(0x1F, 0x5F, 0x9E),
    .accentText = RGB(0xFF, 0xFF, 0xFF),
    .accentHot = RGB(0x2B, 0x73, 0xB9),
    .accentPressed = RGB(0x16, 0x46, 0x75),
    .buttonFace = RGB(0xFF, 0xFF, 0xFF),
    .buttonFaceHot = RGB(0xEA, 0xF1, 0xF9),
    .buttonFacePressed = RGB(0xD5, 0xE3, 0xF2),
    .buttonBorder = RGB(0xB3, 0xBB, 0xC7),
    .boxFace = RGB(0xFF, 0xFF, 0xFF),
    .boxBorder = RGB(0x86, 0x90, 0x9E),
};

// Whether the user has chosen high contrast (SPI_GETHIGHCONTRAST), as last read.
bool HighContrast();
// The colours to draw with: kPalette, or in high contrast the system's colours (window, window
// text, highlight, hot-light, grey text, button face). Read again by RefreshColours, which a
// window calls on WM_SYSCOLORCHANGE and WM_SETTINGCHANGE.
const Palette& Colours();
void RefreshColours();
// A brush of Colours().window, for WM_CTLCOLOR* answers; the skin keeps it.
HBRUSH WindowBrush();
// The column headings of the report list view `list` follow high contrast: there they are
// drawn in the system's button face and button text, otherwise by the list as usual. Call it
// once the list is made and again whenever the colours change.
void ColourHeadings(HWND list);

// Measures at 96 dpi.
inline constexpr int kCornerRadius = 12;  // window outline
inline constexpr int kButtonRadius = 4;
inline constexpr int kCheckBoxSize = 14;

enum class LabelKind {
  kText,       // word-wrapped, ordinary font, on the window background
  kBandTitle,  // one line, bold, on the title band
};

enum class ButtonKind {
  kPrimary,    // filled with the accent colour
  kSecondary,  // white face with a grey border
};

class Skin {
 public:
  // Fonts follow the system's message font; sizes follow the system's dpi until SetDpi.
  Skin();
  ~Skin();
  Skin(const Skin&) = delete;
  Skin& operator=(const Skin&) = delete;

  int Dpi() const { return dpi_; }
  int Scale(int px96) const { return MulDiv(px96, dpi_, 96); }
  RECT Scale(const RECT& r96) const;
  HFONT Font() const {
    return fonts_.back().text ? fonts_.back().text.Get()
                              : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  HFONT TitleFont() const { return fonts_.back().title ? fonts_.back().title.Get() : Font(); }
  // Sizes and fonts for windows at `dpi` (the main window moved to a monitor of another
  // scale). The fonts made for earlier dpi values stay valid until the skin goes, so controls
  // that still hold one never draw with a deleted font.
  void SetDpi(int dpi);
  // The font at the current dpi in the role of `font` (text or title, made by this skin at any
  // dpi); null for a font the skin did not make.
  HFONT Refont(HFONT font) const;

  // Child controls. `rect` is in the parent's client coordinates, device pixels. Each carries
  // its look with it; the parent hands WM_DRAWITEM to DrawItem.
  HWND CreateLabel(HWND parent, int id, const std::wstring& text, const RECT& rect,
                   LabelKind kind) const;
  HWND CreateButton(HWND parent, int id, const std::wstring& text, const RECT& rect,
                    ButtonKind kind) const;
  HWND CreateCheckBox(HWND parent, int id, const std::wstring& text, const RECT& rect) const;
  // A radio button; `first` starts its group (WS_GROUP, the one tab stop of the group).
  HWND CreateRadioButton(HWND parent, int id, const std::wstring& text, const RECT& rect,
                         bool first) const;

  // Height in device pixels of `text` word-wrapped to `width` in the ordinary font, as a text
  // label draws it.
  int TextHeight(const std::wstring& text, int width) const;

  // Draws a control made by this skin; false for anything else.
  bool DrawItem(const DRAWITEMSTRUCT& item) const;
  // NM_CUSTOMDRAW of a check box or radio button made by this skin: paints it and returns
  // CDRF_SKIPDEFAULT; CDRF_DODEFAULT for anything else.
  LRESULT CustomDraw(const NMCUSTOMDRAW& draw) const;

  // Gives a borderless window its rounded outline (window width and height in device pixels).
  void ShapeWindow(HWND window) const;
  // Paints the window background: the title band of `bandHeight` device pixels across the
  // top, with a round badge holding `badge` at its left (none when 0), and the thin outline.
  void PaintWindow(HWND window, HDC dc, int bandHeight, wchar_t badge) const;

 private:
  HRGN MakeOutline(int width, int height) const;

  struct Fonts {
    int dpi;
    win::Font text, title;
  };
  void MakeFonts();

  int dpi_ = 96;
  int systemDpi_ = 96;
  LOGFONTW base_{};  // the message font at the system dpi
  std::vector<Fonts> fonts_;  // the current dpi's last
};

// Brings a skinned top-level window to `dpi`, as on WM_DPICHANGED (a move to a monitor of
// another scale) or when it opens over a window of another dpi: `skin`, the window's own, makes
// its fonts and measures for that dpi; every child taken in `layout` goes to its design place
// with the skin's font of that dpi; the window takes its design size `design96` at that dpi,
// at the top left of `suggested` (what WM_DPICHANGED proposes) or, without one, around its old
// centre inside its monitor's work area; then its rounded outline and everything is drawn anew.
void ApplyWindowDpi(HWND window, Skin& skin, const win::ChildLayout& layout, win::Dpi dpi,
                    SIZE design96, const RECT* suggested);

// Check box state, also reachable through BM_GETCHECK / BM_SETCHECK.
bool IsChecked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);
void ToggleCheckBox(HWND checkBox);

// Whether `control` is a push button made by the skin (Enter presses it while it has the focus).
bool IsPushButton(HWND control);

// The one font family of the program's windows: the system's message font ("Segoe UI" on
// Windows), "Tahoma" when that cannot be read.
std::wstring UiFontFace();

// Whether the keyboard cues (underlined access keys) of `window`'s top-level window are hidden.
bool AccessKeysHidden(HWND window);

// Whether the mouse is over a control made by the skin (it is then drawn highlighted).
bool IsHot(HWND control);

// `text` as it fits into `rect` with the given DrawText flags: when word-wrapped text needs
// more lines than the rectangle holds, it is cut at the end and "…" appended.
std::wstring FitText(HDC dc, const std::wstring& text, const RECT& rect, UINT flags);

}  // namespace orv::skin
