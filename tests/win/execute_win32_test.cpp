// Running tasks on the real platform: programs really started through the shell, the
// program-active test on real files, NextExecution in the real registry.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/shell_win32.h"
#include "engine/engine.h"
#include "platform/win32/registry_win32.h"
#include "store/task_record.h"
#include "ui/win32_text.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"
#include "win/win_support.h"

namespace orv::testing {
namespace {

std::string SelfExe() {
  wchar_t buf[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return U8(std::wstring(buf, n));
}

class ExecuteWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    dir_ = folder_.Utf8();
    record_ = folder_.Path() + L"\\record.txt";
    SetEnvironmentVariableW(L"ORV_RECORD_FILE", record_.c_str());
    messages_.Fill();
    engine_.SetServices(Services{&shell_, &files_, nullptr, nullptr});
    RegistryAccessor(registry_).DeleteKey(rec::kSettingsKey);  // the program's own keys, cleared
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"ORV_RECORD_FILE", nullptr);
    RegistryAccessor(registry_).DeleteKey(rec::kSettingsKey);
    folder_.Remove();
  }

  void ProgramTask(const std::string& name, const std::string& program, bool param,
                   const std::string& params) {
    RegistryAccessor reg(registry_);
    ASSERT_TRUE(reg.OpenKey(rec::TaskKey(name), true));
    reg.WriteInteger(rec::kTaskType, rec::kTaskProgram);
    reg.WriteString(rec::kProgram, program);
    reg.WriteBool(rec::kParam, param);
    reg.WriteString(rec::kParamString, params);
    reg.WriteString(rec::kProgramShow, "SW_HIDE");
    reg.WriteBool(rec::kTimeEnabled, true);
    reg.WriteString(rec::kTime, "18:00");
    reg.WriteDateTime(rec::kNextExecution, 1.0);
  }
  void Condition(const std::string& name, const std::string& file, int action) {
    RegistryAccessor reg(registry_);
    ASSERT_TRUE(reg.OpenKey(rec::TaskKey(name), false));
    reg.WriteBool(rec::kProgramActionEnabled, true);
    reg.WriteString(rec::kProgramActionFile, file);
    reg.WriteInteger(rec::kProgramAction, action);
  }
  double NextExecution(const std::string& name) {
    RegistryAccessor reg(registry_);
    reg.OpenKeyReadOnly(rec::TaskKey(name));
    return reg.ReadDateTime(rec::kNextExecution);
  }
  // The lines the helper recorded, waiting up to 10 s for `count` of them.
  std::vector<std::string> Recorded(std::size_t count) { return RecordedLines(record_, count); }
  // Starts the helper through a task of its own, after the steps that must start nothing: once
  // its line is there, a program they had started would have recorded as well.
  void Sentinel() {
    ProgramTask("Waechter", U8(HelperExe()), true, "waechter");
    engine_.ExecuteTask("Waechter");
  }

  TempFolder folder_{L"orvalis-exec-"};
  std::string dir_;
  std::wstring record_;
  Win32Registry registry_;
  Win32Shell shell_;
  Win32Files files_;
  SettableClock clock_{LocalTime{2003, 7, 9, 19, 0, 0, 0}};
  GermanTestLocale locale_;
  MessageTable messages_;
  Engine engine_{registry_, clock_, locale_, messages_};
};

TEST_F(ExecuteWin32, ProgramTasksReallyStartWithAndWithoutParameters) {
  ProgramTask("Mit", U8(HelperExe()), true, "eins \"zwei drei\"");
  ProgramTask("Ohne", U8(HelperExe()), false, "wird nicht übergeben");
  engine_.ExecuteTask("Mit");
  ASSERT_EQ(Recorded(1).size(), 1u);
  engine_.ExecuteTask("Ohne");
  const auto lines = Recorded(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("eins \"zwei drei\""), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].find("wird"), std::string::npos) << lines[1];
  const double thursday18 = EncodeDate(2003, 7, 10) + 0.75;
  EXPECT_DOUBLE_EQ(NextExecution("Mit"), thursday18);
  EXPECT_DOUBLE_EQ(NextExecution("Ohne"), thursday18);
}

TEST_F(ExecuteWin32, MissingProgramStartsNothingAndStillStoresTheNextStart) {
  ProgramTask("Fehlt", dir_ + "\\gibt-es-nicht.exe", false, "");
  ProgramTask("Ordner", dir_, false, "");  // a folder is no program
  engine_.ExecuteTask("Fehlt");
  engine_.ExecuteTask("Ordner");
  Sentinel();
  EXPECT_EQ(Recorded(1), (std::vector<std::string>{"waechter"}));
  EXPECT_GT(NextExecution("Fehlt"), 1.0);
  EXPECT_GT(NextExecution("Ordner"), 1.0);
}

TEST_F(ExecuteWin32, ProgramConditionOnARunningProgram) {
  // This test program itself is running: its executable cannot be opened exclusively.
  ProgramTask("Inaktiv", U8(HelperExe()), true, "inaktiv");
  Condition("Inaktiv", SelfExe(), rec::kProgramInactive);
  ProgramTask("Aktiv", U8(HelperExe()), true, "aktiv");
  Condition("Aktiv", SelfExe(), rec::kProgramActive);
  engine_.ExecuteTask("Inaktiv");  // wants the program not running: no start
  engine_.ExecuteTask("Aktiv");    // wants it running: starts
  Sentinel();
  std::vector<std::string> lines = Recorded(2);
  std::sort(lines.begin(), lines.end());  // two programs at once record in either order
  EXPECT_EQ(lines, (std::vector<std::string>{"aktiv", "waechter"}));
  EXPECT_GT(NextExecution("Inaktiv"), 1.0);  // written although nothing ran

  // A free file counts as a program that does not run.
  const std::string free = dir_ + "\\frei.txt";
  HANDLE h = CreateFileW(W(free).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  Condition("Inaktiv", free, rec::kProgramInactive);
  engine_.ExecuteTask("Inaktiv");
  EXPECT_EQ(Recorded(3).size(), 3u);
  DeleteFileW(W(free).c_str());
}

}  // namespace
}  // namespace orv::testing
