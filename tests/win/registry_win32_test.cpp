#include "platform/win32/registry_win32.h"

#include "unit/registry_cases.h"

namespace orv::testing {
namespace {

// The same cases as the in-memory registry, on the current user's hive. Wine enumerates values
// sorted by name where Windows keeps their creation order; the cases depend on neither.
struct Win32Factory {
  static std::unique_ptr<RegistryBackend> Make() { return std::make_unique<Win32Registry>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RegistryCases, Win32Factory);

}  // namespace
}  // namespace orv::testing
