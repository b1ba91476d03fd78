// An engine on fakes: in-memory registry, settable clock, German test locale, and recording
// stand-ins for the shell, the files, the power calls and the HTTP client.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "engine/engine.h"
#include "support/registry_memory.h"
#include "store/task_record.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace orv::testing {

struct FakeShell : Shell {
  struct Call {
    std::string file;
    bool hasParams;
    std::string params;
    int show;
  };
  std::vector<Call> calls;
  bool fail = false;  // the shell cannot open anything
  bool Open(const std::string& file, const std::string* params, int show) override {
    calls.push_back({file, params != nullptr, params ? *params : std::string(), show});
    return !fail;
  }
};

struct FakeFiles : Files {
  std::set<std::string> existing;
  std::set<std::string> inUse;
  bool FileExists(const std::string& path) override { return existing.count(path) > 0; }
  bool IsFileInUse(const std::string& path) override {
    return existing.count(path) > 0 && inUse.count(path) > 0;
  }
  std::map<std::string, double> stamps;  // absent: -1.0
  double GetFileModifyDate(const std::string& path) override {
    const auto it = stamps.find(path);
    return it == stamps.end() ? -1.0 : it->second;
  }
};

struct FakePower : Power {
  std::vector<std::uint32_t> exits;
  struct Suspend {
    bool hibernate, force, wake;
  };
  std::vector<Suspend> suspends;
  void DoExitWindows(std::uint32_t flags) override { exits.push_back(flags); }
  void SuspendSystem(bool h, bool f, bool w) override { suspends.push_back({h, f, w}); }
};

struct FakeHttp : Http {
  int timeout = 0;
  bool fail = false;
  std::vector<std::pair<std::string, int>> gets;  // url and the time-out it was fetched with
  void SetReadTimeout(int ms) override { timeout = ms; }
  int ReadTimeout() const override { return timeout; }
  void Get(const std::string& url) override {
    gets.emplace_back(url, timeout);
    if (fail) throw std::runtime_error("Verbindung fehlgeschlagen.");
  }
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : engine(registry, clock, locale, messages) {
    messages.Fill();
    engine.SetServices(Services{&shell, &files, &power, &http});
    engine.SetReporter([this](const std::string& text) { reports.push_back(text); });
    clock.Set(2003, 7, 9, 10, 0);  // a Wednesday
  }

  // Writes a task as the task editor would for a new task with untouched controls, then the
  // given overrides (integers and booleans as REG_DWORD, texts as REG_SZ).
  void Task(const std::string& name, const std::map<std::string, int>& ints = {},
            const std::map<std::string, std::string>& texts = {}, bool defaults = true) {
    RegistryAccessor reg(registry);
    ASSERT_TRUE(reg.OpenKey(rec::TaskKey(name), true));
    if (defaults) {
      namespace d = rec::def;
      reg.WriteInteger(rec::kTaskType, d::kTaskType);
      reg.WriteString(rec::kProgram, d::kProgram);
      reg.WriteBool(rec::kParam, d::kParam);
      reg.WriteString(rec::kParamString, d::kParamString);
      reg.WriteString(rec::kProgramShow, d::kProgramShow);
      reg.WriteString(rec::kURL, d::kURL);
      reg.WriteBool(rec::kInBrowser, d::kInBrowser);
      reg.WriteBool(rec::kTimeoutEnabled, d::kTimeoutEnabled);
      reg.WriteInteger(rec::kTimeout, d::kTimeout);
      reg.WriteString(rec::kURLShow, d::kURLShow);
      reg.WriteInteger(rec::kSystem, d::kSystem);
      reg.WriteBool(rec::kPowerOff, d::kPowerOff);
      reg.WriteBool(rec::kForceNot, d::kForceNot);
      reg.WriteInteger(rec::kTaskAuto, d::kTaskAuto);
      reg.WriteInteger(rec::kIntervall, d::kIntervall);
      reg.WriteBool(rec::kIntEnabled, d::kIntEnabled);
      reg.WriteString(rec::kTime, d::kTime);
      reg.WriteBool(rec::kTimeEnabled, d::kTimeEnabled);
      for (int day = 1; day <= 7; ++day)
        reg.WriteBool(rec::kWeekdayValue[static_cast<std::size_t>(day)], d::kWeekday);
      reg.WriteString(rec::kMonthDays, d::kMonthDays);
      reg.WriteInteger(rec::kDayRestriction, d::kDayRestriction);
      reg.WriteBool(rec::kOnIdle, d::kOnIdle);
      reg.WriteInteger(rec::kIdleTime, d::kIdleTime);
      reg.WriteBool(rec::kChangeFiles, d::kChangeFiles);
      reg.WriteBool(rec::kOnWindowsEnabled, d::kOnWindowsEnabled);
      reg.WriteInteger(rec::kOnWindows, d::kOnWindows);
      reg.WriteBool(rec::kOncePerSession, d::kOncePerSession);
      reg.WriteBool(rec::kProgramActionEnabled, d::kProgramActionEnabled);
      reg.WriteInteger(rec::kProgramAction, d::kProgramActionAfterReset);
      reg.WriteString(rec::kProgramActionFile, d::kProgramActionFile);
      reg.WriteString(rec::kName, name);
      reg.WriteBool(rec::kConfirm, d::kConfirm);
      reg.WriteDateTime(rec::kNextExecution, 0.0);
      reg.WriteInteger(rec::kRecover, d::kRecoverNew);
    }
    for (const auto& [value, number] : ints) reg.WriteInteger(value, number);
    for (const auto& [value, text] : texts) reg.WriteString(value, text);
  }

  void Remove(const std::string& name, const std::string& value) {
    registry.EraseValue(rec::TaskKey(name), value);
  }

  double NextExecution(const std::string& name) {
    RegistryAccessor reg(registry);
    reg.OpenKeyReadOnly(rec::TaskKey(name));
    return reg.ReadDateTime(rec::kNextExecution);
  }

  std::string Next(const std::string& name) { return engine.SetMinutesText(name).next; }

  MemoryRegistry registry;
  SettableClock clock;
  GermanTestLocale locale;
  MessageTable messages;
  FakeShell shell;
  FakeFiles files;
  FakePower power;
  FakeHttp http;
  std::vector<std::string> reports;
  Engine engine;
};

}  // namespace orv::testing
