// The registry as the platform keeps it: the backend interface that the store's accessor runs
// on (the current user's hive on Windows, an in-memory tree in the tests), the raw value types
// and the error of a value that cannot be read or written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv {

// Raised for a value that is absent or stored with another type than the reader expects, and
// for a value that cannot be written.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum RegType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

struct RawValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
};

// The store underneath the accessor: the current user's hive. Paths handed to a backend are
// already normalised: no leading or trailing backslash, no empty component, every component at
// most 255 characters. Names compare without regard to letter case and are kept as written.
class RegistryBackend {
 public:
  class Key {
   public:
    virtual ~Key() = default;  // closes the key
  };

  virtual ~RegistryBackend() = default;

  // Opens an existing key, or creates it with its missing parents when `create` is set.
  // nullptr when the key does not exist (and may not be created) or cannot be opened.
  virtual std::unique_ptr<Key> Open(const std::string& path, bool create, bool writable) = 0;
  // The value, std::nullopt when it does not exist; raises RegistryError when the key is gone.
  virtual std::optional<RawValue> Query(Key& key, const std::string& name) = 0;
  virtual bool Set(Key& key, const std::string& name, const RawValue& value) = 0;
  // Subkeys in the order the registry enumerates them: sorted by name without regard to case.
  virtual std::vector<std::string> SubkeyNames(Key& key) = 0;
  // Value names; their order is the backend's (tests must not depend on it).
  virtual std::vector<std::string> ValueNames(Key& key) = 0;
  // Deletes a key that has no subkeys. False when it does not exist or still has subkeys.
  virtual bool DeleteLeaf(const std::string& path) = 0;
};

}  // namespace orv
