// Fuzz target: task keys as another program (or a hand edit) may have left them in the registry.
//
// The input is a small text that sets up the in-memory registry and the fakes around an engine;
// then the readers run over it: LoadTaskData (with a save-and-load-again round trip),
// SetMinutesText in and out of the due-check mode, GetTaskDate, FillDaysArray, CheckWatchList,
// ExecuteTask, GetTasks, and a few minute ticks. A value of the wrong type or bytes must come
// out as RegistryError or ConvertError (the program's exception types); any other exception,
// a sanitizer report or a broken invariant is a crash.
//
// Input, one item per line (CR LF or LF); unknown lines are ignored:
//   [Backup]                a key below the jobs key ("[Backup\Files]" is its watch list,
//                           "[]" the jobs key itself, "[\Software\...]" an absolute path)
//   Name=type:data          a value in the current key; the name is everything before the first
//                           '='; "#n" names the n-th value of the task record (task_record.h)
//     sz:text  esz:text     REG_SZ / REG_EXPAND_SZ from UTF-8 text
//     dword:n               REG_DWORD, decimal or 0x hex, taken modulo 2^32
//     date:x                REG_BINARY of the 8 bytes of the double x ("nan", "1e300" too)
//     rawN:hex              type N (decimal) with the bytes in hex ("raw4:0100", "raw1:4100")
//   @clock n                the fixed clock, an entry of kClocks (modulo its size)
//   @ticks n                minute ticks to run, at most 4
//   @answers chars          the prompter's answers in turn: y n (Y N with the box ticked),
//                           d (delete the task meanwhile, then yes), r (remove its row, yes),
//                           b (break its TaskAuto meanwhile, yes), s (save it anew, yes)
//   @pump chars             what each pump of the message queue (in a tick, or in a fetch)
//                           does: . nothing, d delete a listed task's key, r remove a row,
//                           t the job timer's message (a tick, which must not nest)
//   @exists path / @inuse path / @stamp path=x   the files fake
//   @idle                   the idle label shows     @failwrites   writes fail from the ticks on
//   @httpfail               the HTTP fake raises HttpError
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "net/http.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "engine/engine.h"
#include "support/registry_memory.h"
#include "store/task_record.h"
#include "engine/task_store.h"
#include "base/text.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace orv {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz_task_keys: %s %s\n", what, detail.c_str());
  std::abort();
}
#define CHECK(cond, detail)                    \
  do {                                         \
    if (!(cond)) Fail("CHECK " #cond, detail); \
  } while (0)

bool ProgramError(const std::exception& e) {
  return dynamic_cast<const RegistryError*>(&e) || dynamic_cast<const ConvertError*>(&e);
}

// Clocks the tick may start at: an ordinary Wednesday, the minutes around a fixed time and
// midnight, month and year ends, a leap day, a weekend.
const LocalTime kClocks[] = {
    {2003, 7, 9, 10, 0, 0, 0},    {2003, 7, 9, 17, 59, 0, 0},  {2003, 7, 9, 18, 0, 0, 0},
    {2003, 7, 9, 23, 50, 0, 0},   {2003, 7, 9, 23, 59, 30, 0}, {2003, 7, 10, 0, 0, 0, 0},
    {2003, 1, 31, 23, 59, 0, 0},  {2004, 2, 29, 12, 0, 0, 0},  {2003, 2, 28, 23, 59, 0, 0},
    {2003, 4, 30, 8, 0, 0, 0},    {2003, 12, 31, 23, 59, 0, 0}, {2003, 7, 12, 17, 30, 0, 0},
    {2003, 7, 13, 6, 0, 0, 0},    {2026, 3, 29, 2, 30, 0, 0},  {2026, 10, 25, 2, 59, 59, 999},
};

struct FakeFiles : Files {
  std::set<std::string> existing, inUse;
  std::map<std::string, double> stamps;
  bool FileExists(const std::string& p) override { return existing.count(p) > 0; }
  bool IsFileInUse(const std::string& p) override { return existing.count(p) && inUse.count(p); }
  double GetFileModifyDate(const std::string& p) override {
    const auto it = stamps.find(p);
    return it == stamps.end() ? -1.0 : it->second;
  }
};

struct FakeShell : Shell {
  int opened = 0;
  bool Open(const std::string&, const std::string*, int) override { return ++opened % 2 != 0; }
};

struct FakePower : Power {
  int calls = 0;
  void DoExitWindows(std::uint32_t) override { ++calls; }
  void SuspendSystem(bool, bool, bool) override { ++calls; }
};

struct FakePump;

// The program's client pumps the message queue while it waits (its wait hook); so does this one.
struct FakeHttp : Http {
  FakePump* pump = nullptr;
  int timeout = 0;
  bool fail = false;
  void SetReadTimeout(int ms) override { timeout = ms; }
  int ReadTimeout() const override { return timeout; }
  void Get(const std::string&) override;
};

struct FakeTimer : JobTimer {
  bool on = true;
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
};

struct World;

struct FakePrompter : Prompter {
  World* world = nullptr;
  std::deque<char> answers;
  bool confirmBox = false, recoverBox = false;
  PromptResult Ask(const std::string& line, int suffix, bool& box);
  PromptResult AskConfirm(const std::string& line) override {
    return Ask(line, kMsgConfirmSuffix, confirmBox);
  }
  PromptResult AskRecover(const std::string& line) override {
    return Ask(line, kMsgRecoverSuffix, recoverBox);
  }
};

struct FakePump : MessagePump {
  World* world = nullptr;
  std::deque<char> actions;
  unsigned count = 0;
  void PumpOnce() override;
};

struct World {
  MemoryRegistry registry;
  SettableClock clock;
  GermanTestLocale locale;
  MessageTable messages;
  FakeFiles files;
  FakeShell shell;
  FakePower power;
  FakeHttp http;
  FakePrompter prompter;
  FakePump pump;
  FakeTimer timer;
  Engine engine{registry, clock, locale, messages};
  std::vector<std::string> reports;

  World() {
    messages.Fill();
    prompter.world = this;
    pump.world = this;
    http.pump = &pump;
    engine.SetServices(Services{&shell, &files, &power, &http, &prompter, &pump, &timer});
    engine.SetReporter([this](const std::string& text) { reports.push_back(text); });
  }

  // The task editor saves the task anew under its name, as "Fertig" does.
  void SaveAgain(const std::string& name) {
    const std::string clean = FilterTaskName(name);
    if (clean != name || name.empty()) return;
    // A task that cannot be read is opened all the same, with defaults where values fail.
    TaskEditorState state = TaskEditorState::AfterReset();
    if (!LoadTaskData(engine, name, state).keyFound) return;
    state.name = name;
    try {
      SaveTask(engine, files, state, name);
    } catch (const std::exception& e) {
      // The general handler shows it; the editor would have refused a time that is no time.
      if (!ProgramError(e)) Fail("SaveTask", e.what());
    }
  }

  void DeleteTask(const std::string& name) {
    RegistryAccessor reg(registry);
    reg.DeleteKey(rec::TaskKey(name));
  }
  void RemoveRow(const std::string& name) {
    if (const auto at = engine.Tasks().Find(name)) engine.Tasks().Remove(*at);
  }
};

PromptResult FakePrompter::Ask(const std::string& line, int suffix, bool& box) {
  const std::string& prefix = world->messages[kMsgTaskPrefix];
  const std::string& tail = world->messages[suffix];
  CHECK(line.size() >= prefix.size() + tail.size() && line.compare(0, prefix.size(), prefix) == 0 &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0,
        line);
  const std::string name = line.substr(prefix.size(), line.size() - prefix.size() - tail.size());
  CHECK(world->engine.Tasks().Find(name).has_value(), "asked about a task not in the list");
  const char a = answers.empty() ? 'y' : answers.front();
  if (!answers.empty()) answers.pop_front();
  switch (a) {
    case 'd':
      world->DeleteTask(name);
      break;
    case 'r':
      world->RemoveRow(name);
      break;
    case 'b':
      world->registry.SetRaw(rec::TaskKey(name), rec::kTaskAuto,
                             RawValue{kRegSz, EncodeRegString("0")});
      break;
    case 's':
      world->SaveAgain(name);
      break;
    default:
      break;
  }
  box = box || a == 'Y' || a == 'N';
  return {a == 'n' || a == 'N' ? kAnswerNo : kAnswerYes, box};
}

void FakePump::PumpOnce() {
  if (actions.empty()) return;
  const char a = actions.front();
  actions.pop_front();
  TaskList& list = world->engine.Tasks();
  const std::size_t n = list.Size();
  const std::size_t i = n ? count++ % n : 0;
  switch (a) {
    case 'd':
      if (n) world->DeleteTask(list.Row(i).name);
      break;
    case 'r':
      if (n) list.Remove(i);
      break;
    case 't':
      // The job timer's message: inside a tick (the editor closed and switched the timer on
      // while the tick waits) it must not start a second tick; outside one, during a fetch of
      // a task run at start-up, it runs a whole tick.
      if (world->engine.TickRunning()) {
        world->engine.TimerJobsTimer();
        CHECK(world->engine.TickRunning(), "a nested tick ended the outer one");
      } else {
        world->engine.TimerJobsTimer();
      }
      break;
    default:
      break;
  }
}

void FakeHttp::Get(const std::string&) {
  pump->PumpOnce();
  if (fail) throw HttpError("Verbindung fehlgeschlagen.");
}

std::string_view NextLine(std::string_view& text) {
  const std::size_t nl = text.find('\n');
  std::string_view line = text.substr(0, nl);
  text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool Hex(std::string_view s, std::vector<std::uint8_t>& out) {
  const auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  int hi = -1;
  for (char c : s) {
    const int v = nibble(c);
    if (v < 0) continue;  // separators of any kind
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(hi << 4 | v));
      hi = -1;
    }
  }
  return true;
}

std::uint32_t Dword(std::string_view s) {
  const std::string text(s);
  return static_cast<std::uint32_t>(std::strtoll(text.c_str(), nullptr, 0));
}

double Double(std::string_view s) {
  const std::string text(s);
  return std::strtod(text.c_str(), nullptr);
}

std::vector<std::uint8_t> DoubleBytes(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  std::vector<std::uint8_t> out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  return out;
}

std::optional<RawValue> DecodeValue(std::string_view typed) {
  const std::size_t colon = typed.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view type = typed.substr(0, colon), data = typed.substr(colon + 1);
  RawValue v;
  if (type == "sz" || type == "esz") {
    v.type = type == "sz" ? kRegSz : kRegExpandSz;
    v.data = EncodeRegString(std::string(data));
  } else if (type == "dword") {
    const std::uint32_t u = Dword(data);
    v.type = kRegDword;
    v.data = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
              static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  } else if (type == "date") {
    v.type = kRegBinary;
    v.data = DoubleBytes(Double(data));
  } else if (type.substr(0, 3) == "raw") {
    v.type = Dword(type.substr(3));
    Hex(data, v.data);
  } else {
    return std::nullopt;
  }
  return v;
}

std::string ValueName(std::string_view name) {
  if (name.size() > 1 && name.front() == '#') {
    const std::size_t n = Dword(name.substr(1));
    return rec::kValueOrder[n % rec::kValueOrder.size()];
  }
  return std::string(name);
}

struct Setup {
  int ticks = 1;
  bool failWrites = false;
  std::vector<std::string> keys;  // the task names the input mentions (relative key paths)
};

Setup Build(World& w, std::string_view text) {
  Setup s;
  std::string key = rec::kJobsKey;
  while (!text.empty()) {
    const std::string_view line = NextLine(text);
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      const std::string_view path = line.substr(1, line.size() - 2);
      if (!path.empty() && path.front() == '\\') {
        key = std::string(path);
      } else {
        key = rec::TaskKey(std::string(path));
        if (!path.empty()) s.keys.emplace_back(path);
      }
      // An empty key is created too: a task key without any value.
      if (const auto norm = NormaliseKeyPath(key)) w.registry.Open(*norm, true, true);
      continue;
    }
    if (line.front() == '@') {
      const std::size_t sp = line.find(' ');
      const std::string_view cmd = line.substr(1, sp == std::string_view::npos ? sp : sp - 1);
      const std::string_view arg =
          sp == std::string_view::npos ? std::string_view() : line.substr(sp + 1);
      if (cmd == "clock") {
        w.clock.Set(kClocks[Dword(arg) % (sizeof kClocks / sizeof kClocks[0])]);
      } else if (cmd == "ticks") {
        s.ticks = static_cast<int>(Dword(arg) % 5);
      } else if (cmd == "answers") {
        w.prompter.answers.assign(arg.begin(), arg.end());
      } else if (cmd == "pump") {
        w.pump.actions.assign(arg.begin(), arg.end());
      } else if (cmd == "exists") {
        w.files.existing.emplace(arg);
      } else if (cmd == "inuse") {
        w.files.existing.emplace(arg);
        w.files.inUse.emplace(arg);
      } else if (cmd == "stamp") {
        const std::size_t eq = arg.rfind('=');
        if (eq != std::string_view::npos)
          w.files.stamps[std::string(arg.substr(0, eq))] = Double(arg.substr(eq + 1));
      } else if (cmd == "idle") {
        w.engine.SetIdleLabelVisible(true);
      } else if (cmd == "failwrites") {
        s.failWrites = true;
      } else if (cmd == "httpfail") {
        w.http.fail = true;
      }
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (const auto v = DecodeValue(line.substr(eq + 1)))
      w.registry.SetRaw(key, ValueName(line.substr(0, eq)), *v);
  }
  return s;
}

// The readers that let errors out: only the program's own exception types may come.
template <class F>
void Reader(const char* what, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    if (!ProgramError(e)) Fail(what, std::string("raised ") + typeid(e).name() + ": " + e.what());
  }
}

// Loads the task into the editor's state, saves that state as a new task of another engine,
// and loads it back: the editor must see what it saved.
void RoundTrip(World& w, const std::string& name) {
  TaskEditorState loaded = TaskEditorState::StartUp();
  if (!LoadTaskData(w.engine, name, loaded).Complete()) return;
  CHECK(loaded.taskKind >= 0 && loaded.taskKind < TaskEditorState::kTaskKindTabs, name);
  CHECK(loaded.trigger >= 0 && loaded.trigger < TaskEditorState::kTriggerTabs, name);
  CHECK(loaded.timeout >= rec::kMinTimeout && loaded.timeout <= rec::kMaxTimeout, name);
  CHECK(loaded.intervall >= rec::kMinIntervall && loaded.intervall <= rec::kMaxIntervall, name);
  CHECK(loaded.idleTime >= rec::kMinIdleTime && loaded.idleTime <= rec::kMaxIdleTime, name);

  World copy;
  copy.clock.Set(w.clock.Now());
  TaskEditorState toSave = loaded;
  toSave.name = "Copy";
  try {
    SaveTask(copy.engine, copy.files, toSave, "");
  } catch (const std::exception& e) {
    // A time that is no time text fails the save's own computations; the editor checks the
    // time field before it saves.
    if (!dynamic_cast<const ConvertError*>(&e)) Fail("SaveTask", e.what());
    return;
  }
  TaskEditorState again = TaskEditorState::AfterReset();
  CHECK(LoadTaskData(copy.engine, "Copy", again).Complete(), name);
  again.name = loaded.name;
  CHECK(again == loaded, "a saved task loads back differently: " + name);
}

void CheckTexts(World& w, const ScheduleTexts& t) {
  const MessageTable& m = w.messages;
  CHECK(t.kind == m[kMsgKindIdle] || t.kind == m[kMsgKindWatch] || t.kind == m[kMsgKindClock],
        t.kind);
  CHECK(!t.next.empty(), t.kind);
}

void Run(const std::uint8_t* data, std::size_t size) {
  World w;
  Setup s = Build(w, std::string_view(reinterpret_cast<const char*>(data), size));

  // Every task the registry holds, and every path the input named (which may name no task).
  std::vector<std::string> names;
  {
    RegistryAccessor reg(w.registry);
    if (reg.OpenKeyReadOnly(rec::kJobsKey)) names = reg.GetKeyNames();
  }
  const std::size_t listed = names.size();
  for (const std::string& k : s.keys)
    if (std::find(names.begin(), names.end(), k) == names.end()) names.push_back(k);
  if (names.size() > 64) names.resize(64);

  const double today = w.engine.Today();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (i < listed) RoundTrip(w, name);
    Reader("SetMinutesText", [&] { CheckTexts(w, w.engine.SetMinutesText(name)); });
    w.engine.SetDueCheckMode(true);
    Reader("SetMinutesText (due check)", [&] { CheckTexts(w, w.engine.SetMinutesText(name)); });
    w.engine.SetDueCheckMode(false);
    Reader("GetTaskDate", [&] {
      const double d = w.engine.GetTaskDate(name);
      // No run is ever planned before today, nor further ahead than the month after next.
      CHECK(d == 0.0 || (d >= today && d < today + 63), name + " " + std::to_string(d));
    });
    Reader("FillDaysArray", [&] { w.engine.FillDaysArray(name); });
    Reader("CheckWatchList", [&] { w.engine.CheckWatchList(name); });
  }

  w.engine.GetTasks();
  const TaskList& list = w.engine.Tasks();
  CHECK(list.Size() <= listed, "more rows than tasks");
  for (std::size_t i = 1; i < list.Size(); ++i)
    CHECK(w.locale.Compare(list.Row(i - 1).name, list.Row(i).name) <= 0, "list out of order");

  w.registry.FailWrites(s.failWrites);
  for (int t = 0; t < s.ticks; ++t) {
    w.engine.TimerJobsTimer();
    CHECK(!w.engine.TickRunning() && !w.engine.DueCheckMode() && w.timer.on, "tick state");
    w.clock.AdvanceMinutes(1);
  }

  // "Starten" on every task, listed or not; a run rewrites NextExecution, so it comes last.
  for (const std::string& name : names) w.engine.ExecuteTask(name);
}

}  // namespace
}  // namespace orv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orv::Run(data, size);
  return 0;
}
