// The current user's hive (HKEY_CURRENT_USER) through the wide registry API.
#pragma once

#include "platform/registry_backend.h"

namespace orv {

class Win32Registry : public RegistryBackend {
 public:
  std::unique_ptr<Key> Open(const std::string& path, bool create, bool writable) override;
  std::optional<RawValue> Query(Key& key, const std::string& name) override;
  bool Set(Key& key, const std::string& name, const RawValue& value) override;
  std::vector<std::string> SubkeyNames(Key& key) override;
  std::vector<std::string> ValueNames(Key& key) override;
  bool DeleteLeaf(const std::string& path) override;
};

}  // namespace orv
