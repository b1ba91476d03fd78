#include "ui/chrome.h"

#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "ui/UnitInfo.h"
#include "ui/prompter_win32.h"
#include "ui/skin.h"
#include "ui/chrome_parts.h"
#include "ui/win/accessible.h"
#include "ui/win/window.h"

namespace orv {

using namespace chrome_parts;

// ---- MainChrome ---------------------------------------------------------------------------

MainChrome::MainChrome() = default;

MainChrome::~MainChrome() {
  RemoveTrayIcon();
  for (HMENU m : {popupMenuTray_, popupMenuProgramm_, popupMenuOptionen_, popupMenuHilfe_})
    if (m) DestroyMenu(m);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

HWND MainChrome::Control(int id) const { return form_ ? GetDlgItem(form_, id) : nullptr; }

COLORREF MainChrome::LabelColour(int id) const { return surface_.Colour(Control(id)); }

HWND MainChrome::MakeControl(int id, const wchar_t* text, const RECT& rect, bool notify) {
  HWND hwnd = CreateWindowExW(0, L"STATIC", text,
                              WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | (notify ? SS_NOTIFY : 0),
                              rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                              form_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                              nullptr);
  if (hwnd)
    win::Subclass<&MainChrome::ControlProc>(hwnd, kChromeSubclass,
                                            reinterpret_cast<DWORD_PTR>(this));
  return hwnd;
}

void MainChrome::MakeTooltip(HWND tool, const wchar_t* text) {
  if (!tooltip_ || !tool) return;
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = form_;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

bool MainChrome::Create(HINSTANCE instance, HWND form) {
  if (form_) return true;
  instance_ = instance;
  form_ = form;
  dpi_ = win::Dpi::OfWindow(form);
  surface_.SetWindow(form);
  MakeArtwork();

  // The title with its shadow, the menu bar, the image buttons and their hot areas. What lies
  // later in this list lies above.
  constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  HWND shadow = MakeControl(kIdLabelWindowTitleShadow, kTitleText, RECT{52, 32, 166, 48}, true);
  surface_.AddText(shadow, {boldFont_.Get(), art::TitleShadowColour(), kLine | DT_LEFT});
  HWND title = MakeControl(kIdLabelWindowTitle, kTitleText, RECT{51, 31, 165, 47}, true);
  surface_.AddText(title, {boldFont_.Get(), art::TitleColour(), kLine | DT_LEFT});
  const struct {
    int id;
    const wchar_t* text;
    RECT rect;
  } labels[] = {{kIdLabelMenuProgramm, L"&Programm", {187, 34, 257, 50}},
                {kIdLabelMenuOptionen, L"&Optionen", {264, 34, 330, 50}},
                {kIdLabelMenuHilfe, L"&Hilfe", {336, 34, 380, 50}}};
  for (const auto& l : labels) {
    HWND label = MakeControl(l.id, l.text, l.rect, true);
    // The access key underlined while the keyboard is used (the surface hides it otherwise).
    surface_.AddText(label, {font_.Get(), art::MenuLabelColour(),
                             (kLine & ~static_cast<UINT>(DT_NOPREFIX)) | DT_CENTER});
    win::AnnotateAccessible(label, ROLE_SYSTEM_MENUITEM, [] { return long{STATE_SYSTEM_HASPOPUP}; });
  }
  surface_.AddImage(MakeControl(kIdImageMinimize, L"", RECT{517, 32, 532, 46}, false),
                    &imageMinimize_);
  surface_.AddImage(MakeControl(kIdImageHelp, L"", RECT{534, 32, 549, 46}, false), &imageHelp_);
  HWND minimizeMove = MakeControl(kIdImageMinimizeMove, L"", RECT{517, 32, 532, 47}, true);
  HWND helpMove = MakeControl(kIdImageHelpMove, L"", RECT{534, 32, 549, 47}, true);
  surface_.AddArea(minimizeMove);
  surface_.AddArea(helpMove);
  // Screen readers name the pictures and the buttons over them.
  win::AnnotateAccessible(minimizeMove, {ROLE_SYSTEM_PUSHBUTTON, L"Minimieren", {}});
  win::AnnotateAccessible(helpMove, {ROLE_SYSTEM_PUSHBUTTON, L"Hilfe", {}});
  win::AnnotateAccessible(Control(kIdImageMinimize), {ROLE_SYSTEM_GRAPHIC, L"Minimieren", {}});
  win::AnnotateAccessible(Control(kIdImageHelp), {ROLE_SYSTEM_GRAPHIC, L"Hilfe", {}});
  for (HWND top : {shadow, title, minimizeMove, helpMove})
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // Flat tooltips: our colours, no theme.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr, instance_, nullptr);
  if (tooltip_) {
    SetWindowTheme(tooltip_, L"", L"");
    SendMessageW(tooltip_, TTM_SETTIPBKCOLOR, skin::Colours().window, 0);
    SendMessageW(tooltip_, TTM_SETTIPTEXTCOLOR, skin::Colours().text, 0);
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    MakeTooltip(minimizeMove, L"Minimieren");
    MakeTooltip(helpMove, L"Hilfe");
  }

  popupMenuTray_ = BuildPopupMenu(kPopupMenuTray);
  popupMenuProgramm_ = BuildPopupMenu(kPopupMenuProgramm);
  popupMenuOptionen_ = BuildPopupMenu(kPopupMenuOptionen);
  popupMenuHilfe_ = BuildPopupMenu(kPopupMenuHilfe);

  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  AddTrayIcon();
  return true;
}

void MainChrome::MakeArtwork() {
  // The program icon at the small-icon size of the dpi: from the icon's own sizes, not stretched.
  if (smallIcon_) DestroyIcon(smallIcon_);
  const int iconSize = win::SystemMetric(SM_CXSMICON, dpi_);
  smallIcon_ = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, iconSize, iconSize, 0));
  const HFONT oldFont = font_.Get(), oldBold = boldFont_.Get();
  win::Font font(art::MakeFont(skin::UiFontFace().c_str(), dpi_.Scale(-11), false));
  win::Font bold(art::MakeFont(skin::UiFontFace().c_str(), dpi_.Scale(-11), true));
  surface_.ReplaceFont(oldFont, font.Get());
  surface_.ReplaceFont(oldBold, bold.Get());
  if (tooltip_) SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  font_ = std::move(font);
  boldFont_ = std::move(bold);
  listBoldFont_.Reset();  // made again from the list's font when it is drawn next

  // Shape and skin.
  std::vector<RECT> shape;
  for (const RECT& r : kMainWindowShape) shape.push_back(dpi_.Scale(r));
  ApplyShape(form_, StoreShape(shape));
  skinBitmap_ = std::make_unique<art::SkinBitmap>(dpi_.Scale(570), dpi_.Scale(427));
  surface_.SetBackground(nullptr);
  if (skinBitmap_->Ok()) {
    RECT frame = kListViewRect;
    InflateRect(&frame, 1, 1);
    art::PaintMainSkin(skinBitmap_->Dc(), kMainWindowShape, 9, smallIcon_, frame, dpi_);
    surface_.SetBackground(skinBitmap_->Dc());
  }
  imageMinimize_ = art::MakeBandButton(art::BandButton::kMinimize, false, dpi_);
  imageHelp_ = art::MakeBandButton(art::BandButton::kHelp, false, dpi_);
  menuImages_.clear();
  for (int i = 0; i < art::kMenuImageCount; ++i) menuImages_.push_back(art::MakeMenuImage(i, dpi_));
  menuImages_.push_back(art::MakeCheckMark(dpi_));
}

void MainChrome::SetDpi(win::Dpi dpi) {
  if (!form_ || dpi == dpi_) return;
  dpi_ = dpi;
  MakeArtwork();
  if (trayShown_) AddTrayIcon();  // the icon of the new size
  InvalidateRect(form_, nullptr, TRUE);
}

void MainChrome::ColoursChanged() {
  if (!form_) return;
  MakeArtwork();
  for (int id : {kIdLabelWindowTitle, kIdLabelWindowTitleShadow, kIdLabelMenuProgramm,
                 kIdLabelMenuOptionen, kIdLabelMenuHilfe}) {
    const COLORREF colour = id == kIdLabelWindowTitle         ? art::TitleColour()
                            : id == kIdLabelWindowTitleShadow ? art::TitleShadowColour()
                                                              : art::MenuLabelColour();
    surface_.SetColour(Control(id), colour);
  }
  if (tooltip_) {
    SendMessageW(tooltip_, TTM_SETTIPBKCOLOR, skin::Colours().window, 0);
    SendMessageW(tooltip_, TTM_SETTIPTEXTCOLOR, skin::Colours().text, 0);
  }
  RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}

void MainChrome::SetStartOptionChecks(bool showWindow) {
  if (!popupMenuOptionen_) return;
  CheckMenuItem(popupMenuOptionen_, kCmdPopupMenuOptionenFensterAnzeigen,
                MF_BYCOMMAND | (showWindow ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(popupMenuOptionen_, kCmdPopupMenuOptionenMinimiertStarten,
                MF_BYCOMMAND | (showWindow ? MF_UNCHECKED : MF_CHECKED));
}

bool MainChrome::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (!form_) return false;
  result = 0;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;  // WM_PAINT covers everything
      return true;
    case WM_PAINT: {
      const win::PaintDc dc(form_);
      if (dc) surface_.Paint(dc.Get(), dc.Area(), dc.Area().left, dc.Area().top);
      return true;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item.CtlType == ODT_MENU) {
        DrawMenuItem(item);
      } else if (item.CtlType == ODT_STATIC && surface_.Owns(item.hwndItem)) {
        surface_.PaintChild(item.hwndItem, item.hDC);
      } else {
        return false;
      }
      result = TRUE;
      return true;
    }
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (item.CtlType != ODT_MENU) return false;
      MeasureMenuItem(item);
      result = TRUE;
      return true;
    }
    case WM_MENUCHAR:
      if (!(HIWORD(wp) & MF_POPUP)) return false;
      result = MenuChar(static_cast<wchar_t>(LOWORD(wp)), reinterpret_cast<HMENU>(lp));
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      CoolFormMainMouseDown(msg, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return true;
    case WM_MOUSEMOVE:
      CoolFormMainMouseMove();
      return true;
    case WM_SIZE:
      // Minimised: only the tray icon stays; the window and its taskbar button go.
      if (wp == SIZE_MINIMIZED) ShowWindow(form_, SW_HIDE);
      return false;
    case WM_SYSCHAR:
      // Alt and the first letter opens a menu of the menu bar.
      switch (std::towlower(static_cast<wint_t>(wp))) {
        case L'p':
          TrackMenuBar(0, true);
          return true;
        case L'o':
          TrackMenuBar(1, true);
          return true;
        case L'h':
          TrackMenuBar(2, true);
          return true;
      }
      return false;
    case WM_COMMAND:
      return OnCommand(LOWORD(wp), HIWORD(wp));
    case WM_MENUSELECT:
      if (HIWORD(wp) == 0xFFFF && !lp) {
        selectedMenu_ = nullptr;  // the menu closed
      } else {
        selectedMenu_ = reinterpret_cast<HMENU>(lp);
        selectedOpensSubmenu_ = HIWORD(wp) & MF_POPUP;
      }
      return false;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) altAlone_ = false;  // Alt+Tab: its Alt opens no menu
      return false;
    case WM_UPDATEUISTATE:  // the menu labels' underlines come or go
      for (int id : {kIdLabelMenuProgramm, kIdLabelMenuOptionen, kIdLabelMenuHilfe})
        InvalidateRect(Control(id), nullptr, FALSE);
      return false;
    case kTrayMessage:
      TrayIconMessage(wp, lp);
      return true;
    case WM_DESTROY:
      RemoveTrayIcon();
      return false;  // the form goes on with its own handling
  }
  if (taskbarCreated_ && msg == taskbarCreated_) {
    AddTrayIcon();  // the shell has been restarted
    return true;
  }
  return false;
}

bool MainChrome::OnCommand(UINT id, UINT code) {
  switch (id) {
    case kIdLabelMenuProgramm:
      if (code == STN_CLICKED) LabelMenuProgrammClick();
      return true;
    case kIdLabelMenuOptionen:
      if (code == STN_CLICKED) LabelMenuOptionenClick();
      return true;
    case kIdLabelMenuHilfe:
      if (code == STN_CLICKED) LabelMenuHilfeClick();
      return true;
    case kIdImageMinimizeMove:
      if (code == STN_CLICKED) ImageMinimizeMoveClick();
      return true;
    case kIdImageHelpMove:
      if (code == STN_CLICKED) PopupMenuHilfeHilfeClick();
      return true;
    case kIdLabelWindowTitle:
    case kIdLabelWindowTitleShadow:
    case kIdImageMinimize:
    case kIdImageHelp:
      return true;
    case kCmdPopupMenuTrayAnzeigen:
      PopupMenuTrayAnzeigenClick();
      return true;
    case kCmdPopupMenuTrayMinimieren:
    case kCmdPopupMenuProgrammMinimieren:
      PopupMenuTrayMinimierenClick();
      return true;
    case kCmdPopupMenuTrayInfo:
    case kCmdPopupMenuHilfeInfo:
      PopupMenuTrayInfoClick();
      return true;
    case kCmdPopupMenuHilfeHilfe:
      PopupMenuHilfeHilfeClick();
      return true;
  }
  return false;  // the start option and "Beenden" belong to the form
}

// ---- dragging and the image buttons ------------------------------------------------------

void MainChrome::LabelWindowTitleMouseDown(UINT buttonMessage) {
  if (buttonMessage != WM_LBUTTONDOWN) return;  // other buttons do nothing
  // Move the window as if its caption had been grabbed: SC_MOVE with the caption hit code.
  ReleaseCapture();
  SendMessageW(form_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void MainChrome::CoolFormMainMouseDown(UINT buttonMessage, POINT client) {
  // Only the bare skin drags; a press on a label of the list page (the clock) does nothing.
  HWND hit = ChildWindowFromPointEx(form_, client, CWP_SKIPINVISIBLE);
  if (hit && hit != form_) return;
  LabelWindowTitleMouseDown(buttonMessage);
}

void MainChrome::CoolFormMainMouseMove() {
  for (int id : {kIdImageMinimize, kIdImageHelp}) {
    HWND image = Control(id);
    if (image && !IsWindowVisible(image)) {
      ShowWindow(image, SW_SHOW);
      InvalidateRect(Control(id == kIdImageMinimize ? kIdImageMinimizeMove : kIdImageHelpMove),
                     nullptr, FALSE);
    }
  }
}

void MainChrome::ImageMinimizeMoveMouseMove() {
  HWND image = Control(kIdImageMinimize);
  if (image && IsWindowVisible(image)) {
    ShowWindow(image, SW_HIDE);  // the skin's highlighted button shows through
    InvalidateRect(Control(kIdImageMinimizeMove), nullptr, FALSE);
  }
}

void MainChrome::ImageHelpMoveMouseMove() {
  HWND image = Control(kIdImageHelp);
  if (image && IsWindowVisible(image)) {
    ShowWindow(image, SW_HIDE);
    InvalidateRect(Control(kIdImageHelpMove), nullptr, FALSE);
  }
}

void MainChrome::ImageMinimizeMoveClick() {
  CoolFormMainMouseMove();
  Minimize();
}

void MainChrome::Minimize() { SendMessageW(form_, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void MainChrome::ShowMainWindow() {
  ShowWindow(form_, IsIconic(form_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(form_);
  BringWindowToTop(form_);
}

void MainChrome::Report(const std::wstring& text) {
  if (report_) {
    report_(text);
    return;
  }
  MessageBoxW(form_, text.c_str(), L"Orvalis", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

// ---- the task list's bold names -----------------------------------------------------------

LRESULT MainChrome::ListViewTasksCustomDraw(NMLVCUSTOMDRAW& draw) {
  HWND list = draw.nmcd.hdr.hwndFrom;
  auto regular = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
  if (!listBoldFont_) {
    LOGFONTW lf{};
    if (GetObjectW(regular ? static_cast<HGDIOBJ>(regular) : GetStockObject(DEFAULT_GUI_FONT),
                   sizeof lf, &lf)) {
      lf.lfWeight = FW_BOLD;
      listBoldFont_.Reset(CreateFontIndirectW(&lf));
    }
  }
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:  // ListViewTasksCustomDrawItem: the row starts bold
      if (listBoldFont_) SelectObject(draw.nmcd.hdc, listBoldFont_.Get());
      return CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:  // ListViewTasksCustomDrawSubItem
      if (draw.iSubItem == 0) {
        if (listBoldFont_) SelectObject(draw.nmcd.hdc, listBoldFont_.Get());
      } else if (regular) {
        SelectObject(draw.nmcd.hdc, regular);
      }
      return CDRF_NEWFONT;
  }
  return CDRF_DODEFAULT;
}

// ---- the chrome's controls ----------------------------------------------------------------

LRESULT CALLBACK MainChrome::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR ref) {
  return reinterpret_cast<MainChrome*>(ref)->ControlMessage(hwnd, msg, wp, lp);
}

LRESULT MainChrome::ControlMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const int id = GetDlgCtrlID(hwnd);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_DRAWITEM paints every pixel
    case WM_GETDLGCODE:
      // The menu labels' access keys open the menus (PreviewKey), not the next control.
      if (IsMenuLabel(id)) return 0;
      break;
    case WM_SETCURSOR:
      if (IsMenuLabel(id) || IsHotArea(id)) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (IsMenuLabel(id) && hotLabel_ != id) LabelMenuMouseEnter(id);
      if (IsHotArea(id)) {
        if (id == kIdImageMinimizeMove) ImageMinimizeMoveMouseMove();
        if (id == kIdImageHelpMove) ImageHelpMoveMouseMove();
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
      }
      break;
    case WM_MOUSELEAVE:
      if (IsMenuLabel(id)) LabelMenuMouseLeave(id);
      if (IsHotArea(id)) CoolFormMainMouseMove();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (IsTitleLabel(id)) {
        LabelWindowTitleMouseDown(msg);
        return 0;
      }
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace orv
