// The registry accessor and the backend it runs on.
//
// Every operation of the program creates its own RegistryAccessor, opens the one key it needs,
// reads or writes values by name and closes the key again. The accessor holds at most one open
// key: opening another key closes the current one first.
//
// Each registry call is a round trip (under Wine one to the wineserver). An accessor made with
// Reads::KeepUntilReopened reads each value of its open key once: what it read or wrote is kept
// until the key is closed or opened again. Code that uses one waits for nothing while it holds
// the key (pumps no messages, during which a save may rewrite the task) or opens the key again
// after the wait, and so reads the values as they are now. A plain accessor asks the registry
// every time.
//
// The reading rules live here, once, for every backend: a backend only stores raw values (type
// and bytes, strings as UTF-16LE the way Windows keeps them) and the accessor decodes them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/registry_backend.h"

namespace orv {

// Splits an absolute key path ("\Software\Velmora\Orvalis\Jobs\Backup") into the form a
// backend takes. std::nullopt for a path that names no key (empty, an empty component, a
// component longer than 255 characters).
std::optional<std::string> NormaliseKeyPath(const std::string& path);

// UTF-8 <-> the UTF-16LE bytes of a registry string (with its terminating zero when written).
std::vector<std::uint8_t> EncodeRegString(const std::string& utf8);
// Decodes up to the first zero character; an odd trailing byte and a missing terminator are
// tolerated, invalid UTF-16 becomes U+FFFD. Never reads outside `data`.
std::string DecodeRegString(const std::vector<std::uint8_t>& data);

class RegistryAccessor {
 public:
  enum class Reads { Fresh, KeepUntilReopened };
  explicit RegistryAccessor(RegistryBackend& backend, Reads reads = Reads::Fresh)
      : backend_(backend), keep_(reads == Reads::KeepUntilReopened) {}
  ~RegistryAccessor() = default;
  RegistryAccessor(const RegistryAccessor&) = delete;
  RegistryAccessor& operator=(const RegistryAccessor&) = delete;

  // Opens the key for reading and writing; with `canCreate` it is created with any missing
  // parent keys. False (and no key open) when it cannot be opened.
  bool OpenKey(const std::string& path, bool canCreate);
  // Opens an existing key read-only. A failure leaves no key open, so that following reads fail.
  bool OpenKeyReadOnly(const std::string& path);
  void CloseKey();
  bool HasOpenKey() const { return key_ != nullptr; }

  bool KeyExists(const std::string& path);
  // Deletes the key with all its subkeys, deepest first. False when the key did not exist or
  // could not be deleted completely. Closes the accessor's open key first.
  bool DeleteKey(const std::string& path);

  bool ValueExists(const std::string& name);
  std::vector<std::string> GetKeyNames();
  // Empties `names` first.
  void GetValueNames(std::vector<std::string>& names);

  // Absent (or no key open): the empty text. Another type than REG_SZ/REG_EXPAND_SZ: RegistryError.
  std::string ReadString(const std::string& name);
  // Absent, no key open, another type than REG_DWORD or not exactly 4 bytes: RegistryError.
  std::int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);  // any non-zero value is true
  // For optional values, in one registry call: std::nullopt when absent (or no key open);
  // RegistryError when present with another type.
  std::optional<std::int32_t> ReadIntegerIfPresent(const std::string& name);
  std::optional<bool> ReadBoolIfPresent(const std::string& name);
  // REG_BINARY of exactly 8 bytes holding a finite date within the years 100 to 9999.
  double ReadDateTime(const std::string& name);

  // A value as stored, of any type: std::nullopt when absent (or no key open). For copying a
  // task's values whole, as the export and import do.
  std::optional<RawValue> ReadRaw(const std::string& name);
  void WriteRaw(const std::string& name, const RawValue& value) { Write(name, value); }

  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, std::int32_t value);
  void WriteBool(const std::string& name, bool value);
  void WriteDateTime(const std::string& name, double value);

 private:
  // The value of the open key: from the registry, or what was kept of it.
  const std::optional<RawValue>& Query(const std::string& name);
  RawValue ReadRequired(const std::string& name);
  static std::int32_t DecodeInteger(const std::string& name, const RawValue& v);
  void Write(const std::string& name, const RawValue& value);
  bool DeleteTree(const std::string& normalisedPath, int depth);

  RegistryBackend& backend_;
  std::unique_ptr<RegistryBackend::Key> key_;
  bool writable_ = false;
  const bool keep_;
  std::optional<RawValue> fresh_;  // the last value read when nothing is kept
  // The values read or written since the key was opened (absent ones as std::nullopt).
  struct Known {
    std::string name;
    bool ascii;
    std::optional<RawValue> value;
  };
  std::vector<Known> known_;
};

}  // namespace orv
