// The import's reading of the chosen file: a file larger than the import takes is refused by its
// size, before anything of it is read or held. The files are sparse (SetEndOfFile), so making
// them costs nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/reg_file.h"
#include "ui/TransferDialog.h"

namespace orv::testing {
namespace {

class TransferFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, dir), 0u);
    path_ = std::wstring(dir) + L"orvalis-transfer-" + std::to_wstring(GetCurrentProcessId()) +
            L".reg";
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }
  // Makes the file `size` bytes long: sparse, nothing is written.
  void FileOf(LONGLONG size) {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool sized = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);
  }

  std::wstring path_;
};

TEST_F(TransferFile, AFileLargerThanTheImportTakesIsRefusedBeforeItIsRead) {
  const std::string tooLarge =
      "Die Datei ist größer als 16 MB; so große Dateien importiert Orvalis nicht.";
  std::vector<std::uint8_t> bytes{1, 2, 3};
  std::string error;
  FileOf(static_cast<LONGLONG>(kMaxRegFileBytes) + 1);
  EXPECT_FALSE(ReadWholeFile(path_, bytes, error));
  EXPECT_EQ(error, tooLarge);
  EXPECT_TRUE(bytes.empty());
  // 4 GiB and a byte: read before the check, it would be held whole in memory; its size taken
  // in 32 bits would be one byte.
  FileOf((LONGLONG{1} << 32) + 1);
  error.clear();
  EXPECT_FALSE(ReadWholeFile(path_, bytes, error));
  EXPECT_EQ(error, tooLarge);
  EXPECT_TRUE(bytes.empty());

  FileOf(static_cast<LONGLONG>(kMaxRegFileBytes));
  error.clear();
  EXPECT_TRUE(ReadWholeFile(path_, bytes, error)) << error;
  EXPECT_EQ(bytes.size(), kMaxRegFileBytes);
}

}  // namespace
}  // namespace orv::testing
