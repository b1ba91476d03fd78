// The main window's chrome: the captionless window cut to its shape and filled with
// its skin, the title with its shadow, dragging, the menu bar of labels with its four flat
// popup menus, the minimise and help image buttons with their hot areas and tooltips, the tray
// icon with its menu, the help file and the bold task names in the list.
//
// TFormMain owns one MainChrome and hands it every message first (HandleMessage). The menu
// items that change the form's own state ("Fenster anzeigen", "Minimiert starten", "Beenden")
// reach the form as WM_COMMAND with the IDs below; the chrome handles the others itself.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ui/artwork.h"
#include "ui/win/dpi.h"
#include "ui/win/gdi.h"

namespace orv {

class TFormInfo;

// The main window's shape: nine rectangles in window coordinates, right and bottom exclusive.
inline constexpr RECT kMainWindowShape[9] = {
    {19, 23, 552, 24},  {17, 24, 554, 25},   {16, 25, 555, 26},
    {15, 26, 556, 28},  {14, 28, 557, 407},  {15, 407, 556, 409},
    {16, 409, 555, 410}, {17, 410, 554, 411}, {19, 411, 552, 412}};

// Below the title band: the list page and the task editor lie here (client coordinates).
inline constexpr RECT kMainContentRect{15, 55, 556, 411};
// The task list with its one-pixel card frame around it, and the rows below it.
inline constexpr RECT kListViewRect{26, 76, 545, 312};
inline constexpr int kListButtonsTop = 324;
inline constexpr int kClockTop = 362;

// A shape as the window's design stores it: a 32-bit byte count, then the region data in the
// form that GetRegionData returns (RGNDATAHEADER and the rectangles).
std::vector<BYTE> StoreShape(std::span<const RECT> rects);
// The region of a stored shape (ExtCreateRegion); nullptr when the data is malformed.
HRGN LoadShape(const std::vector<BYTE>& stored);
// Cuts `window` to a stored shape (SetWindowRgn).
bool ApplyShape(HWND window, const std::vector<BYTE>& stored);
// The rectangles of a region, as GetRegionData gives them.
std::vector<RECT> RegionRects(HRGN region);

// Child controls of the main window that belong to the chrome.
enum ChromeControlId : int {
  kIdLabelWindowTitleShadow = 1020,
  kIdLabelWindowTitle = 1021,
  kIdLabelMenuProgramm = 1022,
  kIdLabelMenuOptionen = 1023,
  kIdLabelMenuHilfe = 1024,
  kIdImageMinimize = 1025,
  kIdImageHelp = 1026,
  kIdImageMinimizeMove = 1027,
  kIdImageHelpMove = 1028,
};

// Menu items: the command each sends to the main window (WM_COMMAND). The end-to-end driver
// sends the same commands.
enum MenuCommandId : UINT {
  kCmdPopupMenuTrayAnzeigen = 3001,
  kCmdPopupMenuTrayMinimieren = 3002,
  kCmdPopupMenuTrayBeenden = 3003,
  kCmdPopupMenuTrayInfo = 3004,
  kCmdPopupMenuTrayVerlauf = 3005,
  kCmdPopupMenuProgrammMinimieren = 3011,
  kCmdPopupMenuProgrammBeenden = 3012,
  kCmdPopupMenuProgrammVerlauf = 3013,
  kCmdPopupMenuProgrammExportieren = 3014,
  kCmdPopupMenuProgrammImportieren = 3015,
  kCmdPopupMenuOptionenFensterAnzeigen = 3021,
  kCmdPopupMenuOptionenMinimiertStarten = 3022,
  kCmdPopupMenuOptionenFehlerMelden = 3023,
  kCmdPopupMenuHilfeHilfe = 3031,
  kCmdPopupMenuHilfeInfo = 3032,
};

// The tray icon: its ID and the message it sends to the main window. The chrome asks the shell
// for version 4 of the icon's messages (lParam: the event and the icon's ID, wParam: the anchor
// point); a shell that refuses it sends the older ones (lParam: the mouse message, wParam: the
// icon's ID).
inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayMessage = WM_APP + 1;
inline constexpr wchar_t kTrayHint[] = L"Orvalis";

// The menus as data. An item with no text is a separator; one with a submenu sends nothing.
struct MenuSpec;
struct MenuItemSpec {
  const wchar_t* text;  // "&" marks the access key
  UINT command;
  int image;            // art::MenuImage, -1 for none
  const MenuSpec* submenu;
  bool checked;         // checked when the menu is built
};
struct MenuSpec {
  const wchar_t* name;
  std::span<const MenuItemSpec> items;
};
extern const MenuSpec kPopupMenuTray;
extern const MenuSpec kPopupMenuProgramm;
extern const MenuSpec kPopupMenuOptionen;
extern const MenuSpec kPopupMenuOptionenAnzeige;
extern const MenuSpec kPopupMenuHilfe;

// An owner-drawn popup menu of `spec` with its submenus. Each item carries its text (readable
// with GetMenuItemInfo) and, as its item data, its MenuItemSpec.
HMENU BuildPopupMenu(const MenuSpec& spec);

// The help file: "help.chm" in the running executable's directory.
std::wstring HelpFilePath();

class MainChrome {
 public:
  // Screen positions of the menu bar's popups, relative to the window's top-left corner.
  static constexpr POINT kPopupProgramm{197, 64};
  static constexpr POINT kPopupOptionen{274, 64};
  static constexpr POINT kPopupHilfe{346, 64};

  MainChrome();
  ~MainChrome();
  MainChrome(const MainChrome&) = delete;
  MainChrome& operator=(const MainChrome&) = delete;

  // Shapes and skins `form` (a captionless window, 570 x 427 at 96 dpi), makes the chrome's
  // controls (at their design places: the form scales its children) and menus and adds the
  // tray icon. Call once, from the form's creation.
  bool Create(HINSTANCE instance, HWND form);
  // The form is now at `dpi` (its children already moved): shape, skin, fonts, images, menus
  // and the tray icon follow.
  void SetDpi(win::Dpi dpi);
  win::Dpi Dpi() const { return dpi_; }
  // The system's colours or high contrast changed: the skin, images and labels are made anew.
  void ColoursChanged();
  // The about box that "&Info" shows.
  void SetFormInfo(TFormInfo* info) { formInfo_ = info; }
  // Shows a message (the help file is missing); by default a message box of the form.
  void SetReporter(std::function<void(const std::wstring&)> report) { report_ = std::move(report); }

  // Asked first for every message of the form: true when the chrome has handled it, with
  // `result` to return.
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // A key on its way to a control of the form (kMsgPreviewKey): true when the chrome has
  // handled it. Alt or F10 alone opens "Programm", Alt with the underlined letter its menu,
  // F1 the help; Tab, the arrows and Alt show the access keys' underlines.
  bool PreviewKey(const MSG& msg);

  // NM_CUSTOMDRAW of the task list: task names bold.
  LRESULT ListViewTasksCustomDraw(NMLVCUSTOMDRAW& draw);

  // The check marks of the start option.
  void SetStartOptionChecks(bool showWindow);
  // The check mark of "Fehler melden".
  void SetReportFailuresCheck(bool on);
  // A notification-area balloon with the error icon; a click on it opens the history
  // (kCmdPopupMenuTrayVerlauf). False when the tray icon is not shown.
  bool ShowBalloon(const std::wstring& title, const std::wstring& text);

  HMENU PopupMenuTray() const { return popupMenuTray_; }
  HMENU PopupMenuProgramm() const { return popupMenuProgramm_; }
  HMENU PopupMenuOptionen() const { return popupMenuOptionen_; }
  HMENU PopupMenuHilfe() const { return popupMenuHilfe_; }
  bool TrayIconShown() const { return trayShown_; }
  // Whether the shell took version 4 of the icon's messages, and reads them so.
  bool TrayIconVersion4() const { return trayVersion4_; }
  HWND Control(int id) const;
  COLORREF LabelColour(int id) const;

  // Event handlers.
  void LabelWindowTitleMouseDown(UINT buttonMessage);
  void CoolFormMainMouseDown(UINT buttonMessage, POINT client);
  void CoolFormMainMouseMove();
  void LabelMenuProgrammClick();
  void LabelMenuOptionenClick();
  void LabelMenuHilfeClick();
  void LabelMenuMouseEnter(int id);
  void LabelMenuMouseLeave(int id);
  void ImageMinimizeMoveMouseMove();
  void ImageHelpMoveMouseMove();
  void ImageMinimizeMoveClick();
  void CoolTrayIconClick();
  // An event of the tray icon (a mouse message, NIN_SELECT, NIN_KEYSELECT, WM_CONTEXTMENU,
  // NIN_BALLOONUSERCLICK); `anchor`: where a menu opened by the keyboard goes, in screen
  // coordinates.
  void CoolTrayIconMouseDown(UINT mouseMessage, POINT anchor);
  void PopupMenuTrayAnzeigenClick();
  void PopupMenuTrayMinimierenClick();
  void PopupMenuTrayInfoClick();
  void PopupMenuHilfeHilfeClick();

 private:
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR ref);
  LRESULT ControlMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND MakeControl(int id, const wchar_t* text, const RECT& rect, bool notify);
  void MakeTooltip(HWND tool, const wchar_t* text);
  void PopupMenuAt(HMENU menu, POINT offset, int labelId);
  // Opens menu `index` of the menu bar (0 Programm, 1 Optionen, 2 Hilfe); Left and Right in an
  // open menu move to the neighbouring menu. `keyboard`: opened by a key, the first item
  // selected.
  void TrackMenuBar(int index, bool keyboard);
  static LRESULT CALLBACK MenuKeyHook(int code, WPARAM wp, LPARAM lp);
  void ShowKeyboardCues();
  bool AddTrayIcon();
  void RemoveTrayIcon();
  // kTrayMessage: false when it is not about our icon.
  bool TrayIconMessage(WPARAM wp, LPARAM lp);
  // The tray menu opened by the keyboard at `anchor`, with its first item selected.
  void TrayMenuFromKeyboard(POINT anchor);
  void ShowMainWindow();
  void Minimize();
  bool OnCommand(UINT id, UINT code);
  void MeasureMenuItem(MEASUREITEMSTRUCT& item) const;
  void DrawMenuItem(const DRAWITEMSTRUCT& item) const;
  LRESULT MenuChar(wchar_t key, HMENU menu) const;
  void Report(const std::wstring& text);
  // Everything drawn for the current dpi and colours: fonts, skin, images, icon.
  void MakeArtwork();

  HINSTANCE instance_ = nullptr;
  HWND form_ = nullptr;
  win::Dpi dpi_;
  HWND tooltip_ = nullptr;
  TFormInfo* formInfo_ = nullptr;
  std::function<void(const std::wstring&)> report_;
  HICON smallIcon_ = nullptr;
  win::Font font_, boldFont_, listBoldFont_;
  std::unique_ptr<art::SkinBitmap> skinBitmap_;
  art::Surface surface_{nullptr};
  art::AlphaImage imageMinimize_, imageHelp_;
  std::vector<art::AlphaImage> menuImages_;  // the one image list of the four menus
  HMENU popupMenuTray_ = nullptr, popupMenuProgramm_ = nullptr, popupMenuOptionen_ = nullptr,
        popupMenuHilfe_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool trayShown_ = false;
  bool trayVersion4_ = false;
  bool trayLeftDown_ = false;
  // The tray icon's last event but mouse moves, and when it came (GetTickCount).
  UINT lastTrayEvent_ = 0;
  DWORD lastTrayEventTick_ = 0;
  int hotLabel_ = 0;  // the menu label under the mouse
  // The menu bar while one of its menus is open: which, the menu to open next (Left/Right),
  // the menu of the selected item and whether that item opens a submenu.
  int menuBarIndex_ = -1;
  int nextMenuBarIndex_ = -1;
  HMENU selectedMenu_ = nullptr;
  bool selectedOpensSubmenu_ = false;
  bool altAlone_ = false;  // Alt is down and no other key came since
  bool trackingHotArea_ = false;
};

}  // namespace orv
