#include "store/run_history.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/oledate.h"

#include "base/text.h"
#include "store/registry.h"
#include "store/task_record.h"

namespace orv {

namespace {

constexpr std::uint8_t kMagic[4] = {'O', 'R', 'H', '1'};
constexpr std::size_t kHeader = 8 + 1 + 1 + 2 + 2;
// Dates the program can show: the years 100 to 9999.
constexpr double kMinDate = -657434.0, kMaxDate = 2958466.0;

void PutU16(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

std::size_t GetU16(const std::uint8_t* p) { return p[0] | (std::size_t{p[1]} << 8); }

// The first `max` bytes of a UTF-8 text, not ending inside a character.
std::string CutUtf8(const std::string& text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::unique_ptr<RegistryBackend::Key> OpenSettings(RegistryBackend& registry, bool create) {
  const auto path = NormaliseKeyPath(rec::kSettingsKey);
  if (!path) return nullptr;
  return registry.Open(*path, create, /*writable=*/create);
}

}  // namespace

std::string RunTimeText(double when) {
  static constexpr const char* kDays[] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  if (!std::isfinite(when) || when < kMinDate || when >= kMaxDate) return "?";
  const LocalTime t = DecodeDateTime(when);
  const int weekday = DayOfWeek(EncodeDate(t.year, t.month, t.day));  // 1 Sunday
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s %02d.%02d.%04d %02d:%02d",
                kDays[(weekday + 6) % 7], t.day, t.month, t.year, t.hour, t.minute);
  return buffer;
}

const char* RunTriggerText(RunTrigger trigger) {
  switch (trigger) {
    case RunTrigger::kTime: return "Uhrzeit";
    case RunTrigger::kIdle: return "Leerlauf";
    case RunTrigger::kChange: return "Änderung";
    case RunTrigger::kSystemStart: return "Systemstart";
    case RunTrigger::kShutdown: return "Shutdown";
    case RunTrigger::kStart: return "Starten";
    case RunTrigger::kRecovered: return "nachgeholt";
  }
  return "?";
}

std::string RunOutcomeText(const RunEntry& entry) {
  switch (entry.outcome) {
    case RunOutcome::kDone: return "Ausgeführt";
    case RunOutcome::kDeclined: return "Abgelehnt";
    case RunOutcome::kSkipped:
      return entry.reason.empty() ? "Übersprungen" : "Übersprungen (" + entry.reason + ")";
    case RunOutcome::kFailed: return "Fehler: " + entry.reason;
  }
  return "?";
}

std::vector<std::uint8_t> RunHistory::Encode(const std::deque<RunEntry>& entries) {
  std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
  for (const RunEntry& e : entries) {
    const std::string task = CutUtf8(e.task, 0xFFFF);
    const std::string reason = CutUtf8(e.reason, kMaxReason);
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof e.when);
    std::memcpy(&bits, &e.when, sizeof bits);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    out.push_back(static_cast<std::uint8_t>(e.trigger));
    out.push_back(static_cast<std::uint8_t>(e.outcome));
    PutU16(out, task.size());
    PutU16(out, reason.size());
    out.insert(out.end(), task.begin(), task.end());
    out.insert(out.end(), reason.begin(), reason.end());
  }
  return out;
}

std::deque<RunEntry> RunHistory::Decode(const std::vector<std::uint8_t>& data) {
  std::deque<RunEntry> out;
  if (data.size() < sizeof kMagic || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
    return out;
  std::size_t at = sizeof kMagic;
  while (data.size() - at >= kHeader) {
    const std::uint8_t* p = data.data() + at;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t{p[i]} << (8 * i);
    RunEntry e;
    std::memcpy(&e.when, &bits, sizeof bits);
    const std::uint8_t trigger = p[8], outcome = p[9];
    const std::size_t taskLength = GetU16(p + 10), reasonLength = GetU16(p + 12);
    if (!std::isfinite(e.when) || e.when < kMinDate || e.when >= kMaxDate ||
        trigger >= kRunTriggerCount || outcome >= kRunOutcomeCount || reasonLength > kMaxReason ||
        taskLength + reasonLength > data.size() - at - kHeader)
      break;
    e.trigger = static_cast<RunTrigger>(trigger);
    e.outcome = static_cast<RunOutcome>(outcome);
    const char* text = reinterpret_cast<const char*>(p + kHeader);
    e.task.assign(text, taskLength);
    e.reason.assign(text + taskLength, reasonLength);
    out.push_back(std::move(e));
    at += kHeader + taskLength + reasonLength;
  }
  while (out.size() > kCapacity) out.pop_front();
  return out;
}

void RunHistory::Load() noexcept {
  if (loaded_) return;
  loaded_ = true;
  try {
    const auto key = OpenSettings(registry_, false);
    if (!key) return;
    const auto value = registry_.Query(*key, rec::kHistory);
    if (value && value->type == kRegBinary) entries_ = Decode(value->data);
  } catch (...) {
    entries_.clear();  // unreadable: the record starts empty
  }
}

const std::deque<RunEntry>& RunHistory::Entries() noexcept {
  Load();
  return entries_;
}

std::optional<RunEntry> RunHistory::LastOf(const std::string& task) noexcept {
  Load();
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (NamesEqual(it->task, task)) return *it;
  return std::nullopt;
}

void RunHistory::Add(RunEntry entry) noexcept {
  try {
    Load();
    entry.reason = CutUtf8(entry.reason, kMaxReason);
    entries_.push_back(std::move(entry));
    while (entries_.size() > kCapacity) entries_.pop_front();
    if (const auto key = OpenSettings(registry_, true))
      registry_.Set(*key, rec::kHistory, RawValue{kRegBinary, Encode(entries_)});
  } catch (...) {
    // The record is a help, not part of the run: a value that cannot be written is left.
  }
}

void RunHistory::Clear() noexcept {
  try {
    entries_.clear();
    loaded_ = true;
    if (const auto key = OpenSettings(registry_, true))
      registry_.Set(*key, rec::kHistory, RawValue{kRegBinary, Encode(entries_)});
  } catch (...) {
  }
}

}  // namespace orv
