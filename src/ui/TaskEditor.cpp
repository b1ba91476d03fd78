#include "ui/TaskEditor.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

#include "engine/task_store.h"
#include "ui/win32_text.h"

namespace orv {
namespace {

constexpr UINT_PTR kFieldSubclass = 0x4F45;
constexpr int kLeftBand = 124;  // width of the picture band at 96 dpi
constexpr int kTabWidth = 118;
constexpr int kTabHeight = 24;
// The editor lies in the skinned main window's content area (541 x 356): the tab headers' top,
// the room under the tab page's frame and the wizard buttons' distance from the bottom.
constexpr int kTabsTop = 50;
constexpr int kFrameBottomGap = 44;
constexpr int kButtonsBottomGap = 36;

// Tab controls: which active_ slot, and their header IDs.
constexpr int kTabTaskType = 0, kTabTaskAuto = 1, kTabRestrict = 2, kTabConfig = 3, kTabName = 4;
constexpr int kTabCounts[5] = {TaskEditorState::kTaskKindTabs, TaskEditorState::kTriggerTabs,
                               TaskEditorState::kRestrictionTabs, 1, 1};
constexpr int kTabFirstId[5] = {kIdRadioButtonProgramm, kIdRadioButtonUhrzeit, kIdRadioButtonWeek,
                                kIdTabKonfiguration, kIdTabBezeichnung};

struct NumberRange {
  int id, min, max;
};
constexpr NumberRange kNumbers[] = {{kIdFlatSpinEditTypeInternetTimeout, 100, 10000},
                                    {kIdFlatSpinEditTaskAutoMinutes, 1, 600},
                                    {kIdFlatSpinEditTaskAutoIdle, 1, 600}};

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
      return true;
  }
  return (id >= kIdFlatCheckBoxTaskAutoMonday && id < kIdFlatCheckBoxTaskAutoMonday + 7) ||
         (id >= kIdCheckListBoxTaskAutoMonthDay1 && id < kIdCheckListBoxTaskAutoMonthDay1 + 31);
}

// The tab control and index of a tab header ID; false for other IDs.
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

using GetOpenFileNameFn = BOOL(WINAPI*)(LPOPENFILENAMEW);

// The common dialog library is loaded when a file dialog is first needed.
GetOpenFileNameFn OpenFileDialog() {
  static GetOpenFileNameFn fn = [] {
    HMODULE lib = LoadLibraryW(L"comdlg32.dll");
    return lib ? reinterpret_cast<GetOpenFileNameFn>(
                     reinterpret_cast<void*>(GetProcAddress(lib, "GetOpenFileNameW")))
               : nullptr;
  }();
  return fn;
}

// Runs the open-file dialog; the chosen paths, empty when cancelled.
std::vector<std::wstring> ChooseFiles(HWND owner, const wchar_t* title, bool multi,
                                      const std::wstring& initial) {
  std::vector<std::wstring> out;
  GetOpenFileNameFn fn = OpenFileDialog();
  if (!fn) return out;
  std::vector<wchar_t> buffer(65536, L'\0');
  if (!multi && initial.size() < buffer.size() - 1)
    std::copy(initial.begin(), initial.end(), buffer.begin());
  static const wchar_t kFilter[] = L"Alle Dateien (*.*)\0*.*\0";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = title;
  // A shortcut is taken as the file it is, not followed to its target.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS | OFN_PATHMUSTEXIST |
              OFN_FILEMUSTEXIST | (multi ? OFN_ALLOWMULTISELECT : 0);
  if (!fn(&ofn)) return out;
  // One file: its full path. Several: the folder, then each name, each ending in a null.
  const std::wstring first(buffer.data());
  const wchar_t* p = buffer.data() + first.size() + 1;
  if (!multi || *p == L'\0') {
    out.push_back(first);
    return out;
  }
  std::wstring folder = first;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  while (*p) {
    const std::wstring name(p);
    out.push_back(folder + name);
    p += name.size() + 1;
  }
  return out;
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

bool IsTimeOfDay(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 1 || colon > 2 || text.size() != colon + 3) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  const int hours = std::atoi(text.substr(0, colon).c_str());
  const int minutes = std::atoi(text.substr(colon + 1).c_str());
  return hours <= 23 && minutes <= 59;
}

TaskEditor::TaskEditor(Engine& engine, Files* files, const MessageTable& messages,
                       const skin::Skin& skin)
    : engine_(engine), files_(files), messages_(messages), skin_(skin) {}

TaskEditor::~TaskEditor() {
  if (boldFont_) DeleteObject(boldFont_);
  if (background_) DeleteObject(background_);
}

bool TaskEditor::Create(HINSTANCE instance, HWND parent, const RECT& area,
                        ClosedHandler onClosed) {
  instance_ = instance;
  onClosed_ = std::move(onClosed);
  background_ = CreateSolidBrush(skin::kPalette.window);
  LOGFONTW lf{};
  if (GetObjectW(skin_.Font(), sizeof lf, &lf)) {
    lf.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&lf);
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TaskEditor::WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = background_;
  wc.lpszClassName = kTaskEditorClass;
  RegisterClassExW(&wc);  // fails harmlessly when registered already
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kTaskEditorClass, L"",
                          WS_CHILD | WS_CLIPCHILDREN, area.left, area.top,
                          area.right - area.left, area.bottom - area.top, parent, nullptr,
                          instance, this);
  if (!hwnd_) return false;
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, instance, nullptr);
  CreateControls();
  FromState(TaskEditorState::StartUp());
  step_ = 0;
  StepLogic(+1);
  return true;
}

// ---- building -----------------------------------------------------------------------------

void TaskEditor::Place(HWND hwnd) {
  placed_.push_back({hwnd, curStep_, curTabCtl_, curTab_});
}

static HMENU IdMenu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

HWND TaskEditor::Label(const char* text, int x, int y, int w, int h, bool bold, int id) {
  if (id == 0) id = nextLabelId_++;
  HWND label = CreateWindowExW(0, L"STATIC", W(text).c_str(), WS_CHILD | SS_LEFT | SS_NOPREFIX,
                               skin_.Scale(x), skin_.Scale(y), skin_.Scale(w), skin_.Scale(h),
                               hwnd_, IdMenu(id), instance_, nullptr);
  SendMessageW(label, WM_SETFONT,
               reinterpret_cast<WPARAM>(bold && boldFont_ ? boldFont_ : skin_.Font()), FALSE);
  Place(label);
  return label;
}

HWND TaskEditor::Edit(int id, int x, int y, int w, int h) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                              skin_.Scale(x), skin_.Scale(y), skin_.Scale(w), skin_.Scale(h),
                              hwnd_, IdMenu(id), instance_, nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(3, 3));
  Place(edit);
  return edit;
}

HWND TaskEditor::Number(int id, int x, int y, int w) {
  HWND edit = Edit(id, x, y, w);
  SendMessageW(edit, EM_LIMITTEXT, 6, 0);
  SetWindowSubclass(edit, &TaskEditor::NumberProc, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  return edit;
}

HWND TaskEditor::Combo(int id, int x, int y, int w, std::initializer_list<const char*> entries) {
  HWND combo = CreateWindowExW(0, L"COMBOBOX", L"",
                               WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               skin_.Scale(x), skin_.Scale(y), skin_.Scale(w), skin_.Scale(160),
                               hwnd_, IdMenu(id), instance_, nullptr);
  SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  for (const char* e : entries)
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(e).c_str()));
  Place(combo);
  return combo;
}

HWND TaskEditor::Check(int id, const char* text, int x, int y, int w) {
  const RECT r{skin_.Scale(x), skin_.Scale(y), skin_.Scale(x + w), skin_.Scale(y + 20)};
  HWND box = skin_.CreateCheckBox(hwnd_, id, W(text), r);
  ShowWindow(box, SW_HIDE);
  Place(box);
  return box;
}

HWND TaskEditor::Button(int id, const char* text, int x, int y, int w, int h) {
  const RECT r{skin_.Scale(x), skin_.Scale(y), skin_.Scale(x + w), skin_.Scale(y + h)};
  HWND button = skin_.CreateButton(hwnd_, id, W(text), r, skin::ButtonKind::kSecondary);
  ShowWindow(button, SW_HIDE);
  Place(button);
  return button;
}

// Tab headers and radio buttons, drawn by the editor itself.
HWND TaskEditor::OwnButton(int id, const char* text, int x, int y, int w, int h) {
  HWND button = CreateWindowExW(0, L"BUTTON", W(text).c_str(),
                                WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, skin_.Scale(x),
                                skin_.Scale(y), skin_.Scale(w), skin_.Scale(h), hwnd_, IdMenu(id),
                                instance_, nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  Place(button);
  return button;
}

void TaskEditor::Hint(HWND control, const char* text) {
  if (!tooltip_) return;
  std::wstring wide = W(text);
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = hwnd_;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = wide.data();
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void TaskEditor::CreateControls() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int w96 = MulDiv(client.right, 96, skin_.Dpi());
  const int h96 = MulDiv(client.bottom, 96, skin_.Dpi());
  const int fx = kLeftBand + 12, fr = w96 - 12;
  const int cx = fx + 12, cw = fr - 12 - cx;
  const char* const kShow[] = {rec::kShowModes[0], rec::kShowModes[1], rec::kShowModes[2],
                               rec::kShowModes[3]};

  auto tabs = [&](int tabCtl, std::initializer_list<const char*> names, int x, int y) {
    int i = 0;
    for (const char* n : names) {
      OwnButton(kTabFirstId[tabCtl] + i, n, x + i * (kTabWidth + 2), y, kTabWidth, kTabHeight);
      ++i;
    }
  };
  auto onTab = [&](int tabCtl, int tab) {
    curTabCtl_ = tabCtl;
    curTab_ = tab;
  };

  // Wizard buttons and the step line are on every step.
  curStep_ = 0;
  curTabCtl_ = -1;
  Label("", fx, 8, 200, 16, false, kIdLabelStep);
  HWND heading = Label("", fx, 24, fr - fx, 24, false, kIdLabelHeading);
  SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.TitleFont()), FALSE);
  const int by = h96 - kButtonsBottomGap;
  const RECT cancel = skin_.Scale(RECT{fx, by, fx + 100, by + 26});
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardCancel, L"Abbrechen", cancel,
                     skin::ButtonKind::kSecondary);
  const RECT back = skin_.Scale(RECT{fr - 208, by, fr - 108, by + 26});
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardBack, W("Zur\xC3\xBC" "ck"), back,
                     skin::ButtonKind::kSecondary);
  const RECT next = skin_.Scale(RECT{fr - 100, by, fr, by + 26});
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardNext, W(messages_[kMsgNext]), next,
                     skin::ButtonKind::kPrimary);

  // Step 1: the task kind and its action.
  curStep_ = 1;
  onTab(-1, 0);
  tabs(kTabTaskType, {"Programm", "Internet", "System"}, fx, kTabsTop);
  onTab(kTabTaskType, 0);
  Label("Auszuf\xC3\xBChrende Datei", cx, 84, cw, 16);
  Edit(kIdFlatEditTaskTypeProgram, cx, 102, cw - 40);
  Hint(Button(kIdFlatButtonTaskTypeProgram, "\xE2\x80\xA6", cx + cw - 34, 101, 34), "Datei ausw\xC3\xA4hlen");
  Label("Parameter", cx, 134, cw, 16);
  Check(kIdFlatCheckBoxTaskTypeProgramParam, "Mit Parameter starten:", cx, 152, 170);
  Edit(kIdFlatEditTaskTypeProgramParam, cx + 176, 151, cw - 176);
  Label("Anzeige-Modus", cx, 186, cw, 16);
  Combo(kIdFlatComboBoxTaskTypeProgramShow, cx, 204, 150, {kShow[0], kShow[1], kShow[2], kShow[3]});
  Label("", cx + 162, 208, cw - 162, 16, false, kIdLabelTaskTypeProgramShow);

  onTab(kTabTaskType, 1);
  Label("URL", cx, 84, cw, 16);
  Edit(kIdFlatEditTaskTypeInternetURL, cx, 102, cw - 104);
  Hint(Button(kIdFlatButtonTaskTypeInternetVisit, "URL laden", cx + cw - 96, 101, 96), "URL laden");
  Check(kIdFlatCheckBoxTaskTypeInternetBrowser, "URL in Browser laden", cx, 134, cw);
  Label("Wenn Sie diese Option deaktivieren, wird URL unsichtbar geladen.", cx + 20, 155,
        cw - 20, 32);
  Check(kIdFlatCheckBoxTaskTypeInternetTimeout, "Timeout verwenden (Millisekunden):", cx, 192, 236);
  Number(kIdFlatSpinEditTypeInternetTimeout, cx + 240, 191, 70);
  Label("Anzeige-Modus", cx, 224, cw, 16);
  Combo(kIdFlatComboBoxTaskTypeInternetShow, cx, 242, 150, {kShow[0], kShow[1], kShow[2], kShow[3]});
  Label("", cx + 162, 246, cw - 162, 16, false, kIdLabelTaskTypeInternetShow);

  onTab(kTabTaskType, 2);
  Label("System-Aktionen", cx, 84, cw, 16);
  const char* const kSystem[] = {"System neustarten", "System herunterfahren",
                                 "System in Ruhemodus versetzen (wenn unterst\xC3\xBCtzt)",
                                 "Benutzer abmelden (wenn unterst\xC3\xBCtzt)"};
  const int systemY[] = {104, 126, 170, 192};
  for (int i = 0; i < 4; ++i)
    OwnButton(kIdFlatRadioButtonTaskTypeSystemReboot + i, kSystem[i], cx, systemY[i], cw, 20);
  Check(kIdFlatCheckBoxTaskTypeSystemPowerOff, "PC ausschalten (wenn unterst\xC3\xBCtzt)", cx + 22,
        148, cw - 22);
  Check(kIdFlatCheckBoxTaskTypeSystemForceNot,
        "Programm-R\xC3\xBC" "ckmeldungen abwarten (empfohlen)", cx, 224, cw);

  // Step 2: the trigger.
  curStep_ = 2;
  onTab(-1, 0);
  tabs(kTabTaskAuto, {"Uhrzeit", "Leerlauf", "\xC3\x84nderung"}, fx, kTabsTop);
  onTab(kTabTaskAuto, 0);
  Label("Zeitvorgaben f\xC3\xBCr Automatisierung", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskAutoMinutes, "Task alle", cx, 104, 80);
  Number(kIdFlatSpinEditTaskAutoMinutes, cx + 84, 103, 54);
  Label("Minuten durchf\xC3\xBChren.", cx + 146, 107, cw - 146, 16);
  Check(kIdFlatCheckBoxTaskAutoTime, "Task um", cx, 131, 80);
  HWND time = Edit(kIdFlatMaskEditTaskAutoTime, cx + 84, 130, 54);
  SendMessageW(time, EM_LIMITTEXT, 5, 0);
  SetWindowSubclass(time, &TaskEditor::TimeProc, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  Label("Uhr durchf\xC3\xBChren.", cx + 146, 134, cw - 146, 16);
  Label("Durchf\xC3\xBChrung beschr\xC3\xA4nken", cx, 160, cw, 16, true);
  tabs(kTabRestrict, {"Wochentage", "Monatstage"}, cx, 177);
  onTab(kTabRestrict, 0);
  const char* const kDays[] = {"Montag", "Dienstag", "Mittwoch", "Donnerstag",
                               "Freitag", "Samstag", "Sonntag"};
  for (int i = 0; i < 7; ++i)
    Check(kIdFlatCheckBoxTaskAutoMonday + i, kDays[i], cx + 8 + (i % 3) * 120, 210 + (i / 3) * 23,
          114);
  onTab(kTabRestrict, 1);
  Label("W\xC3\xA4hlen Sie rechts die Tage des Monats aus, an welchen eine Durchf\xC3\xBChrung "
        "erfolgen soll.",
        cx + 8, 210, 118, 90);
  for (int d = 0; d < 31; ++d) {
    const std::string caption = std::to_string(d + 1) + ".";
    Check(kIdCheckListBoxTaskAutoMonthDay1 + d, caption.c_str(), cx + 132 + (d % 6) * 39,
          205 + (d / 6) * 17, 38);
  }

  onTab(kTabTaskAuto, 1);
  Label("Durchf\xC3\xBChrung bei Leerlauf", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskAutoIdle, "Task nach", cx, 106, 80);
  Number(kIdFlatSpinEditTaskAutoIdle, cx + 84, 105, 54);
  Label("Minuten Leerlauf durchf\xC3\xBChren.", cx + 146, 109, cw - 146, 16);
  Label("Hinweis", cx, 144, cw, 16, true);
  Label("Orvalis ermittelt Leerlauf, indem Eingaben (Tastatur und Mouse) \xC3\xBC" "berpr\xC3\xBC" "ft "
        "werden.",
        cx + 8, 170, cw - 16, 34);

  onTab(kTabTaskAuto, 2);
  Check(kIdFlatCheckBoxTaskAutoChange, "Task bei \xC3\x84nderung von Dateien durchf\xC3\xBChren.",
        cx, 84, cw);
  Label("Folgende Dateien \xC3\xBC" "berwachen:", cx, 114, cw, 16);
  HWND list = CreateWindowExW(0, L"LISTBOX", L"",
                              WS_CHILD | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                  LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT |
                                  LBS_NOTIFY,
                              skin_.Scale(cx), skin_.Scale(132), skin_.Scale(cw - 112),
                              skin_.Scale(h96 - kFrameBottomGap - 12 - 132), hwnd_,
                              IdMenu(kIdListBoxTaskAutoChange), instance_, nullptr);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  Place(list);
  Button(kIdFlatButtonTaskAutoChangeAdd, "Hinzuf\xC3\xBCgen", cx + cw - 104, 132, 104, 26);
  Button(kIdFlatButtonTaskAutoChangeDelete, "Entfernen", cx + cw - 104, 164, 104, 26);

  // Step 3: extra conditions.
  curStep_ = 3;
  onTab(-1, 0);
  tabs(kTabConfig, {"Konfiguration"}, fx, kTabsTop);
  onTab(kTabConfig, 0);
  Label("Durchf\xC3\xBChrung des Task", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskExtendedWindows, "Task durchf\xC3\xBChren bei", cx, 106, 170);
  Combo(kIdFlatComboBoxTaskExtendedWindows, cx + 176, 104, 150, {"Windows-Start", "Windows-Shutdown"});
  Check(kIdFlatCheckBoxTaskExtendedOnce, "Nur einmal pro Windows-Sitzung durchf\xC3\xBChren", cx,
        134, cw);
  Check(kIdFlatCheckBoxTaskExtendedProgram, "Nur durchf\xC3\xBChren, wenn folgendes Programm", cx,
        162, 260);
  Combo(kIdFlatComboBoxTaskExtendedProgram, cx + 264, 160, cw - 264, {"aktiv", "inaktiv"});
  Edit(kIdFlatEditTaskExtendedProgram, cx + 22, 188, cw - 22 - 40);
  Hint(Button(kIdFlatButtonTaskExtendedProgram, "\xE2\x80\xA6", cx + cw - 34, 187, 34),
       "Datei ausw\xC3\xA4hlen");
  Label("Best\xC3\xA4tigung der Durchf\xC3\xBChrung", cx, 228, cw, 16, true);
  Check(kIdFlatCheckBoxTaskExtendedConfirm, "Best\xC3\xA4tigung vor Task-Durchf\xC3\xBChrung erforderlich",
        cx, 248, cw);

  // Step 4: the name.
  curStep_ = 4;
  onTab(-1, 0);
  tabs(kTabName, {"Bezeichnung"}, fx, kTabsTop);
  onTab(kTabName, 0);
  Label("Task-Name (max. 30 Zeichen)", cx, 84, cw, 16);
  HWND name = Edit(kIdFlatEditTaskEndName, cx, 102, 250);
  SendMessageW(name, EM_LIMITTEXT, 30, 0);
  SetWindowSubclass(name, &TaskEditor::NameProc, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  Label("Bitte vergeben Sie eine eindeutige, maximal 30 Zeichen umfassende Bezeichnung.", cx, 138,
        cw, 34);
  Label("\xC3\x9C" "bernehmen Sie die Einstellungen, indem Sie den Button 'Fertig' anklicken.", cx,
        178, cw, 34);
}

// ---- state --------------------------------------------------------------------------------

std::string TaskEditor::Text(int id) const {
  HWND control = Item(id);
  const int n = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  GetWindowTextW(control, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n));
  return U8(text);
}

void TaskEditor::SetText(int id, const std::string& text) {
  SetWindowTextW(Item(id), W(text).c_str());
}

bool TaskEditor::Checked(int id) const { return skin::IsChecked(Item(id)); }
void TaskEditor::SetCheck(int id, bool on) { skin::SetChecked(Item(id), on); }

int TaskEditor::NumberValue(int id) const {
  const NumberRange* range = RangeOf(id);
  const std::string text = Text(id);
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  // Empty or unreadable counts as the minimum.
  if (text.empty() || end == text.c_str() || *end != '\0') return range->min;
  return static_cast<int>(std::clamp<long>(value, range->min, range->max));
}

void TaskEditor::SetNumber(int id, int value) {
  const NumberRange* range = RangeOf(id);
  SetText(id, std::to_string(std::clamp(value, range->min, range->max)));
}

void TaskEditor::ClampNumber(int id) {
  const std::string clamped = std::to_string(NumberValue(id));
  if (Text(id) != clamped) SetText(id, clamped);
}

TaskEditorState TaskEditor::ToState() const {
  TaskEditorState s;
  auto sel = [&](int id) { return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0)); };
  s.taskKind = active_[kTabTaskType];
  s.program = Text(kIdFlatEditTaskTypeProgram);
  s.param = Checked(kIdFlatCheckBoxTaskTypeProgramParam);
  s.paramString = Text(kIdFlatEditTaskTypeProgramParam);
  s.programShow = sel(kIdFlatComboBoxTaskTypeProgramShow);
  s.url = Text(kIdFlatEditTaskTypeInternetURL);
  s.inBrowser = Checked(kIdFlatCheckBoxTaskTypeInternetBrowser);
  s.timeoutEnabled = Checked(kIdFlatCheckBoxTaskTypeInternetTimeout);
  s.timeout = NumberValue(kIdFlatSpinEditTypeInternetTimeout);
  s.urlShow = sel(kIdFlatComboBoxTaskTypeInternetShow);
  s.system = systemChoice_;
  s.powerOff = Checked(kIdFlatCheckBoxTaskTypeSystemPowerOff);
  s.forceNot = Checked(kIdFlatCheckBoxTaskTypeSystemForceNot);

  s.trigger = active_[kTabTaskAuto];
  s.intervall = NumberValue(kIdFlatSpinEditTaskAutoMinutes);
  s.intEnabled = Checked(kIdFlatCheckBoxTaskAutoMinutes);
  s.time = Text(kIdFlatMaskEditTaskAutoTime);
  // Stored as "hh:mm", the form every comparison with the clock uses: "7:30" becomes "07:30".
  if (IsTimeOfDay(s.time)) s.time = Engine::TimeText(Engine::TimeOfText(s.time));
  s.timeEnabled = Checked(kIdFlatCheckBoxTaskAutoTime);
  for (int i = 0; i < 7; ++i) s.weekdays[static_cast<std::size_t>(i)] = Checked(kIdFlatCheckBoxTaskAutoMonday + i);
  for (int d = 0; d < 31; ++d)
    s.monthDays[static_cast<std::size_t>(d)] = Checked(kIdCheckListBoxTaskAutoMonthDay1 + d);
  s.dayRestriction = active_[kTabRestrict];
  s.onIdle = Checked(kIdFlatCheckBoxTaskAutoIdle);
  s.idleTime = NumberValue(kIdFlatSpinEditTaskAutoIdle);
  s.changeFiles = Checked(kIdFlatCheckBoxTaskAutoChange);
  s.files = files_list_;

  s.onWindowsEnabled = Checked(kIdFlatCheckBoxTaskExtendedWindows);
  s.onWindows = sel(kIdFlatComboBoxTaskExtendedWindows);
  s.oncePerSession = Checked(kIdFlatCheckBoxTaskExtendedOnce);
  s.programActionEnabled = Checked(kIdFlatCheckBoxTaskExtendedProgram);
  s.programAction = sel(kIdFlatComboBoxTaskExtendedProgram);
  s.programActionFile = Text(kIdFlatEditTaskExtendedProgram);
  s.confirm = Checked(kIdFlatCheckBoxTaskExtendedConfirm);

  // A name the program set is kept as it is; what the user changed follows the typing rule.
  const std::string name = Text(kIdFlatEditTaskEndName);
  s.name = nameTyped_ ? FilterTaskName(name) : name;
  return s;
}

void TaskEditor::FromState(const TaskEditorState& s) {
  auto select = [&](int id, int index, int entries) {
    SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(TaskEditorState::EntryOrNone(index, entries)), 0);
  };
  ActivateTab(kTabTaskType, s.taskKind);
  SetText(kIdFlatEditTaskTypeProgram, s.program);
  SetCheck(kIdFlatCheckBoxTaskTypeProgramParam, s.param);
  SetText(kIdFlatEditTaskTypeProgramParam, s.paramString);
  select(kIdFlatComboBoxTaskTypeProgramShow, s.programShow, TaskEditorState::kShowModeEntries);
  SetText(kIdFlatEditTaskTypeInternetURL, s.url);
  SetCheck(kIdFlatCheckBoxTaskTypeInternetBrowser, s.inBrowser);
  SetCheck(kIdFlatCheckBoxTaskTypeInternetTimeout, s.timeoutEnabled);
  SetNumber(kIdFlatSpinEditTypeInternetTimeout, s.timeout);
  select(kIdFlatComboBoxTaskTypeInternetShow, s.urlShow, TaskEditorState::kShowModeEntries);
  systemChoice_ = TaskEditorState::EntryOrNone(s.system, TaskEditorState::kSystemChoices);
  for (int i = 0; i < 4; ++i) InvalidateRect(Item(kIdFlatRadioButtonTaskTypeSystemReboot + i), nullptr, FALSE);
  SetCheck(kIdFlatCheckBoxTaskTypeSystemPowerOff, s.powerOff);
  SetCheck(kIdFlatCheckBoxTaskTypeSystemForceNot, s.forceNot);

  ActivateTab(kTabTaskAuto, s.trigger);
  SetNumber(kIdFlatSpinEditTaskAutoMinutes, s.intervall);
  SetCheck(kIdFlatCheckBoxTaskAutoMinutes, s.intEnabled);
  SetText(kIdFlatMaskEditTaskAutoTime, s.time);
  SetCheck(kIdFlatCheckBoxTaskAutoTime, s.timeEnabled);
  for (int i = 0; i < 7; ++i) SetCheck(kIdFlatCheckBoxTaskAutoMonday + i, s.weekdays[static_cast<std::size_t>(i)]);
  for (int d = 0; d < 31; ++d)
    SetCheck(kIdCheckListBoxTaskAutoMonthDay1 + d, s.monthDays[static_cast<std::size_t>(d)]);
  ActivateTab(kTabRestrict, s.dayRestriction);
  SetCheck(kIdFlatCheckBoxTaskAutoIdle, s.onIdle);
  SetNumber(kIdFlatSpinEditTaskAutoIdle, s.idleTime);
  SetCheck(kIdFlatCheckBoxTaskAutoChange, s.changeFiles);
  files_list_ = s.files;
  FillFileList();

  SetCheck(kIdFlatCheckBoxTaskExtendedWindows, s.onWindowsEnabled);
  select(kIdFlatComboBoxTaskExtendedWindows, s.onWindows, TaskEditorState::kWindowsEntries);
  SetCheck(kIdFlatCheckBoxTaskExtendedOnce, s.oncePerSession);
  SetCheck(kIdFlatCheckBoxTaskExtendedProgram, s.programActionEnabled);
  select(kIdFlatComboBoxTaskExtendedProgram, s.programAction, TaskEditorState::kProgramActionEntries);
  SetText(kIdFlatEditTaskExtendedProgram, s.programActionFile);
  SetCheck(kIdFlatCheckBoxTaskExtendedConfirm, s.confirm);

  ActivateTab(kTabName, 0);
  settingName_ = true;
  SetText(kIdFlatEditTaskEndName, s.name);
  settingName_ = false;
  nameTyped_ = false;
  // The descriptions follow the lists' selection.
  ShowModeChanged(kIdFlatComboBoxTaskTypeProgramShow, kIdLabelTaskTypeProgramShow);
  ShowModeChanged(kIdFlatComboBoxTaskTypeInternetShow, kIdLabelTaskTypeInternetShow);
}

void TaskEditor::FillFileList() {
  HWND list = Item(kIdListBoxTaskAutoChange);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& f : files_list_)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(f).c_str()));
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

// ---- behaviour ----------------------------------------------------------------------------

void TaskEditor::ActivateTab(int tabCtl, int index) {
  active_[tabCtl] = TaskEditorState::ClampTab(index, kTabCounts[tabCtl]);
  for (int i = 0; i < kTabCounts[tabCtl]; ++i) InvalidateRect(Item(kTabFirstId[tabCtl] + i), nullptr, FALSE);
  UpdateVisibility();
}

void TaskEditor::UpdateVisibility() {
  for (const Placed& p : placed_) {
    bool visible = p.step == 0 || p.step == step_;
    if (visible && p.tabCtl >= 0) {
      visible = active_[p.tabCtl] == p.tab;
      if (p.tabCtl == kTabRestrict) visible = visible && active_[kTabTaskAuto] == 0;
    }
    if ((IsWindowVisible(p.hwnd) != FALSE) != visible) ShowWindow(p.hwnd, visible ? SW_SHOWNA : SW_HIDE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TaskEditor::ShowModeChanged(int comboId, int labelId) {
  const int index = static_cast<int>(SendMessageW(Item(comboId), CB_GETCURSEL, 0, 0));
  SetText(labelId, TaskEditorState::EntryOrNone(index, 4) < 0 ? std::string() : messages_[index]);
}

void TaskEditor::Open(const std::string& editingName) {
  editingName_ = editingName;
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(Item(kIdFlatButtonWizardNext));
}

TaskLoad TaskEditor::Load(const std::string& name) {
  TaskEditorState loaded = ToState();
  const TaskLoad result = LoadTaskData(engine_, name, loaded);
  if (!result.keyFound) return result;
  FromState(loaded);
  lastProgramFile_ = loaded.program;
  return result;
}

void TaskEditor::NameChanged() {
  if (settingName_ || nameTyped_) return;
  nameTyped_ = true;
  // The first change by the user: the field now holds only what may be typed, so that what it
  // shows is what will be saved.
  const std::string text = Text(kIdFlatEditTaskEndName);
  const std::string kept = FilterTaskName(text);
  if (kept == text) return;
  settingName_ = true;
  SetText(kIdFlatEditTaskEndName, kept);
  settingName_ = false;
  const LPARAM end = static_cast<LPARAM>(W(kept).size());
  SendMessageW(Item(kIdFlatEditTaskEndName), EM_SETSEL, static_cast<WPARAM>(end), end);
}

void TaskEditor::StepLogic(int delta) {
  step_ += delta;
  if (step_ < 1) step_ = 1;
  if (step_ == 4 && delta > 0 && !IsTimeOfDay(Text(kIdFlatMaskEditTaskAutoTime))) {
    Warn(kMsgBadTime);
    step_ = 3;
  }
  if (step_ > 4) {
    Finish();
    return;
  }
  static const char* const kHeadings[] = {"Task-Art", "Automatisierte Durchf\xC3\xBChrung",
                                          "Erweiterte Einstellungen", "Task-Bezeichnung"};
  SetText(kIdLabelStep, "Schritt " + std::to_string(step_) + " von 4");
  SetText(kIdLabelHeading, kHeadings[step_ - 1]);
  ShowWindow(Item(kIdFlatButtonWizardBack), step_ == 1 ? SW_HIDE : SW_SHOW);
  SetText(kIdFlatButtonWizardNext, messages_[step_ == 4 ? kMsgFinish : kMsgNext]);
  UpdateVisibility();
}

void TaskEditor::Finish() {
  const TaskEditorState state = ToState();
  const NameCheck check = CheckTaskName(engine_, state.name, editingName_);
  if (check != NameCheck::Ok) {
    Warn(check == NameCheck::Missing ? kMsgNameMissing : kMsgNameTaken);
    step_ = 4;
    return;
  }
  if (!files_) throw std::runtime_error("Keine Dateizugriffe vorhanden.");
  try {
    SaveTask(engine_, *files_, state, editingName_);
  } catch (...) {
    // The editor stays on step 4 with the entries, so that nothing typed is lost.
    step_ = 4;
    throw;
  }
  editingName_.clear();
  FlatButtonWizardCancelClick();
  if (onClosed_) onClosed_(true, state.name);
}

void TaskEditor::FlatButtonWizardCancelClick() {
  const bool saving = step_ > 4;
  FromState(TaskEditorState::AfterReset());
  lastProgramFile_.clear();
  step_ = 0;
  StepLogic(+1);
  ShowWindow(hwnd_, SW_HIDE);
  if (!saving && onClosed_) onClosed_(false, std::string());
}

void TaskEditor::ProgramFileClick(int editId) {
  const auto chosen = ChooseFiles(GetAncestor(hwnd_, GA_ROOT), L"Datei ausw\u00E4hlen", false,
                                  W(lastProgramFile_));
  if (chosen.empty()) return;
  lastProgramFile_ = U8(chosen.front());
  SetText(editId, lastProgramFile_);
}

void TaskEditor::AddFilesClick() {
  const auto chosen = ChooseFiles(GetAncestor(hwnd_, GA_ROOT), L"Dateien ausw\u00E4hlen", true, L"");
  if (chosen.empty()) return;
  std::vector<std::string> paths;
  std::size_t longest = 0;
  for (const std::wstring& p : chosen) {
    paths.push_back(U8(p));
    longest = std::max(longest, p.size());
  }
  TaskEditorState s;
  s.files = files_list_;
  s.AddFiles(paths);
  files_list_ = s.files;
  FillFileList();
  HWND list = Item(kIdListBoxTaskAutoChange);
  const auto extent = static_cast<WPARAM>(6 * longest);
  if (SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0) < static_cast<LRESULT>(extent))
    SendMessageW(list, LB_SETHORIZONTALEXTENT, extent, 0);
}

void TaskEditor::DeleteFilesClick() {
  HWND list = Item(kIdListBoxTaskAutoChange);
  for (int i = static_cast<int>(files_list_.size()) - 1; i >= 0; --i)
    if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
      files_list_.erase(files_list_.begin() + i);
  FillFileList();
}

void TaskEditor::Warn(int msg) const {
  MessageBoxW(GetAncestor(hwnd_, GA_ROOT), W(messages_[msg]).c_str(), L"Orvalis",
              MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

void TaskEditor::OnCommand(int id, int code, HWND control) {
  if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
    int tabCtl = 0, tab = 0;
    if (TabOf(id, tabCtl, tab)) return ActivateTab(tabCtl, tab);
    if (id >= kIdFlatRadioButtonTaskTypeSystemReboot && id < kIdFlatRadioButtonTaskTypeSystemReboot + 4) {
      systemChoice_ = id - kIdFlatRadioButtonTaskTypeSystemReboot;
      for (int i = 0; i < 4; ++i) InvalidateRect(Item(kIdFlatRadioButtonTaskTypeSystemReboot + i), nullptr, FALSE);
      return;
    }
  }
  if (code == BN_CLICKED) {
    if (IsCheckBoxId(id)) return skin::ToggleCheckBox(control);
    switch (id) {
      case kIdFlatButtonWizardNext: return FlatButtonWizardNextClick();
      case kIdFlatButtonWizardBack: return FlatButtonWizardBackClick();
      case kIdFlatButtonWizardCancel: return FlatButtonWizardCancelClick();
      case kIdFlatButtonTaskTypeProgram: return ProgramFileClick(kIdFlatEditTaskTypeProgram);
      case kIdFlatButtonTaskExtendedProgram: return ProgramFileClick(kIdFlatEditTaskExtendedProgram);
      case kIdFlatButtonTaskTypeInternetVisit:
        ShellExecuteW(GetAncestor(hwnd_, GA_ROOT), L"open",
                      W(Text(kIdFlatEditTaskTypeInternetURL)).c_str(), nullptr, nullptr, SW_SHOW);
        return;
      case kIdFlatButtonTaskAutoChangeAdd: return AddFilesClick();
      case kIdFlatButtonTaskAutoChangeDelete: return DeleteFilesClick();
    }
  }
  if (code == CBN_SELCHANGE) {
    if (id == kIdFlatComboBoxTaskTypeProgramShow) ShowModeChanged(id, kIdLabelTaskTypeProgramShow);
    if (id == kIdFlatComboBoxTaskTypeInternetShow) ShowModeChanged(id, kIdLabelTaskTypeInternetShow);
  }
  if (code == EN_KILLFOCUS && RangeOf(id)) ClampNumber(id);
  if (code == EN_CHANGE && id == kIdFlatEditTaskEndName) NameChanged();
}

// ---- fields -------------------------------------------------------------------------------

LRESULT CALLBACK TaskEditor::NumberProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                        DWORD_PTR) {
  if (msg == WM_CHAR) {
    const wchar_t c = static_cast<wchar_t>(wp);
    const bool ok = (c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c < 0x20;
    if (!ok) {
      MessageBeep(MB_OK);
      return 0;
    }
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &TaskEditor::NumberProc, kFieldSubclass);
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TaskEditor::TimeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR) {
  if (msg == WM_CHAR) {
    const wchar_t c = static_cast<wchar_t>(wp);
    if (!((c >= L'0' && c <= L'9') || c == L':' || c < 0x20)) {
      MessageBeep(MB_OK);
      return 0;
    }
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &TaskEditor::TimeProc, kFieldSubclass);
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// The name field keeps only what a task key may be called, typed or pasted. Text the program
// sets (a loaded name) is kept as it is: that task's key already has that name.
LRESULT CALLBACK TaskEditor::NameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR) {
  switch (msg) {
    case WM_CHAR: {
      const wchar_t c = static_cast<wchar_t>(wp);
      // Backspace, and the copy, cut, paste and undo shortcuts: a paste arrives as WM_PASTE
      // and is filtered there.
      if (c == 8 || c == 0x03 || c == 0x16 || c == 0x18 || c == 0x1A) break;
      if (c >= 0x80 || FilterTaskName(std::string(1, static_cast<char>(c))).empty()) return 0;
      break;
    }
    case WM_PASTE: {
      std::wstring text = W(FilterTaskName(U8(ClipboardText(hwnd))));
      DWORD selStart = 0, selEnd = 0;
      SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
      const int room = 30 - (GetWindowTextLengthW(hwnd) - static_cast<int>(selEnd - selStart));
      text.resize(std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max(room, 0))));
      SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &TaskEditor::NameProc, kFieldSubclass);
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// ---- window -------------------------------------------------------------------------------

LRESULT CALLBACK TaskEditor::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TaskEditor* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TaskEditor*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<TaskEditor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    MessageBoxW(GetAncestor(hwnd, GA_ROOT), W(e.what()).c_str(), L"Orvalis",
                MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
  } catch (...) {
    MessageBoxW(GetAncestor(hwnd, GA_ROOT), L"Unbekannter Fehler.", L"Orvalis",
                MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
  }
  return 0;
}

LRESULT TaskEditor::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
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
      SetBkColor(dc, skin::kPalette.window);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      SetTextColor(dc, id == kIdLabelStep ? skin::kPalette.disabledText : skin::kPalette.text);
      return reinterpret_cast<LRESULT>(background_);
    }
    case WM_PAINT:
      Paint();
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void TaskEditor::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  const auto& pal = skin::kPalette;
  // The picture: a band with the four steps, the current one highlighted.
  RECT band{0, 0, skin_.Scale(kLeftBand), client.bottom};
  SetDCBrushColor(dc, pal.band);
  FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, pal.bandText);
  HGDIOBJ oldFont = SelectObject(dc, skin_.TitleFont());
  RECT title{skin_.Scale(16), skin_.Scale(18), band.right - skin_.Scale(8), skin_.Scale(48)};
  DrawTextW(dc, L"Orvalis", -1, &title, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, skin_.Font());
  RECT sub{title.left, skin_.Scale(44), title.right, skin_.Scale(62)};
  DrawTextW(dc, L"Task-Editor", -1, &sub, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  static const char* const kSteps[] = {"Task-Art", "Durchf\xC3\xBChrung", "Bedingungen",
                                       "Bezeichnung"};
  for (int i = 0; i < 4; ++i) {
    const bool current = i + 1 == step_;
    const int y = skin_.Scale(96 + i * 30);
    RECT dot{skin_.Scale(14), y, skin_.Scale(34), y + skin_.Scale(20)};
    SetDCBrushColor(dc, current ? pal.bandText : pal.accentHot);
    SetDCPenColor(dc, current ? pal.bandText : pal.accentHot);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    Ellipse(dc, dot.left, dot.top, dot.right, dot.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SetTextColor(dc, current ? pal.band : pal.bandText);
    SelectObject(dc, boldFont_ ? boldFont_ : skin_.Font());
    const std::wstring number = std::to_wstring(i + 1);
    DrawTextW(dc, number.c_str(), -1, &dot, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, current && boldFont_ ? boldFont_ : skin_.Font());
    SetTextColor(dc, current ? pal.bandText : RGB(0xC4, 0xD7, 0xEA));
    RECT text{skin_.Scale(41), y, band.right - skin_.Scale(2), y + skin_.Scale(20)};
    DrawTextW(dc, W(kSteps[i]).c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  // The frame of the step's tab page, open under the active tab.
  const int w96 = MulDiv(client.right, 96, skin_.Dpi());
  const int h96 = MulDiv(client.bottom, 96, skin_.Dpi());
  RECT frame = skin_.Scale(
      RECT{kLeftBand + 12, kTabsTop + kTabHeight - 1, w96 - 12, h96 - kFrameBottomGap});
  SetDCPenColor(dc, pal.buttonBorder);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  // The restriction tabs' line, under their headers.
  if (step_ == 2 && active_[kTabTaskAuto] == 0) {
    RECT tabs;
    GetWindowRect(Item(kIdRadioButtonWeek), &tabs);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&tabs), 2);
    MoveToEx(dc, tabs.left, tabs.bottom - 1, nullptr);
    LineTo(dc, frame.right - skin_.Scale(12), tabs.bottom - 1);
  }
  // The idle note's frame.
  if (step_ == 2 && active_[kTabTaskAuto] == 1) {
    const int x = kLeftBand + 24;
    RECT note = skin_.Scale(RECT{x, 164, w96 - 24, 208});
    Rectangle(dc, note.left, note.top, note.right, note.bottom);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  EndPaint(hwnd_, &ps);
}

// Tab headers with their radio button, and the system-action radio buttons.
bool TaskEditor::DrawOwnItem(const DRAWITEMSTRUCT& item) const {
  const int id = static_cast<int>(item.CtlID);
  int tabCtl = 0, tab = 0;
  const bool isTab = TabOf(id, tabCtl, tab);
  const bool isSystem =
      id >= kIdFlatRadioButtonTaskTypeSystemReboot && id < kIdFlatRadioButtonTaskTypeSystemReboot + 4;
  if (!isTab && !isSystem) return false;
  const auto& pal = skin::kPalette;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = isTab ? active_[tabCtl] == tab : systemChoice_ == id - kIdFlatRadioButtonTaskTypeSystemReboot;
  SetDCBrushColor(dc, isTab && !selected ? pal.buttonFaceHot : pal.window);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
  if (isTab) {
    SetDCPenColor(dc, pal.buttonBorder);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    LineTo(dc, r.right - 1, r.bottom);
    if (!selected) {
      MoveToEx(dc, r.left, r.bottom - 1, nullptr);
      LineTo(dc, r.right, r.bottom - 1);
    } else {
      SetDCPenColor(dc, pal.accent);  // the active tab's accent line along its top
      MoveToEx(dc, r.left, r.top, nullptr);
      LineTo(dc, r.right, r.top);
      MoveToEx(dc, r.left, r.top + 1, nullptr);
      LineTo(dc, r.right, r.top + 1);
    }
  }
  // Tabs of a choice carry a radio button; single tabs only their caption.
  const bool radio = isSystem || kTabCounts[tabCtl] > 1;
  int textLeft = r.left + skin_.Scale(isTab ? 10 : 0);
  if (radio) {
    const int d = skin_.Scale(skin::kCheckBoxSize);
    const int x = r.left + skin_.Scale(isTab ? 8 : 0);
    const int y = (r.top + r.bottom - d) / 2;
    SetDCPenColor(dc, selected ? pal.accent : pal.boxBorder);
    SetDCBrushColor(dc, pal.boxFace);
    Ellipse(dc, x, y, x + d, y + d);
    if (selected) {
      const int in = skin_.Scale(4);
      SetDCPenColor(dc, pal.accent);
      SetDCBrushColor(dc, pal.accent);
      Ellipse(dc, x + in, y + in, x + d - in, y + d - in);
    }
    textLeft = x + d + skin_.Scale(6);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  wchar_t text[128] = {};
  GetWindowTextW(item.hwndItem, text, 128);
  HGDIOBJ oldFont = SelectObject(dc, isTab && selected && boldFont_ ? boldFont_ : skin_.Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, isTab && selected ? pal.accent : pal.text);
  RECT tr{textLeft, r.top, r.right - skin_.Scale(4), r.bottom};
  DrawTextW(dc, text, -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (item.itemState & ODS_FOCUS) {
    RECT fr = tr;
    DrawTextW(dc, text, -1, &fr, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    const int h = fr.bottom - fr.top;
    fr.top = (r.top + r.bottom - h) / 2;
    fr.bottom = fr.top + h;
    InflateRect(&fr, 2, 0);
    DrawFocusRect(dc, &fr);
  }
  SelectObject(dc, oldFont);
  return true;
}

}  // namespace orv
