#include "ui/skin.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "ui/win/window.h"

namespace orv::skin {
namespace {

enum class Kind { kTextLabel, kBandTitle, kPrimaryButton, kSecondaryButton, kCheckBox, kRadio };

// What a control made by the skin carries: its look and the state the owner-drawing needs.
struct ControlState {
  Kind kind;
  bool hot = false;
};

constexpr UINT_PTR kSubclassId = 0x4F52;  // one subclass per control, ours
// The same state, found from the control's handle when it is drawn.
constexpr wchar_t kStateProp[] = L"Orvalis.SkinControl";

bool IsButtonKind(Kind kind) { return kind != Kind::kTextLabel && kind != Kind::kBandTitle; }

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                             DWORD_PTR ref) {
  auto* state = reinterpret_cast<ControlState*>(ref);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!state->hot) {
        state->hot = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      state->hot = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_LBUTTONDBLCLK:
      // An owner-drawn button reports a quick second click as BN_DOUBLECLICKED instead of
      // BN_CLICKED; a check box clicked twice quickly must toggle twice.
      if (IsButtonKind(state->kind)) return DefSubclassProc(hwnd, WM_LBUTTONDOWN, wp, lp);
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_DRAWITEM or the custom draw paints every pixel
    case WM_UPDATEUISTATE: {  // the access keys' underlines came or went
      const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case WM_NCDESTROY: {
      RemovePropW(hwnd, kStateProp);
      const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
      delete state;
      return result;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

ControlState* StateOf(HWND hwnd) {
  return hwnd ? static_cast<ControlState*>(GetPropW(hwnd, kStateProp)) : nullptr;
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A rounded rectangle inside `rect`, filled unless `filled` is false, with a 1-pixel border.
void RoundBox(HDC dc, const RECT& rect, int radius, COLORREF fill, COLORREF border,
              bool filled = true) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(filled ? DC_BRUSH : NULL_BRUSH));
  SetDCPenColor(dc, border);
  SetDCBrushColor(dc, fill);
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, 2 * radius, 2 * radius);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

RECT Inset(RECT r, int by) {
  InflateRect(&r, -by, -by);
  return r;
}

void DrawTextIn(HDC dc, const std::wstring& text, RECT rect, HFONT font, COLORREF colour,
                UINT flags) {
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  const std::wstring shown = FitText(dc, text, rect, flags);
  DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &rect, flags);
  SelectObject(dc, oldFont);
}

constexpr UINT kLineFlags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
// A caption with an access key: "&" marks the letter, underlined while the keyboard is used.
UINT CaptionFlags(bool hideAccessKeys) {
  return (kLineFlags & ~static_cast<UINT>(DT_NOPREFIX)) | (hideAccessKeys ? DT_HIDEPREFIX : 0);
}
constexpr UINT kWrapFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

}  // namespace

// ---- colours ------------------------------------------------------------------------------

namespace {

struct ColourState {
  bool read = false;
  bool highContrast = false;
  Palette palette = kPalette;
  win::Brush windowBrush;
};

ColourState& Current() {
  static ColourState state;
  if (!state.read) {
    state.read = true;
    RefreshColours();
  }
  return state;
}

}  // namespace

void RefreshColours() {
  ColourState& state = Current();
  HIGHCONTRASTW hc{};
  hc.cbSize = sizeof hc;
  state.highContrast =
      SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
  if (state.highContrast) {
    // The user's colours, and nothing of our own: text on the window colour, the accent is the
    // selection's highlight with its text, hot things take the hot-light colour.
    const auto sys = [](int index) { return GetSysColor(index); };
    state.palette = Palette{
        .window = sys(COLOR_WINDOW),
        .band = sys(COLOR_WINDOW),
        .bandText = sys(COLOR_WINDOWTEXT),
        .text = sys(COLOR_WINDOWTEXT),
        .disabledText = sys(COLOR_GRAYTEXT),
        .border = sys(COLOR_WINDOWTEXT),
        .accent = sys(COLOR_HIGHLIGHT),
        .accentText = sys(COLOR_HIGHLIGHTTEXT),
        .accentHot = sys(COLOR_HOTLIGHT),
        .accentPressed = sys(COLOR_HIGHLIGHT),
        .buttonFace = sys(COLOR_BTNFACE),
        .buttonFaceHot = sys(COLOR_BTNFACE),
        .buttonFacePressed = sys(COLOR_BTNFACE),
        .buttonBorder = sys(COLOR_BTNTEXT),
        .boxFace = sys(COLOR_WINDOW),
        .boxBorder = sys(COLOR_WINDOWTEXT),
    };
  } else {
    state.palette = kPalette;
  }
  state.windowBrush.Reset(CreateSolidBrush(state.palette.window));
}

bool HighContrast() { return Current().highContrast; }

const Palette& Colours() { return Current().palette; }

HBRUSH WindowBrush() {
  ColourState& state = Current();
  return state.windowBrush ? state.windowBrush.Get()
                           : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// ---- list headings in high contrast --------------------------------------------------------

namespace {

constexpr UINT_PTR kHeadingsSubclassId = 0x4F48;

// One heading: the button face, a rule at its right and bottom, its text in the button text.
void PaintHeading(HWND header, HDC dc, int index, const RECT& rect, bool pressed) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE), ink = GetSysColor(COLOR_BTNTEXT);
  Fill(dc, rect, face);
  Fill(dc, RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, ink);
  Fill(dc, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, ink);
  wchar_t text[260] = L"";
  HDITEMW item{};
  item.mask = HDI_TEXT | HDI_FORMAT;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(std::size(text));
  if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&item)))
    return;
  const auto font = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT label = rect;
  InflateRect(&label, -std::max<LONG>(2, tm.tmAveCharWidth), 0);
  if (pressed) OffsetRect(&label, 1, 1);
  const UINT align = (item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                     : (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT
                                                                 : DT_LEFT;
  SetTextColor(dc, ink);
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text, -1, &label,
            align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (oldFont) SelectObject(dc, oldFont);
}

LRESULT HeadingsCustomDraw(HWND header, const NMCUSTOMDRAW& draw) {
  switch (draw.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT:
      PaintHeading(header, draw.hdc, static_cast<int>(draw.dwItemSpec), draw.rc,
                   draw.uItemState & CDIS_SELECTED);
      return CDRF_SKIPDEFAULT;
    case CDDS_POSTPAINT: {
      // The strip right of the last heading, which the header fills with its own look.
      RECT client;
      GetClientRect(header, &client);
      const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
      RECT last{0, 0, 0, 0};
      if (count > 0) {
        const auto index =
            SendMessageW(header, HDM_ORDERTOINDEX, static_cast<WPARAM>(count - 1), 0);
        SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&last));
      }
      if (last.right < client.right) {
        const RECT rest{last.right, client.top, client.right, client.bottom};
        Fill(draw.hdc, rest, GetSysColor(COLOR_BTNFACE));
        Fill(draw.hdc, RECT{rest.left, rest.bottom - 1, rest.right, rest.bottom},
             GetSysColor(COLOR_BTNTEXT));
      }
      return CDRF_DODEFAULT;
    }
  }
  return CDRF_DODEFAULT;
}

// The list view's subclass: its header's custom drawing, in high contrast only.
LRESULT CALLBACK HeadingsProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_NOTIFY && HighContrast()) {
    const auto& hdr = *reinterpret_cast<const NMHDR*>(lp);
    if (hdr.code == NM_CUSTOMDRAW && hdr.hwndFrom == ListView_GetHeader(hwnd))
      return HeadingsCustomDraw(hdr.hwndFrom, *reinterpret_cast<const NMCUSTOMDRAW*>(lp));
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void ColourHeadings(HWND list) {
  HWND header = list ? ListView_GetHeader(list) : nullptr;
  if (!header) return;
  // In high contrast the classic look, which takes the system's colours; the visual style
  // otherwise. Wine keeps its visual style ("Light") for the header all the same and draws the
  // headings in the button text on the style's white face: white on white in high contrast
  // black. So in high contrast the headings are drawn here, with the system's colours, as the
  // classic look draws them on Windows.
  if (HighContrast())
    SetWindowTheme(header, L"", L"");
  else
    SetWindowTheme(header, nullptr, nullptr);
  win::Subclass<&HeadingsProc>(list, kHeadingsSubclassId, 0);
  InvalidateRect(header, nullptr, TRUE);
}

std::wstring UiFontFace() {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0) &&
      ncm.lfMessageFont.lfFaceName[0])
    return ncm.lfMessageFont.lfFaceName;
  return L"Tahoma";
}

bool AccessKeysHidden(HWND window) {
  HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  return root && (SendMessageW(root, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
}

std::wstring FitText(HDC dc, const std::wstring& text, const RECT& rect, UINT flags) {
  if (flags & DT_SINGLELINE) return text;  // DT_END_ELLIPSIS covers one line
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const auto needed = [&](const std::wstring& candidate) {
    RECT r{0, 0, width, 0};
    DrawTextW(dc, candidate.c_str(), static_cast<int>(candidate.size()), &r, flags | DT_CALCRECT);
    return r.bottom - r.top;
  };
  if (needed(text) <= height) return text;
  const auto shortened = [&](std::size_t n) {
    std::wstring candidate = text.substr(0, n);
    // Never split a surrogate pair.
    if (!candidate.empty() && candidate.back() >= 0xD800 && candidate.back() <= 0xDBFF)
      candidate.pop_back();
    while (!candidate.empty() && (candidate.back() == L' ' || candidate.back() == L'\n'))
      candidate.pop_back();
    return candidate + L"…";
  };
  // The longest beginning of the text that fits with "…" behind it.
  std::size_t lo = 0, hi = text.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi + 1) / 2;
    if (needed(shortened(mid)) <= height) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return shortened(lo);
}

Skin::Skin() {
  if (const win::WindowDc screen(nullptr); screen)
    systemDpi_ = std::max(96, GetDeviceCaps(screen.Get(), LOGPIXELSY));
  dpi_ = systemDpi_;
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    base_ = ncm.lfMessageFont;
  } else {
    base_.lfHeight = -MulDiv(8, systemDpi_, 72);
    base_.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(base_.lfFaceName, UiFontFace().c_str(), LF_FACESIZE - 1);
  }
  MakeFonts();
}

void Skin::MakeFonts() {
  for (auto it = fonts_.begin(); it != fonts_.end(); ++it) {
    if (it->dpi == dpi_) {
      // Made before: it becomes the current one again.
      Fonts again = std::move(*it);
      fonts_.erase(it);
      fonts_.push_back(std::move(again));
      return;
    }
  }
  // The message font is given at the system dpi; the title is 2 design pixels larger, bold.
  // Without them Font() is the stock font and TitleFont() the text font.
  LOGFONTW lf = base_;
  lf.lfHeight = MulDiv(base_.lfHeight, dpi_, systemDpi_);
  Fonts fonts{dpi_, win::Font(CreateFontIndirectW(&lf)), {}};
  lf.lfWeight = FW_BOLD;
  lf.lfHeight = lf.lfHeight < 0 ? lf.lfHeight - Scale(2) : lf.lfHeight + Scale(2);
  fonts.title.Reset(CreateFontIndirectW(&lf));
  fonts_.push_back(std::move(fonts));
}

void Skin::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  MakeFonts();
}

HFONT Skin::Refont(HFONT font) const {
  if (!font) return nullptr;
  for (const Fonts& f : fonts_) {
    if (f.text.Get() == font) return Font();
    if (f.title.Get() == font) return TitleFont();
  }
  return nullptr;
}

Skin::~Skin() = default;

RECT Skin::Scale(const RECT& r96) const {
  return RECT{Scale(r96.left), Scale(r96.top), Scale(r96.right), Scale(r96.bottom)};
}

namespace {

HWND MakeControl(HWND parent, const wchar_t* cls, DWORD style, int id, const std::wstring& text,
                 const RECT& rect, HFONT font, Kind kind) {
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  HWND hwnd = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd) return nullptr;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  auto* state = new ControlState{kind};
  if (!SetPropW(hwnd, kStateProp, state) ||
      !win::Subclass<&ControlProc>(hwnd, kSubclassId, reinterpret_cast<DWORD_PTR>(state))) {
    RemovePropW(hwnd, kStateProp);
    delete state;
    DestroyWindow(hwnd);
    return nullptr;
  }
  return hwnd;
}

}  // namespace

HWND Skin::CreateLabel(HWND parent, int id, const std::wstring& text, const RECT& rect,
                       LabelKind kind) const {
  const bool title = kind == LabelKind::kBandTitle;
  return MakeControl(parent, L"STATIC", SS_OWNERDRAW | SS_NOPREFIX, id, text, rect,
                     title ? TitleFont() : Font(), title ? Kind::kBandTitle : Kind::kTextLabel);
}

HWND Skin::CreateButton(HWND parent, int id, const std::wstring& text, const RECT& rect,
                        ButtonKind kind) const {
  return MakeControl(parent, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, id, text, rect, Font(),
                     kind == ButtonKind::kPrimary ? Kind::kPrimaryButton
                                                  : Kind::kSecondaryButton);
}

HWND Skin::CreateCheckBox(HWND parent, int id, const std::wstring& text,
                          const RECT& rect) const {
  return MakeControl(parent, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, id, text, rect, Font(),
                     Kind::kCheckBox);
}

HWND Skin::CreateRadioButton(HWND parent, int id, const std::wstring& text, const RECT& rect,
                             bool first) const {
  return MakeControl(parent, L"BUTTON",
                     BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0), id, text, rect,
                     Font(), Kind::kRadio);
}

int Skin::TextHeight(const std::wstring& text, int width) const {
  const win::MemoryDc dc(nullptr);
  if (!dc) return 0;
  const win::Selection font(dc.Get(), Font());
  RECT r{0, 0, width, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, kWrapFlags | DT_CALCRECT);
  return r.bottom - r.top;
}

bool Skin::DrawItem(const DRAWITEMSTRUCT& item) const {
  const ControlState* state = StateOf(item.hwndItem);
  if (!state) return false;
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  if (width <= 0 || height <= 0) return true;

  // Drawn off screen first, so that nothing flickers.
  const win::OffscreenPainter painter(item.hDC, item.rcItem.left, item.rcItem.top, width, height);
  if (!painter.Ok()) return true;
  HDC dc = painter.Dc();
  const RECT all{0, 0, width, height};
  const std::wstring text = WindowText(item.hwndItem);
  const bool enabled = IsWindowEnabled(item.hwndItem) && !(item.itemState & ODS_DISABLED);
  const bool pressed = item.itemState & ODS_SELECTED;
  const bool focused = item.itemState & ODS_FOCUS;
  const bool hot = state->hot && enabled;
  const UINT caption = CaptionFlags(item.itemState & ODS_NOACCEL);
  const Palette& p = Colours();

  switch (state->kind) {
    case Kind::kTextLabel:
      Fill(dc, all, p.window);
      DrawTextIn(dc, text, all, Font(), enabled ? p.text : p.disabledText, kWrapFlags);
      break;

    case Kind::kBandTitle:
      Fill(dc, all, p.band);
      DrawTextIn(dc, text, all, TitleFont(), p.bandText, kLineFlags);
      break;

    case Kind::kPrimaryButton: {
      Fill(dc, all, p.window);
      const COLORREF face = !enabled ? p.disabledText
                            : pressed ? p.accentPressed
                            : hot     ? p.accentHot
                                      : p.accent;
      RoundBox(dc, all, Scale(kButtonRadius), face, enabled ? p.accentPressed : face);
      if (focused) RoundBox(dc, Inset(all, Scale(2)), Scale(kButtonRadius) - 1, face,
                            p.accentText, false);
      RECT label = all;
      if (pressed) OffsetRect(&label, 0, 1);
      DrawTextIn(dc, text, label, Font(), p.accentText, caption | DT_CENTER);
      break;
    }

    case Kind::kSecondaryButton: {
      Fill(dc, all, p.window);
      const COLORREF face = pressed ? p.buttonFacePressed
                            : hot   ? p.buttonFaceHot
                                    : p.buttonFace;
      const COLORREF border = enabled && (hot || focused || pressed) ? p.accent : p.buttonBorder;
      RoundBox(dc, all, Scale(kButtonRadius), face, border);
      if (focused) RoundBox(dc, Inset(all, 1), Scale(kButtonRadius) - 1, face, p.accent, false);
      RECT label = all;
      if (pressed) OffsetRect(&label, 0, 1);
      DrawTextIn(dc, text, label, Font(), enabled ? p.text : p.disabledText,
                 caption | DT_CENTER);
      break;
    }

    case Kind::kCheckBox:
    case Kind::kRadio:
      break;  // custom drawn
  }

  painter.Show();
  return true;
}

LRESULT Skin::CustomDraw(const NMCUSTOMDRAW& draw) const {
  HWND hwnd = draw.hdr.hwndFrom;
  const ControlState* state = StateOf(hwnd);
  if (!state || (state->kind != Kind::kCheckBox && state->kind != Kind::kRadio))
    return CDRF_DODEFAULT;
  // The whole control is painted at the first stage that comes (before erasing, or before
  // painting where the erase stage is not sent); the control draws nothing of its own.
  if (draw.dwDrawStage != CDDS_PREERASE && draw.dwDrawStage != CDDS_PREPAINT)
    return CDRF_DODEFAULT;
  RECT client;
  GetClientRect(hwnd, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return CDRF_SKIPDEFAULT;
  const win::OffscreenPainter painter(draw.hdc, 0, 0, width, height);
  if (!painter.Ok()) return CDRF_DODEFAULT;
  HDC dc = painter.Dc();
  const RECT all{0, 0, width, height};
  const std::wstring text = WindowText(hwnd);
  const LRESULT buttonState = SendMessageW(hwnd, BM_GETSTATE, 0, 0);
  const bool enabled = IsWindowEnabled(hwnd);
  const bool ticked = buttonState & BST_CHECKED;
  const bool pressed = buttonState & BST_PUSHED;
  const bool focused = GetFocus() == hwnd;
  // The ring around the text while the keyboard is used (always, where the system does not
  // hide focus rectangles after the mouse).
  HWND root = GetAncestor(hwnd, GA_ROOT);
  const bool focusRing =
      focused && !(root && (SendMessageW(root, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS));
  const bool hot = state->hot && enabled;
  const bool radio = state->kind == Kind::kRadio;
  const Palette& p = Colours();

  Fill(dc, all, p.window);
  const int size = std::min(Scale(kCheckBoxSize), height);
  const RECT box{0, (height - size) / 2, size, (height - size) / 2 + size};
  if (radio) {
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, !enabled ? p.disabledText : (ticked || hot || focused) ? p.accent : p.boxBorder);
    SetDCBrushColor(dc, pressed ? p.buttonFacePressed : hot ? p.buttonFaceHot : p.boxFace);
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    if (ticked) {
      const int in = Scale(4);
      const COLORREF dot = enabled ? p.accent : p.disabledText;
      SetDCPenColor(dc, dot);
      SetDCBrushColor(dc, dot);
      Ellipse(dc, box.left + in, box.top + in, box.right - in, box.bottom - in);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
  } else {
    COLORREF face = ticked    ? (hot ? p.accentHot : p.accent)
                    : pressed ? p.buttonFacePressed
                    : hot     ? p.buttonFaceHot
                              : p.boxFace;
    COLORREF border = ticked ? p.accentPressed : (hot || focused) ? p.accent : p.boxBorder;
    if (!enabled) {
      face = ticked ? p.disabledText : p.boxFace;
      border = p.disabledText;
    }
    RoundBox(dc, box, Scale(3), face, border);
    if (ticked) {
      const LOGBRUSH brush{BS_SOLID, p.accentText, 0};
      HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                              std::max(2, Scale(2)), &brush, 0, nullptr);
      HGDIOBJ oldPen = SelectObject(dc, pen);
      const POINT mark[3] = {{box.left + size * 24 / 100, box.top + size * 52 / 100},
                             {box.left + size * 43 / 100, box.top + size * 71 / 100},
                             {box.left + size * 77 / 100, box.top + size * 31 / 100}};
      Polyline(dc, mark, 3);
      SelectObject(dc, oldPen);
      DeleteObject(pen);
    }
  }
  const UINT caption = CaptionFlags(AccessKeysHidden(hwnd));
  RECT label{size + Scale(radio ? 6 : 7), 0, width, height};
  DrawTextIn(dc, text, label, Font(), enabled ? p.text : p.disabledText, caption);
  if (focusRing) {
    // A thin ring around the text marks the keyboard focus.
    HGDIOBJ oldFont = SelectObject(dc, Font());
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
              (caption & ~static_cast<UINT>(DT_END_ELLIPSIS)) | DT_CALCRECT);
    SelectObject(dc, oldFont);
    const RECT ring{label.left - Scale(3), 0,
                    std::min<LONG>(width, label.left + measured.right + Scale(4)), height};
    RoundBox(dc, ring, Scale(2), p.window, p.accent, false);
  }
  painter.Show();
  return CDRF_SKIPDEFAULT;
}

HRGN Skin::MakeOutline(int width, int height) const {
  // The right and bottom coordinates of a round-rectangle region are exclusive.
  const int diameter = 2 * Scale(kCornerRadius);
  return CreateRoundRectRgn(0, 0, width + 1, height + 1, diameter, diameter);
}

void Skin::ShapeWindow(HWND window) const {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  win::Region outline(MakeOutline(r.right - r.left, r.bottom - r.top));
  if (outline && SetWindowRgn(window, outline.Get(), TRUE)) outline.Release();  // the window's now
}

void Skin::PaintWindow(HWND window, HDC target, int bandHeight, wchar_t badge) const {
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;
  const win::OffscreenPainter painter(target, 0, 0, width, height);
  if (!painter.Ok()) return;
  HDC dc = painter.Dc();
  const Palette& p = Colours();

  Fill(dc, client, p.window);
  const win::Region outline(MakeOutline(width, height));
  SelectClipRgn(dc, outline.Get());
  Fill(dc, RECT{0, 0, width, bandHeight}, p.band);
  SelectClipRgn(dc, nullptr);

  if (badge) {
    const int d = Scale(20);
    const RECT circle{Scale(14), (bandHeight - d) / 2, Scale(14) + d, (bandHeight - d) / 2 + d};
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, p.bandText);
    SetDCBrushColor(dc, p.bandText);
    Ellipse(dc, circle.left, circle.top, circle.right, circle.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DrawTextIn(dc, std::wstring(1, badge), circle, TitleFont(), p.band,
               DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }

  if (outline) {
    SetDCBrushColor(dc, p.border);
    FrameRgn(dc, outline.Get(), static_cast<HBRUSH>(GetStockObject(DC_BRUSH)), 1, 1);
  }
  painter.Show();
}

void ApplyWindowDpi(HWND window, Skin& skin, const win::ChildLayout& layout, win::Dpi dpi,
                    SIZE design96, const RECT* suggested) {
  if (!window) return;
  skin.SetDpi(dpi.Value());
  layout.Apply(dpi, [&skin](HFONT old) { return skin.Refont(old); });
  const int width = dpi.Scale(design96.cx), height = dpi.Scale(design96.cy);
  int x, y;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else {
    RECT now;
    GetWindowRect(window, &now);
    x = (now.left + now.right - width) / 2;
    y = (now.top + now.bottom - height) / 2;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
      x = std::max<int>(info.rcWork.left, std::min<int>(x, info.rcWork.right - width));
      y = std::max<int>(info.rcWork.top, std::min<int>(y, info.rcWork.bottom - height));
    }
  }
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  skin.ShapeWindow(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool IsChecked(HWND checkBox) {
  return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND checkBox, bool checked) {
  SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ToggleCheckBox(HWND checkBox) { SetChecked(checkBox, !IsChecked(checkBox)); }

bool IsPushButton(HWND control) {
  const ControlState* state = StateOf(control);
  return state && (state->kind == Kind::kPrimaryButton || state->kind == Kind::kSecondaryButton);
}

bool IsHot(HWND control) {
  const ControlState* state = StateOf(control);
  return state && state->hot;
}

}  // namespace orv::skin
