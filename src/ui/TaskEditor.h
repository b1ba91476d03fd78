// The task editor (SimplePanelWizard): a child window of the main window that covers the task
// list page while a task is added or edited, in four steps. Its controls are the editing
// buffer; ToState()/FromState() convert between them and a TaskEditorState.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "engine/engine.h"
#include "store/task_editor_state.h"
#include "engine/task_store.h"
#include "base/messages.h"
#include "ui/skin.h"
#include "ui/win/dpi.h"
#include "ui/win/gdi.h"
#include "ui/win/window.h"

namespace orv {

inline constexpr wchar_t kTaskEditorClass[] = L"SimplePanelWizard";

// Control IDs, known to the end-to-end driver (all are descendants of the main window).
enum TaskEditorControlId : int {
  kIdFlatButtonWizardCancel = 2001,
  kIdFlatButtonWizardBack = 2002,
  kIdFlatButtonWizardNext = 2003,
  // Tab headers with their radio buttons.
  kIdRadioButtonProgramm = 2010,
  kIdRadioButtonInternet = 2011,
  kIdRadioButtonSystem = 2012,
  kIdRadioButtonUhrzeit = 2013,
  kIdRadioButtonLeerlauf = 2014,
  kIdRadioButtonChange = 2015,
  kIdRadioButtonWeek = 2016,
  kIdRadioButtonMonth = 2017,
  kIdTabKonfiguration = 2018,
  kIdTabBezeichnung = 2019,
  // Step 1.
  kIdFlatEditTaskTypeProgram = 2100,
  kIdFlatButtonTaskTypeProgram = 2101,
  kIdFlatCheckBoxTaskTypeProgramParam = 2102,
  kIdFlatEditTaskTypeProgramParam = 2103,
  kIdFlatComboBoxTaskTypeProgramShow = 2104,
  kIdLabelTaskTypeProgramShow = 2105,
  kIdFlatEditTaskTypeInternetURL = 2110,
  kIdFlatButtonTaskTypeInternetVisit = 2111,
  kIdFlatCheckBoxTaskTypeInternetBrowser = 2112,
  kIdFlatCheckBoxTaskTypeInternetTimeout = 2113,
  kIdFlatSpinEditTypeInternetTimeout = 2114,
  kIdFlatComboBoxTaskTypeInternetShow = 2115,
  kIdLabelTaskTypeInternetShow = 2116,
  kIdFlatRadioButtonTaskTypeSystemReboot = 2120,  // .. 2123: reboot, shut down, standby, log off
  kIdFlatCheckBoxTaskTypeSystemPowerOff = 2124,
  kIdFlatCheckBoxTaskTypeSystemForceNot = 2125,
  // Step 2.
  kIdFlatCheckBoxTaskAutoMinutes = 2200,
  kIdFlatSpinEditTaskAutoMinutes = 2201,
  kIdFlatCheckBoxTaskAutoTime = 2202,
  kIdFlatMaskEditTaskAutoTime = 2203,
  kIdFlatCheckBoxTaskAutoMonday = 2210,  // .. 2216 Sunday
  kIdCheckListBoxTaskAutoMonthDay1 = 2220,  // .. 2250 for day 31
  kIdFlatCheckBoxTaskAutoIdle = 2260,
  kIdFlatSpinEditTaskAutoIdle = 2261,
  kIdFlatCheckBoxTaskAutoChange = 2270,
  kIdFlatButtonTaskAutoChangeAdd = 2271,
  kIdFlatButtonTaskAutoChangeDelete = 2272,
  kIdListBoxTaskAutoChange = 2273,
  // Step 3.
  kIdFlatCheckBoxTaskExtendedWindows = 2300,
  kIdFlatComboBoxTaskExtendedWindows = 2301,
  kIdFlatCheckBoxTaskExtendedOnce = 2302,
  kIdFlatCheckBoxTaskExtendedProgram = 2303,
  kIdFlatComboBoxTaskExtendedProgram = 2304,
  kIdFlatEditTaskExtendedProgram = 2305,
  kIdFlatButtonTaskExtendedProgram = 2306,
  kIdFlatCheckBoxTaskExtendedConfirm = 2307,
  kIdFlatCheckBoxTaskExtendedWarn = 2308,  // System tasks only
  kIdFlatSpinEditTaskExtendedWarn = 2309,
  // Step 4.
  kIdFlatEditTaskEndName = 2400,
  // Step line and heading.
  kIdLabelStep = 2500,
  kIdLabelHeading = 2501,
  // Step 2: the next starts of the rule being edited, in the step band.
  kIdLabelPreview = 2502,
};

// Whether `text` is a time of day "h:mm" or "hh:mm" (hours 0 to 23, minutes 0 to 59).
bool IsTimeOfDay(const std::string& text);

class TaskEditor : public win::Window<TaskEditor> {
 public:
  // Called when the editor closes: after "Abbrechen" with saved false, after a save with the
  // saved task's name.
  using ClosedHandler = std::function<void(bool saved, const std::string& name)>;

  TaskEditor(Engine& engine, Files* files, const MessageTable& messages, const skin::Skin& skin);
  ~TaskEditor();
  TaskEditor(const TaskEditor&) = delete;
  TaskEditor& operator=(const TaskEditor&) = delete;

  // Creates the hidden panel over `area` of `parent` in the start-up state.
  bool Create(HINSTANCE instance, HWND parent, const RECT& area, ClosedHandler onClosed);
  // The skin has a new dpi and the editor's window its new size: the fields, tabs and buttons
  // move to their places at that dpi and take its fonts.
  void DpiChanged();
  bool IsOpen() const { return hwnd_ && IsWindowVisible(hwnd_); }

  // Shows step 1; `editingName` empty for a new task.
  void Open(const std::string& editingName);
  // Loads the stored task onto the editor's defaults, value by value (LoadTaskData); nothing
  // changes when its key does not exist.
  TaskLoad Load(const std::string& name);

  TaskEditorState ToState() const;
  void FromState(const TaskEditorState& state);

  // Enter: the button that Enter presses now (the focused push button, else "Weiter"/"Fertig").
  int DefaultButton() const;

  // The handlers of the three wizard buttons.
  void FlatButtonWizardNextClick() { StepLogic(+1); }
  void FlatButtonWizardBackClick() { StepLogic(-1); }
  void FlatButtonWizardCancelClick();

 private:
  // Step 2's preview: the next five starts of the time rule, or what starts the task.
  void UpdatePreview();

  struct Placed {
    HWND hwnd;
    int step;     // 1..4
    int tabCtl;   // -1 none, else index into active_
    int tab;
  };

  friend class win::Window<TaskEditor>;
  static LRESULT CALLBACK NumberProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK TimeProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK NameProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(int id, int code, HWND control);
  void Paint();
  bool DrawOwnItem(const DRAWITEMSTRUCT& item) const;

  // Building the controls; each is placed on the current step and tab.
  void CreateControls();
  void Place(HWND hwnd);
  HWND Label(const char* text, int x, int y, int w, int h, bool bold = false, int id = 0);
  HWND Edit(int id, int x, int y, int w, int h = 22);
  HWND Number(int id, int x, int y, int w);
  HWND Combo(int id, int x, int y, int w, std::initializer_list<const char*> entries);
  HWND Check(int id, const char* text, int x, int y, int w);
  HWND Radio(int id, const char* text, int x, int y, int w, bool first);
  // `label`, the text after a check box's field ("Minuten durchführen."), toggles the box when
  // clicked.
  void TextOf(int checkId, HWND label);
  void ArrangeKeyboardOrder();
  HWND Button(int id, const char* text, int x, int y, int w, int h = 24);
  HWND OwnButton(int id, const char* text, int x, int y, int w, int h);
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void Hint(HWND control, const char* text);

  void StepLogic(int delta);
  void ActivateTab(int tabCtl, int index);
  void UpdateVisibility();
  void ShowModeChanged(int comboId, int labelId);
  void SetNumber(int id, int value);
  int NumberValue(int id) const;
  void ClampNumber(int id);
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  bool Checked(int id) const;
  void SetCheck(int id, bool on);
  void ProgramFileClick(int editId);
  void AddFilesClick();
  void DeleteFilesClick();
  void FillFileList();
  void Finish();
  // Moves the focus to the first control of the step that takes it.
  void FocusFirstField();
  void NameChanged();
  void Warn(int msg) const;

  Engine& engine_;
  Files* files_;
  const MessageTable& messages_;
  const skin::Skin& skin_;
  HINSTANCE instance_ = nullptr;
  HWND tooltip_ = nullptr;
  win::Font boldFont_;
  win::ChildLayout layout_;  // the controls' places at 96 dpi
  win::Brush background_;  // the window class's brush when this editor registered the class
  bool classRegistered_ = false;
  ClosedHandler onClosed_;

  std::vector<Placed> placed_;
  std::vector<std::pair<int, int>> textOf_;  // label ID, check box ID
  int curStep_ = 1, curTabCtl_ = -1, curTab_ = 0;
  int nextLabelId_ = 2900;

  int step_ = 1;
  std::string editingName_;
  // The name field: set by the program (the loaded name, kept as it is) until the user changes
  // it; from then on it holds what the typing rule allows.
  bool settingName_ = false;
  bool nameTyped_ = false;
  int active_[5] = {0, 0, 0, 0, 0};  // task kind, trigger, restriction, Konfiguration, Bezeichnung
  int systemChoice_ = 0;
  std::vector<std::string> files_list_;
  std::string lastProgramFile_;  // the program file dialog's starting selection
};

}  // namespace orv
