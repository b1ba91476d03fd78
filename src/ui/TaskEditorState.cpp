// The task editor's state mapping: the controls to and from the editor state.
#include "ui/TaskEditor.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "ui/TaskEditorParts.h"
#include "ui/win32_text.h"

namespace orv {

using namespace editor;

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
  s.warnEnabled = Checked(kIdFlatCheckBoxTaskExtendedWarn);
  s.warnSeconds = NumberValue(kIdFlatSpinEditTaskExtendedWarn);

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
  for (int i = 0; i < 4; ++i)
    SendMessageW(Item(kIdFlatRadioButtonTaskTypeSystemReboot + i), BM_SETCHECK,
                 i == systemChoice_ ? BST_CHECKED : BST_UNCHECKED, 0);
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
  SetCheck(kIdFlatCheckBoxTaskExtendedWarn, s.warnEnabled);
  SetNumber(kIdFlatSpinEditTaskExtendedWarn, s.warnSeconds);

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

}  // namespace orv
