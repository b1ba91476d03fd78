// A registry backend that passes every call on to another one, except that with `writeRecord`
// off the writes of the record of runs (the value History under the settings key) go nowhere.
// The benchmarks time the same ticks with and without the record's registry write; everything
// else the engine does, the record's reading and encoding among it, stays the same.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/registry.h"
#include "store/task_record.h"

namespace orv::testing {

class RecordSwitchRegistry : public RegistryBackend {
 public:
  explicit RecordSwitchRegistry(RegistryBackend& inner) : inner_(inner) {}

  bool writeRecord = true;

  std::unique_ptr<Key> Open(const std::string& path, bool create, bool writable) override {
    return inner_.Open(path, create, writable);
  }
  std::optional<RawValue> Query(Key& key, const std::string& name) override {
    return inner_.Query(key, name);
  }
  bool Set(Key& key, const std::string& name, const RawValue& value) override {
    if (!writeRecord && name == rec::kHistory) return true;
    return inner_.Set(key, name, value);
  }
  std::vector<std::string> SubkeyNames(Key& key) override { return inner_.SubkeyNames(key); }
  std::vector<std::string> ValueNames(Key& key) override { return inner_.ValueNames(key); }
  bool DeleteLeaf(const std::string& path) override { return inner_.DeleteLeaf(path); }

 private:
  RegistryBackend& inner_;
};

}  // namespace orv::testing
