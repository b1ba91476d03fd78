// Registry cases that every backend must pass the same way: run against the in-memory
// registry natively and against the real one under Wine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "store/registry.h"

namespace orv::testing {

// A root of the tests' own, outside the vendor's key: the program's keys are not touched, and
// the end-to-end tests, which remove and check the whole vendor key, can run meanwhile.
inline const std::string kTestsKey = "\\Software\\OrvalisTests";
inline const std::string kRoot = kTestsKey + "\\Registry";

template <typename Factory>
class RegistryCases : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = Factory::Make();
    RegistryAccessor reg(*backend_);
    reg.DeleteKey(kRoot);
    ASSERT_FALSE(reg.KeyExists(kRoot));
  }
  void TearDown() override {
    RegistryAccessor reg(*backend_);
    reg.DeleteKey(kTestsKey);
  }

  // Stores any type and bytes, as another program could.
  void SetRaw(const std::string& path, const std::string& name, std::uint32_t type,
              std::vector<std::uint8_t> data) {
    auto key = backend_->Open(*NormaliseKeyPath(path), true, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(backend_->Set(*key, name, RawValue{type, std::move(data)}));
  }

  std::unique_ptr<RegistryBackend> backend_;
};

TYPED_TEST_SUITE_P(RegistryCases);

TYPED_TEST_P(RegistryCases, NamesDifferingOnlyInCaseDenoteOneKeyAndOneValue) {
  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Backup", true));
  reg.WriteInteger("TaskType", 1);
  reg.WriteInteger("TASKTYPE", 2);  // the same value
  reg.CloseKey();

  ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + "\\BACKUP"));
  EXPECT_EQ(reg.ReadInteger("tasktype"), 2);
  std::vector<std::string> names{"left over"};
  reg.GetValueNames(names);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names[0] == "TaskType" || names[0] == "TASKTYPE");

  ASSERT_TRUE(reg.OpenKey(kRoot + "\\backup", true));  // opens, does not add a second key
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot));
  const auto keys = reg.GetKeyNames();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0], "Backup");  // stored as first written
  EXPECT_TRUE(reg.KeyExists(kRoot + "\\bAcKuP"));
}

TYPED_TEST_P(RegistryCases, DeletingAKeyRemovesItsSubkeys) {
  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Task\\Files\\Deep", true));
  reg.WriteString("x", "y");
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Task\\Files", true));
  reg.WriteDateTime("C:\\a.txt", -1.0);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Other", true));
  reg.CloseKey();

  EXPECT_TRUE(reg.DeleteKey(kRoot + "\\task"));
  EXPECT_FALSE(reg.KeyExists(kRoot + "\\Task"));
  EXPECT_FALSE(reg.KeyExists(kRoot + "\\Task\\Files"));
  EXPECT_FALSE(reg.KeyExists(kRoot + "\\Task\\Files\\Deep"));
  EXPECT_TRUE(reg.KeyExists(kRoot + "\\Other"));
  EXPECT_FALSE(reg.DeleteKey(kRoot + "\\Task"));  // already gone
}

TYPED_TEST_P(RegistryCases, AMissingKeyOpenedForReadingLeavesNoKeyOpen) {
  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Present", true));
  reg.WriteInteger("TaskAuto", 0);
  reg.WriteString("Time", "18:00");
  EXPECT_FALSE(reg.OpenKeyReadOnly(kRoot + "\\Missing"));
  EXPECT_FALSE(reg.HasOpenKey());
  EXPECT_THROW(reg.ReadInteger("TaskAuto"), RegistryError);
  EXPECT_THROW(reg.ReadBool("TaskAuto"), RegistryError);
  EXPECT_THROW(reg.ReadDateTime("NextExecution"), RegistryError);
  EXPECT_EQ(reg.ReadString("Time"), "");
  EXPECT_FALSE(reg.ValueExists("TaskAuto"));
  EXPECT_TRUE(reg.GetKeyNames().empty());
  EXPECT_THROW(reg.WriteInteger("TaskAuto", 1), RegistryError);
  // Opening without creation does not create it either.
  EXPECT_FALSE(reg.OpenKey(kRoot + "\\Missing", false));
  EXPECT_FALSE(reg.KeyExists(kRoot + "\\Missing"));
}

TYPED_TEST_P(RegistryCases, TypedReadsFollowTheReadingRules) {
  RegistryAccessor reg(*this->backend_);
  const std::string key = kRoot + "\\Typed";
  this->SetRaw(key, "TaskType", kRegSz, EncodeRegString("0"));
  this->SetRaw(key, "NextExecution", kRegBinary, {0, 0, 0, 0});
  this->SetRaw(key, "Confirm", kRegDword, {2, 0, 0, 0});
  this->SetRaw(key, "Program", kRegExpandSz, EncodeRegString("%WINDIR%\\notepad.exe"));
  this->SetRaw(key, "Short", kRegDword, {1, 0, 0});
  this->SetRaw(key, "Quad", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
  this->SetRaw(key, "Multi", kRegMultiSz, EncodeRegString("a"));
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_THROW(reg.ReadInteger("TaskType"), RegistryError);
  EXPECT_THROW(reg.ReadDateTime("NextExecution"), RegistryError);
  EXPECT_THROW(reg.ReadInteger("Absent"), RegistryError);
  EXPECT_THROW(reg.ReadBool("Absent"), RegistryError);
  EXPECT_TRUE(reg.ReadBool("Confirm"));
  EXPECT_EQ(reg.ReadInteger("Confirm"), 2);
  EXPECT_EQ(reg.ReadString("Absent"), "");
  EXPECT_EQ(reg.ReadString("Program"), "%WINDIR%\\notepad.exe");
  EXPECT_THROW(reg.ReadString("Confirm"), RegistryError);
  EXPECT_THROW(reg.ReadInteger("Short"), RegistryError);
  EXPECT_THROW(reg.ReadInteger("Quad"), RegistryError);
  EXPECT_THROW(reg.ReadString("Multi"), RegistryError);
  EXPECT_TRUE(reg.ValueExists("confirm"));
  EXPECT_FALSE(reg.ValueExists("Absent"));
}

TYPED_TEST_P(RegistryCases, WrittenValuesReadBackExactly) {
  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Deep\\Er\\Still", true));  // parents are created
  reg.WriteInteger("Negative", -7);
  reg.WriteInteger("Max", 2147483647);
  reg.WriteBool("True", true);
  reg.WriteBool("False", false);
  reg.WriteDateTime("When", 37809.75);  // 7 July 2003, 18:00
  reg.WriteDateTime("Missing", -1.0);
  reg.WriteString("German", "Nächster Start Überwachung ß");
  reg.WriteString("Empty", "");
  reg.WriteString("Cut", std::string("before\0after", 12));
  // A second accessor sees what the first wrote while the first still holds the key open.
  RegistryAccessor other(*this->backend_);
  ASSERT_TRUE(other.OpenKeyReadOnly(kRoot + "\\deep\\er\\still"));
  EXPECT_EQ(other.ReadInteger("Negative"), -7);
  EXPECT_EQ(other.ReadInteger("Max"), 2147483647);
  EXPECT_TRUE(other.ReadBool("True"));
  EXPECT_FALSE(other.ReadBool("False"));
  EXPECT_EQ(other.ReadDateTime("When"), 37809.75);
  EXPECT_EQ(other.ReadDateTime("Missing"), -1.0);
  EXPECT_EQ(other.ReadString("German"), "Nächster Start Überwachung ß");
  EXPECT_EQ(other.ReadString("Empty"), "");
  EXPECT_EQ(other.ReadString("Cut"), "before");
  EXPECT_TRUE(other.ValueExists("Empty"));
  // A read-only key takes no writes.
  EXPECT_THROW(other.WriteInteger("Negative", 1), RegistryError);
  EXPECT_EQ(other.ReadInteger("Negative"), -7);
}

TYPED_TEST_P(RegistryCases, SubkeysComeBackSortedWithoutRegardToCase) {
  RegistryAccessor reg(*this->backend_);
  // Windows orders by the upper-case forms, Wine by the lower-case ones: names whose order
  // would differ between the two (an underscore against letters) are left out.
  for (const char* name : {"gamma", "Alpha", "delta", "Beta", "alpha2", "10", "9"}) {
    ASSERT_TRUE(reg.OpenKey(kRoot + "\\Jobs\\" + name, true));
  }
  ASSERT_TRUE(reg.OpenKeyReadOnly(kRoot + "\\Jobs\\"));  // a trailing backslash is allowed
  const std::vector<std::string> expected{"10", "9", "Alpha", "alpha2", "Beta", "delta", "gamma"};
  EXPECT_EQ(reg.GetKeyNames(), expected);
}

TYPED_TEST_P(RegistryCases, ValueNamesListEveryValueOnce) {
  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKey(kRoot + "\\Files", true));
  reg.WriteDateTime("C:\\b.txt", 1.0);
  reg.WriteDateTime("C:\\A.txt", 2.0);
  reg.WriteDateTime("C:\\c.txt", 3.0);
  std::vector<std::string> names{"stale"};
  reg.GetValueNames(names);
  std::sort(names.begin(), names.end());  // the order is the backend's
  EXPECT_EQ(names, (std::vector<std::string>{"C:\\A.txt", "C:\\b.txt", "C:\\c.txt"}));
}

TYPED_TEST_P(RegistryCases, PathsThatNameNoKeyFail) {
  RegistryAccessor reg(*this->backend_);
  EXPECT_FALSE(reg.OpenKey(kRoot + "\\a\\\\b", true));
  EXPECT_FALSE(reg.OpenKey("\\", true));
  EXPECT_FALSE(reg.OpenKey("", true));
  EXPECT_FALSE(reg.OpenKey(kRoot + "\\" + std::string(256, 'x'), true));
  EXPECT_TRUE(reg.OpenKey(kRoot + "\\" + std::string(255, 'x'), true));
  EXPECT_FALSE(reg.KeyExists(kRoot + "\\a"));
  EXPECT_FALSE(reg.DeleteKey(""));
}

TYPED_TEST_P(RegistryCases, BadValuesOfAnyTypeAndSizeNeverCrashAReader) {
  const std::string key = kRoot + "\\Bad";
  this->SetRaw(key, "Zero", kRegSz, {});
  this->SetRaw(key, "ZeroDword", kRegDword, {});
  this->SetRaw(key, "ZeroBinary", kRegBinary, {});
  this->SetRaw(key, "NoTerminator", kRegSz, {'A', 0, 'B', 0, 'C'});  // and an odd byte
  std::vector<std::uint8_t> big(1 << 20, 'A');  // 1 MB of "A" units, no terminator
  for (std::size_t i = 1; i < big.size(); i += 2) big[i] = 0;
  this->SetRaw(key, "Big", kRegSz, big);
  this->SetRaw(key, "BigBinary", kRegBinary, std::vector<std::uint8_t>(1 << 20, 0xFF));
  this->SetRaw(key, "BigDword", kRegDword, std::vector<std::uint8_t>(1 << 20, 1));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::uint8_t> nanBytes(8);
  std::memcpy(nanBytes.data(), &nan, 8);
  this->SetRaw(key, "NaN", kRegBinary, nanBytes);
  const double far = 1e300;
  std::vector<std::uint8_t> farBytes(8);
  std::memcpy(farBytes.data(), &far, 8);
  this->SetRaw(key, "Far", kRegBinary, farBytes);
  this->SetRaw(key, "Surrogate", kRegSz, {0x00, 0xD8, 'x', 0, 0, 0});

  RegistryAccessor reg(*this->backend_);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadString("Zero"), "");
  EXPECT_THROW(reg.ReadInteger("ZeroDword"), RegistryError);
  EXPECT_THROW(reg.ReadDateTime("ZeroBinary"), RegistryError);
  EXPECT_EQ(reg.ReadString("NoTerminator"), "AB");
  EXPECT_EQ(reg.ReadString("Big"), std::string(1 << 19, 'A'));
  EXPECT_THROW(reg.ReadDateTime("BigBinary"), RegistryError);
  EXPECT_THROW(reg.ReadInteger("BigDword"), RegistryError);
  EXPECT_THROW(reg.ReadString("BigBinary"), RegistryError);
  EXPECT_THROW(reg.ReadDateTime("NaN"), RegistryError);
  EXPECT_THROW(reg.ReadDateTime("Far"), RegistryError);
  EXPECT_EQ(reg.ReadString("Surrogate"), "\xEF\xBF\xBDx");
}

TYPED_TEST_P(RegistryCases, AKeyDeletedWhileOpenFailsItsReaders) {
  RegistryAccessor holder(*this->backend_);
  ASSERT_TRUE(holder.OpenKey(kRoot + "\\Gone", true));
  holder.WriteInteger("TaskAuto", 0);
  RegistryAccessor deleter(*this->backend_);
  EXPECT_TRUE(deleter.DeleteKey(kRoot + "\\Gone"));
  EXPECT_THROW(holder.ReadInteger("TaskAuto"), RegistryError);
  EXPECT_THROW(holder.WriteInteger("TaskAuto", 1), RegistryError);
  holder.CloseKey();
  EXPECT_FALSE(deleter.KeyExists(kRoot + "\\Gone"));  // the write did not recreate it
}

REGISTER_TYPED_TEST_SUITE_P(RegistryCases, NamesDifferingOnlyInCaseDenoteOneKeyAndOneValue,
                            DeletingAKeyRemovesItsSubkeys,
                            AMissingKeyOpenedForReadingLeavesNoKeyOpen,
                            TypedReadsFollowTheReadingRules, WrittenValuesReadBackExactly,
                            SubkeysComeBackSortedWithoutRegardToCase,
                            ValueNamesListEveryValueOnce, PathsThatNameNoKeyFail,
                            BadValuesOfAnyTypeAndSizeNeverCrashAReader,
                            AKeyDeletedWhileOpenFailsItsReaders);

}  // namespace orv::testing
