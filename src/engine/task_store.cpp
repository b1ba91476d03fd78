#include "engine/task_store.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "base/datetext.h"
#include "store/registry.h"
#include "store/task_record.h"

namespace orv {
namespace {

using State = TaskEditorState;

// Opens a key for writing; a key that cannot be opened or created is a failed write.
void OpenForWriting(RegistryAccessor& reg, const std::string& path) {
  if (!reg.OpenKey(path, true))
    throw RegistryError("Der Registrierungsschlüssel \"" + path +
                        "\" konnte nicht geöffnet werden.");
}

// Weekday values in the order of the editor's check boxes, Monday first.
constexpr std::array<const char*, 7> kWeekdaysMondayFirst = {
    rec::kOnMonday, rec::kOnTuesday, rec::kOnWednesday, rec::kOnThursday,
    rec::kOnFriday, rec::kOnSaturday, rec::kOnSunday};

std::string MonthDaysText(const std::array<bool, 31>& days) {
  std::string text;
  for (bool day : days) text += day ? '1' : '0';
  return text;
}

// The stored recovery setting of the task being replaced; 2 when it has none (or one that
// cannot be read, which must not make the task impossible to save again).
std::int32_t StoredRecover(RegistryAccessor& reg, const std::string& editingName) {
  std::int32_t recover = rec::def::kRecoverNew;
  if (reg.OpenKey(rec::TaskKey(editingName), false)) {
    try {
      if (auto stored = reg.ReadIntegerIfPresent(rec::kRecover)) recover = *stored;
    } catch (const RegistryError&) {
    }
    reg.CloseKey();
  }
  return recover;
}

std::int32_t ClampNumber(std::int32_t value, std::int32_t lo, std::int32_t hi) {
  return std::clamp(value, lo, hi);
}

}  // namespace

std::string FilterTaskName(const std::string& text) {
  std::string name;
  for (char c : text) {
    if (name.size() == rec::kMaxNameLength) break;
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '.' || c == '_';
    if (allowed) name += c;
  }
  return name;
}

NameCheck CheckTaskName(Engine& engine, const std::string& typed, const std::string& editingName) {
  // The edited task's own name, unchanged, is checked as it is; anything else as the field
  // keeps it.
  const std::string name =
      !editingName.empty() && typed == editingName ? typed : FilterTaskName(typed);
  if (name.empty()) return NameCheck::Missing;
  RegistryAccessor reg(engine.Registry());
  if (!reg.KeyExists(rec::TaskKey(name))) return NameCheck::Ok;
  // The task being edited may keep its name exactly; another spelling of a stored name, letter
  // case included, is taken.
  if (!editingName.empty() && name == editingName) return NameCheck::Ok;
  return NameCheck::Taken;
}

void SaveTask(Engine& engine, Files& files, const TaskEditorState& s,
              const std::string& editingName) {
  const std::string& name = s.name;
  // The edited task may keep its own name as stored (a key of that name exists, so it is a
  // sound key name), also when the field would not let it be typed.
  if (name.empty() || (FilterTaskName(name) != name && name != editingName))
    throw std::invalid_argument("Ungültiger Task-Name \"" + name + "\".");

  RegistryAccessor reg(engine.Registry());

  // 1. An edited task is always written into a fresh key; only its Recover is carried over.
  std::int32_t recover = rec::def::kRecoverNew;
  if (!editingName.empty()) {
    recover = StoredRecover(reg, editingName);
    reg.DeleteKey(rec::TaskKey(editingName));
  }

  // 2. Values 1 to 30.
  OpenForWriting(reg, rec::TaskKey(name));
  reg.WriteInteger(rec::kTaskType, State::ClampTab(s.taskKind, State::kTaskKindTabs));
  reg.WriteString(rec::kProgram, s.program);
  reg.WriteBool(rec::kParam, s.param);
  reg.WriteString(rec::kParamString, s.paramString);
  reg.WriteString(rec::kProgramShow, State::ShowModeText(s.programShow));
  reg.WriteString(rec::kURL, s.url);
  reg.WriteBool(rec::kInBrowser, s.inBrowser);
  reg.WriteBool(rec::kTimeoutEnabled, s.timeoutEnabled);
  reg.WriteInteger(rec::kTimeout, ClampNumber(s.timeout, rec::kMinTimeout, rec::kMaxTimeout));
  reg.WriteString(rec::kURLShow, State::ShowModeText(s.urlShow));
  if (State::EntryOrNone(s.system, State::kSystemChoices) >= 0)
    reg.WriteInteger(rec::kSystem, s.system);
  reg.WriteBool(rec::kPowerOff, s.powerOff);
  reg.WriteBool(rec::kForceNot, s.forceNot);
  reg.WriteInteger(rec::kTaskAuto, State::ClampTab(s.trigger, State::kTriggerTabs));
  reg.WriteInteger(rec::kIntervall,
                   ClampNumber(s.intervall, rec::kMinIntervall, rec::kMaxIntervall));
  reg.WriteBool(rec::kIntEnabled, s.intEnabled);
  reg.WriteString(rec::kTime, s.time);
  reg.WriteBool(rec::kTimeEnabled, s.timeEnabled);
  for (std::size_t i = 0; i < kWeekdaysMondayFirst.size(); ++i)
    reg.WriteBool(kWeekdaysMondayFirst[i], s.weekdays[i]);
  reg.WriteString(rec::kMonthDays, MonthDaysText(s.monthDays));
  reg.WriteInteger(rec::kDayRestriction,
                   State::ClampTab(s.dayRestriction, State::kRestrictionTabs));
  reg.WriteBool(rec::kOnIdle, s.onIdle);
  reg.WriteInteger(rec::kIdleTime, ClampNumber(s.idleTime, rec::kMinIdleTime, rec::kMaxIdleTime));
  reg.WriteBool(rec::kChangeFiles, s.changeFiles);
  reg.CloseKey();

  // 3. The watch list, afresh, with the files' dates of now.
  const std::string filesKey = rec::FilesKey(name);
  if (reg.KeyExists(filesKey)) reg.DeleteKey(filesKey);
  OpenForWriting(reg, filesKey);
  for (const std::string& path : s.files) reg.WriteDateTime(path, files.GetFileModifyDate(path));
  reg.CloseKey();

  // 4. Values 31 to 41. NextExecution is computed from the values written above.
  OpenForWriting(reg, rec::TaskKey(name));
  reg.WriteBool(rec::kOnWindowsEnabled, s.onWindowsEnabled);
  reg.WriteInteger(rec::kOnWindows, State::EntryOrNone(s.onWindows, State::kWindowsEntries));
  reg.WriteBool(rec::kOncePerSession, s.oncePerSession);
  reg.WriteBool(rec::kProgramActionEnabled, s.programActionEnabled);
  reg.WriteInteger(rec::kProgramAction,
                   State::EntryOrNone(s.programAction, State::kProgramActionEntries));
  reg.WriteString(rec::kProgramActionFile, s.programActionFile);
  reg.WriteString(rec::kName, name);
  const MessageTable& msg = engine.Messages();
  reg.WriteString(rec::kDefinition,
                  FormatDateTime(msg[kMsgDateFormat] + " - " + msg[kMsgTimeFormat],
                                 DecodeDateTime(engine.Now())));
  reg.WriteBool(rec::kConfirm, s.confirm);
  reg.WriteDateTime(rec::kNextExecution, engine.GetTaskDate(name));
  reg.WriteInteger(rec::kRecover, recover);
  reg.WriteBool(rec::kWarnEnabled, s.warnEnabled);
  reg.WriteInteger(rec::kWarnSeconds,
                   ClampNumber(s.warnSeconds, rec::kMinWarnSeconds, rec::kMaxWarnSeconds));
  reg.CloseKey();

  // Saved anew: should the task break again, the user hears of it again.
  engine.ForgetBrokenTask(name);
  if (!editingName.empty()) engine.ForgetBrokenTask(editingName);

  // 5. The list: the texts first, so that a failure leaves the rows as they were. The edited
  // task's row is the first selected one; should the selection not hold it, it is found by
  // name, and no other row is ever removed in its place.
  ScheduleTexts texts = engine.SetMinutesText(name);
  TaskList& list = engine.Tasks();
  if (!editingName.empty()) {
    std::optional<std::size_t> old;
    for (std::size_t i = 0; i < list.Size() && !old; ++i)
      if (list.Row(i).selected) old = i;
    if (old && list.Row(*old).name != editingName) old.reset();
    if (!old) old = list.Find(editingName);
    if (old) list.Remove(*old);
  }
  list.Add(TaskRow{name, std::move(texts.next), std::move(texts.kind), true});
}

TaskLoad LoadTaskData(Engine& engine, const std::string& name, TaskEditorState& s) {
  TaskLoad result;
  RegistryAccessor reg(engine.Registry());
  if (!reg.OpenKeyReadOnly(rec::TaskKey(name))) return result;
  result.keyFound = true;

  // Each value on its own: one that cannot be read leaves its field as it was and is noted.
  const auto read = [&](const char* value, const auto& apply) {
    try {
      apply();
    } catch (const std::exception&) {
      result.unreadable.emplace_back(value);
    }
  };

  read(rec::kName, [&] {
    // The key's own name is what the task is called; a stored text that is empty, or that is
    // neither that name nor a name the field allows (a backslash would split the key path),
    // is replaced by it.
    const std::string stored = reg.ReadString(rec::kName);
    s.name = stored == name || (!stored.empty() && FilterTaskName(stored) == stored) ? stored
                                                                                      : name;
  });
  if (s.name.empty()) s.name = name;
  read(rec::kConfirm, [&] { s.confirm = reg.ReadBool(rec::kConfirm); });
  read(rec::kTaskType, [&] {
    s.taskKind = State::ClampTab(reg.ReadInteger(rec::kTaskType), State::kTaskKindTabs);
  });
  read(rec::kProgram, [&] { s.program = reg.ReadString(rec::kProgram); });
  read(rec::kParam, [&] { s.param = reg.ReadBool(rec::kParam); });
  read(rec::kParamString, [&] { s.paramString = reg.ReadString(rec::kParamString); });
  read(rec::kProgramShow,
       [&] { s.programShow = State::ShowModeIndex(reg.ReadString(rec::kProgramShow)); });
  read(rec::kURL, [&] { s.url = reg.ReadString(rec::kURL); });
  read(rec::kInBrowser, [&] { s.inBrowser = reg.ReadBool(rec::kInBrowser); });
  if (reg.ValueExists(rec::kTimeoutEnabled)) {
    read(rec::kTimeoutEnabled, [&] { s.timeoutEnabled = reg.ReadBool(rec::kTimeoutEnabled); });
    read(rec::kTimeout, [&] {
      s.timeout = ClampNumber(reg.ReadInteger(rec::kTimeout), rec::kMinTimeout, rec::kMaxTimeout);
    });
  }
  read(rec::kURLShow, [&] { s.urlShow = State::ShowModeIndex(reg.ReadString(rec::kURLShow)); });
  read(rec::kSystem, [&] {
    const std::int32_t system = reg.ReadInteger(rec::kSystem);
    if (State::EntryOrNone(system, State::kSystemChoices) >= 0) s.system = system;
  });
  read(rec::kPowerOff, [&] { s.powerOff = reg.ReadBool(rec::kPowerOff); });
  read(rec::kForceNot, [&] { s.forceNot = reg.ReadBool(rec::kForceNot); });
  read(rec::kTaskAuto, [&] {
    s.trigger = State::ClampTab(reg.ReadInteger(rec::kTaskAuto), State::kTriggerTabs);
  });
  read(rec::kIntervall, [&] {
    s.intervall =
        ClampNumber(reg.ReadInteger(rec::kIntervall), rec::kMinIntervall, rec::kMaxIntervall);
  });
  read(rec::kIntEnabled, [&] { s.intEnabled = reg.ReadBool(rec::kIntEnabled); });
  read(rec::kTime, [&] { s.time = reg.ReadString(rec::kTime); });
  read(rec::kTimeEnabled, [&] { s.timeEnabled = reg.ReadBool(rec::kTimeEnabled); });
  for (std::size_t i = 0; i < kWeekdaysMondayFirst.size(); ++i)
    read(kWeekdaysMondayFirst[i], [&] { s.weekdays[i] = reg.ReadBool(kWeekdaysMondayFirst[i]); });
  read(rec::kMonthDays, [&] {
    const std::string monthDays = reg.ReadString(rec::kMonthDays);
    for (std::size_t d = 0; d < s.monthDays.size(); ++d)
      s.monthDays[d] = d < monthDays.size() && monthDays[d] == '1';
  });
  read(rec::kDayRestriction, [&] {
    s.dayRestriction =
        State::ClampTab(reg.ReadInteger(rec::kDayRestriction), State::kRestrictionTabs);
  });
  read(rec::kOnIdle, [&] { s.onIdle = reg.ReadBool(rec::kOnIdle); });
  read(rec::kIdleTime, [&] {
    s.idleTime = ClampNumber(reg.ReadInteger(rec::kIdleTime), rec::kMinIdleTime, rec::kMaxIdleTime);
  });
  read(rec::kChangeFiles, [&] { s.changeFiles = reg.ReadBool(rec::kChangeFiles); });
  if (reg.ValueExists(rec::kOnWindowsEnabled)) {
    read(rec::kOnWindowsEnabled,
         [&] { s.onWindowsEnabled = reg.ReadBool(rec::kOnWindowsEnabled); });
    read(rec::kOnWindows, [&] {
      s.onWindows = State::EntryOrNone(reg.ReadInteger(rec::kOnWindows), State::kWindowsEntries);
    });
    read(rec::kOncePerSession, [&] { s.oncePerSession = reg.ReadBool(rec::kOncePerSession); });
    read(rec::kProgramActionEnabled,
         [&] { s.programActionEnabled = reg.ReadBool(rec::kProgramActionEnabled); });
    read(rec::kProgramAction, [&] {
      s.programAction =
          State::EntryOrNone(reg.ReadInteger(rec::kProgramAction), State::kProgramActionEntries);
    });
    read(rec::kProgramActionFile,
         [&] { s.programActionFile = reg.ReadString(rec::kProgramActionFile); });
  }
  // A task without the warning values was stored before there was a warning: it has none, and
  // saving it from the editor keeps it so. A length stored without WarnEnabled (a key written by
  // hand) is read all the same, so that the save does not replace it with the field's.
  const bool warnStored = reg.ValueExists(rec::kWarnEnabled);
  if (warnStored)
    read(rec::kWarnEnabled, [&] { s.warnEnabled = reg.ReadBool(rec::kWarnEnabled); });
  else
    s.warnEnabled = rec::def::kWarnEnabledAbsent;
  if (warnStored || reg.ValueExists(rec::kWarnSeconds)) {
    read(rec::kWarnSeconds, [&] {
      s.warnSeconds = ClampNumber(reg.ReadInteger(rec::kWarnSeconds), rec::kMinWarnSeconds,
                                  rec::kMaxWarnSeconds);
    });
  }
  reg.CloseKey();

  const std::string filesKey = rec::FilesKey(name);
  if (reg.KeyExists(filesKey)) {
    if (reg.OpenKeyReadOnly(filesKey)) {
      std::vector<std::string> paths;
      reg.GetValueNames(paths);
      s.files = std::move(paths);
      s.SortFiles();
    } else {
      result.unreadable.emplace_back("Files");
    }
  }
  return result;
}

int DeleteSelectedTasks(Engine& engine, const std::function<bool()>& askYesNo) {
  TaskList& list = engine.Tasks();
  const bool anySelected = std::any_of(list.Rows().begin(), list.Rows().end(),
                                       [](const TaskRow& r) { return r.selected; });
  if (!anySelected || !askYesNo()) return 0;
  RegistryAccessor reg(engine.Registry());
  int removed = 0;
  for (std::size_t i = list.Size(); i-- > 0;) {
    if (!list.Row(i).selected) continue;
    reg.DeleteKey(rec::TaskKey(list.Row(i).name));  // a failure is not reported
    list.Remove(i);
    ++removed;
  }
  return removed;
}

ClockRule ClockRuleOf(const TaskEditorState& state) {
  ClockRule rule;
  rule.intervalOn = state.intEnabled;
  rule.interval = state.intervall;
  if (state.timeEnabled) {
    try {
      rule.time = Engine::TimeText(Engine::TimeOfText(state.time));
      rule.timeOn = true;
    } catch (const ConvertError&) {
      rule.timeOn = false;
    }
  }
  // The editor lists Monday first; the rule counts from Sunday (1) to Saturday (7).
  for (std::size_t i = 0; i < 7; ++i) rule.days[(i + 1) % 7 + 1] = state.weekdays[i];
  rule.byMonthDays = state.dayRestriction == rec::kRestrictMonthDays;
  rule.monthDays.clear();
  for (bool chosen : state.monthDays) rule.monthDays += chosen ? '1' : '0';
  return rule;
}

}  // namespace orv
