// A registry backend that passes every call on to another one and counts the round trips the
// program makes: each open, query, write, delete and close is one call to the registry (under
// Wine one to the wineserver), an enumeration one per entry and one for its end. Used by the
// tests that bound the calls per task, by the benchmarks and by the timing on the real registry.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "store/registry.h"

namespace orv::testing {

class CountingRegistry : public RegistryBackend {
 public:
  enum class Op { Open, Query, Set, Enumerate, Delete, Close };
  struct Call {
    Op op;
    std::string key;   // the key's path as the backend got it
    std::string name;  // the value's name for a query or a write
  };

  explicit CountingRegistry(RegistryBackend& inner) : inner_(inner) {}

  // Round trips since the last Reset (an enumeration counts each entry and its end).
  long Total() const { return total_; }
  // Calls of one kind (an enumeration once).
  long Count(Op op) const { return byOp_[static_cast<std::size_t>(op)]; }
  // The calls one by one, when `record` is set (enumerations once each).
  const std::vector<Call>& Calls() const { return calls_; }
  void Reset() {
    total_ = 0;
    byOp_.fill(0);
    calls_.clear();
  }
  bool record = true;

  std::unique_ptr<Key> Open(const std::string& path, bool create, bool writable) override {
    Note(Op::Open, path);
    auto key = inner_.Open(path, create, writable);
    if (!key) return nullptr;
    return std::make_unique<CountedKey>(*this, std::move(key), path);
  }
  std::optional<RawValue> Query(Key& key, const std::string& name) override {
    auto& k = static_cast<CountedKey&>(key);
    Note(Op::Query, k.path, name);
    return inner_.Query(*k.inner, name);
  }
  bool Set(Key& key, const std::string& name, const RawValue& value) override {
    auto& k = static_cast<CountedKey&>(key);
    Note(Op::Set, k.path, name);
    return inner_.Set(*k.inner, name, value);
  }
  std::vector<std::string> SubkeyNames(Key& key) override {
    auto& k = static_cast<CountedKey&>(key);
    auto names = inner_.SubkeyNames(*k.inner);
    Note(Op::Enumerate, k.path, {}, static_cast<long>(names.size()) + 1);
    return names;
  }
  std::vector<std::string> ValueNames(Key& key) override {
    auto& k = static_cast<CountedKey&>(key);
    auto names = inner_.ValueNames(*k.inner);
    Note(Op::Enumerate, k.path, {}, static_cast<long>(names.size()) + 1);
    return names;
  }
  bool DeleteLeaf(const std::string& path) override {
    Note(Op::Delete, path);
    return inner_.DeleteLeaf(path);
  }

 private:
  struct CountedKey : Key {
    CountedKey(CountingRegistry& owner, std::unique_ptr<Key> inner, std::string path)
        : owner(owner), inner(std::move(inner)), path(std::move(path)) {}
    ~CountedKey() override { owner.Note(Op::Close, path); }
    CountingRegistry& owner;
    std::unique_ptr<Key> inner;
    std::string path;
  };

  void Note(Op op, const std::string& key, const std::string& name = {}, long trips = 1) {
    total_ += trips;
    ++byOp_[static_cast<std::size_t>(op)];
    if (record) calls_.push_back(Call{op, key, name});
  }

  RegistryBackend& inner_;
  long total_ = 0;
  std::array<long, 6> byOp_{};
  std::vector<Call> calls_;
};

}  // namespace orv::testing
