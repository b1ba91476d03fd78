#include "platform/win32/files_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/win_support.h"

namespace orv::testing {
namespace {

// A fresh folder under the temporary directory, removed with everything in it afterwards.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made()) << GetLastError();
    dir_ = folder_.Path();
  }
  // Fails when something the checks opened still holds a file.
  void TearDown() override { EXPECT_TRUE(folder_.Remove()) << GetLastError(); }

  std::wstring MakeFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const std::wstring path = dir_ + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    WriteFile(h, "data", 4, &written, nullptr);
    CloseHandle(h);
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
      EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << GetLastError();
    }
    return path;
  }

  std::wstring MakeDir(const std::wstring& name) {
    const std::wstring path = dir_ + L"\\" + name;
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
    return path;
  }

  TempFolder folder_{L"orvalis-files-", L"-Prüfung"};
  std::wstring dir_;
  Win32Files files_;
};

TEST_F(FilesTest, FileExistsCountsFilesOnly) {
  const std::wstring file = MakeFile(L"datei äöü.txt");
  const std::wstring folder = MakeDir(L"Ordner");
  EXPECT_TRUE(files_.FileExists(U8(file)));
  EXPECT_FALSE(files_.FileExists(U8(folder)));
  EXPECT_FALSE(files_.FileExists(U8(dir_ + L"\\fehlt.txt")));
  EXPECT_FALSE(files_.FileExists(""));
  // A NUL inside the text does not shorten the path to an existing file.
  EXPECT_FALSE(files_.FileExists(U8(file) + std::string(1, '\0') + "x"));
}

TEST_F(FilesTest, AFreeFileIsNotInUseAndStaysUsable) {
  const std::wstring file = MakeFile(L"frei ß.txt");
  EXPECT_FALSE(files_.IsFileInUse(U8(file)));
  EXPECT_FALSE(files_.IsFileInUse(U8(file)));
  // The check leaves no handle behind: the file can still be opened exclusively and deleted.
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  EXPECT_TRUE(DeleteFileW(file.c_str())) << GetLastError();
}

TEST_F(FilesTest, MissingFilesAndFoldersAreNotInUse) {
  EXPECT_FALSE(files_.IsFileInUse(U8(dir_ + L"\\fehlt.exe")));
  EXPECT_FALSE(files_.IsFileInUse(U8(MakeDir(L"Ordner.exe"))));
  EXPECT_FALSE(files_.IsFileInUse(U8(dir_)));
  EXPECT_FALSE(files_.IsFileInUse(""));
}

TEST_F(FilesTest, AReadOnlyFileCountsAsInUse) {
  const std::wstring file = MakeFile(L"nurlesen.txt", FILE_ATTRIBUTE_READONLY);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
  // Wine keeps the read-only mark in the Unix write permission, which does not stop root.
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    GTEST_SKIP() << "this system lets a read-only file be opened for writing";
  }
  EXPECT_TRUE(files_.IsFileInUse(U8(file)));
}

TEST_F(FilesTest, AFileHeldOpenElsewhereIsInUse) {
  const std::wstring file = MakeFile(L"offen.txt");
  // Even a holder that lets others read and write blocks an exclusive open.
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_TRUE(files_.IsFileInUse(U8(file)));
  CloseHandle(h);
  EXPECT_FALSE(files_.IsFileInUse(U8(file)));
}

TEST_F(FilesTest, ARunningProgramIsInUse) {
  // This test program is running, so its executable is in use.
  std::wstring self(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  ASSERT_GT(n, 0u);
  self.resize(n);
  EXPECT_TRUE(files_.FileExists(U8(self)));
  EXPECT_TRUE(files_.IsFileInUse(U8(self)));
}

TEST_F(FilesTest, AProgramIsInUseExactlyWhileItRuns) {
  const std::wstring exe = dir_ + L"\\läuft.exe";
  ASSERT_TRUE(CopyFileW(HelperExe().c_str(), exe.c_str(), TRUE)) << GetLastError();
  EXPECT_FALSE(files_.IsFileInUse(U8(exe)));

  // Held before its first instruction, the helper records nothing and stays until ended.
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE,
                             CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, dir_.c_str(), &si,
                             &pi))
      << GetLastError();
  const bool whileRunning = files_.IsFileInUse(U8(exe));
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_TRUE(whileRunning);

  // Once it has ended the file is free again (the system may take a moment to let go of it).
  bool inUse = true;
  for (int i = 0; i < 100 && inUse; ++i) {
    inUse = files_.IsFileInUse(U8(exe));
    if (inUse) Sleep(50);
  }
  EXPECT_FALSE(inUse);
}

}  // namespace
}  // namespace orv::testing
