// The window chrome and the about box as real windows: the version record,
// the stored window shapes, the four menus with their items, access keys and check marks, the
// hover looks, minimising to the tray and back, the bold task names, and the about box's
// labels, links, clicks and keys.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ui/UnitInfo.h"
#include "ui/chrome.h"
#include "ui/prompter_win32.h"
#include "ui/win32_text.h"

namespace orv::testing {
namespace {

std::wstring BuiltPath(const char* built) {
  const std::string path = built;
  return W(path.starts_with("/") ? "Z:" + path : path);  // a Linux path under Wine
}

bool SameRects(const std::vector<RECT>& got, std::span<const RECT> want) {
  if (got.size() != want.size()) return false;
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!EqualRect(&got[i], &want[i])) return false;
  return true;
}

std::string Describe(const std::vector<RECT>& rects) {
  std::string out;
  for (const RECT& r : rects)
    out += "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ") ";
  return out;
}

// ---- GetFileVersion -----------------------------------------------------------------------

TEST(FileVersion, OrvalisExeCarriesVersion1200) {
  int major = 7, minor = 7, release = 7, build = 7;
  GetFileVersion(BuiltPath(ORV_ORVALIS_EXE), major, minor, release, build);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 2);
  EXPECT_EQ(release, 0);
  EXPECT_EQ(build, 0);
  EXPECT_EQ(FileVersionText(BuiltPath(ORV_ORVALIS_EXE)), L"v1.2.0.0");
}

TEST(FileVersion, TheInstallerCarriesVersion1200AndItsPackageName) {
  // The package name a user downloads: "-x64" for the 64-bit build only.
  const std::wstring setup = BuiltPath(ORV_RELEASE_SETUP_EXE);
  const std::wstring name = setup.substr(setup.find_last_of(L"\\/") + 1);
  EXPECT_EQ(name, sizeof(void*) == 8 ? L"Orvalis-Setup-1.2.0-x64.exe" : L"Orvalis-Setup-1.2.0.exe");
  EXPECT_EQ(FileVersionText(setup), L"v1.2.0.0");
}

TEST(FileVersion, ProgramWithoutVersionRecordLeavesOutputsAndReadsZero) {
  int major = 7, minor = 8, release = 9, build = 10;
  GetFileVersion(BuiltPath(ORV_RECORD_ARGS_EXE), major, minor, release, build);
  EXPECT_EQ(major, 7);
  EXPECT_EQ(minor, 8);
  EXPECT_EQ(release, 9);
  EXPECT_EQ(build, 10);
  EXPECT_EQ(FileVersionText(BuiltPath(ORV_RECORD_ARGS_EXE)), L"v0.0.0.0");
}

TEST(FileVersion, PlainFileAndMissingFileReadZero) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring text = std::wstring(dir) + L"orvalis-no-version.txt";
  HANDLE file = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "kein Versionsblock\r\n", 20, &written, nullptr);
  CloseHandle(file);
  EXPECT_EQ(FileVersionText(text), L"v0.0.0.0");
  DeleteFileW(text.c_str());
  EXPECT_EQ(FileVersionText(text), L"v0.0.0.0");  // gone: the same
}

TEST(FileVersion, ZeroPartsAreShown) {
  // This test program has no version record: every part is 0 and all four are written.
  EXPECT_EQ(FileVersionText(ExecutablePath()), L"v0.0.0.0");
}

// ---- stored shapes ------------------------------------------------------------------------

TEST(Shape, StoredAsByteCountAndRegionData) {
  const std::vector<BYTE> stored = StoreShape(kMainWindowShape);
  ASSERT_EQ(stored.size(), 4 + sizeof(RGNDATAHEADER) + 9 * sizeof(RECT));
  DWORD bytes = 0;
  std::memcpy(&bytes, stored.data(), 4);
  EXPECT_EQ(bytes, sizeof(RGNDATAHEADER) + 9 * sizeof(RECT));
  RGNDATAHEADER header{};
  std::memcpy(&header, stored.data() + 4, sizeof header);
  EXPECT_EQ(header.iType, static_cast<DWORD>(RDH_RECTANGLES));
  EXPECT_EQ(header.nCount, 9u);
  const RECT bound{14, 23, 557, 412};
  EXPECT_TRUE(EqualRect(&header.rcBound, &bound));

  HRGN region = LoadShape(stored);
  ASSERT_NE(region, nullptr);
  const std::vector<RECT> rects = RegionRects(region);
  EXPECT_TRUE(SameRects(rects, kMainWindowShape)) << Describe(rects);
  // The stepped corners: outside the rectangle (14, 23)-(557, 412) and at its cut corners,
  // nothing; inside, everything.
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, 14, 23));
  EXPECT_FALSE(PtInRegion(region, 18, 23));
  EXPECT_TRUE(PtInRegion(region, 19, 23));
  EXPECT_TRUE(PtInRegion(region, 551, 23));
  EXPECT_FALSE(PtInRegion(region, 552, 23));
  EXPECT_TRUE(PtInRegion(region, 14, 28));
  EXPECT_FALSE(PtInRegion(region, 14, 27));
  EXPECT_TRUE(PtInRegion(region, 556, 406));
  EXPECT_FALSE(PtInRegion(region, 557, 406));
  EXPECT_FALSE(PtInRegion(region, 16, 411));
  EXPECT_TRUE(PtInRegion(region, 19, 411));
  EXPECT_FALSE(PtInRegion(region, 19, 412));
  DeleteObject(region);
}

TEST(Shape, MalformedDataMakesNoRegion) {
  std::vector<BYTE> stored = StoreShape(kInfoWindowShape);
  std::vector<BYTE> cut(stored.begin(), stored.end() - 1);
  EXPECT_EQ(LoadShape(cut), nullptr);
  EXPECT_EQ(LoadShape({}), nullptr);
  stored[0] ^= 0x10;  // wrong byte count
  EXPECT_EQ(LoadShape(stored), nullptr);
}

// ---- a window with the chrome ------------------------------------------------------------

MainChrome* g_chrome = nullptr;

LRESULT CALLBACK ChromeTestProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT result; g_chrome && g_chrome->HandleMessage(msg, wp, lp, result)) return result;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class ChromeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ChromeTestProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvalisChromeTest";
    RegisterClassW(&wc);
    chrome_ = std::make_unique<MainChrome>();
    g_chrome = chrome_.get();
    chrome_->SetReporter([this](const std::wstring& text) { reports_.push_back(text); });
    hwnd_ = CreateWindowExW(0, L"OrvalisChromeTest", L"Orvalis v1.1",
                            WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 100, 100,
                            570, 427, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd_, nullptr);
    ASSERT_TRUE(chrome_->Create(GetModuleHandleW(nullptr), hwnd_));
  }
  void TearDown() override {
    if (hwnd_) DestroyWindow(hwnd_);
    chrome_.reset();
    g_chrome = nullptr;
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  // An event of the tray icon as the shell sends it, in the version of the messages it
  // agreed with the chrome.
  void Tray(UINT event) {
    if (chrome_->TrayIconVersion4())
      SendMessageW(hwnd_, kTrayMessage, 0, MAKELPARAM(event, kTrayIconId));
    else
      SendMessageW(hwnd_, kTrayMessage, kTrayIconId, event);
  }

  struct Item {
    std::wstring text;  // empty for a separator
    UINT id;
    bool separator, checked, ownerDrawn;
    HMENU submenu;
    const MenuItemSpec* spec;
  };
  static std::vector<Item> Items(HMENU menu) {
    std::vector<Item> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
      MENUITEMINFOW mii{};
      mii.cbSize = sizeof mii;
      mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_DATA;
      EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii));
      const auto* spec = reinterpret_cast<const MenuItemSpec*>(mii.dwItemData);
      items.push_back(Item{spec && spec->text ? spec->text : L"", mii.wID,
                           (mii.fType & MFT_SEPARATOR) != 0, (mii.fState & MFS_CHECKED) != 0,
                           (mii.fType & MFT_OWNERDRAW) != 0, mii.hSubMenu, spec});
    }
    return items;
  }
  static std::vector<std::wstring> Texts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (const Item& item : Items(menu)) texts.push_back(item.separator ? L"-" : item.text);
    return texts;
  }

  std::unique_ptr<MainChrome> chrome_;
  HWND hwnd_ = nullptr;
  std::vector<std::wstring> reports_;
};

TEST_F(ChromeWindow, WindowIsCutToTheNineRectangles) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(hwnd_, region), ERROR);
  const std::vector<RECT> rects = RegionRects(region);
  EXPECT_TRUE(SameRects(rects, kMainWindowShape)) << Describe(rects);
  DeleteObject(region);
}

TEST_F(ChromeWindow, TrayMenuItemsInOrder) {
  EXPECT_EQ(Texts(chrome_->PopupMenuTray()),
            (std::vector<std::wstring>{L"&Anzeigen", L"&Minimieren", L"&Verlauf", L"-",
                                       L"B&eenden", L"-", L"&Info"}));
  const std::vector<Item> items = Items(chrome_->PopupMenuTray());
  EXPECT_EQ(items[0].id, kCmdPopupMenuTrayAnzeigen);
  EXPECT_EQ(items[1].id, kCmdPopupMenuTrayMinimieren);
  EXPECT_EQ(items[2].id, kCmdPopupMenuTrayVerlauf);
  EXPECT_EQ(items[4].id, kCmdPopupMenuTrayBeenden);
  EXPECT_EQ(items[6].id, kCmdPopupMenuTrayInfo);
  // The images of the one image list: 1 "Anzeigen", 2 "Minimieren", 0 "Beenden", 3 "Info".
  EXPECT_EQ(items[0].spec->image, art::kImageAnzeigen);
  EXPECT_EQ(items[1].spec->image, art::kImageMinimieren);
  EXPECT_EQ(items[4].spec->image, art::kImageBeenden);
  EXPECT_EQ(items[6].spec->image, art::kImageInfo);
  for (const Item& item : items) {
    EXPECT_TRUE(item.ownerDrawn);  // the flat style
    EXPECT_FALSE(item.checked);
  }
}

TEST_F(ChromeWindow, MenuBarMenusItemsInOrder) {
  EXPECT_EQ(Texts(chrome_->PopupMenuProgramm()),
            (std::vector<std::wstring>{L"&Verlauf", L"&Minimieren", L"-",
                                       L"Tasks &exportieren\u2026", L"Tasks &importieren\u2026",
                                       L"-", L"&Beenden"}));
  EXPECT_EQ(Items(chrome_->PopupMenuProgramm())[0].id, kCmdPopupMenuProgrammVerlauf);
  EXPECT_EQ(Items(chrome_->PopupMenuProgramm())[1].id, kCmdPopupMenuProgrammMinimieren);
  EXPECT_EQ(Items(chrome_->PopupMenuProgramm())[3].id, kCmdPopupMenuProgrammExportieren);
  EXPECT_EQ(Items(chrome_->PopupMenuProgramm())[4].id, kCmdPopupMenuProgrammImportieren);
  EXPECT_EQ(Items(chrome_->PopupMenuProgramm())[6].id, kCmdPopupMenuProgrammBeenden);
  EXPECT_EQ(Texts(chrome_->PopupMenuHilfe()),
            (std::vector<std::wstring>{L"&Hilfe", L"-", L"&Info"}));
  EXPECT_EQ(Items(chrome_->PopupMenuHilfe())[0].id, kCmdPopupMenuHilfeHilfe);
  EXPECT_EQ(Items(chrome_->PopupMenuHilfe())[0].spec->image, art::kImageHilfe);
  EXPECT_EQ(Items(chrome_->PopupMenuHilfe())[2].id, kCmdPopupMenuHilfeInfo);

  const std::vector<Item> optionen = Items(chrome_->PopupMenuOptionen());
  ASSERT_EQ(optionen.size(), 2u);
  EXPECT_EQ(optionen[1].text, L"&Fehler melden");
  EXPECT_EQ(optionen[1].id, kCmdPopupMenuOptionenFehlerMelden);
  EXPECT_FALSE(optionen[1].checked);  // off until chosen
  EXPECT_EQ(optionen[0].text, L"&Anzeige");
  EXPECT_EQ(optionen[0].spec->image, art::kImageAnzeige);
  ASSERT_NE(optionen[0].submenu, nullptr);
  EXPECT_EQ(Texts(optionen[0].submenu),
            (std::vector<std::wstring>{L"&Fenster anzeigen", L"&Minimiert starten"}));
}

TEST_F(ChromeWindow, ItemsCarryTheirTextForTheSystem) {
  wchar_t text[64] = {};
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = text;
  mii.cch = 64;
  ASSERT_TRUE(GetMenuItemInfoW(chrome_->PopupMenuTray(), kCmdPopupMenuTrayBeenden, FALSE, &mii));
  EXPECT_STREQ(text, L"B&eenden");
}

TEST_F(ChromeWindow, StartOptionChecksFollowTheOption) {
  HMENU anzeige = Items(chrome_->PopupMenuOptionen())[0].submenu;
  // Built-in default: "&Fenster anzeigen" checked.
  EXPECT_TRUE(Items(anzeige)[0].checked);
  EXPECT_FALSE(Items(anzeige)[1].checked);
  chrome_->SetStartOptionChecks(false);
  EXPECT_FALSE(Items(anzeige)[0].checked);
  EXPECT_TRUE(Items(anzeige)[1].checked);
  chrome_->SetStartOptionChecks(true);
  EXPECT_TRUE(Items(anzeige)[0].checked);
  EXPECT_FALSE(Items(anzeige)[1].checked);
}

TEST_F(ChromeWindow, AccessKeysChooseItems) {
  const auto key = [&](HMENU menu, wchar_t c) {
    return SendMessageW(hwnd_, WM_MENUCHAR, MAKEWPARAM(c, MF_POPUP),
                        reinterpret_cast<LPARAM>(menu));
  };
  EXPECT_EQ(key(chrome_->PopupMenuTray(), L'e'), MAKELRESULT(4, MNC_EXECUTE));  // B&eenden
  EXPECT_EQ(key(chrome_->PopupMenuTray(), L'A'), MAKELRESULT(0, MNC_EXECUTE));
  EXPECT_EQ(key(chrome_->PopupMenuTray(), L'i'), MAKELRESULT(6, MNC_EXECUTE));
  EXPECT_EQ(key(chrome_->PopupMenuTray(), L'v'), MAKELRESULT(2, MNC_EXECUTE));  // &Verlauf
  EXPECT_EQ(key(chrome_->PopupMenuProgramm(), L'b'), MAKELRESULT(6, MNC_EXECUTE));
  EXPECT_EQ(key(chrome_->PopupMenuProgramm(), L'v'), MAKELRESULT(0, MNC_EXECUTE));
  EXPECT_EQ(key(chrome_->PopupMenuProgramm(), L'e'), MAKELRESULT(3, MNC_EXECUTE));  // &exportieren
  EXPECT_EQ(key(chrome_->PopupMenuProgramm(), L'i'), MAKELRESULT(4, MNC_EXECUTE));  // &importieren
  EXPECT_EQ(key(chrome_->PopupMenuOptionen(), L'f'), MAKELRESULT(1, MNC_EXECUTE));
  EXPECT_EQ(HIWORD(key(chrome_->PopupMenuTray(), L'x')), MNC_IGNORE);
  HMENU anzeige = Items(chrome_->PopupMenuOptionen())[0].submenu;
  EXPECT_EQ(key(anzeige, L'm'), MAKELRESULT(1, MNC_EXECUTE));
}

TEST_F(ChromeWindow, ChromeControlsSitInTheTitleBand) {
  const struct {
    int id;
    RECT rect;
  } expected[] = {{kIdLabelWindowTitleShadow, {52, 32, 166, 48}},
                  {kIdLabelWindowTitle, {51, 31, 165, 47}},
                  {kIdImageMinimize, {517, 32, 532, 46}},
                  {kIdImageHelp, {534, 32, 549, 46}},
                  {kIdImageMinimizeMove, {517, 32, 532, 47}},
                  {kIdImageHelpMove, {534, 32, 549, 47}}};
  for (const auto& e : expected) {
    HWND control = chrome_->Control(e.id);
    ASSERT_NE(control, nullptr) << e.id;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(EqualRect(&r, &e.rect)) << e.id << ": " << Describe({r});
  }
  const struct {
    int id;
    POINT at;
    const wchar_t* text;
  } labels[] = {{kIdLabelMenuProgramm, {187, 34}, L"&Programm"},
                {kIdLabelMenuOptionen, {264, 34}, L"&Optionen"},
                {kIdLabelMenuHilfe, {336, 34}, L"&Hilfe"}};  // "&": the access key
  for (const auto& l : labels) {
    HWND control = chrome_->Control(l.id);
    ASSERT_NE(control, nullptr);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, l.at.x);
    EXPECT_EQ(r.top, l.at.y);
    EXPECT_EQ(art::WindowText(control), l.text);
    EXPECT_EQ(chrome_->LabelColour(l.id), 15253660u);
  }
  EXPECT_EQ(art::WindowText(chrome_->Control(kIdLabelWindowTitle)), L"Orvalis v1.2");
}

TEST_F(ChromeWindow, MenuLabelsTakeTheHoverColour) {
  chrome_->LabelMenuMouseEnter(kIdLabelMenuOptionen);
  EXPECT_EQ(chrome_->LabelColour(kIdLabelMenuOptionen), 16444380u);
  EXPECT_EQ(chrome_->LabelColour(kIdLabelMenuHilfe), 15253660u);
  chrome_->LabelMenuMouseLeave(kIdLabelMenuOptionen);
  EXPECT_EQ(chrome_->LabelColour(kIdLabelMenuOptionen), 15253660u);
}

TEST_F(ChromeWindow, HotAreasHideTheImagesAndTheSkinShowsThemAgain) {
  ShowWindow(hwnd_, SW_SHOW);
  HWND minimize = chrome_->Control(kIdImageMinimize);
  HWND help = chrome_->Control(kIdImageHelp);
  chrome_->ImageMinimizeMoveMouseMove();
  EXPECT_FALSE(IsWindowVisible(minimize));
  EXPECT_TRUE(IsWindowVisible(help));
  chrome_->ImageHelpMoveMouseMove();
  EXPECT_FALSE(IsWindowVisible(help));
  chrome_->CoolFormMainMouseMove();
  EXPECT_TRUE(IsWindowVisible(minimize));
  EXPECT_TRUE(IsWindowVisible(help));
}

TEST_F(ChromeWindow, MinimiseHidesIntoTheTrayAndAClickBringsItBack) {
  ShowWindow(hwnd_, SW_SHOW);
  Pump();
  chrome_->ImageHelpMoveMouseMove();
  chrome_->ImageMinimizeMoveClick();
  Pump();
  EXPECT_TRUE(IsIconic(hwnd_));
  EXPECT_FALSE(IsWindowVisible(hwnd_));  // no window and no taskbar button
  EXPECT_TRUE(IsWindowVisible(chrome_->Control(kIdImageHelp)) ||
              (GetWindowLongPtrW(chrome_->Control(kIdImageHelp), GWL_STYLE) & WS_VISIBLE));

  // Only a press and a release on the icon make a click.
  Tray(WM_LBUTTONUP);
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  Tray(WM_LBUTTONDOWN);
  Tray(WM_LBUTTONUP);
  Pump();
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_FALSE(IsIconic(hwnd_));

  // "&Minimieren" and "&Anzeigen" of the menus do the same.
  SendMessageW(hwnd_, WM_COMMAND, kCmdPopupMenuProgrammMinimieren, 0);
  Pump();
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  SendMessageW(hwnd_, WM_COMMAND, kCmdPopupMenuTrayAnzeigen, 0);
  Pump();
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_FALSE(IsIconic(hwnd_));
}

TEST_F(ChromeWindow, TheFormKeepsItsOwnCommands) {
  LRESULT result = 0;
  for (UINT id : {kCmdPopupMenuTrayBeenden, kCmdPopupMenuProgrammBeenden,
                  kCmdPopupMenuProgrammExportieren, kCmdPopupMenuProgrammImportieren,
                  kCmdPopupMenuOptionenFensterAnzeigen, kCmdPopupMenuOptionenMinimiertStarten})
    EXPECT_FALSE(chrome_->HandleMessage(WM_COMMAND, id, 0, result)) << id;
}

TEST_F(ChromeWindow, MissingHelpFileIsReportedInGerman) {
  const std::wstring path = HelpFilePath();
  ASSERT_GT(path.size(), 9u);
  EXPECT_EQ(path.substr(path.size() - 9), L"\\help.chm");
  const std::wstring exe = ExecutablePath();
  EXPECT_EQ(path.substr(0, path.size() - 8), exe.substr(0, exe.find_last_of(L'\\') + 1));
  ASSERT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "no help.chm beside the tests";
  chrome_->PopupMenuHilfeHilfeClick();
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].rfind(L"Die Hilfedatei wurde nicht gefunden:\n" + path, 0), 0u);
}

TEST_F(ChromeWindow, F1OpensTheHelpFromAnyControl) {
  // F1 on its way to any control of the form; other keys go on to the control.
  const MSG f1{chrome_->Control(kIdLabelMenuHilfe), WM_KEYDOWN, VK_F1, 0, 0, {}};
  EXPECT_TRUE(chrome_->PreviewKey(f1));
  ASSERT_EQ(reports_.size(), 1u);  // no help.chm beside the tests
  EXPECT_EQ(reports_[0].rfind(L"Die Hilfedatei wurde nicht gefunden:", 0), 0u);
  const MSG f2{chrome_->Control(kIdLabelMenuHilfe), WM_KEYDOWN, VK_F2, 0, 0, {}};
  EXPECT_FALSE(chrome_->PreviewKey(f2));
  EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(ChromeWindow, TaskNamesBoldOtherColumnsRegular) {
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 300, 100, hwnd_,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(list, nullptr);
  HFONT regular = art::MakeFont(L"Tahoma", -11, false);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(regular), FALSE);
  HDC dc = CreateCompatibleDC(nullptr);
  NMLVCUSTOMDRAW draw{};
  draw.nmcd.hdr.hwndFrom = list;
  draw.nmcd.hdr.code = NM_CUSTOMDRAW;
  draw.nmcd.hdc = dc;
  const auto weight = [&] {
    LOGFONTW lf{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    return lf.lfWeight;
  };

  draw.nmcd.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(chrome_->ListViewTasksCustomDraw(draw), CDRF_NOTIFYITEMDRAW);
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  EXPECT_EQ(chrome_->ListViewTasksCustomDraw(draw), CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW);
  EXPECT_EQ(weight(), FW_BOLD);
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
  draw.iSubItem = 0;
  EXPECT_EQ(chrome_->ListViewTasksCustomDraw(draw), CDRF_NEWFONT);
  EXPECT_EQ(weight(), FW_BOLD);
  for (int sub : {1, 2}) {
    draw.iSubItem = sub;
    EXPECT_EQ(chrome_->ListViewTasksCustomDraw(draw), CDRF_NEWFONT);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), static_cast<HGDIOBJ>(regular));
  }
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteDC(dc);
  DestroyWindow(list);
  DeleteObject(regular);
}

// ---- the about box ------------------------------------------------------------------------

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    info_ = std::make_unique<TFormInfo>([this](const std::wstring& target) { opened_.push_back(target); });
    ASSERT_TRUE(info_->Create(GetModuleHandleW(nullptr)));
  }
  void TearDown() override { info_.reset(); }
  std::wstring Text(int id) { return art::WindowText(info_->Control(id)); }

  std::unique_ptr<TFormInfo> info_;
  std::vector<std::wstring> opened_;
};

TEST_F(AboutBox, CreatedHiddenOnTopAndShaped) {
  HWND hwnd = info_->Handle();
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 350);
  EXPECT_EQ(client.bottom, 250);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
  const std::vector<RECT> rects = RegionRects(region);
  EXPECT_TRUE(SameRects(rects, kInfoWindowShape)) << Describe(rects);
  DeleteObject(region);
}

TEST_F(AboutBox, ShowsNameVersionAndLinks) {
  EXPECT_EQ(Text(kIdLabelInfo1), L"Orvalis");
  // This test program has no version record.
  EXPECT_EQ(Text(kIdLabelVersion), L"v0.0.0.0");
  EXPECT_EQ(Text(kIdLabelInfo3), L"Produktseite");
  EXPECT_EQ(Text(kIdLabelInfo5), L"eMail (Support)");
  EXPECT_EQ(Text(kIdLabelProductSite), kProductSite);
  EXPECT_EQ(Text(kIdLabelEmail), kSupportEmail);
  EXPECT_FALSE(Text(kIdLabelInfo2).empty());
  // Addresses of our own invention under a domain reserved for examples.
  EXPECT_NE(std::wstring(kProductSite).find(L"orvalis-planer.example"), std::wstring::npos);
  EXPECT_NE(std::wstring(kSupportEmail).find(L"@orvalis-planer.example"), std::wstring::npos);
  RECT r;
  GetWindowRect(info_->Control(kIdLabelVersion), &r);
  EXPECT_EQ(r.right - r.left, 69);
}

TEST_F(AboutBox, LinksOpenAndTheBoxStays) {
  info_->Show();
  HWND site = info_->Control(kIdLabelProductSite);
  HWND mail = info_->Control(kIdLabelEmail);
  SendMessageW(info_->Handle(), WM_COMMAND, MAKEWPARAM(kIdLabelProductSite, STN_CLICKED),
               reinterpret_cast<LPARAM>(site));
  SendMessageW(info_->Handle(), WM_COMMAND, MAKEWPARAM(kIdLabelEmail, STN_CLICKED),
               reinterpret_cast<LPARAM>(mail));
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], kProductSite);
  EXPECT_EQ(opened_[1], std::wstring(L"mailto:") + kSupportEmail);
  EXPECT_TRUE(IsWindowVisible(info_->Handle()));
}

TEST_F(AboutBox, LinksAreTabStopsThatEnterAndSpaceOpen) {
  info_->Show();
  HWND box = info_->Handle();
  HWND site = info_->Control(kIdLabelProductSite);
  HWND mail = info_->Control(kIdLabelEmail);
  SetFocus(box);
  // A key as the keyboard posts it, through the program's message loop.
  const auto press = [](WPARAM key) {
    HWND target = GetFocus();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchUiMessage(msg);
  };
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), site);
  press(VK_RETURN);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), mail);
  press(VK_SPACE);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], kProductSite);
  EXPECT_EQ(opened_[1], std::wstring(L"mailto:") + kSupportEmail);
  EXPECT_TRUE(IsWindowVisible(box)) << "a link leaves the box open, as a click does";
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), site) << "round again";
  press(VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(box));
  EXPECT_EQ(opened_.size(), 2u);
}

TEST_F(AboutBox, AClickElsewhereHidesItAndItIsNeverShownTwice) {
  info_->Show();
  EXPECT_TRUE(IsWindowVisible(info_->Handle()));
  info_->Show();  // only to the front
  EXPECT_TRUE(IsWindowVisible(info_->Handle()));
  EXPECT_EQ(FindWindowExW(nullptr, info_->Handle(), kInfoWindowClass, nullptr), nullptr);
  // The version label lets the click through to the box.
  HWND version = info_->Control(kIdLabelVersion);
  RECT r;
  GetWindowRect(version, &r);
  const POINT inside{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  EXPECT_EQ(SendMessageW(version, WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTTRANSPARENT);
  SendMessageW(info_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(280, 15));
  SendMessageW(info_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(280, 15));
  EXPECT_FALSE(IsWindowVisible(info_->Handle()));
  EXPECT_TRUE(opened_.empty());
  // The links do not.
  HWND site = info_->Control(kIdLabelProductSite);
  GetWindowRect(site, &r);
  EXPECT_EQ(SendMessageW(site, WM_NCHITTEST, 0, MAKELPARAM(r.left + 2, r.top + 2)), HTCLIENT);
}

}  // namespace
}  // namespace orv::testing
