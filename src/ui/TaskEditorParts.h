// The task editor's shared pieces: its measures, tab controls and number fields. Only the
// editor's own files include this.
#pragma once

#include <windows.h>

#include "ui/TaskEditor.h"
#include "ui/design_colours.h"

namespace orv::editor {

inline constexpr UINT_PTR kFieldSubclass = 0x4F45;
inline constexpr int kLeftBand = 124;  // width of the picture band at 96 dpi
inline constexpr int kTabWidth = 118;
inline constexpr int kTabHeight = 24;
// The editor lies in the skinned main window's content area (541 x 356): the tab headers' top,
// the room under the tab page's frame and the wizard buttons' distance from the bottom.
inline constexpr int kTabsTop = 50;
inline constexpr int kFrameBottomGap = 44;
inline constexpr int kButtonsBottomGap = 36;
// The height of a drop-down list with its list dropped.
inline constexpr int kComboDropHeight = 160;

// Tab controls: which active_ slot, and their header IDs.
inline constexpr int kTabTaskType = 0, kTabTaskAuto = 1, kTabRestrict = 2, kTabConfig = 3, kTabName = 4;
inline constexpr int kTabCounts[5] = {TaskEditorState::kTaskKindTabs, TaskEditorState::kTriggerTabs,
                               TaskEditorState::kRestrictionTabs, 1, 1};
inline constexpr int kTabFirstId[5] = {kIdRadioButtonProgramm, kIdRadioButtonUhrzeit, kIdRadioButtonWeek,
                                kIdTabKonfiguration, kIdTabBezeichnung};

// The grey "Schritt N von 4" line, on the window background.
inline constexpr COLORREF kStepLineColour = design::kStepLine;

// A number field's up-down control has the field's ID plus this.
inline constexpr int kUpDownIdOffset = 600;

struct NumberRange {
  int id, min, max;
};
inline constexpr NumberRange kNumbers[] = {{kIdFlatSpinEditTypeInternetTimeout, 100, 10000},
                                    {kIdFlatSpinEditTaskAutoMinutes, 1, 600},
                                    {kIdFlatSpinEditTaskAutoIdle, 1, 600},
                                    {kIdFlatSpinEditTaskExtendedWarn, rec::kMinWarnSeconds,
                                     rec::kMaxWarnSeconds}};

const NumberRange* RangeOf(int id);
bool IsCheckBoxId(int id);
// The tab control and index of a tab header ID; false for other IDs.
bool TabOf(int id, int& tabCtl, int& tab);

}  // namespace orv::editor
