// The countdown window as a real window, driven by keys through the program's own message
// dispatch: every way out but "Jetzt ausführen" and "In 15 Minuten erneut" cancels, and the
// focus starts on "Abbrechen".
#include "ui/CountdownWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/prompter_win32.h"

namespace orv::testing {
namespace {

void PostKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

class CountdownWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<CountdownWindow>();
    ASSERT_TRUE(window_->Create(GetModuleHandleW(nullptr), [this](CountdownDecision d) {
      decisions_.push_back(d);
    }));
  }
  void TearDown() override {
    window_.reset();
    Pump();
  }
  static void Pump() { Win32MessagePump().PumpOnce(); }
  HWND Button(int id) const { return window_->Control(id); }
  bool Shown() const { return IsWindowVisible(window_->Handle()) != FALSE; }

  std::unique_ptr<CountdownWindow> window_;
  std::vector<CountdownDecision> decisions_;
};

TEST_F(CountdownWindowTest, OpensOnAbbrechenAndEveryOtherWayOutCancels) {
  HWND run = Button(kIdFlatButtonCountdownRun);
  HWND cancel = Button(kIdFlatButtonCountdownCancel);
  HWND later = Button(kIdFlatButtonCountdownPostpone);
  ASSERT_TRUE(run && cancel && later);
  const LONG_PTR ex = GetWindowLongPtrW(window_->Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindow(window_->Handle(), GW_OWNER)) << "owned by no window";

  window_->Show("Neustart", "Der Computer wird in 30 Sekunden neu gestartet.");
  Pump();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(GetFocus(), cancel);
  // Enter on the window's opening focus: "Abbrechen".
  PostKey(GetFocus(), VK_RETURN);
  Pump();
  EXPECT_FALSE(Shown());
  ASSERT_EQ(decisions_, std::vector<CountdownDecision>{CountdownDecision::kCancel});

  // Tab goes on to "In 15 Minuten erneut", and from the last button round to the first.
  window_->Show("Neustart", "Der Computer wird in 30 Sekunden neu gestartet.");
  Pump();
  PostKey(GetFocus(), VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), later);
  PostKey(GetFocus(), VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), run);
  // An update of the line while it shows takes nothing away from the user's place.
  window_->Show("Neustart", "Der Computer wird in 29 Sekunden neu gestartet.");
  EXPECT_EQ(GetFocus(), run);
  PostKey(GetFocus(), VK_ESCAPE);
  Pump();
  EXPECT_FALSE(Shown());
  EXPECT_EQ(decisions_.back(), CountdownDecision::kCancel);

  // Closing it any other way, and hiding it from outside, cancel too.
  window_->Show("Neustart", "x");
  SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(decisions_.back(), CountdownDecision::kCancel);
  window_->Show("Neustart", "x");
  ShowWindow(window_->Handle(), SW_HIDE);
  EXPECT_EQ(decisions_.size(), 4u);
  EXPECT_EQ(decisions_.back(), CountdownDecision::kCancel);
  // The engine's own hide is no decision.
  window_->Show("Neustart", "x");
  window_->Hide();
  EXPECT_EQ(decisions_.size(), 4u);

  // The two other buttons.
  window_->Show("Neustart", "x");
  SendMessageW(later, BM_CLICK, 0, 0);
  window_->Show("Neustart", "x");
  SendMessageW(run, BM_CLICK, 0, 0);
  EXPECT_EQ(decisions_[4], CountdownDecision::kPostpone);
  EXPECT_EQ(decisions_[5], CountdownDecision::kRunNow);
  EXPECT_FALSE(Shown());
}

TEST_F(CountdownWindowTest, ControlsAreSizedByTheWindowsDpi) {
  const int dpi = window_->Dpi();
  ASSERT_GE(dpi, 96);
  RECT r{};
  GetWindowRect(Button(kIdFlatButtonCountdownCancel), &r);
  EXPECT_EQ(r.right - r.left, MulDiv(CountdownWindow::kCancelRect.right -
                                         CountdownWindow::kCancelRect.left, dpi, 96));
  GetWindowRect(window_->Handle(), &r);
  EXPECT_EQ(r.right - r.left, MulDiv(CountdownWindow::kWidth, dpi, 96));
}

}  // namespace
}  // namespace orv::testing
