#include "ui/UnitInfo.h"

#include <shellapi.h>
#include <winver.h>

#include <vector>

#include "ui/chrome.h"
#include "ui/prompter_win32.h"
#include "ui/skin.h"
#include "ui/win/accessible.h"

namespace orv {

// ---- version record -----------------------------------------------------------------------

void GetFileVersion(const std::wstring& path, int& major, int& minor, int& release, int& build) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return;  // no version record: the outputs stay as they are
  std::vector<BYTE> data(size);  // freed on every way out
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof *info)
    return;
  major = HIWORD(info->dwFileVersionMS);
  minor = LOWORD(info->dwFileVersionMS);
  release = HIWORD(info->dwFileVersionLS);
  build = LOWORD(info->dwFileVersionLS);
}

std::wstring FileVersionText(const std::wstring& path) {
  int major = 0, minor = 0, release = 0, build = 0;
  GetFileVersion(path, major, minor, release, build);
  return L"v" + std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." +
         std::to_wstring(release) + L"." + std::to_wstring(build);
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// ---- TFormInfo ----------------------------------------------------------------------------

namespace {

constexpr UINT_PTR kLinkSubclass = 0x4F49;
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr UINT kLine = DT_SINGLELINE | DT_TOP | DT_NOPREFIX;

// The links are the labels that report clicks.
bool IsLink(HWND label) { return GetWindowLongPtrW(label, GWL_STYLE) & SS_NOTIFY; }

void OpenThroughShell(const std::wstring& target) {
  ShellExecuteW(nullptr, L"open", target.c_str(), L"", L"", SW_SHOW);  // result not checked
}

}  // namespace

TFormInfo::TFormInfo() : TFormInfo(&OpenThroughShell) {}

TFormInfo::TFormInfo(Opener opener) : opener_(std::move(opener)) {}

TFormInfo::~TFormInfo() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HICON i : {smallIcon_, bigIcon_})
    if (i) DestroyIcon(i);
}

bool TFormInfo::Create(HINSTANCE instance) {
  if (hwnd_) return true;
  instance_ = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kInfoWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  // Always on top, without a taskbar button of its own, shown over a hidden main window too.
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kInfoWindowClass, L"Info über Orvalis",
                  WS_POPUP | WS_CLIPCHILDREN, 0, 0, kWidth, kHeight, nullptr, nullptr, instance,
                  this);
  if (!hwnd_) return false;
  MarkKeyboardDialog(hwnd_);  // Tab to the links, Enter and Escape
  return true;
}

HWND TFormInfo::Label(int id, const std::wstring& text, const RECT& rect, HFONT font,
                      COLORREF colour, UINT format, bool link) {
  RECT r = rect;
  if (link) {
    // A link is as wide as its text, so that only the text opens it.
    const win::WindowDc dc(hwnd_);
    const win::Selection selected(dc.Get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    r.right = r.left + size.cx + 4;
  }
  // Labels other than the links let clicks through to the box (no SS_NOTIFY), which hides it.
  // The links are tab stops.
  HWND label = CreateWindowExW(
      0, L"STATIC", text.c_str(),
      WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | (link ? SS_NOTIFY | WS_TABSTOP : 0), r.left, r.top,
      r.right - r.left, r.bottom - r.top, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (!label) return nullptr;
  win::Subclass<&TFormInfo::LinkProc>(label, kLinkSubclass, reinterpret_cast<DWORD_PTR>(this));
  surface_.AddText(label, {font, colour, format});
  // A screen reader reads a link, by its text.
  if (link)
    win::AnnotateAccessible(
        label, {ROLE_SYSTEM_LINK, text, [] { return long{STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE}; }});
  return label;
}

LRESULT CALLBACK TFormInfo::LinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                     DWORD_PTR) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (IsLink(hwnd)) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_GETDLGCODE: {
      // Enter and Space on a link open it; the dialog manager leaves them to the link.
      const auto* key = reinterpret_cast<const MSG*>(lp);
      if (IsLink(hwnd) && key && key->message == WM_KEYDOWN &&
          (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
        return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTMESSAGE;
      break;
    }
    case WM_KEYDOWN:
      if (IsLink(hwnd) && (wp == VK_RETURN || wp == VK_SPACE)) {
        if (!(lp & (1 << 30)))  // not held down
          SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                       reinterpret_cast<LPARAM>(hwnd));
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:  // the focus frame comes or goes
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void TFormInfo::FormCreate() {
  surface_.SetWindow(hwnd_);
  // Made at the design's places with the design's fonts, then brought to the dpi.
  font_.Reset(art::MakeFont(skin::UiFontFace().c_str(), -11, false));
  boldFont_.Reset(art::MakeFont(skin::UiFontFace().c_str(), -11, true));
  headingFont_.Reset(art::MakeFont(skin::UiFontFace().c_str(), -17, true));
  linkFont_.Reset(art::MakeFont(skin::UiFontFace().c_str(), -11, false, true));

  Label(kIdLabelInfo1, L"Orvalis", RECT{42, 9, 200, 25}, boldFont_.Get(), art::kTitleColour, kLine,
        false);
  Label(kIdLabelVersion, L"", RECT{271, 9, 340, 25}, font_.Get(), art::kTitleColour,
        kLine | DT_RIGHT, false);
  Label(kIdLabelInfo2, L"Der Aufgabenplaner für Windows", RECT{40, 50, 330, 72},
        headingFont_.Get(), art::kTitleColour, kLine, false);
  Label(kIdLabelInfo3, L"Produktseite", RECT{40, 92, 300, 106}, boldFont_.Get(), kWhite, kLine, false);
  Label(kIdLabelProductSite, kProductSite, RECT{40, 106, 300, 120}, linkFont_.Get(), art::kLinkColour,
        kLine, true);
  Label(kIdLabelInfo5, L"eMail (Support)", RECT{40, 182, 300, 196}, boldFont_.Get(), kWhite, kLine,
        false);
  Label(kIdLabelEmail, kSupportEmail, RECT{40, 196, 300, 210}, linkFont_.Get(), art::kLinkColour, kLine,
        true);
  HWND icon = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 304, 198,
                              32, 32, hwnd_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdImageIcon)),
                              instance_, nullptr);
  if (icon) {
    win::Subclass<&TFormInfo::LinkProc>(icon, kLinkSubclass, reinterpret_cast<DWORD_PTR>(this));
    surface_.AddIcon(icon, nullptr, 32);
  }
  layout_.Capture(hwnd_, win::Dpi());
  dpi_ = win::Dpi(0);  // none yet: ApplyDpi makes everything
  ApplyDpi(win::Dpi::OfSystem());

  // The version of the running executable.
  SetWindowTextW(Control(kIdLabelVersion), FileVersionText(ExecutablePath()).c_str());
}

LRESULT TFormInfo::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const win::PaintDc dc(hwnd_);
      if (dc) surface_.Paint(dc.Get(), dc.Area(), dc.Area().left, dc.Area().top);
      return 0;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (surface_.Owns(item.hwndItem)) {
        surface_.PaintChild(item.hwndItem, item.hDC);
        // The link with the keyboard focus, while the keyboard is used: its text on its
        // colour, in the box's dark blue (in high contrast, the window's colour).
        if (item.hwndItem == GetFocus() &&
            !(SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
          const win::Brush fill(CreateSolidBrush(surface_.Colour(item.hwndItem)));
          if (fill) FillRect(item.hDC, &item.rcItem, fill.Get());
          const std::wstring text = art::WindowText(item.hwndItem);
          RECT r = item.rcItem;
          const win::Selection selected(item.hDC, linkFont_.Get());
          SetBkMode(item.hDC, TRANSPARENT);
          SetTextColor(item.hDC, skin::HighContrast() ? skin::Colours().window : art::kBandBottom);
          DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r, kLine);
        }
        return TRUE;
      }
      break;
    }
    case kMsgPreviewKey: {
      // A key: from now on the focus frame and the access keys show.
      const auto* key = reinterpret_cast<const MSG*>(lp);
      if (key && (key->message == WM_KEYDOWN || key->message == WM_SYSKEYDOWN) &&
          (SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & (UISF_HIDEFOCUS | UISF_HIDEACCEL)))
        SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                     0);
      return 0;  // the dialog manager goes on with it
    }
    case WM_COMMAND:
      if (HIWORD(wp) == STN_CLICKED) {
        if (LOWORD(wp) == kIdLabelProductSite) LabelProductSiteClick();
        if (LOWORD(wp) == kIdLabelEmail) LabelEmailClick();
        // Enter and Escape, passed on by the dialog manager (BN_CLICKED, which is also 0).
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) CoolFormInfoClick();
      }
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      return 0;
    case WM_LBUTTONUP:
      // A click anywhere but on a link: pressed and released on the box.
      if (pressed_) {
        pressed_ = false;
        CoolFormInfoClick();
      }
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE || wp == VK_RETURN) {
        CoolFormInfoClick();
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      ApplyDpi(win::Dpi(LOWORD(wp)));
      const auto* r = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SYSCOLORCHANGE:
      skin::RefreshColours();
      ApplyDpi(dpi_);
      break;
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETHIGHCONTRAST) {
        skin::RefreshColours();
        ApplyDpi(dpi_);
      }
      break;
    case WM_CLOSE:  // Alt+F4: hidden like a click, kept for the next "Info"
      CoolFormInfoClick();
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void TFormInfo::ApplyDpi(win::Dpi dpi) {
  dpi_ = dpi;
  const auto remake = [&](win::Font& font, int height, bool bold, bool underline) {
    win::Font made(art::MakeFont(skin::UiFontFace().c_str(), dpi.Scale(height), bold, underline));
    surface_.ReplaceFont(font.Get(), made.Get());
    font = std::move(made);
  };
  remake(font_, -11, false, false);
  remake(boldFont_, -11, true, false);
  remake(headingFont_, -17, true, false);
  remake(linkFont_, -11, false, true);
  for (HICON i : {smallIcon_, bigIcon_})
    if (i) DestroyIcon(i);
  const int small = win::SystemMetric(SM_CXSMICON, dpi), big = dpi.Scale(32);
  smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, small, small, 0));
  bigIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, big, big, 0));
  surface_.SetIcon(Control(kIdImageIcon), bigIcon_, big);

  // The texts' colours: the design's, or the system's in high contrast.
  const bool plain = skin::HighContrast();
  const COLORREF text = plain ? skin::Colours().text : kWhite;
  const COLORREF link = plain ? skin::Colours().accentHot : art::kLinkColour;
  for (int id : {kIdLabelInfo1, kIdLabelVersion, kIdLabelInfo2})
    surface_.SetColour(Control(id), art::TitleColour());
  for (int id : {kIdLabelInfo3, kIdLabelInfo5}) surface_.SetColour(Control(id), text);
  for (int id : {kIdLabelProductSite, kIdLabelEmail}) surface_.SetColour(Control(id), link);

  std::vector<RECT> shape;
  for (const RECT& r : kInfoWindowShape) shape.push_back(dpi.Scale(r));
  ApplyShape(hwnd_, StoreShape(shape));
  skinBitmap_ = std::make_unique<art::SkinBitmap>(dpi.Scale(kWidth), dpi.Scale(kHeight));
  surface_.SetBackground(nullptr);
  if (skinBitmap_->Ok()) {
    art::PaintInfoSkin(skinBitmap_->Dc(), kInfoWindowShape, 9, smallIcon_, dpi);
    surface_.SetBackground(skinBitmap_->Dc());
  }
  layout_.Apply(dpi, nullptr);
  SetWindowPos(hwnd_, nullptr, 0, 0, dpi.Scale(kWidth), dpi.Scale(kHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TFormInfo::Show(HWND over, win::Dpi dpi) {
  if (!hwnd_) return;
  if (!IsWindowVisible(hwnd_)) {
    // Centred on the work area of the monitor of the window it opens over, at that window's
    // scale.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = over && IsWindow(over)
                           ? MonitorFromWindow(over, MONITOR_DEFAULTTOPRIMARY)
                           : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
    ApplyDpi(dpi);
    const int width = dpi_.Scale(kWidth), height = dpi_.Scale(kHeight);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(hwnd_, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    pressed_ = false;
  }
  // Never twice: a shown box only comes to the front.
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd_);
}

void TFormInfo::CoolFormInfoClick() {
  pressed_ = false;
  if (hwnd_ && IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

void TFormInfo::LabelProductSiteClick() {
  if (opener_) opener_(kProductSite);
}

void TFormInfo::LabelEmailClick() {
  if (opener_) opener_(std::wstring(L"mailto:") + kSupportEmail);
}

}  // namespace orv
