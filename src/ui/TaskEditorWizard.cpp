// The task editor's wizard: its steps, tabs, buttons and file choices.
#include "ui/TaskEditor.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/task_store.h"
#include "ui/TaskEditorParts.h"
#include "ui/win32_text.h"

namespace orv {

using namespace editor;

namespace {

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

}  // namespace

// ---- behaviour ----------------------------------------------------------------------------

void TaskEditor::ActivateTab(int tabCtl, int index) {
  active_[tabCtl] = TaskEditorState::ClampTab(index, kTabCounts[tabCtl]);
  for (int i = 0; i < kTabCounts[tabCtl]; ++i) {
    // The active header is its row's tab stop.
    HWND header = Item(kTabFirstId[tabCtl] + i);
    const LONG_PTR style = GetWindowLongPtrW(header, GWL_STYLE);
    SetWindowLongPtrW(header, GWL_STYLE, i == active_[tabCtl] ? style | WS_TABSTOP
                                                              : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    InvalidateRect(header, nullptr, FALSE);
  }
  UpdateVisibility();
}

void TaskEditor::UpdateVisibility() {
  for (const Placed& p : placed_) {
    bool visible = p.step == 0 || p.step == step_;
    if (visible && p.tabCtl >= 0) {
      visible = active_[p.tabCtl] == p.tab;
      if (p.tabCtl == kTabRestrict) visible = visible && active_[kTabTaskAuto] == 0;
    }
    const int id = GetDlgCtrlID(p.hwnd);
    if (id == kIdFlatCheckBoxTaskExtendedWarn || id == kIdFlatSpinEditTaskExtendedWarn)
      visible = visible && active_[kTabTaskType] == rec::kTaskSystem;
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
  FocusFirstField();
}

void TaskEditor::FocusFirstField() {
  HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  SetFocus(first ? first : Item(kIdFlatButtonWizardNext));
}

int TaskEditor::DefaultButton() const {
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus) && skin::IsPushButton(focus)) return GetDlgCtrlID(focus);
  return kIdFlatButtonWizardNext;
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
  static const char* const kHeadings[] = {"Task-Art", "Automatisierte Durchführung",
                                          "Erweiterte Einstellungen", "Task-Bezeichnung"};
  SetText(kIdLabelStep, "Schritt " + std::to_string(step_) + " von 4");
  SetText(kIdLabelHeading, kHeadings[step_ - 1]);
  ShowWindow(Item(kIdFlatButtonWizardBack), step_ == 1 ? SW_HIDE : SW_SHOW);
  // "&Weiter" / "&Fertig": Alt+W / Alt+F.
  SetText(kIdFlatButtonWizardNext, "&" + messages_[step_ == 4 ? kMsgFinish : kMsgNext]);
  UpdateVisibility();
  // A field of the step that was left keeps no hidden focus (hiding it gave the focus to the
  // panel): the new step's first field takes it.
  HWND focus = GetFocus();
  if (IsOpen() && focus && (focus == hwnd_ || (IsChild(hwnd_, focus) && !IsWindowVisible(focus))))
    FocusFirstField();
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
  const auto chosen = ChooseFiles(GetAncestor(hwnd_, GA_ROOT), L"Datei auswählen", false,
                                  W(lastProgramFile_));
  if (chosen.empty()) return;
  lastProgramFile_ = U8(chosen.front());
  SetText(editId, lastProgramFile_);
}

void TaskEditor::AddFilesClick() {
  const auto chosen = ChooseFiles(GetAncestor(hwnd_, GA_ROOT), L"Dateien auswählen", true, L"");
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

void TaskEditor::OnCommand(int id, int code, HWND) {
  // A tab header activates its tab when clicked and when it takes the focus (the arrow keys
  // move the focus along the row).
  if (code == BN_CLICKED || code == BN_DOUBLECLICKED || code == BN_SETFOCUS) {
    int tabCtl = 0, tab = 0;
    if (TabOf(id, tabCtl, tab)) {
      if (active_[tabCtl] != tab) ActivateTab(tabCtl, tab);
      return;
    }
  }
  if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
    if (id >= kIdFlatRadioButtonTaskTypeSystemReboot && id < kIdFlatRadioButtonTaskTypeSystemReboot + 4) {
      systemChoice_ = id - kIdFlatRadioButtonTaskTypeSystemReboot;  // the radio button checked itself
      return;
    }
  }
  if (code == STN_CLICKED || code == STN_DBLCLK) {  // the text after a check box's field
    for (const auto& [labelId, checkId] : textOf_) {
      if (labelId != id) continue;
      if (IsWindowEnabled(Item(checkId))) SendMessageW(Item(checkId), BM_CLICK, 0, 0);
      return;
    }
  }
  if (code == BN_CLICKED) {
    if (IsCheckBoxId(id)) return;  // a real check box: it ticked itself
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

void TaskEditor::UpdatePreview() {
  const TaskEditorState s = ToState();
  std::string text;
  if (s.trigger == 1) {
    text = s.onIdle ? "Startet nach " + std::to_string(s.idleTime) + " Minuten Leerlauf."
                    : "Startet nicht bei Leerlauf.";
  } else if (s.trigger == 2) {
    text = s.changeFiles ? "Startet, wenn sich eine der Dateien ändert."
                         : "Startet nicht bei Änderung.";
  } else {
    // The scheduler's own steps from now on, as after a save in this minute.
    static constexpr const char* kDays[] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    const ClockRule rule = ClockRuleOf(s);
    const std::vector<double> starts = engine_.NextStarts(rule, engine_.Now(), 5);
    text = starts.empty() ? "Kein Start nach Uhrzeit." : "Nächste Starts:";
    for (double start : starts) {
      const LocalTime t = DecodeDateTime(start);
      char line[32];
      std::snprintf(line, sizeof line, "\n%s %02d.%02d. %02d:%02d",
                    kDays[DayOfWeek(EncodeDate(t.year, t.month, t.day)) - 1], t.day, t.month,
                    t.hour, t.minute);
      text += line;
    }
    // Chosen days that some months lack: those months pass without a start on that day.
    if (rule.byMonthDays) {
      std::string missing;
      for (int day = 29; day <= 31; ++day)
        if (s.monthDays[static_cast<std::size_t>(day - 1)])
          missing += (missing.empty() ? "" : " oder ") + std::to_string(day) + ".";
      if (!missing.empty())
        text += "\n\nHat ein Monat keinen " + missing +
                ", startet der Task dort an diesem Tag nicht.";
    }
  }
  SetText(kIdLabelPreview, text);
}

}  // namespace orv
