// Running tasks on the real platform: programs really started through the shell, the
// program-active test on real files, NextExecution in the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/shell_win32.h"
#include "engine/engine.h"
#include "platform/win32/registry_win32.h"
#include "store/task_record.h"
#include "ui/win32_text.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace orv::testing {
namespace {

std::string HelperExe() {
  std::string path = ORV_RECORD_ARGS_EXE;
  if (path.starts_with("/")) path = "Z:" + path;  // a Linux path under Wine
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

std::string SelfExe() {
  wchar_t buf[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return U8(std::wstring(buf, n));
}

class ExecuteWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    dir_ = U8(std::wstring(temp, n)) + "orvalis-exec-" + std::to_string(GetTickCount64());
    ASSERT_TRUE(CreateDirectoryW(W(dir_).c_str(), nullptr));
    record_ = dir_ + "\\record.txt";
    SetEnvironmentVariableW(L"ORV_RECORD_FILE", W(record_).c_str());
    messages_.Fill();
    engine_.SetServices(Services{&shell_, &files_, nullptr, nullptr});
    RegistryAccessor(registry_).DeleteKey(rec::kSettingsKey);  // the program's own keys, cleared
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"ORV_RECORD_FILE", nullptr);
    RegistryAccessor(registry_).DeleteKey(rec::kSettingsKey);
    for (int i = 0; i < 50 && !DeleteFileW(W(record_).c_str()) &&
                    GetFileAttributesW(W(record_).c_str()) != INVALID_FILE_ATTRIBUTES;
         ++i)
      Sleep(100);
    RemoveDirectoryW(W(dir_).c_str());
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
  std::vector<std::string> Recorded(std::size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) {
      lines.clear();
      HANDLE h = CreateFileW(W(record_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        std::string text;
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
        CloseHandle(h);
        std::size_t start = 0;
        for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
          std::string line = text.substr(start, nl - start);
          if (!line.empty() && line.back() == '\r') line.pop_back();
          lines.push_back(line);
        }
      }
      if (lines.size() >= count) break;
      Sleep(100);
    }
    return lines;
  }

  std::string dir_, record_;
  Win32Registry registry_;
  Win32Shell shell_;
  Win32Files files_;
  SettableClock clock_{LocalTime{2003, 7, 9, 19, 0, 0, 0}};
  GermanTestLocale locale_;
  MessageTable messages_;
  Engine engine_{registry_, clock_, locale_, messages_};
};

TEST_F(ExecuteWin32, ProgramTasksReallyStartWithAndWithoutParameters) {
  ProgramTask("Mit", HelperExe(), true, "eins \"zwei drei\"");
  ProgramTask("Ohne", HelperExe(), false, "wird nicht \xC3\xBC" "bergeben");
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
  Sleep(500);
  EXPECT_TRUE(Recorded(0).empty());
  EXPECT_GT(NextExecution("Fehlt"), 1.0);
  EXPECT_GT(NextExecution("Ordner"), 1.0);
}

TEST_F(ExecuteWin32, ProgramConditionOnARunningProgram) {
  // This test program itself is running: its executable cannot be opened exclusively.
  ProgramTask("Inaktiv", HelperExe(), true, "inaktiv");
  Condition("Inaktiv", SelfExe(), rec::kProgramInactive);
  ProgramTask("Aktiv", HelperExe(), true, "aktiv");
  Condition("Aktiv", SelfExe(), rec::kProgramActive);
  engine_.ExecuteTask("Inaktiv");  // wants the program not running: no start
  engine_.ExecuteTask("Aktiv");    // wants it running: starts
  const auto lines = Recorded(1);
  Sleep(500);
  ASSERT_EQ(Recorded(1).size(), 1u);
  EXPECT_NE(lines[0].find("aktiv"), std::string::npos);
  EXPECT_EQ(lines[0].find("inaktiv"), std::string::npos);
  EXPECT_GT(NextExecution("Inaktiv"), 1.0);  // written although nothing ran

  // A free file counts as a program that does not run.
  const std::string free = dir_ + "\\frei.txt";
  HANDLE h = CreateFileW(W(free).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  Condition("Inaktiv", free, rec::kProgramInactive);
  engine_.ExecuteTask("Inaktiv");
  EXPECT_EQ(Recorded(2).size(), 2u);
  DeleteFileW(W(free).c_str());
}

}  // namespace
}  // namespace orv::testing
