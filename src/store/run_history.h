// The record of past runs: what started each run and how it ended, the last 500 kept in one
// binary value under the settings key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_backend.h"

namespace orv {

// What started a run. The codes are stored: never renumber them.
enum class RunTrigger : std::uint8_t {
  kTime = 0,         // "Uhrzeit": a fixed time or an interval
  kIdle = 1,         // "Leerlauf"
  kChange = 2,       // "Änderung": a watched file changed
  kSystemStart = 3,  // "Systemstart"
  kShutdown = 4,     // "Shutdown": the session ended
  kStart = 5,        // "Starten" in the main window
  kRecovered = 6,    // "nachgeholt": a missed run made up (or skipped)
};
inline constexpr int kRunTriggerCount = 7;

// How a run ended. The codes are stored: never renumber them.
enum class RunOutcome : std::uint8_t {
  kDone = 0,      // "Ausgeführt"
  kDeclined = 1,  // "Abgelehnt": the user answered "Nein" or cancelled
  kSkipped = 2,   // "Übersprungen", with the reason
  kFailed = 3,    // "Fehler: ", with the reason
};
inline constexpr int kRunOutcomeCount = 4;

struct RunEntry {
  double when = 0.0;  // local date-time the run started
  std::string task;
  RunTrigger trigger = RunTrigger::kTime;
  RunOutcome outcome = RunOutcome::kDone;
  std::string reason;  // empty for kDone and kDeclined

  bool operator==(const RunEntry&) const = default;
};

// "Di 08.12.2026 18:00": weekday, date and minute of a date-time.
std::string RunTimeText(double when);
// "Uhrzeit", "Leerlauf", ...
const char* RunTriggerText(RunTrigger trigger);
// "Ausgeführt", "Abgelehnt", "Übersprungen (reason)", "Fehler: reason".
std::string RunOutcomeText(const RunEntry& entry);

class RunHistory {
 public:
  static constexpr std::size_t kCapacity = 500;
  // A reason is cut to this many bytes (at a character boundary).
  static constexpr std::size_t kMaxReason = 160;

  explicit RunHistory(RegistryBackend& registry) : registry_(registry) {}

  // Adds a run, drops the oldest beyond kCapacity and writes the value. Never throws: a failed
  // write leaves the run as it was (the entry is kept in memory all the same).
  void Add(RunEntry entry) noexcept;
  // Oldest first. Read from the registry the first time; a damaged value counts from its last
  // sound entry on as empty.
  const std::deque<RunEntry>& Entries() noexcept;
  // The newest run of the task (names compare without regard to letter case).
  std::optional<RunEntry> LastOf(const std::string& task) noexcept;
  // Forgets every run and writes the stored list empty (the value stays, holding no entry).
  void Clear() noexcept;

  // The stored form: "ORH1", then each entry as date (8 bytes, little-endian IEEE double),
  // trigger (1), outcome (1), task length (2), reason length (2), task and reason in UTF-8.
  static std::vector<std::uint8_t> Encode(const std::deque<RunEntry>& entries);
  // Reads what Encode wrote. Stops at the first entry that is cut off or holds an impossible
  // field and keeps the sound ones before it; anything that is not this form gives none.
  static std::deque<RunEntry> Decode(const std::vector<std::uint8_t>& data);

 private:
  void Load() noexcept;
  RegistryBackend& registry_;
  std::deque<RunEntry> entries_;
  bool loaded_ = false;
};

}  // namespace orv
