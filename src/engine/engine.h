// The scheduling engine: the state and routines that the main window's scheduler shares.
// It holds the day flags of the task looked at last and the due-check mode; everything else is
// read from the task keys when it is needed.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/locale.h"
#include "engine/countdown.h"
#include "engine/task_list.h"
#include "store/registry.h"
#include "store/run_history.h"
#include "base/messages.h"

namespace orv {

class Shell;
class Files;
class Power;
class Http;
class Prompter;
class MessagePump;
class JobTimer;
class CountdownView;

// The platform services that running a task needs (src/platform/platform.h).
struct Services {
  Shell* shell = nullptr;
  Files* files = nullptr;
  Power* power = nullptr;
  Http* http = nullptr;
  Prompter* prompter = nullptr;
  MessagePump* pump = nullptr;
  JobTimer* timer = nullptr;
};

// A time rule ("Uhrzeit") as the scheduler reads it from a task key or the editor holds it.
struct ClockRule {
  bool timeOn = false;
  std::string time;  // "hh:mm" when timeOn
  bool intervalOn = false;
  int interval = 0;  // minutes when intervalOn
  bool byMonthDays = false;
  std::string monthDays;  // '1' at position d - 1 for a chosen day d, when byMonthDays
  std::array<bool, 8> days{false, true, true, true, true, true, true, true};  // 1 Sunday
};

// The two texts of a task list row that the schedule gives.
struct ScheduleTexts {
  std::string next;  // "Nächster Start"
  std::string kind;  // "Art"
};

class Engine {
 public:
  Engine(RegistryBackend& registry, Clock& clock, Locale& locale, const MessageTable& messages)
      : registry_(registry), clock_(clock), locale_(locale), messages_(messages), tasks_(locale) {}

  RegistryBackend& Registry() { return registry_; }
  const MessageTable& Messages() const { return messages_; }
  Clock& GetClock() { return clock_; }
  Locale& GetLocale() { return locale_; }
  TaskList& Tasks() { return tasks_; }
  const TaskList& Tasks() const { return tasks_; }
  void SetServices(const Services& services) { services_ = services; }
  // Shows a message to the user (a message box in the program, a recorder in the tests).
  void SetReporter(std::function<void(const std::string&)> reporter) {
    reporter_ = std::move(reporter);
  }

  // The next-start text and the kind text of a task, from its stored trigger settings and the
  // clock. RegistryError or ConvertError when a required value is missing or malformed.
  ScheduleTexts SetMinutesText(const std::string& taskName);
  // The same from a task key the caller holds open, reading through what it read already (no
  // key open: RegistryError, as for a task that does not exist).
  ScheduleTexts SetMinutesText(RegistryAccessor& taskKey);
  // The date-time of the task's next run at its fixed time of day; 0.0 when it has none.
  double GetTaskDate(const std::string& taskName);
  double GetTaskDate(RegistryAccessor& taskKey);

  // Fills the task list from the stored tasks and runs those bound to Windows start. A task
  // that cannot be read is listed as an "n/a" row marked unreadable, which nothing checks or
  // runs; the user is told once which tasks those are.
  void GetTasks();

  // Runs one task now and records how the run ended. Never lets an error out and never shows
  // anything.
  void ExecuteTask(const std::string& taskName,
                   RunTrigger trigger = RunTrigger::kStart) noexcept;
  // How one run ended. Every run path (a question answered "Nein", a countdown cancelled, a
  // missed run skipped) reports through RecordRun.
  struct RunResult {
    RunOutcome outcome;
    std::string reason;
    // A warned system action handed to the countdown: the run is recorded when the countdown
    // ends ("Ausgeführt" at zero or "Jetzt ausführen", "Abgelehnt" on "Abbrechen").
    bool counting = false;
  };
  // Adds a run to the record and tells the observer. Never throws; a failed write of the
  // record is not the run's failure.
  void RecordRun(const std::string& taskName, RunTrigger trigger, RunOutcome outcome,
                 std::string reason = {}) noexcept;
  RunHistory& History() { return history_; }
  // Told of each recorded run (the main window's balloon and list).
  void SetRunObserver(std::function<void(const RunEntry&)> observer) {
    runObserver_ = std::move(observer);
  }

  // The rule of a task's "Uhrzeit" trigger, read as SetMinutesText reads it. RegistryError or
  // ConvertError when a value is missing or malformed.
  ClockRule ReadClockRule(RegistryAccessor& taskKey);
  // The next `count` starts of a time rule after the minute `from`, as the minute tick would
  // run them when the rule was saved at `from` (one tick at each whole minute): the
  // countdown of an interval, the fixed time, the chosen weekdays or month days. Fewer when
  // the rule never starts again within a year.
  std::vector<double> NextStarts(const ClockRule& rule, double from, int count);
  // "Starten": runs every selected row's task, in list order (an unreadable row's never).
  void FlatButtonExecuteClick();
  // Whether the task failed to read before; a failure is reported once per task and run.
  bool ReportBrokenTaskOnce(const std::string& taskName);
  // The task was saved anew: should it break again, it is reported again.
  void ForgetBrokenTask(const std::string& taskName);

  // The minute tick: counts down, finds due tasks, asks, runs, makes up missed runs and
  // refreshes every row's next-start text. Never starts while another tick is running.
  void TimerJobsTimer();
  bool TickRunning() const { return tickRunning_; }
  // The task editor is open: the job timer is off and no tick starts until it closes. A tick
  // that was already waiting on a question when the editor opened ends without switching the
  // timer on again.
  void SuspendTicks(bool suspended);
  // The program ends ("Beenden", the session's end): from now on no tick starts, a tick that
  // waits on a question or a fetch walks no further row, and no task starts any more.
  void Stop() {
    stopped_ = true;
    CancelCountdown();
  }
  // Compares the task's watched files with their stored stamps; stores the first new stamp it
  // finds and reports a change. Pumps the message queue after each unchanged file and opens
  // the watch list afresh after it: a save meanwhile has rewritten it.
  bool CheckWatchList(const std::string& taskName);

  // The idle label: shown while an idle period lasts; idle countdowns count only then.
  bool IdleLabelVisible() const { return idleLabelVisible_; }
  void SetIdleLabelVisible(bool visible) { idleLabelVisible_ = visible; }
  // Input ended an idle period: every idle row that is not being run gets its full idle
  // minutes back. A task that cannot be read keeps its text and is reported once.
  void ResetIdleRows();

  // The session is ending: runs the tasks bound to Windows shutdown in list order, except
  // once-per-session ones that already ran. A task that cannot be read is passed over.
  void QueryEndSession();

  // The countdown before a warned system action (WarnEnabled). A warned run hands its action to
  // the countdown and returns; the window (`view`, may be null) shows it. CountdownTick, called
  // about once a second, runs the action when the countdown reaches zero and starts it again
  // when a postponement is over. Only one action counts at a time: a warned system run while
  // another counts is passed over. The session's end and the program's end cancel it.
  void SetCountdownView(CountdownView* view) { countdownView_ = view; }
  const SystemCountdown& Countdown() const { return countdown_; }
  void CountdownTick();
  void CountdownDecide(CountdownDecision decision);
  // The session ends: a pending countdown is cancelled and its action never runs.
  void CancelCountdown();

  // Calendar. Each call reads the clock afresh.
  double Now();
  double Today();          // the current date, time of day 0
  double CurrentTimeOfDay();
  int WeekdayOfNow();      // 1 Sunday .. 7 Saturday
  int DayOfMonthOfNow();   // 1 .. 31
  int DaysInCurrentMonth();
  std::string NowTimeText();
  std::string DateText(double date) { return locale_.ShortDate(date); }

  // "hh:mm" of the part of `t` within one day (23:50 plus 30 minutes gives 00:20).
  static std::string TimeText(double t);
  // The time of day of "hh:mm" (hour 0-23, minute 0-59) as a fraction of a day. ConvertError
  // for anything else.
  static double TimeOfText(const std::string& text);

  // The decimal digits of a text, "0" when it has none or they exceed 2147483647.
  static std::string ConvertToInt(const std::string& text);
  // Fills the day flags from the task's weekday values; an absent value (or an absent key)
  // allows the day. RegistryError when a weekday value has another type.
  void FillDaysArray(const std::string& taskName);
  // The same from a task key the caller holds open (no key open: every day allowed).
  void FillDaysArray(RegistryAccessor& taskKey);
  bool DayFlag(int weekday) const { return weekday >= 1 && weekday <= 7 && dayFlags_[weekday]; }
  // Minutes from time text b forward to time text a, 0 to 1439. ConvertError when an hour or
  // minute is not a decimal number.
  int GetMinutes(const std::string& a, const std::string& b) const;
  // True when time a has been reached at time b; false for texts that are not five characters.
  bool GetDateOver(const std::string& a, const std::string& b) const;

  // In due-check mode a time equal to the current minute still counts as not yet over.
  bool DueCheckMode() const { return dueCheckMode_; }
  void SetDueCheckMode(bool on) { dueCheckMode_ = on; }

 private:
  RegistryBackend& registry_;
  Clock& clock_;
  Locale& locale_;
  const MessageTable& messages_;
  TaskList tasks_;
  Services services_;
  std::function<void(const std::string&)> reporter_;
  std::set<std::string> reportedBroken_;
  RunHistory history_{registry_};
  std::function<void(const RunEntry&)> runObserver_;
  std::array<bool, 8> dayFlags_{false, true, true, true, true, true, true, true};
  bool dueCheckMode_ = false;
  bool idleLabelVisible_ = false;
  bool tickRunning_ = false;
  bool ticksSuspended_ = false;
  bool stopped_ = false;
  bool inSessionEnd_ = false;
  SystemCountdown countdown_;
  CountdownView* countdownView_ = nullptr;
  // The local time and UTC offset at the start of the last tick, and the local times that the
  // clock jumped over since then when daylight saving began between two ticks (none otherwise).
  struct TickMoment {
    double local;
    int offset;
  };
  std::optional<TickMoment> lastTick_;
  std::optional<std::pair<double, double>> jumpedOver_;

  void Pump();
  RunResult RunTask(const std::string& taskName) noexcept;
  void RecordRun(double when, const std::string& taskName, RunTrigger trigger,
                 RunOutcome outcome, std::string reason) noexcept;
  // What the schedule gives for a time rule at `now`: a countdown, a time of day today, a
  // later day, or nothing.
  struct NextStep {
    enum Kind { kNone, kMinutes, kAt, kLaterDay } kind = kNone;
    int minutes = 0;
    std::string at;     // "hh:mm" for kAt
    double day = 0.0;   // for kLaterDay
    int weekday = 0;    // for kLaterDay, 1 Sunday .. 7 Saturday
  };
  NextStep StepAt(const ClockRule& rule, const LocalTime& now) const;
  // The date-time of the next run at the rule's fixed time; 0.0 when there is none.
  double FixedStartAt(const ClockRule& rule, const LocalTime& now) const;
  // Notes the moment of a tick that starts and what the clock jumped over since the last one.
  void NoteTickMoment();
  // The date-time of the run that the row's text before this tick named ("02:30 Uhr") when the
  // clock jumped over it as daylight saving began: that run is due now, not missed.
  std::optional<double> JumpedOverRun(const std::string& rowText) const;
  // The date-time of the current tick's minute.
  double TickMinute() const;
  // True when the run at `occurrence` (today's fixed time) has been handled already: the stored
  // next start lies beyond it (the clock was put back, or an autumn hour repeats).
  static bool HandledAlready(RegistryAccessor& key, double occurrence);
  static std::string StoredTime(RegistryAccessor& reg);
  void ProcessRow(const std::string& name, const std::string& nowText);
  // The confirmation step of a due row: true when it may run.
  bool ConfirmStep(const std::string& name, RegistryAccessor& key);
  // False when the task went away while the check waited.
  bool MissedRunCheck(const std::string& name, RegistryAccessor& key);
  // Seconds on the countdown's clock: the local time less the UTC offset, so that a change of
  // daylight saving neither ends nor stretches a countdown.
  double CountdownSeconds();
  // The power call of a system action.
  void PerformSystemAction(const SystemAction& action);
  // Ends the countdown: `answer` kAnswerYes runs its action, kAnswerNo drops it. "Abbrechen",
  // Escape, closing the window and the session's end all come here with kAnswerNo, as a
  // declined confirmation question does.
  void EndCountdown(int answer);
  // The countdown's run as the record will show it: when it started and what started it.
  double countdownStarted_ = 0.0;
  RunTrigger countdownTrigger_ = RunTrigger::kStart;
  // Records the end of the counting run.
  void RecordCountdownRun(const std::string& task, RunOutcome outcome, std::string reason) noexcept;
};

}  // namespace orv
