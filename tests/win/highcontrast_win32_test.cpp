// High contrast: with the user's high-contrast colours the main window and the task editor draw
// with the system's colours, the skin steps back to plain drawing, and the task list's text and
// background come from the same scheme (readable in black and in white); switching back brings
// the design's colours. Screenshots of both windows in high contrast black.
//
// Wine does not keep the high-contrast switch (SPI_SETHIGHCONTRAST fails there): the test
// answers SPI_GETHIGHCONTRAST itself, in this program's import of SystemParametersInfoW, and
// sets the scheme's colours with SetSysColors, which Wine keeps and announces with
// WM_SYSCOLORCHANGE as Windows does. On Windows the switch comes with WM_SETTINGCHANGE
// (SPI_SETHIGHCONTRAST), which the test sends as the system would.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "store/registry.h"
#include "store/task_record.h"
#include "support/registry_memory.h"
#include "support/settable_clock.h"
#include "ui/TaskEditor.h"
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

// The window as it is on the screen, saved as a BMP under the build's screenshot folder.
void SaveScreenshot(HWND window, const char* name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as a BMP file holds it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const std::string path = std::string(ORV_SCREENSHOT_DIR) + "/" + name + ".bmp";
  if (FILE* f = _wfopen(W(path.starts_with("/") ? "Z:" + path : path).c_str(), L"wb")) {
    const DWORD size = static_cast<DWORD>(w) * h * 4;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    std::fwrite(bits, size, 1, f);
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
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
  // Turns high contrast on or off as the system does: the colours, then the announcement.
  void Switch(HWND window, bool on) {
    g_highContrast = on;
    if (on) SetSysColors(static_cast<int>(std::size(kElements)), kElements, kBlackScheme);
    else SetSysColors(static_cast<int>(std::size(kElements)), kElements, saved_.data());
    SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    Pump();
  }
  std::vector<COLORREF> saved_;
};

TEST_F(HighContrast, WindowsTakeTheSystemColoursAndTheListStaysReadable) {
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
  ShowWindow(main, SW_SHOW);
  SetForegroundWindow(main);
  Pump();
  HWND list = GetDlgItem(main, kIdListViewTasks);
  ASSERT_NE(list, nullptr);
  // The design: the list's own background with the design's text colour.
  EXPECT_EQ(ListView_GetBkColor(list), kListBackground);
  EXPECT_GE(Contrast(ListView_GetBkColor(list), ListView_GetTextColor(list)), 4.5);

  Switch(main, true);
  ASSERT_TRUE(skin::HighContrast());
  // Black: the scheme's background and text in the list, readable.
  EXPECT_EQ(ListView_GetBkColor(list), RGB(0, 0, 0));
  EXPECT_EQ(ListView_GetTextColor(list), RGB(255, 255, 255));
  EXPECT_GE(Contrast(ListView_GetBkColor(list), ListView_GetTextColor(list)), 4.5);
  // The skin steps back: the title band is the window colour, its title the window text.
  const int dpi = skin.Dpi();
  EXPECT_EQ(ScreenPixel(main, MulDiv(300, dpi, 96), MulDiv(27, dpi, 96)), RGB(0, 0, 0));
  EXPECT_EQ(skin::Colours().text, RGB(255, 255, 255));
  EXPECT_EQ(skin::Colours().accent, kBlackScheme[2]);
  SaveScreenshot(main, "highcontrast-black-main");

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

  // White: the same holds with the other scheme.
  const COLORREF white[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x37, 0x00, 0x6E),
                            RGB(255, 255, 255), RGB(0, 0, 0x9F),   RGB(0x60, 0, 0),
                            RGB(255, 255, 255), RGB(0, 0, 0)};
  SetSysColors(static_cast<int>(std::size(kElements)), kElements, white);
  SendMessageW(main, WM_SYSCOLORCHANGE, 0, 0);
  Pump();
  EXPECT_EQ(ListView_GetBkColor(list), RGB(255, 255, 255));
  EXPECT_EQ(ListView_GetTextColor(list), RGB(0, 0, 0));
  SaveScreenshot(main, "highcontrast-white-main");

  // Off again: the design's colours.
  Switch(main, false);
  EXPECT_FALSE(skin::HighContrast());
  EXPECT_EQ(ListView_GetBkColor(list), kListBackground);
  EXPECT_EQ(skin::Colours().accent, skin::kPalette.accent);
  DestroyWindow(main);
  Pump();
  win::SetErrorHandler(previous);
  for (const std::string& w : warnings) EXPECT_NE(w.find("Leerlauf"), std::string::npos) << w;
}

}  // namespace
}  // namespace orv::testing
