#include "platform/win32/registry_win32.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace orv {

namespace {

class Win32Key : public RegistryBackend::Key {
 public:
  explicit Win32Key(HKEY h) : hkey(h) {}
  ~Win32Key() override { RegCloseKey(hkey); }
  HKEY hkey;
};

HKEY H(RegistryBackend::Key& key) { return static_cast<Win32Key&>(key).hkey; }

[[noreturn]] void Fail(LONG rc) {
  throw RegistryError("Fehler beim Zugriff auf die Registrierung (Code " + std::to_string(rc) +
                      ").");
}

}  // namespace

std::unique_ptr<RegistryBackend::Key> Win32Registry::Open(const std::string& path, bool create,
                                                         bool writable) {
  const std::wstring wpath = Wide(path);
  const REGSAM access = writable ? KEY_ALL_ACCESS : KEY_READ;
  HKEY h = nullptr;
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(HKEY_CURRENT_USER, wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         access, nullptr, &h, nullptr);
  } else {
    rc = RegOpenKeyExW(HKEY_CURRENT_USER, wpath.c_str(), 0, access, &h);
  }
  if (rc != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(h);
}

std::optional<RawValue> Win32Registry::Query(Key& key, const std::string& name) {
  // One call for the usual small value; a larger one is asked for its size first. Every call
  // is a round trip to the registry (a server process under Wine), so this halves the cost.
  const std::wstring wname = Wide(name);
  RawValue v;
  v.data.resize(512);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(v.data.size());
  LONG rc = RegQueryValueExW(H(key), wname.c_str(), nullptr, &type, v.data.data(), &size);
  for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 8; ++attempt) {
    v.data.resize(size);  // the size the value needs
    rc = RegQueryValueExW(H(key), wname.c_str(), nullptr, &type, v.data.data(), &size);
  }
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) Fail(rc);
  v.type = type;
  v.data.resize(size < v.data.size() ? size : v.data.size());
  return v;
}

bool Win32Registry::Set(Key& key, const std::string& name, const RawValue& value) {
  const std::wstring wname = Wide(name);
  const LONG rc = RegSetValueExW(H(key), wname.c_str(), 0, value.type,
                                 value.data.empty() ? nullptr : value.data.data(),
                                 static_cast<DWORD>(value.data.size()));
  return rc == ERROR_SUCCESS;
}

std::vector<std::string> Win32Registry::SubkeyNames(Key& key) {
  std::vector<std::string> names;
  std::wstring buf(256, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = RegEnumKeyExW(H(key), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA && buf.size() < 65536) {
      buf.resize(buf.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) Fail(rc);
    names.push_back(Narrow(buf.data(), len));
  }
  return names;
}

std::vector<std::string> Win32Registry::ValueNames(Key& key) {
  std::vector<std::string> names;
  std::wstring buf(256, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = RegEnumValueW(H(key), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA && buf.size() < 65536) {
      buf.resize(buf.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) Fail(rc);
    names.push_back(Narrow(buf.data(), len));
  }
  return names;
}

bool Win32Registry::DeleteLeaf(const std::string& path) {
  return RegDeleteKeyW(HKEY_CURRENT_USER, Wide(path).c_str()) == ERROR_SUCCESS;
}

}  // namespace orv
