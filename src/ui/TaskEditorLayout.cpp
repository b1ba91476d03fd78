// The task editor's layout: its controls, each placed on its wizard step and tab.
#include "ui/TaskEditor.h"

#include <commctrl.h>

#include "ui/TaskEditorParts.h"
#include "ui/win/accessible.h"
#include "ui/win/window.h"
#include "ui/win32_text.h"

namespace orv {

using namespace editor;

// ---- building -----------------------------------------------------------------------------

void TaskEditor::Place(HWND hwnd) {
  placed_.push_back({hwnd, curStep_, curTabCtl_, curTab_});
}

static HMENU IdMenu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

HWND TaskEditor::Label(const char* text, int x, int y, int w, int h, bool bold, int id) {
  if (id == 0) id = nextLabelId_++;
  // A label with "&" names the access key of the field after it.
  const bool accessKey = std::string(text).find('&') != std::string::npos;
  HWND label = CreateWindowExW(0, L"STATIC", W(text).c_str(),
                               WS_CHILD | SS_LEFT | (accessKey ? 0 : SS_NOPREFIX),
                               skin_.Scale(x), skin_.Scale(y), skin_.Scale(w), skin_.Scale(h),
                               hwnd_, IdMenu(id), instance_, nullptr);
  SendMessageW(label, WM_SETFONT,
               reinterpret_cast<WPARAM>(bold && boldFont_ ? boldFont_.Get() : skin_.Font()), FALSE);
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
  win::Subclass<&TaskEditor::NumberProc>(edit, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  // Up and down arrows inside the field's right edge, over the record's range; no thousands
  // separator, which the field would not take.
  HWND arrows = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                WS_CHILD | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                    UDS_NOTHOUSANDS,
                                0, 0, 0, 0, hwnd_, IdMenu(id + kUpDownIdOffset), instance_, nullptr);
  if (arrows) {
    SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    if (const NumberRange* range = RangeOf(id))
      SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(range->min), range->max);
    Place(arrows);
  }
  return edit;
}

HWND TaskEditor::Combo(int id, int x, int y, int w, std::initializer_list<const char*> entries) {
  HWND combo = CreateWindowExW(0, L"COMBOBOX", L"",
                               WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               skin_.Scale(x), skin_.Scale(y), skin_.Scale(w), skin_.Scale(kComboDropHeight),
                               hwnd_, IdMenu(id), instance_, nullptr);
  SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  for (const char* e : entries)
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(e).c_str()));
  Place(combo);
  return combo;
}

HWND TaskEditor::Radio(int id, const char* text, int x, int y, int w, bool first) {
  const RECT r{skin_.Scale(x), skin_.Scale(y), skin_.Scale(x + w), skin_.Scale(y + 20)};
  HWND radio = skin_.CreateRadioButton(hwnd_, id, W(text), r, first);
  ShowWindow(radio, SW_HIDE);
  Place(radio);
  return radio;
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

// Tab headers, drawn by the editor itself. The headers of one row are a group, as a tab
// control's: the arrow keys move between them and the active one is the row's tab stop;
// BS_NOTIFY reports the focus, which activates the tab.
HWND TaskEditor::OwnButton(int id, const char* text, int x, int y, int w, int h) {
  int tabCtl = 0, tab = 0;
  const bool first = TabOf(id, tabCtl, tab) && tab == 0;
  HWND button = CreateWindowExW(0, L"BUTTON", W(text).c_str(),
                                WS_CHILD | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY |
                                    (first ? WS_GROUP : 0),
                                skin_.Scale(x),
                                skin_.Scale(y), skin_.Scale(w), skin_.Scale(h), hwnd_, IdMenu(id),
                                instance_, nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  // Screen readers meet a page tab, selected while its page shows.
  win::AnnotateAccessible(button, ROLE_SYSTEM_PAGETAB, [this, id] {
    int c = 0, t = 0;
    return TabOf(id, c, t) && active_[c] == t ? static_cast<long>(STATE_SYSTEM_SELECTED) : 0L;
  });
  Place(button);
  return button;
}

void TaskEditor::TextOf(int checkId, HWND label) {
  SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
  textOf_.emplace_back(GetDlgCtrlID(label), checkId);
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
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardCancel, L"Abbre&chen", cancel,
                     skin::ButtonKind::kSecondary);
  const RECT back = skin_.Scale(RECT{fr - 208, by, fr - 108, by + 26});
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardBack, W("&Zurück"), back,
                     skin::ButtonKind::kSecondary);
  const RECT next = skin_.Scale(RECT{fr - 100, by, fr, by + 26});
  skin_.CreateButton(hwnd_, kIdFlatButtonWizardNext, W(messages_[kMsgNext]), next,
                     skin::ButtonKind::kPrimary);

  // Step 1: the task kind and its action.
  curStep_ = 1;
  onTab(-1, 0);
  tabs(kTabTaskType, {"Pro&gramm", "&Internet", "&System"}, fx, kTabsTop);
  onTab(kTabTaskType, 0);
  Label("Auszuführende &Datei", cx, 84, cw, 16);
  Edit(kIdFlatEditTaskTypeProgram, cx, 102, cw - 40);
  Hint(Button(kIdFlatButtonTaskTypeProgram, "…", cx + cw - 34, 101, 34), "Datei auswählen");
  Label("Parameter", cx, 134, cw, 16);
  Check(kIdFlatCheckBoxTaskTypeProgramParam, "Mit Para&meter starten:", cx, 152, 170);
  Edit(kIdFlatEditTaskTypeProgramParam, cx + 176, 151, cw - 176);
  Label("&Anzeige-Modus", cx, 186, cw, 16);
  Combo(kIdFlatComboBoxTaskTypeProgramShow, cx, 204, 150, {kShow[0], kShow[1], kShow[2], kShow[3]});
  Label("", cx + 162, 208, cw - 162, 16, false, kIdLabelTaskTypeProgramShow);

  onTab(kTabTaskType, 1);
  Label("&URL", cx, 84, cw, 16);
  Edit(kIdFlatEditTaskTypeInternetURL, cx, 102, cw - 104);
  Hint(Button(kIdFlatButtonTaskTypeInternetVisit, "URL &laden", cx + cw - 96, 101, 96), "URL laden");
  Check(kIdFlatCheckBoxTaskTypeInternetBrowser, "URL in &Browser laden", cx, 134, cw);
  TextOf(kIdFlatCheckBoxTaskTypeInternetBrowser,
         Label("Wenn Sie diese Option deaktivieren, wird URL unsichtbar geladen.", cx + 20, 155,
               cw - 20, 32));
  Check(kIdFlatCheckBoxTaskTypeInternetTimeout, "&Timeout verwenden (Millisekunden):", cx, 192, 236);
  Number(kIdFlatSpinEditTypeInternetTimeout, cx + 240, 191, 70);
  Label("&Anzeige-Modus", cx, 224, cw, 16);
  Combo(kIdFlatComboBoxTaskTypeInternetShow, cx, 242, 150, {kShow[0], kShow[1], kShow[2], kShow[3]});
  Label("", cx + 162, 246, cw - 162, 16, false, kIdLabelTaskTypeInternetShow);

  onTab(kTabTaskType, 2);
  Label("System-Aktionen", cx, 84, cw, 16);
  const char* const kSystem[] = {"System &neustarten", "System herunter&fahren",
                                 "System in &Ruhemodus versetzen (wenn unterstützt)",
                                 "Benutzer ab&melden (wenn unterstützt)"};
  const int systemY[] = {104, 126, 170, 192};
  for (int i = 0; i < 4; ++i)
    Radio(kIdFlatRadioButtonTaskTypeSystemReboot + i, kSystem[i], cx, systemY[i], cw, i == 0);
  Check(kIdFlatCheckBoxTaskTypeSystemPowerOff, "PC ausschal&ten (wenn unterstützt)", cx + 22,
        148, cw - 22);
  Check(kIdFlatCheckBoxTaskTypeSystemForceNot,
        "Programm-R&ückmeldungen abwarten (empfohlen)", cx, 224, cw);

  // Step 2: the trigger.
  curStep_ = 2;
  onTab(-1, 0);
  Label("", 12, 214, kLeftBand - 18, h96 - 214 - 8, false, kIdLabelPreview);
  tabs(kTabTaskAuto, {"&Uhrzeit", "&Leerlauf", "&Änderung"}, fx, kTabsTop);
  onTab(kTabTaskAuto, 0);
  Label("Zeitvorgaben für Automatisierung", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskAutoMinutes, "Task &alle", cx, 104, 80);
  Number(kIdFlatSpinEditTaskAutoMinutes, cx + 84, 103, 54);
  TextOf(kIdFlatCheckBoxTaskAutoMinutes, Label("Minuten durchführen.", cx + 146, 107, cw - 146, 16));
  Check(kIdFlatCheckBoxTaskAutoTime, "Task u&m", cx, 131, 80);
  HWND time = Edit(kIdFlatMaskEditTaskAutoTime, cx + 84, 130, 54);
  SendMessageW(time, EM_LIMITTEXT, 5, 0);
  win::Subclass<&TaskEditor::TimeProc>(time, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  TextOf(kIdFlatCheckBoxTaskAutoTime, Label("Uhr durchführen.", cx + 146, 134, cw - 146, 16));
  Label("Durchführung beschränken", cx, 160, cw, 16, true);
  tabs(kTabRestrict, {"Wochen&tage", "Mo&natstage"}, cx, 177);
  onTab(kTabRestrict, 0);
  const char* const kDays[] = {"Montag", "Dienstag", "Mittwoch", "Donnerstag",
                               "Freitag", "Samstag", "Sonntag"};
  for (int i = 0; i < 7; ++i)
    Check(kIdFlatCheckBoxTaskAutoMonday + i, kDays[i], cx + 8 + (i % 3) * 120, 210 + (i / 3) * 23,
          114);
  onTab(kTabRestrict, 1);
  Label("Wählen Sie rechts die Tage des Monats aus, an welchen eine Durchführung "
        "erfolgen soll.",
        cx + 8, 210, 118, 90);
  for (int d = 0; d < 31; ++d) {
    const std::string caption = std::to_string(d + 1) + ".";
    Check(kIdCheckListBoxTaskAutoMonthDay1 + d, caption.c_str(), cx + 132 + (d % 6) * 39,
          205 + (d / 6) * 17, 38);
  }

  onTab(kTabTaskAuto, 1);
  Label("Durchführung bei Leerlauf", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskAutoIdle, "Task &nach", cx, 106, 80);
  Number(kIdFlatSpinEditTaskAutoIdle, cx + 84, 105, 54);
  TextOf(kIdFlatCheckBoxTaskAutoIdle,
         Label("Minuten Leerlauf durchführen.", cx + 146, 109, cw - 146, 16));
  Label("Hinweis", cx, 144, cw, 16, true);
  Label("Orvalis ermittelt Leerlauf, indem Eingaben (Tastatur und Mouse) überprüft "
        "werden.",
        cx + 8, 170, cw - 16, 34);

  onTab(kTabTaskAuto, 2);
  Check(kIdFlatCheckBoxTaskAutoChange, "Task bei Än&derung von Dateien durchführen.",
        cx, 84, cw);
  Label("Folgende Dateien überwachen:", cx, 114, cw, 16);
  HWND list = CreateWindowExW(0, L"LISTBOX", L"",
                              WS_CHILD | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                  LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT |
                                  LBS_NOTIFY,
                              skin_.Scale(cx), skin_.Scale(132), skin_.Scale(cw - 112),
                              skin_.Scale(h96 - kFrameBottomGap - 12 - 132), hwnd_,
                              IdMenu(kIdListBoxTaskAutoChange), instance_, nullptr);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(skin_.Font()), FALSE);
  Place(list);
  Button(kIdFlatButtonTaskAutoChangeAdd, "Hinzu&fügen", cx + cw - 104, 132, 104, 26);
  Button(kIdFlatButtonTaskAutoChangeDelete, "&Entfernen", cx + cw - 104, 164, 104, 26);

  // Step 3: extra conditions.
  curStep_ = 3;
  onTab(-1, 0);
  tabs(kTabConfig, {"&Konfiguration"}, fx, kTabsTop);
  onTab(kTabConfig, 0);
  Label("Durchführung des Task", cx, 84, cw, 16, true);
  Check(kIdFlatCheckBoxTaskExtendedWindows, "Task durchführen &bei", cx, 106, 170);
  Combo(kIdFlatComboBoxTaskExtendedWindows, cx + 176, 104, 150, {"Windows-Start", "Windows-Shutdown"});
  Check(kIdFlatCheckBoxTaskExtendedOnce, "Nur &einmal pro Windows-Sitzung durchführen", cx,
        134, cw);
  Check(kIdFlatCheckBoxTaskExtendedProgram, "Nur durchführen, wenn folgendes Pro&gramm", cx,
        162, 260);
  Combo(kIdFlatComboBoxTaskExtendedProgram, cx + 264, 160, cw - 264, {"aktiv", "inaktiv"});
  Edit(kIdFlatEditTaskExtendedProgram, cx + 22, 188, cw - 22 - 40);
  Hint(Button(kIdFlatButtonTaskExtendedProgram, "…", cx + cw - 34, 187, 34),
       "Datei auswählen");
  Label("Bestätigung der Durchführung", cx, 228, cw, 16, true);
  Check(kIdFlatCheckBoxTaskExtendedConfirm, "Bestätigung &vor Task-Durchführung erforderlich",
        cx, 248, cw);
  // Shown for System tasks only (UpdateVisibility).
  Check(kIdFlatCheckBoxTaskExtendedWarn, "Vorher w&arnen (Sekunden):", cx, 276, 200);
  Number(kIdFlatSpinEditTaskExtendedWarn, cx + 204, 275, 54);

  // Step 4: the name.
  curStep_ = 4;
  onTab(-1, 0);
  tabs(kTabName, {"&Bezeichnung"}, fx, kTabsTop);
  onTab(kTabName, 0);
  Label("Task-&Name (max. 30 Zeichen)", cx, 84, cw, 16);
  HWND name = Edit(kIdFlatEditTaskEndName, cx, 102, 250);
  SendMessageW(name, EM_LIMITTEXT, 30, 0);
  win::Subclass<&TaskEditor::NameProc>(name, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
  Label("Bitte vergeben Sie eine eindeutige, maximal 30 Zeichen umfassende Bezeichnung.", cx, 138,
        cw, 34);
  Label("Übernehmen Sie die Einstellungen, indem Sie den Button 'Fertig' anklicken.", cx,
        178, cw, 34);

  ArrangeKeyboardOrder();
}

// Tab order and groups. Controls come in the order they were made; the wizard buttons, made
// first, go behind the fields: Zurück, Weiter/Fertig, Abbrechen. Every control starts a group
// of its own except the members of a row: the 31 month days (one tab stop, the arrow keys move
// within), the system actions' radio buttons and the tab headers of a row.
void TaskEditor::ArrangeKeyboardOrder() {
  for (int id : {kIdFlatButtonWizardBack, kIdFlatButtonWizardNext, kIdFlatButtonWizardCancel})
    SetWindowPos(Item(id), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    const bool day = id > kIdCheckListBoxTaskAutoMonthDay1 && id < kIdCheckListBoxTaskAutoMonthDay1 + 31;
    int tabCtl = 0, tab = 0;
    const bool member = day ||
                        (id > kIdFlatRadioButtonTaskTypeSystemReboot &&
                         id < kIdFlatRadioButtonTaskTypeSystemReboot + 4) ||
                        (TabOf(id, tabCtl, tab) && tab > 0);
    LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (member) {
      style &= ~static_cast<LONG_PTR>(WS_GROUP | (day ? WS_TABSTOP : 0));
    } else {
      style |= WS_GROUP;
    }
    SetWindowLongPtrW(child, GWL_STYLE, style);
  }
}

}  // namespace orv
