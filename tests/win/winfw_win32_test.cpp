// The window framework: an error in a window procedure or in a subclass procedure reaches the
// general error handler and the message loop goes on; a message after WM_NCDESTROY, or to a
// window that outlives its object, reaches no object.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/win/dpi.h"
#include "ui/win/error.h"
#include "ui/win/window.h"

namespace orv::testing {
namespace {

constexpr UINT kThrow = WM_APP + 1;
constexpr UINT kCount = WM_APP + 2;
constexpr UINT kThrowUnknown = WM_APP + 3;
constexpr wchar_t kClass[] = L"OrvalisWinfwTest";

int g_handled = 0;  // kCount messages that reached a window's object

class TestWindow : public win::Window<TestWindow> {
 public:
  ~TestWindow() {
    if (hwnd_ && !abandoned_) DestroyWindow(hwnd_);
  }
  bool Create() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);  // fails harmlessly when registered already
    CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    return hwnd_ != nullptr;
  }
  // The window outlives this object, as a window whose owner forgot it would.
  void Abandon() { abandoned_ = true; }

 private:
  friend class win::Window<TestWindow>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kThrow) throw std::runtime_error("Fehler im Fenster");
    if (msg == kThrowUnknown) throw 42;
    if (msg == kCount) {
      ++g_handled;
      return 7;
    }
    if (msg == WM_NCDESTROY) SendMessageW(hwnd_, kCount, 0, 0);  // the window let go already
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }
  bool abandoned_ = false;
};

LRESULT CALLBACK ThrowingSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == kThrow + 100) throw std::runtime_error("Fehler im Feld");
  return DefSubclassProc(hwnd, msg, wp, lp);
}

struct Report {
  HWND owner;
  std::string text;
};

class WindowFramework : public ::testing::Test {
 protected:
  void SetUp() override {
    g_handled = 0;
    previous_ = win::SetErrorHandler(
        [this](HWND owner, const std::string& text) { reports_.push_back({owner, text}); });
  }
  void TearDown() override { win::SetErrorHandler(previous_); }

  // Dispatches what the thread's queue holds, as the program's message loop does.
  static void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }

  std::vector<Report> reports_;
  win::ErrorHandler previous_;
};

TEST_F(WindowFramework, ErrorInWindowProcedureIsReportedAndTheLoopGoesOn) {
  TestWindow window;
  ASSERT_TRUE(window.Create());
  PostMessageW(window.Handle(), kThrow, 0, 0);
  PostMessageW(window.Handle(), kThrowUnknown, 0, 0);
  PostMessageW(window.Handle(), kCount, 0, 0);
  Pump();
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_EQ(reports_[0].text, "Fehler im Fenster");
  EXPECT_EQ(reports_[0].owner, window.Handle());
  EXPECT_EQ(reports_[1].text, "Unbekannter Fehler.");
  EXPECT_EQ(g_handled, 1);  // the message after the errors was handled
  EXPECT_EQ(SendMessageW(window.Handle(), kThrow, 0, 0), 0);
  EXPECT_EQ(reports_.size(), 3u);
}

TEST_F(WindowFramework, ErrorInSubclassProcedureIsReportedAndTheControlGoesOn) {
  TestWindow window;
  ASSERT_TRUE(window.Create());
  HWND field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 5, 5, window.Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(field, nullptr);
  ASSERT_TRUE(win::Subclass<ThrowingSubclass>(field, 1, 0));
  PostMessageW(field, kThrow + 100, 0, 0);
  Pump();
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].text, "Fehler im Feld");
  EXPECT_EQ(reports_[0].owner, window.Handle());  // the top-level window owns the box
  SetWindowTextW(field, L"weiter");
  wchar_t text[16]{};
  GetWindowTextW(field, text, 16);
  EXPECT_STREQ(text, L"weiter");
}

TEST_F(WindowFramework, NoMessageReachesTheObjectFromWmNcDestroyOn) {
  TestWindow window;
  ASSERT_TRUE(window.Create());
  const HWND hwnd = window.Handle();
  EXPECT_EQ(SendMessageW(hwnd, kCount, 0, 0), 7);
  DestroyWindow(hwnd);
  EXPECT_EQ(g_handled, 1);  // the message sent during WM_NCDESTROY found no object
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowFramework, WindowThatOutlivesItsObjectReachesNoObject) {
  auto window = std::make_unique<TestWindow>();
  ASSERT_TRUE(window->Create());
  const HWND hwnd = window->Handle();
  window->Abandon();
  window.reset();
  EXPECT_EQ(SendMessageW(hwnd, kCount, 0, 0), 0);
  EXPECT_EQ(g_handled, 0);
  DestroyWindow(hwnd);
  EXPECT_EQ(g_handled, 0);
}

// A window laid out at 120 dpi and moved to 144, 192 and back keeps its design to the pixel
// (no rounding creeps in), grandchildren are left to their own parent, and each control gets
// the font for the new dpi.
TEST_F(WindowFramework, ChildLayoutMovesChildrenToEachDpiWithoutDrift) {
  const win::Dpi at120(120);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, at120.Scale(400),
                                at120.Scale(300), nullptr, nullptr, instance, nullptr);
  ASSERT_NE(parent, nullptr);
  const auto make = [&](const wchar_t* cls, DWORD style, const RECT& r96, HWND in) {
    const RECT r = in == parent ? at120.Scale(r96) : r96;
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, in, nullptr, instance, nullptr);
  };
  HWND button = make(L"BUTTON", 0, RECT{13, 17, 113, 43}, parent);
  HWND panel = make(L"STATIC", 0, RECT{5, 250, 395, 290}, parent);
  HWND inner = make(L"BUTTON", 0, RECT{3, 4, 50, 20}, panel);
  ASSERT_TRUE(button && panel && inner);
  HFONT font120 = CreateFontW(-15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
  HFONT font144 = CreateFontW(-18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font120), FALSE);

  win::ChildLayout layout;
  layout.Capture(parent, at120);
  EXPECT_EQ(layout.Size(), 2u);

  const auto placed = [&](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  RECT innerBefore = placed(inner);
  for (int dpi : {144, 192, 96, 120}) {
    layout.Apply(win::Dpi(dpi), [&](HFONT old) { return old == font120 ? font144 : nullptr; });
    const RECT b = placed(button);
    const RECT want = win::Dpi(dpi).Scale(RECT{13, 17, 113, 43});
    EXPECT_TRUE(EqualRect(&b, &want)) << dpi << ": " << b.left << "," << b.top << "-" << b.right
                                      << "," << b.bottom;
  }
  const RECT innerAfter = placed(inner);
  EXPECT_TRUE(EqualRect(&innerBefore, &innerAfter));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)), font144);
  DestroyWindow(parent);
  DeleteObject(font120);
  DeleteObject(font144);
}

}  // namespace
}  // namespace orv::testing
