// The registry layout of a task: every key path, value name, code and default. No other file
// spells a registry name.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orv::rec {

// Key paths under HKEY_CURRENT_USER, absolute with a leading backslash.
inline constexpr const char* kSettingsKey = "\\Software\\Velmora\\Orvalis";
inline constexpr const char* kJobsKey = "\\Software\\Velmora\\Orvalis\\Jobs\\";
inline constexpr const char* kFilesSubkey = "\\Files";

inline std::string TaskKey(const std::string& name) { return std::string(kJobsKey) + name; }
inline std::string FilesKey(const std::string& name) { return TaskKey(name) + kFilesSubkey; }

// The option under the settings key.
inline constexpr const char* kMinimized = "Minimized";
// "Fehler melden": a run that fails shows a balloon (REG_DWORD, absent means off).
inline constexpr const char* kReportFailures = "ReportFailures";
// The record of the last runs (REG_BINARY, store/run_history.h).
inline constexpr const char* kHistory = "History";

// Values of a task key, in the order the save writes them.
inline constexpr const char* kTaskType = "TaskType";
inline constexpr const char* kProgram = "Program";
inline constexpr const char* kParam = "Param";
inline constexpr const char* kParamString = "ParamString";
inline constexpr const char* kProgramShow = "ProgramShow";
inline constexpr const char* kURL = "URL";
inline constexpr const char* kInBrowser = "InBrowser";
inline constexpr const char* kTimeoutEnabled = "TimeoutEnabled";
inline constexpr const char* kTimeout = "Timeout";
inline constexpr const char* kURLShow = "URLShow";
inline constexpr const char* kSystem = "System";
inline constexpr const char* kPowerOff = "PowerOff";
inline constexpr const char* kForceNot = "ForceNot";
inline constexpr const char* kTaskAuto = "TaskAuto";
inline constexpr const char* kIntervall = "Intervall";
inline constexpr const char* kIntEnabled = "IntEnabled";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kTimeEnabled = "TimeEnabled";
inline constexpr const char* kOnMonday = "OnMonday";
inline constexpr const char* kOnTuesday = "OnTuesday";
inline constexpr const char* kOnWednesday = "OnWednesday";
inline constexpr const char* kOnThursday = "OnThursday";
inline constexpr const char* kOnFriday = "OnFriday";
inline constexpr const char* kOnSaturday = "OnSaturday";
inline constexpr const char* kOnSunday = "OnSunday";
inline constexpr const char* kMonthDays = "MonthDays";
inline constexpr const char* kDayRestriction = "DayRestriction";
inline constexpr const char* kOnIdle = "OnIdle";
inline constexpr const char* kIdleTime = "IdleTime";
inline constexpr const char* kChangeFiles = "ChangeFiles";
inline constexpr const char* kOnWindowsEnabled = "OnWindowsEnabled";
inline constexpr const char* kOnWindows = "OnWindows";
inline constexpr const char* kOncePerSession = "OncePerSession";
inline constexpr const char* kProgramActionEnabled = "ProgramActionEnabled";
inline constexpr const char* kProgramAction = "ProgramAction";
inline constexpr const char* kProgramActionFile = "ProgramActionFile";
inline constexpr const char* kName = "Name";
inline constexpr const char* kDefinition = "Definition";
inline constexpr const char* kConfirm = "Confirm";
inline constexpr const char* kNextExecution = "NextExecution";
inline constexpr const char* kRecover = "Recover";
// The warning before a system action: a window counts down WarnSeconds before the action runs.
// A key without WarnEnabled (every task written by earlier versions) gets no warning.
inline constexpr const char* kWarnEnabled = "WarnEnabled";
inline constexpr const char* kWarnSeconds = "WarnSeconds";

inline constexpr std::array<const char*, 43> kValueOrder = {
    kTaskType,   kProgram,      kParam,          kParamString,      kProgramShow,
    kURL,        kInBrowser,    kTimeoutEnabled, kTimeout,          kURLShow,
    kSystem,     kPowerOff,     kForceNot,       kTaskAuto,         kIntervall,
    kIntEnabled, kTime,         kTimeEnabled,    kOnMonday,         kOnTuesday,
    kOnWednesday, kOnThursday,  kOnFriday,       kOnSaturday,       kOnSunday,
    kMonthDays,  kDayRestriction, kOnIdle,       kIdleTime,         kChangeFiles,
    kOnWindowsEnabled, kOnWindows, kOncePerSession, kProgramActionEnabled, kProgramAction,
    kProgramActionFile, kName,  kDefinition,     kConfirm,          kNextExecution,
    kRecover,    kWarnEnabled,  kWarnSeconds};

// Weekday values by weekday number, 1 Sunday to 7 Saturday (index 0 unused).
inline constexpr std::array<const char*, 8> kWeekdayValue = {
    nullptr, kOnSunday, kOnMonday, kOnTuesday, kOnWednesday, kOnThursday, kOnFriday, kOnSaturday};

// Codes.
enum TaskType : std::int32_t { kTaskProgram = 0, kTaskInternet = 1, kTaskSystem = 2 };
enum SystemAction : std::int32_t {
  kSystemRestart = 0,
  kSystemShutdown = 1,
  kSystemStandby = 2,
  kSystemLogoff = 3
};
enum TaskAuto : std::int32_t { kAutoClock = 0, kAutoIdle = 1, kAutoFileChange = 2 };
enum DayRestriction : std::int32_t { kRestrictWeekdays = 0, kRestrictMonthDays = 1 };
enum OnWindows : std::int32_t { kOnWindowsStart = 0, kOnWindowsShutdown = 1 };
enum ProgramAction : std::int32_t { kProgramActive = 0, kProgramInactive = 1 };
enum Recover : std::int32_t { kRecoverCatchUp = 0, kRecoverSkip = 1, kRecoverAsk = 2 };

// Show modes, stored by name; the order is the editor's list order.
inline constexpr std::array<const char*, 4> kShowModes = {"SW_HIDE", "SW_MAXIMIZE", "SW_MINIMIZE",
                                                          "SW_SHOW"};

// Limits of the task record.
inline constexpr std::size_t kMaxNameLength = 30;
inline constexpr std::size_t kMonthDaysLength = 31;
inline constexpr std::int32_t kMinIntervall = 1, kMaxIntervall = 600;
inline constexpr std::int32_t kMinIdleTime = 1, kMaxIdleTime = 600;
inline constexpr std::int32_t kMinTimeout = 100, kMaxTimeout = 10000;
inline constexpr std::int32_t kMinWarnSeconds = 5, kMaxWarnSeconds = 600;
// A watched file that did not exist (or was a folder) when its date was taken.
inline constexpr double kNoFileDate = -1.0;

// Defaults the task editor writes for a new task whose controls were left untouched.
namespace def {
inline constexpr std::int32_t kTaskType = kTaskProgram;
inline constexpr const char* kProgram = "";
inline constexpr bool kParam = false;
inline constexpr const char* kParamString = "";
inline constexpr const char* kProgramShow = "SW_SHOW";
inline constexpr const char* kURL = "http://";
inline constexpr bool kInBrowser = true;
inline constexpr bool kTimeoutEnabled = true;
inline constexpr std::int32_t kTimeout = 1000;
inline constexpr const char* kURLShow = "SW_SHOW";
inline constexpr std::int32_t kSystem = kSystemRestart;
inline constexpr bool kPowerOff = true;
inline constexpr bool kForceNot = true;
inline constexpr std::int32_t kTaskAuto = kAutoClock;
inline constexpr std::int32_t kIntervall = 10;
inline constexpr bool kIntEnabled = true;
inline constexpr const char* kTime = "18:00";
inline constexpr bool kTimeEnabled = false;
inline constexpr bool kWeekday = true;
inline constexpr const char* kMonthDays = "0000000000000000000000000000000";
inline constexpr std::int32_t kDayRestriction = kRestrictWeekdays;
inline constexpr bool kOnIdle = true;
inline constexpr std::int32_t kIdleTime = 10;
inline constexpr bool kChangeFiles = true;
inline constexpr bool kOnWindowsEnabled = false;
inline constexpr std::int32_t kOnWindows = kOnWindowsStart;
inline constexpr bool kOncePerSession = false;
inline constexpr bool kProgramActionEnabled = false;
// The editor shows "inaktiv" when it first opens and "aktiv" once a save or cancel reset it.
inline constexpr std::int32_t kProgramActionAtStart = kProgramInactive;
inline constexpr std::int32_t kProgramActionAfterReset = kProgramActive;
inline constexpr const char* kProgramActionFile = "";
inline constexpr bool kConfirm = true;
inline constexpr std::int32_t kRecoverNew = kRecoverAsk;
// A new task has the warning ticked; a stored task without WarnEnabled has none.
inline constexpr bool kWarnEnabled = true;
inline constexpr bool kWarnEnabledAbsent = false;
inline constexpr std::int32_t kWarnSeconds = 30;
}  // namespace def

static_assert(std::char_traits<char>::length(def::kMonthDays) == kMonthDaysLength);

}  // namespace orv::rec
