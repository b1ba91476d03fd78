// The task editor's window: its creation and its messages.
#include "ui/TaskEditor.h"

#include <commctrl.h>

#include "ui/TaskEditorParts.h"

namespace orv {

using namespace editor;

namespace editor {

const NumberRange* RangeOf(int id) {
  for (const NumberRange& r : kNumbers)
    if (r.id == id) return &r;
  return nullptr;
}

bool IsCheckBoxId(int id) {
  switch (id) {
    case kIdFlatCheckBoxTaskTypeProgramParam:
    case kIdFlatCheckBoxTaskTypeInternetBrowser:
    case kIdFlatCheckBoxTaskTypeInternetTimeout:
    case kIdFlatCheckBoxTaskTypeSystemPowerOff:
    case kIdFlatCheckBoxTaskTypeSystemForceNot:
    case kIdFlatCheckBoxTaskAutoMinutes:
    case kIdFlatCheckBoxTaskAutoTime:
    case kIdFlatCheckBoxTaskAutoIdle:
    case kIdFlatCheckBoxTaskAutoChange:
    case kIdFlatCheckBoxTaskExtendedWindows:
    case kIdFlatCheckBoxTaskExtendedOnce:
    case kIdFlatCheckBoxTaskExtendedProgram:
    case kIdFlatCheckBoxTaskExtendedConfirm:
    case kIdFlatCheckBoxTaskExtendedWarn:
      return true;
  }
  return (id >= kIdFlatCheckBoxTaskAutoMonday && id < kIdFlatCheckBoxTaskAutoMonday + 7) ||
         (id >= kIdCheckListBoxTaskAutoMonthDay1 && id < kIdCheckListBoxTaskAutoMonthDay1 + 31);
}

bool TabOf(int id, int& tabCtl, int& tab) {
  for (int c = 0; c < 5; ++c) {
    if (id >= kTabFirstId[c] && id < kTabFirstId[c] + kTabCounts[c]) {
      tabCtl = c;
      tab = id - kTabFirstId[c];
      return true;
    }
  }
  return false;
}

}  // namespace editor

TaskEditor::TaskEditor(Engine& engine, Files* files, const MessageTable& messages,
                       const skin::Skin& skin)
    : engine_(engine), files_(files), messages_(messages), skin_(skin) {}

TaskEditor::~TaskEditor() {
  // The class brush goes with its class; while a window of the class is left, the class stays
  // and keeps its brush.
  if (classRegistered_ && !UnregisterClassW(kTaskEditorClass, instance_)) background_.Release();
}

bool TaskEditor::Create(HINSTANCE instance, HWND parent, const RECT& area,
                        ClosedHandler onClosed) {
  instance_ = instance;
  onClosed_ = std::move(onClosed);
  background_.Reset(CreateSolidBrush(skin::kPalette.window));
  LOGFONTW lf{};
  if (GetObjectW(skin_.Font(), sizeof lf, &lf)) {
    lf.lfWeight = FW_BOLD;
    boldFont_.Reset(CreateFontIndirectW(&lf));
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = background_.Get();
  wc.lpszClassName = kTaskEditorClass;
  // Fails harmlessly when registered already; the class then keeps the brush it has.
  classRegistered_ = RegisterClassExW(&wc) != 0;
  CreateWindowExW(WS_EX_CONTROLPARENT, kTaskEditorClass, L"",
                          WS_CHILD | WS_CLIPCHILDREN, area.left, area.top,
                          area.right - area.left, area.bottom - area.top, parent, nullptr,
                          instance, this);
  if (!hwnd_) return false;
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, instance, nullptr);
  CreateControls();
  layout_.Capture(hwnd_, win::Dpi(skin_.Dpi()));
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (lstrcmpiW(cls, L"COMBOBOX") == 0) layout_.SetDesignHeight(child, kComboDropHeight);
  }
  FromState(TaskEditorState::StartUp());
  step_ = 0;
  StepLogic(+1);
  return true;
}

void TaskEditor::DpiChanged() {
  if (!hwnd_) return;
  const HFONT oldBold = boldFont_.Get();
  win::Font bold;
  LOGFONTW lf{};
  if (GetObjectW(skin_.Font(), sizeof lf, &lf)) {
    lf.lfWeight = FW_BOLD;
    bold.Reset(CreateFontIndirectW(&lf));
  }
  layout_.Apply(win::Dpi(skin_.Dpi()), [&](HFONT old) -> HFONT {
    if (old && old == oldBold) return bold.Get();
    return skin_.Refont(old);
  });
  boldFont_ = std::move(bold);  // the old one goes once no control holds it
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// ---- window -------------------------------------------------------------------------------

LRESULT TaskEditor::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      if (step_ == 2 && hwnd_) UpdatePreview();  // the rule may have changed
      return 0;
    case WM_VKEYTOITEM:
      if (reinterpret_cast<HWND>(lp) == Item(kIdListBoxTaskAutoChange) && LOWORD(wp) == VK_DELETE) {
        DeleteFilesClick();
        return -2;
      }
      return -1;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (skin_.DrawItem(item) || DrawOwnItem(item)) return TRUE;
      break;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, skin::Colours().window);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (id == kIdLabelPreview) {  // on the step band
        SetBkColor(dc, skin::Colours().band);
        SetTextColor(dc, skin::Colours().bandText);
        SetDCBrushColor(dc, skin::Colours().band);
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
      }
      // "Schritt N von 4" in its own grey, dark enough to read; in high contrast the user's text
      // colour.
      SetTextColor(dc, id == kIdLabelStep && !skin::HighContrast() ? kStepLineColour
                                                                    : skin::Colours().text);
      return reinterpret_cast<LRESULT>(skin::WindowBrush());
    }
    case WM_ERASEBKGND: {
      // The current colours (high contrast may have changed them since the class was made).
      RECT r;
      GetClientRect(hwnd_, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, skin::WindowBrush());
      return 1;
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_NOTIFY:  // check boxes and radio buttons are real ones, painted by the skin
      if (reinterpret_cast<const NMHDR*>(lp)->code == NM_CUSTOMDRAW)
        return skin_.CustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lp));
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace orv
