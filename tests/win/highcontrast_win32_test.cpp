// High contrast: with the user's high-contrast colours the main window, the task editor, the
// about box, a question and the "Verlauf" window draw with the system's colours, the skin steps
// back to plain drawing, and the lists' text, background and column headings come from the same
// scheme (readable in black and in white); switching back brings the design's colours. Each
// window is looked at on the screen (the background is the scheme's, the text colour is there
// on it) and saved as a screenshot.
//
// Wine does not keep the high-contrast switch (SPI_SETHIGHCONTRAST fails there): the test
// answers SPI_GETHIGHCONTRAST itself, in this program's import of SystemParametersInfoW, and
// sets the scheme's colours with SetSysColors, which Wine keeps and announces with
// WM_SYSCOLORCHANGE as Windows does. On Windows the switch comes with WM_SETTINGCHANGE
// (SPI_SETHIGHCONTRAST), which the test sends as the system would.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/locale.h"
#include "store/registry.h"
#include "store/run_history.h"
#include "store/task_record.h"
#include "support/registry_memory.h"
#include "support/settable_clock.h"
#include "ui/HistoryWindow.h"
#include "ui/QuestionDialog.h"
#include "ui/TaskEditor.h"
#include "ui/UnitInfo.h"
#include "ui/UnitMain.h"
#include "ui/skin.h"
#include "ui/win32_text.h"
#include "ui/win/error.h"

namespace orv::testing {
namespace {

using SpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
SpiFn g_realSpi = nullptr;
bool g_highContrast = false;

BOOL WINAPI AnsweredSpi(UINT action, UINT param, PVOID data, UINT winIni) {
  if (action == SPI_GETHIGHCONTRAST && data) {
    auto* hc = static_cast<HIGHCONTRASTW*>(data);
    hc->dwFlags = g_highContrast ? HCF_HIGHCONTRASTON | HCF_AVAILABLE : HCF_AVAILABLE;
    hc->lpszDefaultScheme = nullptr;
    return TRUE;
  }
  return g_realSpi(action, param, data, winIni);
}

// Finds the editor's "Weiter" button among the main window's children (a callback of the
// system's calling convention: a lambda is not one in the 32-bit build).
BOOL CALLBACK FindWizardNext(HWND w, LPARAM lp) {
  if (GetDlgCtrlID(w) == kIdFlatButtonWizardNext) *reinterpret_cast<HWND*>(lp) = w;
  return TRUE;
}

// Points this program's import of user32!SystemParametersInfoW at AnsweredSpi.
bool AnswerHighContrastQueries() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       imp->Name; ++imp) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), "user32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), "SystemParametersInfoW") != 0)
        continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old))
        return false;
      if (!g_realSpi) g_realSpi = reinterpret_cast<SpiFn>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(&AnsweredSpi);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return true;
    }
  }
  return false;
}

// WCAG contrast ratio of two colours.
double Luminance(COLORREF c) {
  const auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) +
         0.0722 * channel(GetBValue(c));
}
double Contrast(COLORREF a, COLORREF b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(30);
  }
}

// A window as it is on the screen: its pixels, 0x00RRGGBB, bottom row first as a BMP file
// holds them.
struct Shot {
  RECT at{};  // on the screen
  int w = 0, h = 0;
  std::vector<std::uint32_t> pixels;

  COLORREF At(int screenX, int screenY) const {
    const std::uint32_t p = pixels[static_cast<std::size_t>(h - 1 - (screenY - at.top)) * w +
                                   (screenX - at.left)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // How many pixels of the window's part `area` (screen coordinates) are `colour`, of how many.
  std::pair<int, int> Count(const RECT& area, COLORREF colour) const {
    int hits = 0, all = 0;
    for (int y = std::max(area.top, at.top); y < std::min(area.bottom, at.bottom); ++y)
      for (int x = std::max(area.left, at.left); x < std::min(area.right, at.right); ++x, ++all)
        if (At(x, y) == colour) ++hits;
    return {hits, all};
  }
};

// Redraws the window and takes it from the screen.
Shot Capture(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  Shot shot;
  GetWindowRect(window, &shot.at);
  shot.w = shot.at.right - shot.at.left;
  shot.h = shot.at.bottom - shot.at.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = shot.w;
  bi.bmiHeader.biHeight = shot.h;  // bottom-up
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, shot.w, shot.h, screen, shot.at.left, shot.at.top, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  shot.pixels.assign(p, p + static_cast<std::size_t>(shot.w) * shot.h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return shot;
}

// Saved as an opaque 32-bit BMP under the build's screenshot folder: the screen leaves the
// fourth byte 0, which viewers that honour it show as fully transparent.
void Save(const Shot& shot, const char* name) {
  const std::string path = std::string(ORV_SCREENSHOT_DIR) + "/" + name + ".bmp";
  FILE* f = _wfopen(W(path.starts_with("/") ? "Z:" + path : path).c_str(), L"wb");
  ASSERT_NE(f, nullptr) << path;
  std::vector<std::uint32_t> opaque(shot.pixels);
  for (std::uint32_t& p : opaque) p |= 0xFF000000u;
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = shot.w;
  ih.biHeight = shot.h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  const DWORD size = static_cast<DWORD>(opaque.size() * 4);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + size;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  std::fwrite(opaque.data(), size, 1, f);
  std::fclose(f);
}

Shot SaveScreenshot(HWND window, const char* name) {
  Shot shot = Capture(window);
  Save(shot, name);
  return shot;
}

RECT ScreenRect(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  return r;
}

// Text readable in `area` of the shot: most of it is the background colour, and the text
// colour is there on it (at least a stroke's worth of pixels of exactly that colour).
void ExpectReadable(const Shot& shot, const RECT& area, COLORREF back, COLORREF text,
                    const char* what) {
  const auto [backs, all] = shot.Count(area, back);
  const auto [texts, ignored] = shot.Count(area, text);
  EXPECT_GT(all, 0) << what;
  EXPECT_GT(backs * 2, all) << what << ": background " << std::hex << back << std::dec << " on "
                            << backs << " of " << all << " pixels";
  EXPECT_GE(texts, 12) << what << ": text colour " << std::hex << text << std::dec << " on "
                       << texts << " pixels";
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return c;
}

// The colours of the high contrast black scheme.
constexpr int kElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                             COLOR_HOTLIGHT, COLOR_GRAYTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};
constexpr COLORREF kBlackScheme[] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF),
                                     RGB(0, 0, 0),       RGB(0xFF, 0xFF, 0),  RGB(0x3F, 0xF2, 0x3F),
                                     RGB(0, 0, 0),       RGB(255, 255, 255)};

class HighContrast : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AnswerHighContrastQueries());
    for (int e : kElements) saved_.push_back(GetSysColor(e));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
  }
  void TearDown() override {
    SetSysColors(static_cast<int>(std::size(kElements)), kElements, saved_.data());
    g_highContrast = false;
  }
  // Turns high contrast on or off as the system does: the colours, then the announcement to
  // every top-level window.
  void Switch(bool on) {
    g_highContrast = on;
    if (on) SetSysColors(static_cast<int>(std::size(kElements)), kElements, kBlackScheme);
    else SetSysColors(static_cast<int>(std::size(kElements)), kElements, saved_.data());
    for (HWND w : windows_) SendMessageW(w, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    Pump();
  }
  std::vector<COLORREF> saved_;
  std::vector<HWND> windows_;  // the program's top-level windows
};

TEST_F(HighContrast, WindowsTakeTheSystemColoursAndStayReadable) {
  MemoryRegistry registry;
  {
    RegistryAccessor reg(registry);
    ASSERT_TRUE(reg.OpenKey(rec::TaskKey("Sicherung"), true));
    reg.WriteInteger("TaskType", 0);
    reg.WriteString("Program", "C:\\windows\\notepad.exe");
    reg.WriteString("ProgramShow", "SW_HIDE");
    reg.WriteInteger("TaskAuto", 0);
    reg.WriteBool("IntEnabled", true);
    reg.WriteInteger("Intervall", 30);
    reg.WriteBool("TimeEnabled", false);
  }
  {
    // Two runs for "Verlauf".
    RunHistory runs(registry);
    runs.Add(RunEntry{46083.375, "Sicherung", RunTrigger::kTime, RunOutcome::kDone, ""});
    runs.Add(RunEntry{46083.396, "Sicherung", RunTrigger::kStart, RunOutcome::kFailed,
                      "Programm nicht gefunden"});
  }
  SettableClock clock;
  clock.Set(2026, 3, 2, 9, 0);
  // The idle detector's library is part of Orvalis.exe, not of this program: its warning is
  // recorded instead of shown.
  std::vector<std::string> warnings;
  const auto previous = win::SetErrorHandler(
      [&](HWND, const std::string& text) { warnings.push_back(text); });
  skin::Skin skin;
  TFormMain form(registry, clock, UserLocale(), Services{}, nullptr, skin);
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr)));
  HWND main = form.Handle();
  ASSERT_NE(main, nullptr);
  TFormInfo info([](const std::wstring&) {});
  ASSERT_TRUE(info.Create(GetModuleHandleW(nullptr)));
  TFormConfirm confirm(skin);
  ASSERT_TRUE(confirm.Create(GetModuleHandleW(nullptr), main));
  HistoryWindow* history = form.History();
  ASSERT_NE(history, nullptr);
  windows_ = {main, info.Handle(), confirm.Handle(), history->Handle()};
  ShowWindow(main, SW_SHOW);
  SetForegroundWindow(main);
  Pump();
  HWND list = GetDlgItem(main, kIdListViewTasks);
  ASSERT_NE(list, nullptr);
  HWND header = ListView_GetHeader(list);
  ASSERT_NE(header, nullptr);
  // The design: the list's own background with the design's text colour.
  EXPECT_EQ(ListView_GetBkColor(list), kListBackground);
  EXPECT_GE(Contrast(ListView_GetBkColor(list), ListView_GetTextColor(list)), 4.5);

  // "Verlauf" and a question (moved to the work area's corner, beside it) shown while the
  // colours change: they follow them.
  history->Show();
  confirm.Begin("Soll der Task \"Sicherung\" jetzt gestartet werden?");
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(confirm.Handle(), nullptr, work.left, work.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  Switch(true);
  ASSERT_TRUE(skin::HighContrast());
  const COLORREF window = GetSysColor(COLOR_WINDOW), text = GetSysColor(COLOR_WINDOWTEXT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), buttonText = GetSysColor(COLOR_BTNTEXT);
  ASSERT_EQ(window, RGB(0, 0, 0));
  {
    // The question: its title, its lines and its check box in the window text, "Ja" in the
    // highlight's colours.
    const Shot shot = SaveScreenshot(confirm.Handle(), "highcontrast-black-question");
    for (int id : {kIdConfirmTitle, kIdLabelConfirm1, kIdLabelConfirm2, kIdFlatCheckBoxConfirm})
      ExpectReadable(shot, ScreenRect(confirm.Control(id)), window, text, "question: a text");
    ExpectReadable(shot, ScreenRect(confirm.Control(kIdFlatButtonYesConfirm)),
                   GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT), "question: Ja");
    ExpectReadable(shot, ScreenRect(confirm.Control(kIdFlatButtonNoConfirm)), face, buttonText,
                   "question: Nein");
  }
  confirm.Withdraw();
  Pump();
  {
    HWND h = history->Handle();
    const Shot shot = SaveScreenshot(h, "highcontrast-black-history");
    ExpectReadable(shot, ScreenRect(history->Control(kIdHistoryTitle)), window, text,
                   "Verlauf: title");
    ExpectReadable(shot, ScreenRect(history->Control(kIdHistoryFilterLabel)), window, text,
                   "Verlauf: filter label");
    HWND runs = history->Control(kIdHistoryList);
    ASSERT_EQ(ListView_GetItemCount(runs), 2);
    // The rows and the room below them, unselected.
    RECT rows{};
    GetClientRect(runs, &rows);
    MapWindowPoints(runs, nullptr, reinterpret_cast<POINT*>(&rows), 2);
    rows.top = ScreenRect(ListView_GetHeader(runs)).bottom;
    ListView_SetItemState(runs, -1, 0, LVIS_SELECTED);
    const Shot listShot = Capture(h);
    ExpectReadable(listShot, rows, window, text, "Verlauf: the list");
    ExpectReadable(listShot, ScreenRect(ListView_GetHeader(runs)), face, buttonText,
                   "Verlauf: the headings");
    ExpectReadable(listShot, ScreenRect(history->Control(kIdHistoryClear)), face, buttonText,
                   "Verlauf: Leeren");
    SendMessageW(h, WM_CLOSE, 0, 0);
    Pump();
  }

  // The main window. Black: the scheme's background and text in the list, readable.
  EXPECT_EQ(ListView_GetBkColor(list), RGB(0, 0, 0));
  EXPECT_EQ(ListView_GetTextColor(list), RGB(255, 255, 255));
  EXPECT_GE(Contrast(ListView_GetBkColor(list), ListView_GetTextColor(list)), 4.5);
  // The skin steps back: the title band is the window colour, its title the window text.
  const int dpi = skin.Dpi();
  EXPECT_EQ(ScreenPixel(main, MulDiv(300, dpi, 96), MulDiv(27, dpi, 96)), RGB(0, 0, 0));
  EXPECT_EQ(skin::Colours().text, RGB(255, 255, 255));
  EXPECT_EQ(skin::Colours().accent, kBlackScheme[2]);
  {
    const Shot shot = SaveScreenshot(main, "highcontrast-black-main");
    // The column headings in the button colours, the text on them.
    ExpectReadable(shot, ScreenRect(header), face, buttonText, "main: the headings");
  }

  // The editor, its first and second step.
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(kIdFlatButtonAdd, BN_CLICKED), 0);
  Pump();
  HWND next = nullptr;
  EnumChildWindows(main, FindWizardNext, reinterpret_cast<LPARAM>(&next));
  ASSERT_NE(next, nullptr);
  HWND editor = GetParent(next);
  // The editor's page and its step band are the window colour, not the design's light grey
  // and blue.
  EXPECT_EQ(ScreenPixel(editor, MulDiv(300, dpi, 96), MulDiv(300, dpi, 96)), RGB(0, 0, 0));
  EXPECT_EQ(ScreenPixel(editor, MulDiv(6, dpi, 96), MulDiv(300, dpi, 96)), RGB(0, 0, 0));
  SaveScreenshot(main, "highcontrast-black-editor-step1");
  SendMessageW(next, BM_CLICK, 0, 0);
  Pump();
  SaveScreenshot(main, "highcontrast-black-editor-step2");
  SendMessageW(GetDlgItem(editor, kIdFlatButtonWizardCancel), BM_CLICK, 0, 0);
  Pump();

  // The about box: its texts in the window text, its links in the hot-light colour.
  info.Show();
  Pump();
  {
    const Shot shot = SaveScreenshot(info.Handle(), "highcontrast-black-about");
    for (int id : {kIdLabelInfo1, kIdLabelInfo2, kIdLabelInfo3, kIdLabelInfo5})
      ExpectReadable(shot, ScreenRect(info.Control(id)), window, text, "about box: a text");
    for (int id : {kIdLabelProductSite, kIdLabelEmail})
      ExpectReadable(shot, ScreenRect(info.Control(id)), window, GetSysColor(COLOR_HOTLIGHT),
                     "about box: a link");
  }
  info.CoolFormInfoClick();
  Pump();

  // White: the same holds with the other scheme.
  const COLORREF white[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x37, 0x00, 0x6E),
                            RGB(255, 255, 255), RGB(0, 0, 0x9F),   RGB(0x60, 0, 0),
                            RGB(255, 255, 255), RGB(0, 0, 0)};
  SetSysColors(static_cast<int>(std::size(kElements)), kElements, white);
  for (HWND w : windows_) SendMessageW(w, WM_SYSCOLORCHANGE, 0, 0);
  Pump();
  EXPECT_EQ(ListView_GetBkColor(list), RGB(255, 255, 255));
  EXPECT_EQ(ListView_GetTextColor(list), RGB(0, 0, 0));
  {
    const Shot shot = SaveScreenshot(main, "highcontrast-white-main");
    ExpectReadable(shot, ScreenRect(header), RGB(255, 255, 255), RGB(0, 0, 0),
                   "main: the headings in white");
  }

  // Off again: the design's colours.
  Switch(false);
  EXPECT_FALSE(skin::HighContrast());
  EXPECT_EQ(ListView_GetBkColor(list), kListBackground);
  EXPECT_EQ(skin::Colours().accent, skin::kPalette.accent);
  SaveScreenshot(main, "highcontrast-off-main");
  DestroyWindow(main);
  Pump();
  win::SetErrorHandler(previous);
  for (const std::string& w : warnings) EXPECT_NE(w.find("Leerlauf"), std::string::npos) << w;
}

}  // namespace
}  // namespace orv::testing
