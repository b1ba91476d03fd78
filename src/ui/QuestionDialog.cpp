#include "ui/QuestionDialog.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/prompter.h"
#include "ui/artwork.h"
#include "ui/prompter_win32.h"
#include "ui/win32_text.h"

namespace orv {
namespace {

// Access keys: D, J, N.
constexpr char kCheckBoxText[] = "&Dieses Fenster nicht mehr anzeigen.";

constexpr QuestionForm kConfirmForm{
    kConfirmWindowClass, 350, 250,
    "Bestätigung der Durchführung",
    "Soll mit der Durchführung des Task nun begonnen werden?",
    L'?',
    kIdConfirmTitle, kIdLabelConfirm1, kIdLabelConfirm2,
    kIdFlatButtonYesConfirm, kIdFlatButtonNoConfirm, kIdFlatCheckBoxConfirm};

constexpr QuestionForm kRecoverForm{
    kRecoverWindowClass, 349, 250,
    "Task nachholen",
    "Soll die Durchführung des Task nun nachgeholt werden?",
    L'?',
    kIdRecoverTitle, kIdLabelRecover1, kIdLabelRecover2,
    kIdFlatButtonYesRecover, kIdFlatButtonNoRecover, kIdFlatCheckBoxRecover};

}  // namespace

TFormConfirm::TFormConfirm(const skin::Skin& mainSkin) : QuestionDialog(kConfirmForm, mainSkin) {}
TFormRecover::TFormRecover(const skin::Skin& mainSkin) : QuestionDialog(kRecoverForm, mainSkin) {}

QuestionDialog::QuestionDialog(const QuestionForm& form, const skin::Skin& mainSkin)
    : form_(form), mainSkin_(mainSkin) {}

QuestionDialog::~QuestionDialog() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool QuestionDialog::Create(HINSTANCE instance, HWND owner) {
  if (hwnd_) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));  // the program's icon on the taskbar
  wc.lpszClassName = form_.windowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  // Not owned by the main window: minimising that into the notification area would hide the
  // question with it. A window of its own with a taskbar button, in Alt+Tab too.
  owner_ = owner;
  instance_ = instance;
  skin_.SetDpi(mainSkin_.Dpi());
  const std::wstring title = W(form_.title);
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_APPWINDOW, form_.windowClass, title.c_str(),
                  WS_POPUP | WS_CLIPCHILDREN, 0, 0, skin_.Scale(form_.width),
                  skin_.Scale(form_.height), nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  skin_.ShapeWindow(hwnd_);
  layout_.Capture(hwnd_, win::Dpi(skin_.Dpi()));
  icons_.Apply(hwnd_, instance, MAKEINTRESOURCEW(1), win::Dpi(skin_.Dpi()));
  MarkKeyboardDialog(hwnd_);
  return true;
}

LRESULT QuestionDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_PAINT:
      FormPaint();
      return 0;
    case WM_DRAWITEM:
      if (skin_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_NOTIFY:  // the check box is a real one, painted by the skin
      if (reinterpret_cast<const NMHDR*>(lp)->code == NM_CUSTOMDRAW)
        return skin_.CustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lp));
      break;
    case WM_NCHITTEST: {
      // The title band moves the window, as a caption would.
      const LRESULT hit = DefWindowProcW(hwnd_, msg, wp, lp);
      if (hit != HTCLIENT) return hit;
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &pt);
      return pt.y < skin_.Scale(kBandHeight) ? HTCAPTION : HTCLIENT;
    }
    case WM_NCLBUTTONDBLCLK:
      return 0;  // no maximising through the title band
    case WM_DPICHANGED:  // moved to a monitor of another scale, or the scale changed
      ApplyDpi(win::Dpi(LOWORD(wp)), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_COMMAND:
      FormCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_ACTIVATE:
      FormActivate(wp);
      return 0;
    case WM_SETFOCUS:
      if (lastFocus_ && IsChild(hwnd_, lastFocus_)) SetFocus(lastFocus_);
      return 0;
    case WM_CLOSE:  // Alt+F4 or another program
      Dismiss();
      return 0;
    case WM_ENDSESSION:
      if (wp) Dismiss();
      return 0;
    case WM_SYSCOMMAND:
      // No minimising (a click on the taskbar button, "minimise all"): the question stays in
      // sight until it is answered.
      if ((wp & 0xFFF0) == SC_MINIMIZE) return 0;
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (pos->flags & SWP_HIDEWINDOW) Dismiss();
      break;
    }
    case WM_NCDESTROY:
      lastFocus_ = nullptr;
      break;
    case WM_DESTROY:
      if (asking_) {
        asking_ = false;
        dismissed_ = true;
      }
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void QuestionDialog::FormCreate() {
  const skin::Skin& s = skin_;
  s.CreateLabel(hwnd_, form_.idTitle, W(form_.title),
                RECT{s.Scale(kTitleAt.x), s.Scale(kTitleAt.y), s.Scale(form_.width - 14),
                     s.Scale(kTitleAt.y + 20)},
                skin::LabelKind::kBandTitle);
  s.CreateLabel(hwnd_, form_.idLine1, L"", s.Scale(kLine1Rect), skin::LabelKind::kText);
  const std::wstring second = W(form_.secondLine);
  s.CreateLabel(hwnd_, form_.idLine2, second, s.Scale(kLine2Rect), skin::LabelKind::kText);
  FitLabel(form_.idLine2, second, kLine2Rect, kYesRect.top);
  // The tab order follows the order of creation: check box, "Ja", "Nein".
  s.CreateCheckBox(hwnd_, form_.idCheckBox, W(kCheckBoxText), s.Scale(kCheckBoxRect));
  s.CreateButton(hwnd_, form_.idYes, L"&Ja", s.Scale(kYesRect), skin::ButtonKind::kPrimary);
  s.CreateButton(hwnd_, form_.idNo, L"&Nein", s.Scale(kNoRect), skin::ButtonKind::kSecondary);
}

void QuestionDialog::FormPaint() {
  const win::PaintDc dc(hwnd_);
  if (dc) skin_.PaintWindow(hwnd_, dc.Get(), skin_.Scale(kBandHeight), form_.badge);
}

void QuestionDialog::FormActivate(WPARAM wp) {
  if (LOWORD(wp) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  HWND target = lastFocus_ && IsChild(hwnd_, lastFocus_) ? lastFocus_
                                                          : Control(form_.idCheckBox);
  if (target) SetFocus(target);
}

void QuestionDialog::FormCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == form_.idYes) {
    FlatButtonClick(kAnswerYes);
  } else if (id == form_.idNo) {
    FlatButtonClick(kAnswerNo);
  } else if (id == IDOK) {
    // Enter, passed on by IsDialogMessage: presses the focused button.
    HWND focus = GetFocus();
    if (focus && focus == Control(form_.idYes)) FlatButtonClick(kAnswerYes);
    if (focus && focus == Control(form_.idNo)) FlatButtonClick(kAnswerNo);
  } else if (id == IDCANCEL) {  // Escape
    Dismiss();
  }
}

void QuestionDialog::FlatButtonClick(int answer) {
  answer_ = answer;
  asking_ = false;
  if (hwnd_ && IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

void QuestionDialog::Dismiss() {
  if (asking_) {
    asking_ = false;
    dismissed_ = true;
  }
  if (hwnd_ && IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

void QuestionDialog::Withdraw() {
  asking_ = false;
  if (hwnd_ && IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

unsigned QuestionDialog::Begin(const std::string& firstLine) {
  const std::wstring text = W(firstLine);
  // The question opens at the dpi of the main window, over which it shows: that may have
  // moved to a monitor of another scale, or the question itself had.
  if (hwnd_ && skin_.Dpi() != mainSkin_.Dpi()) ApplyDpi(win::Dpi(mainSkin_.Dpi()), nullptr);
  ++question_;
  answer_ = kAnswerNone;
  dismissed_ = false;
  asking_ = hwnd_ != nullptr;
  if (!hwnd_) return question_;
  SetWindowTextW(Control(form_.idLine1), text.c_str());
  FitLabel(form_.idLine1, text, kLine1Rect, kLine2Rect.top);
  CentreOverOwner();
  HWND first = Control(form_.idCheckBox);
  lastFocus_ = first;
  ShowWindow(hwnd_, SW_SHOW);
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd_);
  if (first) SetFocus(first);
  return question_;
}

void QuestionDialog::ApplyDpi(win::Dpi dpi, const RECT* suggested) {
  skin::ApplyWindowDpi(hwnd_, skin_, layout_, dpi, SIZE{form_.width, form_.height}, suggested);
  // The lines fit their texts anew, in the fonts of this dpi.
  FitLabel(form_.idLine1, art::WindowText(Control(form_.idLine1)), kLine1Rect, kLine2Rect.top);
  FitLabel(form_.idLine2, W(form_.secondLine), kLine2Rect, kYesRect.top);
  icons_.Apply(hwnd_, instance_, MAKEINTRESOURCEW(1), dpi);
}

bool QuestionDialog::CheckBoxTicked() const {
  HWND box = Control(form_.idCheckBox);
  return box && skin::IsChecked(box);
}

bool QuestionDialog::Showing() const {
  return hwnd_ && asking_ && IsWindowVisible(hwnd_);
}

// A text that needs more lines than its label's height holds (a long task name, a large
// system font) lets the label grow into the free room below it, up to 4 pixels before the next
// control, rather than being cut. It keeps its height otherwise.
void QuestionDialog::FitLabel(int id, const std::wstring& text, const RECT& rect96,
                              int roomBottom96) {
  HWND label = Control(id);
  if (!label) return;
  const RECT r = skin_.Scale(rect96);
  const int width = r.right - r.left;
  const int room = skin_.Scale(roomBottom96 - 4) - r.top;
  const int height = std::clamp(skin_.TextHeight(text, width), int{r.bottom - r.top},
                                std::max<int>(room, r.bottom - r.top));
  SetWindowPos(label, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void QuestionDialog::CentreOverOwner() {
  RECT self;
  GetWindowRect(hwnd_, &self);
  const int width = self.right - self.left, height = self.bottom - self.top;

  // Over the owner, also while it is hidden in the notification area; over the middle of the
  // screen while it is minimised. Always wholly inside the work area.
  const bool overOwner = owner_ && IsWindow(owner_) && !IsIconic(owner_);
  HMONITOR monitor = MonitorFromWindow(overOwner ? owner_ : hwnd_, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  RECT area = work;
  if (overOwner) GetWindowRect(owner_, &area);

  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  x = std::max<int>(work.left, std::min<int>(x, work.right - width));
  y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace orv
