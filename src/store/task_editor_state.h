// What the task editor's controls hold: the editing buffer that the save writes into a task
// key and the load fills from one. One field per control; list selections are entry indexes,
// -1 for no selection.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/task_record.h"
#include "base/text.h"

namespace orv {

struct TaskEditorState {
  // Sizes of the tab controls and lists.
  static constexpr int kTaskKindTabs = 3;       // Programm, Internet, System
  static constexpr int kTriggerTabs = 3;        // Uhrzeit, Leerlauf, Änderung
  static constexpr int kRestrictionTabs = 2;    // Wochentage, Monatstage
  static constexpr int kShowModeEntries = static_cast<int>(rec::kShowModes.size());
  static constexpr int kWindowsEntries = 2;     // Windows-Start, Windows-Shutdown
  static constexpr int kProgramActionEntries = 2;  // aktiv, inaktiv
  static constexpr int kSystemChoices = 4;      // restart, shut down, standby, log off

  // Step 1.
  int taskKind = rec::def::kTaskType;           // active tab
  std::string program = rec::def::kProgram;
  bool param = rec::def::kParam;
  std::string paramString = rec::def::kParamString;
  static constexpr int kShowModeShow = 3;       // "SW_SHOW", the default of both lists
  int programShow = kShowModeShow;              // entry of rec::kShowModes, -1 none
  std::string url = rec::def::kURL;
  bool inBrowser = rec::def::kInBrowser;
  bool timeoutEnabled = rec::def::kTimeoutEnabled;
  std::int32_t timeout = rec::def::kTimeout;
  int urlShow = kShowModeShow;                  // entry of rec::kShowModes, -1 none
  int system = rec::def::kSystem;               // rec::SystemAction, -1 when none is chosen
  bool powerOff = rec::def::kPowerOff;
  bool forceNot = rec::def::kForceNot;

  // Step 2.
  int trigger = rec::def::kTaskAuto;            // active tab
  std::int32_t intervall = rec::def::kIntervall;
  bool intEnabled = rec::def::kIntEnabled;
  std::string time = rec::def::kTime;
  bool timeEnabled = rec::def::kTimeEnabled;
  // Monday first, as the editor shows them.
  std::array<bool, 7> weekdays{true, true, true, true, true, true, true};
  std::array<bool, 31> monthDays{};             // day d at index d - 1
  int dayRestriction = rec::def::kDayRestriction;  // active tab
  bool onIdle = rec::def::kOnIdle;
  std::int32_t idleTime = rec::def::kIdleTime;
  bool changeFiles = rec::def::kChangeFiles;
  std::vector<std::string> files;               // watched files, sorted (SortFiles)

  // Step 3.
  bool onWindowsEnabled = rec::def::kOnWindowsEnabled;
  int onWindows = rec::def::kOnWindows;         // entry, -1 none
  bool oncePerSession = rec::def::kOncePerSession;
  bool programActionEnabled = rec::def::kProgramActionEnabled;
  int programAction = rec::def::kProgramActionAtStart;  // entry, -1 none
  std::string programActionFile = rec::def::kProgramActionFile;
  bool confirm = rec::def::kConfirm;
  bool warnEnabled = rec::def::kWarnEnabled;    // shown for System tasks only
  std::int32_t warnSeconds = rec::def::kWarnSeconds;

  // Step 4.
  std::string name;

  bool operator==(const TaskEditorState&) const = default;

  // The controls when the main window has been created.
  static TaskEditorState StartUp() { return TaskEditorState{}; }
  // The controls after "Abbrechen" or a save: the start-up state with "aktiv" chosen.
  static TaskEditorState AfterReset() {
    TaskEditorState s;
    s.programAction = rec::def::kProgramActionAfterReset;
    return s;
  }

  // Activating a tab by index brings the index to the existing tabs.
  static int ClampTab(int index, int tabs) { return std::clamp(index, 0, tabs - 1); }
  // A list entry index, or -1 when the list has no such entry.
  static int EntryOrNone(std::int32_t index, int entries) {
    return index >= 0 && index < entries ? static_cast<int>(index) : -1;
  }
  // The show-mode entry whose text equals `text` without regard to letter case; -1 for none.
  static int ShowModeIndex(const std::string& text) {
    for (std::size_t i = 0; i < rec::kShowModes.size(); ++i)
      if (NamesEqual(text, rec::kShowModes[i])) return static_cast<int>(i);
    return -1;
  }
  // The text of a show-mode entry; the empty text for no selection.
  static std::string ShowModeText(int index) {
    if (EntryOrNone(index, kShowModeEntries) < 0) return std::string();
    return rec::kShowModes[static_cast<std::size_t>(index)];
  }

  // The file list's order: by path without regard to letter case, as the sorted list box has it.
  void SortFiles() { std::stable_sort(files.begin(), files.end(), NameLess); }
  // Adds chosen files in their order, skipping paths already listed (letter case ignored), and
  // keeps the list sorted. Returns how many were added.
  int AddFiles(const std::vector<std::string>& chosen) {
    int added = 0;
    for (const std::string& path : chosen) {
      const bool listed = std::any_of(files.begin(), files.end(),
                                      [&](const std::string& f) { return NamesEqual(f, path); });
      if (listed) continue;
      files.insert(std::upper_bound(files.begin(), files.end(), path, NameLess), path);
      ++added;
    }
    return added;
  }
};

static_assert(std::string_view(rec::kShowModes[TaskEditorState::kShowModeShow]) ==
              rec::def::kProgramShow);
static_assert(std::string_view(rec::kShowModes[TaskEditorState::kShowModeShow]) ==
              rec::def::kURLShow);

}  // namespace orv
