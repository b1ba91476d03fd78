// The job tick's two question dialogs as real windows, answered from timers that run inside the
// prompter's own message loop, the way a user's clicks and keys arrive.
#include "ui/prompter_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/QuestionDialog.h"
#include "ui/skin.h"
#include "ui/win32_text.h"

namespace orv::testing {
namespace {

// Actions that run from thread timers, that is from whatever loop pumps the messages.
std::map<UINT_PTR, std::function<void()>>& Actions() {
  static std::map<UINT_PTR, std::function<void()>> actions;
  return actions;
}

void CALLBACK RunAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto it = Actions().find(id);
  if (it == Actions().end()) return;
  std::function<void()> action = std::move(it->second);
  Actions().erase(it);
  action();
}

UINT_PTR After(UINT ms, std::function<void()> action) {
  const UINT_PTR id = SetTimer(nullptr, 0, ms, &RunAction);
  if (id) Actions()[id] = std::move(action);
  return id;
}

void Cancel(UINT_PTR id) {
  KillTimer(nullptr, id);
  Actions().erase(id);
}

std::wstring Text(HWND hwnd) {
  wchar_t buf[512] = {};
  GetWindowTextW(hwnd, buf, 512);
  return buf;
}

// A child's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The same as "left,top rightxbottom".
std::string Place(HWND child) {
  const RECT r = PlaceOf(child);
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) +
         "x" + std::to_string(r.bottom);
}

void PostKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

// Alt and a letter, as the keyboard posts them (TranslateMessage makes the WM_SYSCHAR).
void PostAltKey(HWND target, wchar_t letter) {
  PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageW(target, WM_SYSKEYDOWN, towupper(letter), 0x20000001);
  PostMessageW(target, WM_SYSKEYUP, towupper(letter), static_cast<LPARAM>(0xE0000001u));
  PostMessageW(target, WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0000001u));
}

constexpr wchar_t kOwnerClass[] = L"OrvalisPromptTestOwner";
constexpr wchar_t kCheckBoxText[] = L"&Dieses Fenster nicht mehr anzeigen.";

// Both dialogs with a hidden owner at 200,150 (600 x 400), as the main window owns them.
class PromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance_;
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);
    owner_ = CreateWindowExW(0, kOwnerClass, L"Owner", WS_OVERLAPPEDWINDOW, 200, 150, 600, 400,
                             nullptr, nullptr, instance_, nullptr);
    ASSERT_TRUE(owner_);
    skin_ = std::make_unique<skin::Skin>();
    confirm_ = std::make_unique<TFormConfirm>(*skin_);
    recover_ = std::make_unique<TFormRecover>(*skin_);
    ASSERT_TRUE(confirm_->Create(instance_, owner_));
    ASSERT_TRUE(recover_->Create(instance_, owner_));
    prompter_ = std::make_unique<Win32Prompter>(*confirm_, *recover_);
  }

  void TearDown() override {
    for (auto& [id, action] : Actions()) KillTimer(nullptr, id);
    Actions().clear();
    prompter_.reset();
    confirm_.reset();
    recover_.reset();
    if (owner_) DestroyWindow(owner_);
    skin_.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
  }

  // Asks, with a watchdog that ends a question nobody answers.
  PromptResult Ask(bool confirm, const std::string& line) {
    const UINT_PTR watchdog = After(10000, [this] {
      ADD_FAILURE() << "the question was not answered";
      if (confirm_->Handle()) DestroyWindow(confirm_->Handle());
      if (recover_->Handle()) DestroyWindow(recover_->Handle());
    });
    const PromptResult result =
        confirm ? prompter_->AskConfirm(line) : prompter_->AskRecover(line);
    Cancel(watchdog);
    return result;
  }

  HWND Yes(const QuestionDialog& d) const { return d.Control(d.Form().idYes); }
  HWND No(const QuestionDialog& d) const { return d.Control(d.Form().idNo); }
  HWND Box(const QuestionDialog& d) const { return d.Control(d.Form().idCheckBox); }
  HWND Line1(const QuestionDialog& d) const { return d.Control(d.Form().idLine1); }
  static void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
  static bool Ticked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

  HINSTANCE instance_ = nullptr;
  HWND owner_ = nullptr;
  std::unique_ptr<skin::Skin> skin_;
  std::unique_ptr<TFormConfirm> confirm_;
  std::unique_ptr<TFormRecover> recover_;
  std::unique_ptr<Win32Prompter> prompter_;
};

TEST_F(PromptTest, DialogsHaveTheirSizeControlsTextsAndTabOrder) {
  struct Case {
    QuestionDialog* dialog;
    const wchar_t* windowClass;
    int width;
    std::wstring title, second;
  } cases[] = {
      {confirm_.get(), L"TFormConfirm", 350, L"Best\u00E4tigung der Durchf\u00FChrung",
       L"Soll mit der Durchf\u00FChrung des Task nun begonnen werden?"},
      {recover_.get(), L"TFormRecover", 349, L"Task nachholen",
       L"Soll die Durchf\u00FChrung des Task nun nachgeholt werden?"},
  };
  const auto px = [this](int left, int top, int width, int height) {
    const skin::Skin& s = *skin_;
    return std::to_string(s.Scale(left)) + "," + std::to_string(s.Scale(top)) + " " +
           std::to_string(s.Scale(left + width)) + "x" + std::to_string(s.Scale(top + height));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.windowClass));
    const QuestionDialog& d = *c.dialog;
    HWND hwnd = d.Handle();
    EXPECT_EQ(FindWindowW(c.windowClass, nullptr), hwnd);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "made hidden";
    EXPECT_EQ(Text(hwnd), c.title);

    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, skin_->Scale(c.width));
    EXPECT_EQ(r.bottom - r.top, skin_->Scale(250));
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) << "borderless";
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Rounded outline: the corner pixel is cut away, the edge midpoints are kept.
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(hwnd, rgn), ERROR);
    EXPECT_FALSE(PtInRegion(rgn, 0, 0));
    EXPECT_FALSE(PtInRegion(rgn, r.right - r.left - 1, r.bottom - r.top - 1));
    EXPECT_TRUE(PtInRegion(rgn, (r.right - r.left) / 2, 0));
    EXPECT_TRUE(PtInRegion(rgn, 0, (r.bottom - r.top) / 2));
    DeleteObject(rgn);

    HWND title = d.Control(d.Form().idTitle);
    ASSERT_TRUE(title);
    const RECT tr = PlaceOf(title);
    EXPECT_EQ(tr.left, skin_->Scale(42));
    EXPECT_EQ(tr.top, skin_->Scale(9));
    EXPECT_EQ(Text(title), c.title);

    EXPECT_EQ(Place(Line1(d)), px(30, 55, 290, 30));
    HWND second = d.Control(d.Form().idLine2);
    EXPECT_EQ(Place(second), px(30, 103, 290, 30));
    EXPECT_EQ(Text(second), c.second);
    EXPECT_EQ(Place(Yes(d)), px(86, 147, 85, 25));
    EXPECT_EQ(Text(Yes(d)), L"&Ja");
    EXPECT_EQ(Place(No(d)), px(178, 147, 85, 25));
    EXPECT_EQ(Text(No(d)), L"&Nein");
    EXPECT_EQ(Place(Box(d)), px(30, 193, 290, 17));
    EXPECT_EQ(Text(Box(d)), kCheckBoxText);
    EXPECT_FALSE(Ticked(Box(d))) << "starts unticked";

    // Tab order: check box, "Ja", "Nein", and round again.
    EXPECT_EQ(GetNextDlgTabItem(hwnd, nullptr, FALSE), Box(d));
    EXPECT_EQ(GetNextDlgTabItem(hwnd, Box(d), FALSE), Yes(d));
    EXPECT_EQ(GetNextDlgTabItem(hwnd, Yes(d), FALSE), No(d));
    EXPECT_EQ(GetNextDlgTabItem(hwnd, No(d), FALSE), Box(d));
    EXPECT_EQ(GetNextDlgTabItem(hwnd, Box(d), TRUE), No(d));
  }
}

TEST_F(PromptTest, ButtonsAnswerAndTheQuestionShowsOnTopWithItsFirstLine) {
  const std::string line =
      "Task 'Müller & Söhne' hat den Durchführungszeitpunkt erreicht.";
  bool visible = false, topmost = false;
  HWND focus = nullptr, active = nullptr;
  std::wstring shown;
  RECT place{};
  After(50, [&] {
    HWND hwnd = confirm_->Handle();
    visible = IsWindowVisible(hwnd);
    topmost = GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST;
    focus = GetFocus();
    active = GetActiveWindow();
    shown = Text(Line1(*confirm_));
    GetWindowRect(hwnd, &place);
    Click(Yes(*confirm_));
  });
  PromptResult result = Ask(true, line);
  EXPECT_EQ(result.answer, kAnswerYes);
  EXPECT_FALSE(result.dontShowAgain);
  EXPECT_EQ(confirm_->AnswerCode(), kAnswerYes);
  EXPECT_TRUE(visible);
  EXPECT_TRUE(topmost);
  EXPECT_EQ(active, confirm_->Handle());
  EXPECT_EQ(focus, Box(*confirm_)) << "the first control has the focus";
  EXPECT_EQ(shown, W(line));
  EXPECT_FALSE(IsWindowVisible(confirm_->Handle())) << "hidden after the answer";
  // Centred over the owner (200,150, 600 x 400).
  EXPECT_EQ(place.left, 200 + (600 - skin_->Scale(350)) / 2);
  EXPECT_EQ(place.top, 150 + (400 - skin_->Scale(250)) / 2);

  After(50, [&] { Click(No(*recover_)); });
  result = Ask(false, "Task 'x' konnte beim letzten Durchführungszeitpunkt nicht "
                      "gestartet werden.");
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_FALSE(result.dontShowAgain);
  EXPECT_EQ(recover_->AnswerCode(), kAnswerNo);
  EXPECT_FALSE(IsWindowVisible(recover_->Handle()));
}

TEST_F(PromptTest, MovedToAnotherScaleTheQuestionIsLaidOutAnewAndTheNextOpensAtTheMainOnes) {
  const int moved = skin_->Dpi() * 2;
  const auto at = [moved](int px96) { return MulDiv(px96, moved, 96); };
  HWND hwnd = confirm_->Handle();
  const RECT suggested{40, 30, 40 + at(350), 30 + at(250)};
  SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(moved, moved), reinterpret_cast<LPARAM>(&suggested));
  RECT r{};
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 30);
  EXPECT_EQ(r.right - r.left, at(350));
  EXPECT_EQ(r.bottom - r.top, at(250));
  const RECT yes = PlaceOf(Yes(*confirm_));
  EXPECT_EQ(yes.left, at(86));
  EXPECT_EQ(yes.top, at(147));
  EXPECT_EQ(yes.right, at(86 + 85));
  const RECT box = PlaceOf(Box(*confirm_));
  EXPECT_EQ(box.bottom, at(193 + 17));
  // The buttons' font is made for the new scale: twice as high as the main window's.
  LOGFONTW moves{}, stays{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Yes(*confirm_), WM_GETFONT, 0, 0)), sizeof moves,
             &moves);
  GetObjectW(skin_->Font(), sizeof stays, &stays);
  EXPECT_EQ(moves.lfHeight, stays.lfHeight * 2);

  // The next question shows over the main window again, at its scale.
  After(50, [&] {
    GetWindowRect(hwnd, &r);
    Click(No(*confirm_));
  });
  Ask(true, "Task 'x'");
  EXPECT_EQ(r.right - r.left, skin_->Scale(350));
  EXPECT_EQ(r.bottom - r.top, skin_->Scale(250));
  EXPECT_EQ(PlaceOf(Yes(*confirm_)).left, skin_->Scale(86));
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Yes(*confirm_), WM_GETFONT, 0, 0)), sizeof moves,
             &moves);
  EXPECT_EQ(moves.lfHeight, stays.lfHeight);
}

TEST_F(PromptTest, LongFirstLineGrowsIntoTheFreeRoomInsteadOfBeingCut) {
  // The longest task name there is (30 characters) in the longer of the two first lines.
  const std::string name = "WWWWWWWWWW Datensicherung Büro";
  ASSERT_EQ(W(name).size(), 30u);
  const std::wstring line = W("Task '" + name +
                              "' konnte beim letzten Durchführungszeitpunkt nicht "
                              "gestartet werden.");
  RECT longPlace{}, shortPlace{}, second{};
  After(50, [&] {
    longPlace = PlaceOf(Line1(*recover_));
    second = PlaceOf(recover_->Control(kIdLabelRecover2));
    Click(No(*recover_));
  });
  Ask(false, U8(line));
  After(50, [&] {
    shortPlace = PlaceOf(Line1(*recover_));
    Click(No(*recover_));
  });
  Ask(false, "Task 'A' konnte nicht gestartet werden.");

  const int width = skin_->Scale(290);
  ASSERT_GT(skin_->TextHeight(line, width), skin_->Scale(30)) << "the case needs a third line";
  EXPECT_EQ(longPlace.top, skin_->Scale(55));
  EXPECT_GE(longPlace.bottom - longPlace.top, skin_->TextHeight(line, width)) << "nothing cut";
  EXPECT_LT(longPlace.bottom, second.top) << "no overlap with the second line";
  EXPECT_EQ(shortPlace.bottom - shortPlace.top, skin_->Scale(30)) << "back to its own height";
}

TEST_F(PromptTest, CheckBoxKeepsItsTickFromOneQuestionToTheNext) {
  bool tickedAtStart = true;
  After(50, [&] {
    tickedAtStart = Ticked(Box(*confirm_));
    Click(Box(*confirm_));
    Click(No(*confirm_));
  });
  PromptResult result = Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_FALSE(tickedAtStart);
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_TRUE(result.dontShowAgain);

  // Another task's question: the tick is still there and is reported again.
  After(50, [&] {
    tickedAtStart = Ticked(Box(*confirm_));
    Click(Yes(*confirm_));
  });
  result = Ask(true, "Task 'B' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_TRUE(tickedAtStart);
  EXPECT_EQ(result.answer, kAnswerYes);
  EXPECT_TRUE(result.dontShowAgain);

  // The recovery dialog has its own box, and the user may take a tick away again. A quick
  // double click toggles twice.
  bool afterDoubleClick = false;
  After(50, [&] {
    tickedAtStart = Ticked(Box(*recover_));
    HWND box = Box(*recover_);
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    afterDoubleClick = Ticked(box);
    Click(box);
    Click(Yes(*recover_));
  });
  result = Ask(false, "Task 'A' konnte nicht gestartet werden.");
  EXPECT_FALSE(tickedAtStart);
  EXPECT_FALSE(afterDoubleClick);
  EXPECT_EQ(result.answer, kAnswerYes);
  EXPECT_TRUE(result.dontShowAgain);

  After(50, [&] {
    tickedAtStart = Ticked(Box(*recover_));
    Click(Box(*recover_));
    Click(No(*recover_));
  });
  result = Ask(false, "Task 'B' konnte nicht gestartet werden.");
  EXPECT_TRUE(tickedAtStart);
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_FALSE(result.dontShowAgain);
  EXPECT_TRUE(Ticked(Box(*confirm_))) << "the other dialog's box is untouched";
}

TEST_F(PromptTest, LeavingTheDialogAnyOtherWayAnswersNo) {
  struct Way {
    const char* name;
    std::function<void(HWND)> leave;
  } ways[] = {
      {"WM_CLOSE from another program", [](HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); }},
      {"Alt+F4", [](HWND h) { PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Escape", [](HWND) { PostKey(GetFocus(), VK_ESCAPE); }},
      {"end of the session", [](HWND h) { SendMessageW(h, WM_ENDSESSION, TRUE, 0); }},
      {"hidden by someone else", [](HWND h) { ShowWindow(h, SW_HIDE); }},
      {"moved off the screen and hidden",
       [](HWND h) { SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    After(50, [&] {
      if (!Ticked(Box(*recover_))) Click(Box(*recover_));
      way.leave(recover_->Handle());
    });
    const PromptResult result = Ask(false, "Task 'A' konnte nicht gestartet werden.");
    EXPECT_EQ(result.answer, kAnswerNo);
    EXPECT_FALSE(result.dontShowAgain) << "no answer was chosen, so nothing becomes permanent";
    EXPECT_EQ(recover_->AnswerCode(), kAnswerNone) << "only the buttons set the code";
    EXPECT_FALSE(IsWindowVisible(recover_->Handle()));
    EXPECT_TRUE(Ticked(Box(*recover_))) << "the tick stays for the next question";
  }

  // Still usable afterwards.
  After(50, [&] { Click(Yes(*recover_)); });
  const PromptResult result = Ask(false, "Task 'A' konnte nicht gestartet werden.");
  EXPECT_EQ(result.answer, kAnswerYes);
  EXPECT_TRUE(result.dontShowAgain);
}

TEST_F(PromptTest, DestroyedDialogAnswersNoAndNeverWaits) {
  After(50, [&] { DestroyWindow(confirm_->Handle()); });
  PromptResult result = Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_EQ(confirm_->Handle(), nullptr);

  // Nothing to show any more: the answer comes at once (the watchdog would fail the test).
  result = Ask(true, "Task 'B' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_FALSE(result.dontShowAgain);
}

TEST_F(PromptTest, KeyboardMovesTicksAndAnswers) {
  HWND focusAtStart = nullptr, focusAfterTab = nullptr, focusAfterTwoTabs = nullptr;
  bool tickedBySpace = false;
  After(50, [&] {
    focusAtStart = GetFocus();
    PostKey(focusAtStart, VK_SPACE);
    After(50, [&] {
      tickedBySpace = Ticked(Box(*confirm_));
      PostKey(GetFocus(), VK_TAB);
      After(50, [&] {
        focusAfterTab = GetFocus();
        PostKey(focusAfterTab, VK_TAB);
        After(50, [&] {
          focusAfterTwoTabs = GetFocus();
          PostKey(focusAfterTwoTabs, VK_RETURN);
        });
      });
    });
  });
  PromptResult result = Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(focusAtStart, Box(*confirm_));
  EXPECT_TRUE(tickedBySpace);
  EXPECT_EQ(focusAfterTab, Yes(*confirm_));
  EXPECT_EQ(focusAfterTwoTabs, No(*confirm_));
  EXPECT_EQ(result.answer, kAnswerNo) << "Enter presses the focused button";
  EXPECT_TRUE(result.dontShowAgain);

  // Enter on "Ja"; Enter on the check box answers nothing.
  After(50, [&] {
    PostKey(Box(*confirm_), VK_RETURN);
    After(50, [&] {
      SetFocus(Yes(*confirm_));
      PostKey(Yes(*confirm_), VK_RETURN);
    });
  });
  result = Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(result.answer, kAnswerYes);

  // The access keys: Alt+D ticks the box, Alt+J answers "Ja", Alt+N "Nein".
  After(50, [&] {
    PostAltKey(GetFocus(), L'd');
    After(50, [&] { PostAltKey(GetFocus(), L'j'); });
  });
  result = Ask(false, "Task 'A' konnte nicht gestartet werden.");
  EXPECT_EQ(result.answer, kAnswerYes);
  EXPECT_TRUE(result.dontShowAgain);
  After(50, [&] { PostAltKey(GetFocus(), L'n'); });
  result = Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(result.answer, kAnswerNo);
}

TEST_F(PromptTest, QuitDuringAQuestionAnswersNoAndIsPostedAgain) {
  After(50, [] { PostQuitMessage(7); });
  const PromptResult result = Ask(false, "Task 'A' konnte nicht gestartet werden.");
  EXPECT_EQ(result.answer, kAnswerNo);
  EXPECT_FALSE(result.dontShowAgain);
  EXPECT_FALSE(IsWindowVisible(recover_->Handle()));
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

int g_sinkSeen = 0;

LRESULT CALLBACK SinkProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_APP) ++g_sinkSeen;
  return DefWindowProcW(h, m, w, l);
}

TEST_F(PromptTest, MessagePumpHandlesWhatWaitsAndHandsQuitBack) {
  int& seen = g_sinkSeen;
  seen = 0;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &SinkProc;
  wc.hInstance = instance_;
  wc.lpszClassName = L"OrvalisPumpTestSink";
  RegisterClassExW(&wc);
  HWND sink = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              instance_, nullptr);
  ASSERT_TRUE(sink);
  Win32MessagePump pump;
  for (int i = 0; i < 3; ++i) PostMessageW(sink, WM_APP, 0, 0);
  pump.PumpOnce();
  EXPECT_EQ(seen, 3);
  pump.PumpOnce();  // nothing waiting: returns at once

  PostMessageW(sink, WM_APP, 0, 0);
  PostQuitMessage(3);
  pump.PumpOnce();
  EXPECT_EQ(seen, 4);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  DestroyWindow(sink);
}

// What the user can reach: the question is visible, lies on the screen, and has a taskbar
// button and a place in Alt+Tab (a visible window that no other window owns, marked as an
// application window and not as a tool window).
struct Reachable {
  bool visible = false, onScreen = false, ownTaskbarButton = false;
};
Reachable ReachableNow(HWND hwnd) {
  Reachable r;
  r.visible = IsWindowVisible(hwnd) && !IsIconic(hwnd);
  RECT place{}, work{};
  GetWindowRect(hwnd, &place);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  r.onScreen = place.left >= work.left && place.top >= work.top && place.right <= work.right &&
               place.bottom <= work.bottom && place.right > place.left;
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  r.ownTaskbarButton = !GetWindow(hwnd, GW_OWNER) && (ex & WS_EX_APPWINDOW) &&
                       !(ex & WS_EX_TOOLWINDOW);
  return r;
}

// The main window minimises into the notification area: minimised, then hidden. Windows hides
// the popups of a window as it is minimised (Wine does not: ShowOwnedPopups does it here).
void MinimiseToTray(HWND window) {
  ShowWindow(window, SW_MINIMIZE);
  ShowOwnedPopups(window, FALSE);
  ShowWindow(window, SW_HIDE);
}

TEST_F(PromptTest, QuestionStaysReachableWhenTheMainWindowGoesToTheTrayOrIsThere) {
  ShowWindow(owner_, SW_SHOWNORMAL);
  for (QuestionDialog* d : std::initializer_list<QuestionDialog*>{confirm_.get(), recover_.get()}) {
    const bool confirm = d == confirm_.get();
    SCOPED_TRACE(confirm ? "confirmation" : "recovery");
    ShowWindow(owner_, SW_RESTORE);
    Reachable before, after;
    After(50, [&] {
      before = ReachableNow(d->Handle());
      MinimiseToTray(owner_);
      After(100, [&] {
        after = ReachableNow(d->Handle());
        Click(Yes(*d));
      });
    });
    PromptResult result = Ask(confirm, "Task 'A' ...");
    EXPECT_TRUE(before.visible && before.onScreen && before.ownTaskbarButton);
    EXPECT_TRUE(after.visible) << "hidden with the main window";
    EXPECT_TRUE(after.onScreen);
    EXPECT_TRUE(after.ownTaskbarButton);
    EXPECT_EQ(result.answer, kAnswerYes);

    // Asked while the main window is already in the tray.
    ASSERT_FALSE(IsWindowVisible(owner_));
    Reachable shown;
    After(50, [&] {
      shown = ReachableNow(d->Handle());
      Click(No(*d));
    });
    result = Ask(confirm, "Task 'B' ...");
    EXPECT_TRUE(shown.visible);
    EXPECT_TRUE(shown.onScreen);
    EXPECT_TRUE(shown.ownTaskbarButton);
    EXPECT_EQ(result.answer, kAnswerNo);
  }
}

TEST_F(PromptTest, QuestionAskedWhileOneWaitsIsAnsweredFirstThenTheFirstComesBack) {
  const std::string first = "Task 'Erster' hat den Durchführungszeitpunkt erreicht.";
  const std::string second = "Task 'Zweiter' hat den Durchführungszeitpunkt erreicht.";
  PromptResult inner;
  std::wstring shownInside, shownAfter;
  bool visibleAfter = false;
  After(50, [&] {
    After(50, [&] {
      shownInside = Text(Line1(*confirm_));
      Click(Yes(*confirm_));
    });
    inner = prompter_->AskConfirm(second);
    After(50, [&] {
      shownAfter = Text(Line1(*confirm_));
      visibleAfter = IsWindowVisible(confirm_->Handle());
      Click(No(*confirm_));
    });
  });
  const PromptResult outer = Ask(true, first);
  EXPECT_EQ(shownInside, W(second));
  EXPECT_EQ(inner.answer, kAnswerYes);
  EXPECT_EQ(shownAfter, W(first));
  EXPECT_TRUE(visibleAfter);
  EXPECT_EQ(outer.answer, kAnswerNo) << "the first question gets its own answer";
}

TEST_F(PromptTest, FollowsItsOwnerAndStaysInsideTheWorkArea) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  struct Case {
    int x, y;
  } owners[] = {{40, 60}, {-500, -350}, {work.right - 100, work.bottom - 50}};
  for (const Case& c : owners) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    SetWindowPos(owner_, nullptr, c.x, c.y, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT place{};
    After(50, [&] {
      GetWindowRect(confirm_->Handle(), &place);
      Click(No(*confirm_));
    });
    Ask(true, "Task 'A' hat den Durchführungszeitpunkt erreicht.");
    const int w = skin_->Scale(350), h = skin_->Scale(250);
    EXPECT_EQ(place.right - place.left, w);
    const int cx = std::max<int>(work.left, std::min<int>(c.x + (600 - w) / 2, work.right - w));
    const int cy = std::max<int>(work.top, std::min<int>(c.y + (400 - h) / 2, work.bottom - h));
    EXPECT_EQ(place.left, cx);
    EXPECT_EQ(place.top, cy);
    EXPECT_GE(place.left, work.left);
    EXPECT_LE(place.bottom, work.bottom);
  }
}

TEST(SkinFitText, LongTextIsCutWithAnEllipsisToTheLinesThatFit) {
  skin::Skin skin;
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(dc);
  HGDIOBJ old = SelectObject(dc, skin.Font());
  constexpr UINT kFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;
  const RECT rect{0, 0, skin.Scale(290), skin.Scale(30)};
  const auto height = [&](const std::wstring& text) {
    RECT r{0, 0, rect.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, kFlags | DT_CALCRECT);
    return r.bottom;
  };

  const std::wstring shortText = L"Task 'A' hat den Durchf\u00FChrungszeitpunkt erreicht.";
  EXPECT_EQ(skin::FitText(dc, shortText, rect, kFlags), shortText);

  // Ordinary words: cut after as many as fill both lines.
  const std::wstring longText =
      L"Task 'Sicherung der Datenbank am Abend' konnte beim letzten Durchf\u00FChrungszeitpunkt "
      L"nicht gestartet werden, und dieser Satz ist noch l\u00E4nger als zwei Zeilen.";
  const int oneLine = height(L"Task");
  ASSERT_GT(height(longText), rect.bottom) << "the case needs text that does not fit";
  std::wstring fitted = skin::FitText(dc, longText, rect, kFlags);
  EXPECT_LE(height(fitted), rect.bottom);
  EXPECT_GT(height(fitted), oneLine) << "both lines are used";
  ASSERT_GE(fitted.size(), 2u);
  EXPECT_EQ(fitted.back(), L'\u2026');
  EXPECT_EQ(longText.compare(0, fitted.size() - 1, fitted, 0, fitted.size() - 1), 0)
      << "a beginning of the text";

  // A word longer than a line is broken, and the result still fits.
  const std::wstring longWord =
      L"Task 'WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW' konnte beim letzten Durchf\u00FChrungszeitpunkt "
      L"nicht gestartet werden.";
  fitted = skin::FitText(dc, longWord, rect, kFlags);
  EXPECT_LE(height(fitted), rect.bottom);
  EXPECT_EQ(fitted.back(), L'\u2026');
  SelectObject(dc, old);
  DeleteDC(dc);
}

}  // namespace
}  // namespace orv::testing
