// An in-memory registry with the semantics of the Windows one: key and value names compared
// without regard to case but kept as written, subkeys enumerated sorted case-blind, values in
// creation order, a deleted key's open handles failing. Used by the tests and the benchmarks.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/registry.h"

namespace orv {

class MemoryRegistry : public RegistryBackend {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  std::unique_ptr<Key> Open(const std::string& path, bool create, bool writable) override;
  std::optional<RawValue> Query(Key& key, const std::string& name) override;
  bool Set(Key& key, const std::string& name, const RawValue& value) override;
  std::vector<std::string> SubkeyNames(Key& key) override;
  std::vector<std::string> ValueNames(Key& key) override;
  bool DeleteLeaf(const std::string& path) override;

  // For tests: store a value of any type and bytes directly (creates the key).
  void SetRaw(const std::string& absolutePath, const std::string& name, const RawValue& value);
  // For tests: remove a value, as another program could.
  void EraseValue(const std::string& absolutePath, const std::string& name);
  // For tests: make every following write fail, as a full or locked hive would.
  void FailWrites(bool fail) { failWrites_ = fail; }

 private:
  struct Node;
  std::shared_ptr<Node> Find(const std::string& path, bool create);
  std::shared_ptr<Node> root_;
  bool failWrites_ = false;
};

}  // namespace orv
