#include "store/registry.h"

#include <cmath>
#include <cstring>

#include "base/text.h"

namespace orv {

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;  // UTF-16 units, as the registry allows
constexpr int kMaxKeyDepth = 512;              // the registry nests no deeper

// Dates outside the years 100 to 9999 cannot be shown or computed with.
constexpr double kMinDate = -657434.0;  // 1 January 100
constexpr double kMaxDate = 2958466.0;  // 1 January 10000

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Value names compare without regard to case, as the registry compares them. The program's own
// names are ASCII, compared without converting them.
bool SameValueName(const std::string& a, bool aAscii, const std::string& b, bool bAscii) {
  if (!aAscii || !bAscii) return FoldCase(a) == FoldCase(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace

std::optional<std::string> NormaliseKeyPath(const std::string& path) {
  std::size_t begin = 0, end = path.size();
  while (begin < end && path[begin] == '\\') ++begin;
  while (end > begin && path[end - 1] == '\\') --end;
  if (begin == end) return std::nullopt;
  std::string out = path.substr(begin, end - begin);
  std::size_t start = 0;
  while (start <= out.size()) {
    std::size_t sep = out.find('\\', start);
    if (sep == std::string::npos) sep = out.size();
    const std::string part = out.substr(start, sep - start);
    if (part.empty() || Utf16Length(part) > kMaxKeyNameLength) return std::nullopt;
    start = sep + 1;
  }
  return out;
}

std::vector<std::uint8_t> EncodeRegString(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  std::vector<std::uint8_t> out;
  out.reserve((wide.size() + 1) * 2);
  for (char16_t c : wide) {
    if (c == 0) break;  // a registry string ends at its first zero
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::string DecodeRegString(const std::vector<std::uint8_t>& data) {
  std::u16string wide;
  const std::size_t units = data.size() / 2;
  wide.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (c == 0) break;
    wide.push_back(c);
  }
  return Utf16ToUtf8(wide);
}

bool RegistryAccessor::OpenKey(const std::string& path, bool canCreate) {
  CloseKey();
  const auto norm = NormaliseKeyPath(path);
  if (!norm) return false;
  key_ = backend_.Open(*norm, canCreate, true);
  writable_ = key_ != nullptr;
  return key_ != nullptr;
}

bool RegistryAccessor::OpenKeyReadOnly(const std::string& path) {
  CloseKey();
  const auto norm = NormaliseKeyPath(path);
  if (!norm) return false;
  key_ = backend_.Open(*norm, false, false);
  writable_ = false;
  return key_ != nullptr;
}

void RegistryAccessor::CloseKey() {
  key_.reset();
  writable_ = false;
  known_.clear();
}

bool RegistryAccessor::KeyExists(const std::string& path) {
  const auto norm = NormaliseKeyPath(path);
  if (!norm) return false;
  return backend_.Open(*norm, false, false) != nullptr;
}

bool RegistryAccessor::DeleteKey(const std::string& path) {
  CloseKey();
  const auto norm = NormaliseKeyPath(path);
  if (!norm) return false;
  return DeleteTree(*norm, 0);
}

bool RegistryAccessor::DeleteTree(const std::string& path, int depth) {
  if (depth > kMaxKeyDepth) return false;
  std::vector<std::string> children;
  {
    auto key = backend_.Open(path, false, false);
    if (!key) return false;
    children = backend_.SubkeyNames(*key);
  }  // closed before its subkeys are deleted
  bool ok = true;
  for (const auto& child : children) ok = DeleteTree(path + "\\" + child, depth + 1) && ok;
  return backend_.DeleteLeaf(path) && ok;
}

const std::optional<RawValue>& RegistryAccessor::Query(const std::string& name) {
  if (!keep_) {
    fresh_ = backend_.Query(*key_, name);
    return fresh_;
  }
  const bool ascii = IsAscii(name);
  for (const Known& k : known_)
    if (SameValueName(k.name, k.ascii, name, ascii)) return k.value;
  // A key deleted meanwhile raises RegistryError here, and nothing is kept.
  std::optional<RawValue> value = backend_.Query(*key_, name);
  known_.push_back(Known{name, ascii, std::move(value)});
  return known_.back().value;
}

bool RegistryAccessor::ValueExists(const std::string& name) {
  if (!key_) return false;
  try {
    return Query(name).has_value();
  } catch (const RegistryError&) {
    return false;
  }
}

std::vector<std::string> RegistryAccessor::GetKeyNames() {
  if (!key_) return {};
  return backend_.SubkeyNames(*key_);
}

void RegistryAccessor::GetValueNames(std::vector<std::string>& names) {
  names.clear();
  if (!key_) return;
  names = backend_.ValueNames(*key_);
}

RawValue RegistryAccessor::ReadRequired(const std::string& name) {
  if (key_) {
    if (const std::optional<RawValue>& v = Query(name)) return *v;
  }
  throw RegistryError("Der Registrierungswert " + Quoted(name) + " fehlt.");
}

std::string RegistryAccessor::ReadString(const std::string& name) {
  if (!key_) return {};
  const std::optional<RawValue>& v = Query(name);
  if (!v) return {};
  if (v->type != kRegSz && v->type != kRegExpandSz)
    throw RegistryError("Der Registrierungswert " + Quoted(name) + " ist keine Zeichenkette.");
  return DecodeRegString(v->data);
}

std::int32_t RegistryAccessor::ReadInteger(const std::string& name) {
  return DecodeInteger(name, ReadRequired(name));
}

std::optional<std::int32_t> RegistryAccessor::ReadIntegerIfPresent(const std::string& name) {
  if (!key_) return std::nullopt;
  const std::optional<RawValue>& v = Query(name);
  if (!v) return std::nullopt;
  return DecodeInteger(name, *v);
}

std::optional<bool> RegistryAccessor::ReadBoolIfPresent(const std::string& name) {
  const auto v = ReadIntegerIfPresent(name);
  if (!v) return std::nullopt;
  return *v != 0;
}

std::int32_t RegistryAccessor::DecodeInteger(const std::string& name, const RawValue& v) {
  if (v.type != kRegDword || v.data.size() != 4)
    throw RegistryError("Der Registrierungswert " + Quoted(name) + " ist keine Zahl.");
  const std::uint32_t u = static_cast<std::uint32_t>(v.data[0]) |
                          (static_cast<std::uint32_t>(v.data[1]) << 8) |
                          (static_cast<std::uint32_t>(v.data[2]) << 16) |
                          (static_cast<std::uint32_t>(v.data[3]) << 24);
  return static_cast<std::int32_t>(u);
}

std::optional<RawValue> RegistryAccessor::ReadRaw(const std::string& name) {
  if (!key_) return std::nullopt;
  return Query(name);
}

bool RegistryAccessor::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

double RegistryAccessor::ReadDateTime(const std::string& name) {
  const RawValue v = ReadRequired(name);
  if (v.type != kRegBinary || v.data.size() != 8)
    throw RegistryError("Der Registrierungswert " + Quoted(name) + " ist kein Datum.");
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | v.data[static_cast<std::size_t>(i)];
  double d;
  static_assert(sizeof d == sizeof bits);
  std::memcpy(&d, &bits, sizeof d);
  if (!std::isfinite(d) || d < kMinDate || d >= kMaxDate)
    throw RegistryError("Der Registrierungswert " + Quoted(name) + " ist kein gültiges Datum.");
  return d;
}

void RegistryAccessor::Write(const std::string& name, const RawValue& value) {
  // What the registry holds after a failed write is not known: it is read again when asked for.
  const bool ascii = IsAscii(name);
  for (auto k = known_.begin(); k != known_.end(); ++k) {
    if (SameValueName(k->name, k->ascii, name, ascii)) {
      known_.erase(k);
      break;
    }
  }
  if (!key_ || !writable_ || !backend_.Set(*key_, name, value))
    throw RegistryError("Der Registrierungswert " + Quoted(name) +
                        " konnte nicht geschrieben werden.");
  if (keep_) known_.push_back(Known{name, ascii, value});
}

void RegistryAccessor::WriteString(const std::string& name, const std::string& value) {
  Write(name, RawValue{kRegSz, EncodeRegString(value)});
}

void RegistryAccessor::WriteInteger(const std::string& name, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  Write(name, RawValue{kRegDword,
                       {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                        static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)}});
}

void RegistryAccessor::WriteBool(const std::string& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
}

void RegistryAccessor::WriteDateTime(const std::string& name, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  RawValue v{kRegBinary, {}};
  for (int i = 0; i < 8; ++i) v.data.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  Write(name, v);
}

}  // namespace orv
