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
#include "ui/win/window.h"

namespace orv {

// ---- the window shape ---------------------------------------------------------------------

std::vector<BYTE> StoreShape(std::span<const RECT> rects) {
  RGNDATAHEADER header{};
  header.dwSize = sizeof header;
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rects.size());
  header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  if (!rects.empty()) {
    header.rcBound = rects.front();
    for (const RECT& r : rects) {
      header.rcBound.left = std::min(header.rcBound.left, r.left);
      header.rcBound.top = std::min(header.rcBound.top, r.top);
      header.rcBound.right = std::max(header.rcBound.right, r.right);
      header.rcBound.bottom = std::max(header.rcBound.bottom, r.bottom);
    }
  }
  const DWORD bytes = sizeof header + header.nRgnSize;
  std::vector<BYTE> stored(sizeof(DWORD) + bytes);
  std::memcpy(stored.data(), &bytes, sizeof bytes);
  std::memcpy(stored.data() + sizeof bytes, &header, sizeof header);
  if (!rects.empty())
    std::memcpy(stored.data() + sizeof bytes + sizeof header, rects.data(), header.nRgnSize);
  return stored;
}

HRGN LoadShape(const std::vector<BYTE>& stored) {
  DWORD bytes = 0;
  RGNDATAHEADER header{};
  if (stored.size() < sizeof bytes + sizeof header) return nullptr;
  std::memcpy(&bytes, stored.data(), sizeof bytes);
  std::memcpy(&header, stored.data() + sizeof bytes, sizeof header);
  if (bytes != stored.size() - sizeof bytes || header.dwSize != sizeof header ||
      header.iType != RDH_RECTANGLES ||
      static_cast<unsigned long long>(header.nCount) * sizeof(RECT) > bytes - sizeof header)
    return nullptr;
  // The data may not be aligned inside the vector: copy it into DWORD-aligned memory.
  std::vector<DWORD> aligned((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(aligned.data(), stored.data() + sizeof bytes, bytes);
  return ExtCreateRegion(nullptr, bytes, reinterpret_cast<const RGNDATA*>(aligned.data()));
}

bool ApplyShape(HWND window, const std::vector<BYTE>& stored) {
  win::Region region(LoadShape(stored));
  if (!region) return false;
  if (!SetWindowRgn(window, region.Get(), TRUE)) return false;
  region.Release();  // the window owns the region now
  return true;
}

std::vector<RECT> RegionRects(HRGN region) {
  const DWORD size = region ? GetRegionData(region, 0, nullptr) : 0;
  if (size < sizeof(RGNDATAHEADER)) return {};
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, size, data) != size) return {};
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

// ---- the menus ----------------------------------------------------------------------------

namespace {

constexpr MenuItemSpec kSeparator{nullptr, 0, -1, nullptr, false};

constexpr MenuItemSpec kTrayItems[] = {
    {L"&Anzeigen", kCmdPopupMenuTrayAnzeigen, art::kImageAnzeigen, nullptr, false},
    {L"&Minimieren", kCmdPopupMenuTrayMinimieren, art::kImageMinimieren, nullptr, false},
    kSeparator,
    {L"B&eenden", kCmdPopupMenuTrayBeenden, art::kImageBeenden, nullptr, false},
    kSeparator,
    {L"&Info", kCmdPopupMenuTrayInfo, art::kImageInfo, nullptr, false},
};
constexpr MenuItemSpec kProgrammItems[] = {
    {L"&Minimieren", kCmdPopupMenuProgrammMinimieren, art::kImageMinimieren, nullptr, false},
    kSeparator,
    {L"&Beenden", kCmdPopupMenuProgrammBeenden, art::kImageBeenden, nullptr, false},
};
constexpr MenuItemSpec kAnzeigeItems[] = {
    {L"&Fenster anzeigen", kCmdPopupMenuOptionenFensterAnzeigen, -1, nullptr, true},
    {L"&Minimiert starten", kCmdPopupMenuOptionenMinimiertStarten, -1, nullptr, false},
};
constexpr MenuItemSpec kHilfeItems[] = {
    {L"&Hilfe", kCmdPopupMenuHilfeHilfe, art::kImageHilfe, nullptr, false},
    kSeparator,
    {L"&Info", kCmdPopupMenuHilfeInfo, art::kImageInfo, nullptr, false},
};

}  // namespace

const MenuSpec kPopupMenuOptionenAnzeige{L"PopupMenuOptionenAnzeige", kAnzeigeItems};
namespace {
const MenuItemSpec kOptionenItems[] = {
    {L"&Anzeige", 0, art::kImageAnzeige, &kPopupMenuOptionenAnzeige, false},
};
}  // namespace
const MenuSpec kPopupMenuTray{L"PopupMenuTray", kTrayItems};
const MenuSpec kPopupMenuProgramm{L"PopupMenuProgramm", kProgrammItems};
const MenuSpec kPopupMenuOptionen{L"PopupMenuOptionen", kOptionenItems};
const MenuSpec kPopupMenuHilfe{L"PopupMenuHilfe", kHilfeItems};

HMENU BuildPopupMenu(const MenuSpec& spec) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  UINT position = 0;
  for (const MenuItemSpec& item : spec.items) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_STATE;
    mii.fType = MFT_OWNERDRAW | (item.text ? 0u : MFT_SEPARATOR);
    mii.fState = item.checked ? MFS_CHECKED : MFS_UNCHECKED;
    mii.wID = item.command;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
    if (item.text) {
      mii.fMask |= MIIM_STRING;
      mii.dwTypeData = const_cast<wchar_t*>(item.text);
    }
    if (item.submenu) {
      mii.fMask |= MIIM_SUBMENU;
      mii.hSubMenu = BuildPopupMenu(*item.submenu);
    }
    InsertMenuItemW(menu, position++, TRUE, &mii);
  }
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_BACKGROUND;
  info.hbrBack = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  SetMenuInfo(menu, &info);
  return menu;
}

std::wstring HelpFilePath() {
  std::wstring path = ExecutablePath();
  const std::size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + L"help.chm";
}

// ---- MainChrome ---------------------------------------------------------------------------

namespace {

constexpr UINT_PTR kChromeSubclass = 0x4F43;
constexpr wchar_t kTitleText[] = L"Orvalis v1.1";
constexpr int kMenuImageColumn = 26;
constexpr int kMenuItemHeight = 22;
constexpr int kMenuSeparatorHeight = 7;

bool IsMenuLabel(int id) {
  return id == kIdLabelMenuProgramm || id == kIdLabelMenuOptionen || id == kIdLabelMenuHilfe;
}
bool IsHotArea(int id) { return id == kIdImageMinimizeMove || id == kIdImageHelpMove; }
bool IsTitleLabel(int id) { return id == kIdLabelWindowTitle || id == kIdLabelWindowTitleShadow; }

const MenuItemSpec* SpecOf(ULONG_PTR data) { return reinterpret_cast<const MenuItemSpec*>(data); }

}  // namespace

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
  surface_.SetWindow(form);
  smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
  font_.Reset(art::MakeFont(L"Tahoma", -11, false));
  boldFont_.Reset(art::MakeFont(L"Tahoma", -11, true));

  // Shape and skin.
  ApplyShape(form, StoreShape(kMainWindowShape));
  skinBitmap_ = std::make_unique<art::SkinBitmap>(570, 427);
  if (skinBitmap_->Ok()) {
    RECT frame = kListViewRect;
    InflateRect(&frame, 1, 1);
    art::PaintMainSkin(skinBitmap_->Dc(), kMainWindowShape, 9, smallIcon_, frame);
    surface_.SetBackground(skinBitmap_->Dc());
  }
  imageMinimize_ = art::MakeBandButton(art::BandButton::kMinimize, false);
  imageHelp_ = art::MakeBandButton(art::BandButton::kHelp, false);
  for (int i = 0; i < art::kMenuImageCount; ++i) menuImages_.push_back(art::MakeMenuImage(i));
  menuImages_.push_back(art::MakeCheckMark());

  // The title with its shadow, the menu bar, the image buttons and their hot areas. What lies
  // later in this list lies above.
  constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  HWND shadow = MakeControl(kIdLabelWindowTitleShadow, kTitleText, RECT{52, 32, 166, 48}, true);
  surface_.AddText(shadow, {boldFont_.Get(), art::kTitleShadowColour, kLine | DT_LEFT});
  HWND title = MakeControl(kIdLabelWindowTitle, kTitleText, RECT{51, 31, 165, 47}, true);
  surface_.AddText(title, {boldFont_.Get(), art::kTitleColour, kLine | DT_LEFT});
  const struct {
    int id;
    const wchar_t* text;
    RECT rect;
  } labels[] = {{kIdLabelMenuProgramm, L"Programm", {187, 34, 257, 50}},
                {kIdLabelMenuOptionen, L"Optionen", {264, 34, 330, 50}},
                {kIdLabelMenuHilfe, L"Hilfe", {336, 34, 380, 50}}};
  for (const auto& l : labels) {
    HWND label = MakeControl(l.id, l.text, l.rect, true);
    surface_.AddText(label, {font_.Get(), art::kMenuLabelColour, kLine | DT_CENTER});
  }
  surface_.AddImage(MakeControl(kIdImageMinimize, L"", RECT{517, 32, 532, 46}, false),
                    &imageMinimize_);
  surface_.AddImage(MakeControl(kIdImageHelp, L"", RECT{534, 32, 549, 46}, false), &imageHelp_);
  HWND minimizeMove = MakeControl(kIdImageMinimizeMove, L"", RECT{517, 32, 532, 47}, true);
  HWND helpMove = MakeControl(kIdImageHelpMove, L"", RECT{534, 32, 549, 47}, true);
  surface_.AddArea(minimizeMove);
  surface_.AddArea(helpMove);
  for (HWND top : {shadow, title, minimizeMove, helpMove})
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // Flat tooltips: our colours, no theme.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr, instance_, nullptr);
  if (tooltip_) {
    SetWindowTheme(tooltip_, L"", L"");
    SendMessageW(tooltip_, TTM_SETTIPBKCOLOR, RGB(0xFF, 0xFF, 0xFF), 0);
    SendMessageW(tooltip_, TTM_SETTIPTEXTCOLOR, skin::kPalette.text, 0);
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

bool MainChrome::AddTrayIcon() {
  if (!form_) return false;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = smallIcon_;
  wcsncpy(data.szTip, kTrayHint, std::size(data.szTip) - 1);
  // After a restart of the shell the icon is gone; should it still be there, update it.
  trayShown_ = Shell_NotifyIconW(NIM_ADD, &data) || Shell_NotifyIconW(NIM_MODIFY, &data);
  return trayShown_;
}

void MainChrome::RemoveTrayIcon() {
  if (!trayShown_ || !form_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
  trayShown_ = false;
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
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(form_, &ps);
      if (dc) surface_.Paint(dc, ps.rcPaint, ps.rcPaint.left, ps.rcPaint.top);
      EndPaint(form_, &ps);
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
          LabelMenuProgrammClick();
          return true;
        case L'o':
          LabelMenuOptionenClick();
          return true;
        case L'h':
          LabelMenuHilfeClick();
          return true;
      }
      return false;
    case WM_COMMAND:
      return OnCommand(LOWORD(wp), HIWORD(wp));
    case kTrayMessage:
      if (wp == kTrayIconId) CoolTrayIconMouseDown(LOWORD(lp));
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

// ---- the menu bar -------------------------------------------------------------------------

void MainChrome::LabelMenuMouseEnter(int id) {
  HWND label = Control(id);
  if (!label) return;
  hotLabel_ = id;
  surface_.SetColour(label, art::kMenuLabelHotColour);
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, label, 0};
  TrackMouseEvent(&track);
}

void MainChrome::LabelMenuMouseLeave(int id) {
  if (hotLabel_ == id) hotLabel_ = 0;
  surface_.SetColour(Control(id), art::kMenuLabelColour);
}

void MainChrome::PopupMenuAt(HMENU menu, POINT offset, int labelId) {
  // The labels "Optionen" and "Hilfe" go back to their normal colour first.
  surface_.SetColour(Control(kIdLabelMenuOptionen), art::kMenuLabelColour);
  surface_.SetColour(Control(kIdLabelMenuHilfe), art::kMenuLabelColour);
  if (hotLabel_ == kIdLabelMenuOptionen || hotLabel_ == kIdLabelMenuHilfe) hotLabel_ = 0;
  RECT window;
  GetWindowRect(form_, &window);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, window.left + offset.x,
                 window.top + offset.y, 0, form_, nullptr);
  // The menu kept the mouse while it was open: the label may have been left meanwhile.
  HWND label = Control(labelId);
  RECT r;
  POINT cursor;
  if (label && GetWindowRect(label, &r) && GetCursorPos(&cursor) && !PtInRect(&r, cursor))
    LabelMenuMouseLeave(labelId);
}

void MainChrome::LabelMenuProgrammClick() {
  PopupMenuAt(popupMenuProgramm_, kPopupProgramm, kIdLabelMenuProgramm);
}

void MainChrome::LabelMenuOptionenClick() {
  PopupMenuAt(popupMenuOptionen_, kPopupOptionen, kIdLabelMenuOptionen);
}

void MainChrome::LabelMenuHilfeClick() {
  PopupMenuAt(popupMenuHilfe_, kPopupHilfe, kIdLabelMenuHilfe);
}

// ---- the tray icon ------------------------------------------------------------------------

void MainChrome::CoolTrayIconMouseDown(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
      trayLeftDown_ = true;
      break;
    case WM_LBUTTONUP:
      // A click: pressed and released on the icon.
      if (trayLeftDown_) {
        trayLeftDown_ = false;
        CoolTrayIconClick();
      }
      break;
    case WM_RBUTTONDOWN: {
      trayLeftDown_ = false;
      Win32MessagePump().PumpOnce();
      POINT at{};
      GetCursorPos(&at);
      // The menu closes properly only when our window is in the foreground, and after an
      // empty message once it has.
      SetForegroundWindow(form_);
      TrackPopupMenu(popupMenuTray_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, form_,
                     nullptr);
      PostMessageW(form_, WM_NULL, 0, 0);
      break;
    }
  }
}

void MainChrome::CoolTrayIconClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayAnzeigenClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayMinimierenClick() { Minimize(); }

void MainChrome::PopupMenuTrayInfoClick() {
  if (formInfo_) formInfo_->Show();
}

void MainChrome::Report(const std::wstring& text) {
  if (report_) {
    report_(text);
    return;
  }
  MessageBoxW(form_, text.c_str(), L"Orvalis", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

void MainChrome::PopupMenuHilfeHilfeClick() {
  const std::wstring path = HelpFilePath();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    Report(L"Die Hilfedatei wurde nicht gefunden:\n" + path +
           L"\n\nSie geh\u00F6rt in denselben Ordner wie Orvalis.exe.");
    return;
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW));
  if (result <= 32)
    Report(L"Die Hilfedatei konnte nicht ge\u00F6ffnet werden:\n" + path +
           L"\n\nF\u00FCr CHM-Dateien ist kein Programm eingerichtet.");
}

// ---- the flat menus -----------------------------------------------------------------------

void MainChrome::MeasureMenuItem(MEASUREITEMSTRUCT& item) const {
  const MenuItemSpec* spec = SpecOf(item.itemData);
  if (!spec || !spec->text) {
    item.itemWidth = 60;
    item.itemHeight = kMenuSeparatorHeight;
    return;
  }
  const win::WindowDc dc(form_);
  const win::Selection selected(dc.Get(), font_.Get());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), spec->text, -1, &r, DT_SINGLELINE | DT_CALCRECT);
  item.itemWidth = static_cast<UINT>(kMenuImageColumn + 10 + (r.right - r.left) + 28);
  item.itemHeight = kMenuItemHeight;
}

void MainChrome::DrawMenuItem(const DRAWITEMSTRUCT& item) const {
  const MenuItemSpec* spec = SpecOf(item.itemData);
  if (!spec) return;
  const auto& p = skin::kPalette;
  const RECT& r = item.rcItem;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;
  // Drawn off screen first, so that nothing flickers.
  const win::OffscreenPainter painter(item.hDC, r.left, r.top, width, height);
  if (!painter.Ok()) return;
  HDC dc = painter.Dc();
  const auto fill = [&](const RECT& rect, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  };
  fill(RECT{0, 0, width, height}, RGB(0xFF, 0xFF, 0xFF));
  fill(RECT{0, 0, kMenuImageColumn, height}, art::kMenuImageColumn);

  if (!spec->text) {
    fill(RECT{kMenuImageColumn + 6, height / 2, width - 2, height / 2 + 1}, art::kMenuSeparator);
  } else {
    const bool selected = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & (ODS_GRAYED | ODS_DISABLED);
    const bool checked = item.itemState & ODS_CHECKED;
    if (selected && !disabled) {
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
      SetDCPenColor(dc, p.accent);
      SetDCBrushColor(dc, p.buttonFaceHot);
      RoundRect(dc, 1, 1, width - 1, height - 1, 5, 5);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
    }
    const int imageY = (height - 16) / 2;
    if (spec->image >= 0 && spec->image < art::kMenuImageCount) {
      if (checked) {
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
        SetDCPenColor(dc, p.accent);
        SetDCBrushColor(dc, p.buttonFacePressed);
        RoundRect(dc, 3, imageY - 2, 23, imageY + 18, 5, 5);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
      }
      menuImages_[static_cast<std::size_t>(spec->image)].Draw(dc, 5, imageY);
    } else if (checked) {
      menuImages_.back().Draw(dc, 6, (height - 14) / 2);  // the check mark
    }
    RECT text{kMenuImageColumn + 10, 0, width - 16, height};
    HGDIOBJ oldFont = SelectObject(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? p.disabledText : p.text);
    DrawTextW(dc, spec->text, -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT |
                  ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
    SelectObject(dc, oldFont);
    if (spec->submenu) {
      // Our own small chevron; the platform's arrow is kept out below.
      const int cx = width - 11, cy = height / 2;
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
      SetDCPenColor(dc, disabled ? p.disabledText : p.text);
      SetDCBrushColor(dc, disabled ? p.disabledText : p.text);
      const POINT arrow[3] = {{cx - 2, cy - 4}, {cx + 2, cy}, {cx - 2, cy + 4}};
      Polygon(dc, arrow, 3);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
    }
  }
  painter.Show();
  // The platform draws a submenu's arrow after this on the same device context: nothing of
  // the item is left for it to draw on.
  if (spec->submenu) ExcludeClipRect(item.hDC, r.left, r.top, r.right, r.bottom);
}

LRESULT MainChrome::MenuChar(wchar_t key, HMENU menu) const {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_DATA;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii)) continue;
    const MenuItemSpec* spec = SpecOf(mii.dwItemData);
    if (!spec || !spec->text) continue;
    const wchar_t* amp = std::wcschr(spec->text, L'&');
    if (amp && amp[1] && std::towlower(static_cast<wint_t>(amp[1])) ==
                             std::towlower(static_cast<wint_t>(key)))
      return MAKELRESULT(i, MNC_EXECUTE);
  }
  return MAKELRESULT(0, MNC_IGNORE);
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
