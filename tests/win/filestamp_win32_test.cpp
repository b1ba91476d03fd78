// File stamps on real files: local time with milliseconds, stable for an unchanged file, -1.0
// for what is not a file.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/files_win32.h"
#include "base/oledate.h"
#include "ui/win32_text.h"
#include "win/win_support.h"

namespace orv::testing {
namespace {

class FileStamp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    dir_ = folder_.Utf8();
  }
  // Creates the file with the given last-write time (UTC).
  void MakeFile(const SYSTEMTIME& utc) {
    file_ = dir_ + "\\Bericht über.txt";
    HANDLE h = CreateFileW(W(file_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, nullptr);
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
  }

  TempFolder folder_{L"orvalis-stamp-"};
  std::string dir_, file_;
  Win32Files files_;
};

TEST_F(FileStamp, LocalTimeWithMillisecondsAndStable) {
  SYSTEMTIME utc{};
  utc.wYear = 2003;
  utc.wMonth = 7;
  utc.wDay = 7;
  utc.wHour = 16;
  utc.wMinute = 0;
  utc.wSecond = 5;
  utc.wMilliseconds = 123;
  MakeFile(utc);
  // What the platform says the local time of that moment is.
  FILETIME ft, local;
  SystemTimeToFileTime(&utc, &ft);
  FileTimeToLocalFileTime(&ft, &local);
  SYSTEMTIME st;
  FileTimeToSystemTime(&local, &st);
  const double expected = EncodeDateTime(
      {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});

  const double stamp = files_.GetFileModifyDate(file_);
  EXPECT_DOUBLE_EQ(stamp, expected);
  EXPECT_EQ(TimeOfDayMs(stamp) % 1000, 123);
  EXPECT_EQ(files_.GetFileModifyDate(file_), stamp);  // identical, not merely close
  EXPECT_EQ(files_.GetFileModifyDate(dir_ + "\\*.txt"), stamp);  // the first match

  utc.wMilliseconds = 124;  // a change of one millisecond is a change
  MakeFile(utc);
  EXPECT_NE(files_.GetFileModifyDate(file_), stamp);
}

TEST_F(FileStamp, WhatIsNotAFileStampsAsMinusOne) {
  EXPECT_EQ(files_.GetFileModifyDate(dir_ + "\\fehlt.txt"), -1.0);
  EXPECT_EQ(files_.GetFileModifyDate(dir_), -1.0);  // a folder
  EXPECT_EQ(files_.GetFileModifyDate(dir_ + "\\*.nix"), -1.0);
  EXPECT_EQ(files_.GetFileModifyDate(""), -1.0);
  EXPECT_EQ(files_.GetFileModifyDate(std::string("C:\\windows\0x", 12)), -1.0);
}

}  // namespace
}  // namespace orv::testing
