#include "support/registry_memory.h"

#include "unit/registry_cases.h"

namespace orv::testing {
namespace {

struct MemoryFactory {
  static std::unique_ptr<RegistryBackend> Make() { return std::make_unique<MemoryRegistry>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, RegistryCases, MemoryFactory);

TEST(MemoryRegistry, ValuesEnumerateInCreationOrderAndFailedWritesRaise) {
  MemoryRegistry backend;
  RegistryAccessor reg(backend);
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteInteger("b", 1);
  reg.WriteInteger("a", 2);
  reg.WriteInteger("B", 3);  // overwrites "b" in place
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a"}));

  backend.FailWrites(true);
  EXPECT_THROW(reg.WriteString("c", "x"), RegistryError);
  EXPECT_FALSE(reg.OpenKey("\\New", true));
  EXPECT_FALSE(reg.DeleteKey("\\K"));
  backend.FailWrites(false);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\K"));
  EXPECT_EQ(reg.ReadInteger("b"), 3);  // values written before the failure stay
}

}  // namespace
}  // namespace orv::testing
