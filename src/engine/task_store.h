// Saving the task editor's controls as a task, loading a task into them and deleting the
// selected tasks, with the matching changes to the engine's task list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "engine/engine.h"
#include "store/task_editor_state.h"

namespace orv {

// Writes the editor's state as the task `state.name`. `editingName` is the name of the task
// opened for editing, empty for a new task. An edited task's key is deleted first and written
// afresh (also under an unchanged name); it keeps its stored Recover, a new task gets 2. The
// watch list is rebuilt with the files' modification dates of this moment. Then the edited
// task's row is replaced by a selected row for the saved task.
//
// The name must have passed CheckTaskName and be what FilterTaskName leaves of it, or be the
// edited task's own name unchanged (std::invalid_argument otherwise, before anything is
// touched). The task's once-per-run report of a broken task is forgotten. A value that cannot be
// written raises RegistryError and ends the save where it stands: what was written stays.
void SaveTask(Engine& engine, Files& files, const TaskEditorState& state,
              const std::string& editingName);

// What a load found: whether the task key exists, and the values that could not be read.
struct TaskLoad {
  bool keyFound = false;
  std::vector<std::string> unreadable;  // value names ("Files" for the watch list)
  bool Complete() const { return keyFound && unreadable.empty(); }
};

// Fills the editor's state from the stored task, value by value. Out-of-range tab indexes and
// numbers are brought into range; a show mode of unknown text or a list index that does not
// exist leaves that list without selection; an unknown System code leaves the choice as it
// was. Values that earlier versions did not write (the time-out pair, the six conditions of
// step 3) leave their fields as they were when absent, as does a missing watch list; an absent
// WarnEnabled unticks the warning (a task stored before it existed has none).
// A value that is missing or cannot be read leaves its field as it was and is named in the
// result, so that a task that cannot be run can still be opened and saved sound; the caller
// passes the editor's defaults. The name is the stored Name, or the key's own name when that
// is empty or is neither the key's name nor a name the field allows.
// Nothing is filled when the key does not exist.
TaskLoad LoadTaskData(Engine& engine, const std::string& name, TaskEditorState& state);

// The "Uhrzeit" rule the editor holds, as the scheduler would read it once saved (the editor's
// preview of the next starts). A time that is no time of day counts as not chosen.
ClockRule ClockRuleOf(const TaskEditorState& state);

// Deletes the tasks of the selected rows after one question (`askYesNo`, true for Yes). Asks
// nothing when no row is selected. A key that cannot be deleted is not reported; its row goes
// all the same. Returns the number of rows removed.
int DeleteSelectedTasks(Engine& engine, const std::function<bool()>& askYesNo);

// The name checks of "Fertig".
enum class NameCheck { Ok, Missing, Taken };
// Missing when nothing of `typed` is left by FilterTaskName; Taken when a task key of that name
// exists (letter case ignored, as the registry compares) and it is not the task being edited.
// The edited task's own name, exactly as listed, is checked unfiltered.
NameCheck CheckTaskName(Engine& engine, const std::string& typed, const std::string& editingName);

// What the name field keeps of typed or pasted text: A-Z, a-z, 0-9, space, '-', '.' and '_',
// at most 30 characters. Anything else (a backslash would split the key path, a letter with a
// diacritic would not survive the ANSI registry of older versions) is dropped.
std::string FilterTaskName(const std::string& text);

}  // namespace orv
