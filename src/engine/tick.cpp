// The minute tick: the whole scheduler.
#include "platform/prompter.h"
#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part) != std::string::npos;
}

constexpr double kMinute = 1.0 / 1440;

double MinuteOf(double when) {
  const LocalTime t = DecodeDateTime(when);
  return EncodeDate(t.year, t.month, t.day) + EncodeTime(t.hour, t.minute);
}

}  // namespace

void Engine::NoteTickMoment() {
  int offset = clock_.UtcOffsetMinutes();
  double local = Now();
  if (const int again = clock_.UtcOffsetMinutes(); again != offset) {  // read across the change
    offset = again;
    local = Now();
  }
  jumpedOver_.reset();
  if (lastTick_) {
    const int shift = offset - lastTick_->offset;
    const double real = local - lastTick_->local - shift * kMinute;
    // Daylight saving puts the clock forward by an hour (half an hour in a few places) between
    // two ticks about a minute apart: the times in between never happen, and a run planned for
    // them is due at once. A larger shift is a change of time zone, and after a longer pause
    // (standby, a question that waited) the runs in it are missed ones, for their Recover rule.
    if (shift > 0 && shift <= 60 && real >= 0 && real < 3 * kMinute)
      jumpedOver_.emplace(lastTick_->local, local);
  }
  lastTick_ = TickMoment{local, offset};
}

std::optional<double> Engine::JumpedOverRun(const std::string& rowText) const {
  if (!jumpedOver_) return std::nullopt;
  const std::string& uhr = messages_[kMsgUhr];
  if (rowText.size() != 5 + uhr.size() || rowText.compare(5, std::string::npos, uhr) != 0)
    return std::nullopt;
  double time = 0.0;
  try {
    time = TimeOfText(rowText.substr(0, 5));
  } catch (const ConvertError&) {
    return std::nullopt;
  }
  const auto [from, to] = *jumpedOver_;
  const LocalTime day = DecodeDateTime(from);
  double run = EncodeDate(day.year, day.month, day.day) + time;
  if (run <= from) run += 1.0;  // the text was made the day before
  if (run < to) return run;
  return std::nullopt;
}

double Engine::TickMinute() const { return lastTick_ ? MinuteOf(lastTick_->local) : 0.0; }

bool Engine::HandledAlready(RegistryAccessor& key, double occurrence) {
  if (!key.ValueExists(rec::kNextExecution)) return false;
  return key.ReadDateTime(rec::kNextExecution) > occurrence + kMinute / 2;
}

void Engine::Pump() {
  if (services_.pump) services_.pump->PumpOnce();
}

void Engine::SuspendTicks(bool suspended) {
  ticksSuspended_ = suspended;
  if (services_.timer) services_.timer->SetEnabled(!suspended);
}

void Engine::TimerJobsTimer() {
  // A tick waits for prompts and pumps messages meanwhile; a timer switched on again during
  // that wait (the task editor closed) must not start a second tick inside the first.
  if (tickRunning_ || ticksSuspended_ || stopped_) return;
  tickRunning_ = true;
  JobTimer* timer = services_.timer;
  struct Finish {
    Engine& engine;
    JobTimer* timer;
    ~Finish() {
      engine.tickRunning_ = false;
      engine.dueCheckMode_ = false;
      // The timer runs again, unless the task editor was opened while the tick waited.
      if (timer && !engine.ticksSuspended_ && !timer->Enabled()) timer->SetEnabled(true);
    }
  } finish{*this, timer};
  if (timer) timer->SetEnabled(false);
  NoteTickMoment();

  const std::string nowText = NowTimeText() + messages_[kMsgUhr];
  Pump();

  // The rows of this moment, by name: rows added while the tick waits are handled from the
  // next tick on, rows removed meanwhile are passed over.
  std::vector<std::string> names;
  names.reserve(tasks_.Size());
  for (const TaskRow& row : tasks_.Rows()) names.push_back(row.name);

  for (const std::string& name : names) {
    if (stopped_) break;  // the program ended while the tick waited
    try {
      ProcessRow(name, nowText);
    } catch (const std::exception& e) {
      dueCheckMode_ = false;
      // A task deleted or renamed while the tick waited is no error of the task.
      if (!tasks_.Find(name)) continue;
      if (!ReportBrokenTaskOnce(name)) continue;
      RecordRun(name, RunTrigger::kTime, RunOutcome::kFailed, e.what());
      if (reporter_)
        reporter_("Der Task '" + name + "' kann nicht ausgeführt werden, da seine "
                  "Einstellungen nicht gelesen werden können:\n" + e.what());
    }
  }
}

void Engine::ProcessRow(const std::string& name, const std::string& nowText) {
  const MessageTable& m = messages_;
  // Every access after a pumped wait finds the row again by name.
  const auto row = [&]() -> TaskRow* {
    const auto at = tasks_.Find(name);
    return at ? &tasks_.Row(*at) : nullptr;
  };
  // After a wait the task's key is opened afresh: an edit saved meanwhile rewrote it under the
  // same name, a delete or a rename removed it (and then nothing more happens to the row).
  // Between two waits each value is read once: the key keeps what it read.
  RegistryAccessor key(registry_, RegistryAccessor::Reads::KeepUntilReopened);
  const auto stillThere = [&] {
    return row() != nullptr && key.OpenKey(rec::TaskKey(name), false);
  };
  TaskRow* r = row();
  if (!r) return;
  const std::string s = r->next;
  if (s == m[kMsgNotAvailable]) return;
  std::optional<double> fixedRun = JumpedOverRun(s);

  // Never created: a deleted task stays deleted. A watch row's key is opened after the watch
  // list's check, which waits.
  const bool watched = !Contains(s, m[kMsgMinutes]) && Contains(s, m[kMsgOnFileChange]);
  if (!watched) key.OpenKey(rec::TaskKey(name), false);
  bool changed = false;

  if (Contains(s, m[kMsgMinutes])) {
    if ((r->kind == m[kMsgKindIdle] && idleLabelVisible_) || r->kind == m[kMsgKindClock])
      r->next = std::to_string(std::stoll(ConvertToInt(s)) - 1) + m[kMsgMinutes];
  } else if (watched) {
    changed = CheckWatchList(name);  // pumps after each unchanged file
    if (!stillThere()) return;
    r = row();
  } else if (!Contains(s, m[kMsgNextSession])) {
    dueCheckMode_ = true;
    std::string next = SetMinutesText(key).next;
    dueCheckMode_ = false;
    r->next = std::move(next);
  }

  const std::string t = r->next;
  if (t == nowText) fixedRun = TickMinute();
  // A fixed-time run is due once: when the clock was put back or an autumn hour repeats, its
  // stored next start already lies beyond this one.
  const bool due = t == "0" + m[kMsgMinutes] || changed ||
                   (fixedRun && !HandledAlready(key, *fixedRun));
  if (due) {
    r->next = m[kMsgRunning];
    Pump();
    if (!stillThere()) return;
    const bool yes = ConfirmStep(name, key);
    if (!stillThere()) return;
    const RunTrigger trigger = changed                      ? RunTrigger::kChange
                               : row()->kind == m[kMsgKindIdle] ? RunTrigger::kIdle
                                                                : RunTrigger::kTime;
    if (yes) {
      row()->next = m[kMsgRunning];
      ExecuteTask(name, trigger);
      if (!stillThere()) return;
    } else {
      RecordRun(name, trigger, RunOutcome::kDeclined);
      key.WriteDateTime(rec::kNextExecution, GetTaskDate(key));
    }
  }

  if (!MissedRunCheck(name, key) || !(r = row())) return;
  // Nothing waited since the key was last opened: the texts come from the values read above.
  if (!Contains(r->next, m[kMsgMinutes]) && !Contains(r->next, m[kMsgNextSession]))
    r->next = SetMinutesText(key).next;
}

}  // namespace orv
