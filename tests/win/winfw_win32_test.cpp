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

}  // namespace
}  // namespace orv::testing
