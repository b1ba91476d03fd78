// The menus: their items, the menu bar's labels, the flat owner-drawn items and the help.
#include "ui/chrome.h"

#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "ui/UnitInfo.h"
#include "ui/chrome_parts.h"
#include "ui/skin.h"
#include "ui/win/gdi.h"

namespace orv {

using namespace chrome_parts;

// ---- the menus ----------------------------------------------------------------------------

namespace {

constexpr MenuItemSpec kSeparator{nullptr, 0, -1, nullptr, false};

constexpr MenuItemSpec kTrayItems[] = {
    {L"&Anzeigen", kCmdPopupMenuTrayAnzeigen, art::kImageAnzeigen, nullptr, false},
    {L"&Minimieren", kCmdPopupMenuTrayMinimieren, art::kImageMinimieren, nullptr, false},
    {L"&Verlauf", kCmdPopupMenuTrayVerlauf, -1, nullptr, false},
    kSeparator,
    {L"B&eenden", kCmdPopupMenuTrayBeenden, art::kImageBeenden, nullptr, false},
    kSeparator,
    {L"&Info", kCmdPopupMenuTrayInfo, art::kImageInfo, nullptr, false},
};
constexpr MenuItemSpec kProgrammItems[] = {
    {L"&Verlauf", kCmdPopupMenuProgrammVerlauf, -1, nullptr, false},
    {L"&Minimieren", kCmdPopupMenuProgrammMinimieren, art::kImageMinimieren, nullptr, false},
    kSeparator,
    {L"Tasks &exportieren\u2026", kCmdPopupMenuProgrammExportieren, -1, nullptr, false},
    {L"Tasks &importieren\u2026", kCmdPopupMenuProgrammImportieren, -1, nullptr, false},
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
    {L"&Fehler melden", kCmdPopupMenuOptionenFehlerMelden, -1, nullptr, false},
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
  info.hbrBack = skin::HighContrast() ? GetSysColorBrush(COLOR_WINDOW)
                                      : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
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


// ---- the menu bar -------------------------------------------------------------------------

void MainChrome::LabelMenuMouseEnter(int id) {
  HWND label = Control(id);
  if (!label) return;
  hotLabel_ = id;
  surface_.SetColour(label, art::MenuLabelHotColour());
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, label, 0};
  TrackMouseEvent(&track);
}

void MainChrome::LabelMenuMouseLeave(int id) {
  if (hotLabel_ == id) hotLabel_ = 0;
  surface_.SetColour(Control(id), art::MenuLabelColour());
}

void MainChrome::PopupMenuAt(HMENU menu, POINT offset, int labelId) {
  // The labels "Optionen" and "Hilfe" go back to their normal colour first.
  surface_.SetColour(Control(kIdLabelMenuOptionen), art::MenuLabelColour());
  surface_.SetColour(Control(kIdLabelMenuHilfe), art::MenuLabelColour());
  if (hotLabel_ == kIdLabelMenuOptionen || hotLabel_ == kIdLabelMenuHilfe) hotLabel_ = 0;
  RECT window;
  GetWindowRect(form_, &window);
  const POINT at = dpi_.Scale(offset);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, window.left + at.x,
                 window.top + at.y, 0, form_, nullptr);
  // The menu kept the mouse while it was open: the label may have been left meanwhile.
  HWND label = Control(labelId);
  RECT r;
  POINT cursor;
  if (label && GetWindowRect(label, &r) && GetCursorPos(&cursor) && !PtInRect(&r, cursor))
    LabelMenuMouseLeave(labelId);
}

void MainChrome::LabelMenuProgrammClick() { TrackMenuBar(0, false); }

void MainChrome::LabelMenuOptionenClick() { TrackMenuBar(1, false); }

void MainChrome::LabelMenuHilfeClick() { TrackMenuBar(2, false); }

// ---- the menu bar from the keyboard -------------------------------------------------------

namespace {
// The chrome whose menu bar has a menu open on this thread (one at a time: a menu is modal).
thread_local MainChrome* menuBarChrome = nullptr;
thread_local HHOOK menuBarHook = nullptr;
}  // namespace

void MainChrome::TrackMenuBar(int index, bool keyboard) {
  if (menuBarChrome) return;  // one is open already
  const HMENU menus[3] = {popupMenuProgramm_, popupMenuOptionen_, popupMenuHilfe_};
  const POINT places[3] = {kPopupProgramm, kPopupOptionen, kPopupHilfe};
  const int labels[3] = {kIdLabelMenuProgramm, kIdLabelMenuOptionen, kIdLabelMenuHilfe};
  menuBarChrome = this;
  menuBarHook = SetWindowsHookExW(WH_MSGFILTER, &MainChrome::MenuKeyHook, nullptr,
                                  GetCurrentThreadId());
  while (index >= 0 && index < 3) {
    menuBarIndex_ = index;
    nextMenuBarIndex_ = -1;
    selectedMenu_ = nullptr;
    selectedOpensSubmenu_ = false;
    // Opened by a key: the first item is selected, as in a menu bar.
    if (keyboard) PostMessageW(form_, WM_KEYDOWN, VK_DOWN, 0);
    PopupMenuAt(menus[index], places[index], labels[index]);
    index = nextMenuBarIndex_;
    keyboard = true;
  }
  if (menuBarHook) UnhookWindowsHookEx(menuBarHook);
  menuBarHook = nullptr;
  menuBarChrome = nullptr;
  menuBarIndex_ = -1;
}

LRESULT CALLBACK MainChrome::MenuKeyHook(int code, WPARAM wp, LPARAM lp) {
  MainChrome* self = menuBarChrome;
  if (code == MSGF_MENU && self && lp) {
    const MSG& msg = *reinterpret_cast<const MSG*>(lp);
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT)) {
      const HMENU menus[3] = {self->popupMenuProgramm_, self->popupMenuOptionen_,
                              self->popupMenuHilfe_};
      const HMENU open = menus[self->menuBarIndex_];
      // In the menu bar's menu itself (not in a submenu), and not Right on an item that opens
      // a submenu: the neighbouring menu opens in its place.
      const bool inBarMenu = !self->selectedMenu_ || self->selectedMenu_ == open;
      if (inBarMenu && !(msg.wParam == VK_RIGHT && self->selectedMenu_ && self->selectedOpensSubmenu_)) {
        self->nextMenuBarIndex_ = (self->menuBarIndex_ + (msg.wParam == VK_RIGHT ? 1 : 2)) % 3;
        EndMenu();
        return TRUE;  // the menu does not see the key
      }
    }
  }
  return CallNextHookEx(menuBarHook, code, wp, lp);
}

void MainChrome::ShowKeyboardCues() {
  if (SendMessageW(form_, WM_QUERYUISTATE, 0, 0) & (UISF_HIDEACCEL | UISF_HIDEFOCUS))
    SendMessageW(form_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
}

bool MainChrome::PreviewKey(const MSG& msg) {
  if (!form_) return false;
  switch (msg.message) {
    case WM_SYSKEYDOWN:
      if (msg.wParam == VK_MENU) {
        if (!(msg.lParam & (1 << 30))) altAlone_ = true;  // not a repeat
        ShowKeyboardCues();
        return false;
      }
      altAlone_ = false;
      if (msg.wParam == VK_F10) {
        ShowKeyboardCues();
        TrackMenuBar(0, true);
        return true;
      }
      return false;
    case WM_SYSKEYUP:
      if (msg.wParam == VK_MENU) {
        // Alt pressed and let go alone opens "Programm"; the window has no menu bar of the
        // system's to enter.
        const bool alone = altAlone_;
        altAlone_ = false;
        if (alone) TrackMenuBar(0, true);
        return true;
      }
      return msg.wParam == VK_F10;
    case WM_SYSCHAR:
      altAlone_ = false;
      switch (std::towlower(static_cast<wint_t>(msg.wParam))) {
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
    case WM_KEYDOWN:
      altAlone_ = false;
      if (msg.wParam == VK_F1) {
        PopupMenuHilfeHilfeClick();
        return true;
      }
      if (msg.wParam == VK_TAB || (msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN))
        ShowKeyboardCues();
      return false;
  }
  return false;
}

// ---- the help ----------------------------------------------------------------------------

void MainChrome::PopupMenuHilfeHilfeClick() {
  const std::wstring path = HelpFilePath();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    Report(L"Die Hilfedatei wurde nicht gefunden:\n" + path +
           L"\n\nSie gehört in denselben Ordner wie Orvalis.exe.");
    return;
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW));
  if (result <= 32)
    Report(L"Die Hilfedatei konnte nicht geöffnet werden:\n" + path +
           L"\n\nFür CHM-Dateien ist kein Programm eingerichtet.");
}

// ---- the flat menus -----------------------------------------------------------------------

void MainChrome::MeasureMenuItem(MEASUREITEMSTRUCT& item) const {
  const MenuItemSpec* spec = SpecOf(item.itemData);
  if (!spec || !spec->text) {
    item.itemWidth = static_cast<UINT>(dpi_.Scale(60));
    item.itemHeight = static_cast<UINT>(dpi_.Scale(kMenuSeparatorHeight));
    return;
  }
  const win::WindowDc dc(form_);
  const win::Selection selected(dc.Get(), font_.Get());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), spec->text, -1, &r, DT_SINGLELINE | DT_CALCRECT);
  item.itemWidth =
      static_cast<UINT>(dpi_.Scale(kMenuImageColumn + 10) + (r.right - r.left) + dpi_.Scale(28));
  item.itemHeight = static_cast<UINT>(dpi_.Scale(kMenuItemHeight));
}

void MainChrome::DrawMenuItem(const DRAWITEMSTRUCT& item) const {
  const MenuItemSpec* spec = SpecOf(item.itemData);
  if (!spec) return;
  const auto& p = skin::Colours();
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
  const auto S = [this](int px96) { return dpi_.Scale(px96); };
  const bool plain = skin::HighContrast();
  const int column = S(kMenuImageColumn);
  fill(RECT{0, 0, width, height}, plain ? p.window : RGB(0xFF, 0xFF, 0xFF));
  if (!plain) fill(RECT{0, 0, column, height}, art::kMenuImageColumn);

  if (!spec->text) {
    fill(RECT{column + S(6), height / 2, width - S(2), height / 2 + std::max(1, S(1))},
         plain ? p.text : art::kMenuSeparator);
  } else {
    const bool selected = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & (ODS_GRAYED | ODS_DISABLED);
    const bool checked = item.itemState & ODS_CHECKED;
    if (selected && !disabled) {
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
      SetDCPenColor(dc, p.accent);
      SetDCBrushColor(dc, plain ? p.accent : p.buttonFaceHot);
      RoundRect(dc, S(1), S(1), width - S(1), height - S(1), S(5), S(5));
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
    }
    const int imageY = (height - S(16)) / 2;
    if (spec->image >= 0 && spec->image < art::kMenuImageCount) {
      if (checked) {
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
        SetDCPenColor(dc, p.accent);
        SetDCBrushColor(dc, p.buttonFacePressed);
        RoundRect(dc, S(3), imageY - S(2), S(23), imageY + S(18), S(5), S(5));
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
      }
      menuImages_[static_cast<std::size_t>(spec->image)].Draw(dc, S(5), imageY);
    } else if (checked) {
      menuImages_.back().Draw(dc, S(6), (height - S(14)) / 2);  // the check mark
    }
    RECT text{column + S(10), 0, width - S(16), height};
    HGDIOBJ oldFont = SelectObject(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    const COLORREF ink = plain && selected && !disabled ? p.accentText : p.text;
    SetTextColor(dc, disabled ? p.disabledText : ink);
    DrawTextW(dc, spec->text, -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT |
                  ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
    SelectObject(dc, oldFont);
    if (spec->submenu) {
      // Our own small chevron; the platform's arrow is kept out below.
      const int cx = width - S(11), cy = height / 2;
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
      SetDCPenColor(dc, disabled ? p.disabledText : ink);
      SetDCBrushColor(dc, disabled ? p.disabledText : ink);
      const POINT arrow[3] = {{cx - S(2), cy - S(4)}, {cx + S(2), cy}, {cx - S(2), cy + S(4)}};
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

}  // namespace orv
