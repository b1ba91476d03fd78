// The text helpers that the address, framing and cookie parsers share: character classes,
// case-blind comparison, decimal numbers, the civil calendar of cookie dates. Only for the
// files of src/net/.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/http_error.h"
#include "net/http_framing.h"

namespace orv::http_text {

constexpr std::size_t npos = std::string_view::npos;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The characters of a header field name (a token).
inline bool IsTokenChar(char c) {
  if (IsDigit(c) || IsAlpha(c)) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != npos;
}

inline bool IsOws(char c) { return c == ' ' || c == '\t'; }

inline std::string_view TrimOws(std::string_view s) {
  while (!s.empty() && IsOws(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsOws(s.back())) s.remove_suffix(1);
  return s;
}

// Control characters other than the tab end a field value's validity; bytes above 0x7F are
// accepted as they come.
inline bool HasControl(std::string_view s) {
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  }
  return false;
}

// A text from outside (an address, a host name) made safe to show in a message: control
// characters become '?', and very long texts are shortened.
inline std::string ForMessage(std::string_view s) {
  constexpr std::size_t kMax = 200;
  std::string out;
  for (std::size_t i = 0; i < s.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    out.push_back(c < 0x20 || c == 0x7F ? '?' : s[i]);
  }
  if (s.size() > kMax) out += "...";
  return out;
}

inline HttpError Malformed(const std::string& detail) {
  return HttpError("Ungültige Antwort des Servers: " + detail + ".");
}

inline HttpError InvalidAddress(std::string_view text) {
  return HttpError("Die Adresse \"" + ForMessage(text) + "\" ist ungültig.");
}

// Decimal digits only, at most `maxDigits` of them.
inline std::optional<std::uint64_t> ParseDecimal(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

inline std::string PercentEncodeHigh(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

inline bool ValidRegName(std::string_view host) {
  if (host.empty() || host.size() > 254 || host.front() == '.' || host.front() == '-') {
    return false;
  }
  if (host.find("..") != npos) return false;
  for (char c : host) {
    if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return false;
  }
  return true;
}

inline bool ValidIpv6Text(std::string_view host) {
  if (host.size() < 2 || host.find(':') == npos) return false;
  for (char c : host) {
    if (!IsHex(c) && c != ':' && c != '.') return false;
  }
  return true;
}

// Parses a field line "name: value" into `field`.
inline void ParseFieldLine(std::string_view line, HeaderField* field) {
  const std::size_t colon = line.find(':');
  if (colon == npos || colon == 0) throw Malformed("fehlerhafte Kopfzeile");
  const std::string_view name = line.substr(0, colon);
  // White space before the colon is not allowed: it has been used to smuggle fields past
  // parsers that trim it.
  if (!std::all_of(name.begin(), name.end(), IsTokenChar)) throw Malformed("fehlerhafte Kopfzeile");
  const std::string_view value = TrimOws(line.substr(colon + 1));
  if (HasControl(value)) throw Malformed("Steuerzeichen in einer Kopfzeile");
  field->name.assign(name);
  field->value.assign(value);
}

// One line of `text` from `*pos`, without its CR LF or LF; advances `*pos` past the line end.
inline std::string_view NextLine(std::string_view text, std::size_t* pos) {
  const std::size_t nl = text.find('\n', *pos);
  std::string_view line = text.substr(*pos, nl == npos ? npos : nl - *pos);
  *pos = nl == npos ? text.size() : nl + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // A CR anywhere else is no line end; taking it as one would let two parsers disagree.
  if (line.find('\r') != npos) throw Malformed("CR ohne LF in der Antwort");
  return line;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
inline std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

inline unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

// The leading digits of a date token: between `minDigits` and `maxDigits` of them, followed by
// the end or a non-digit.
inline std::optional<int> LeadingNumber(std::string_view token, std::size_t minDigits,
                                 std::size_t maxDigits, std::size_t* used = nullptr) {
  std::size_t n = 0;
  while (n < token.size() && IsDigit(token[n])) ++n;
  if (n < minDigits || n > maxDigits) return std::nullopt;
  int v = 0;
  for (std::size_t i = 0; i < n; ++i) v = v * 10 + (token[i] - '0');
  if (used) *used = n;
  return v;
}

// "hh:mm:ss" with one or two digits each, and anything after a non-digit.
inline bool ParseTime(std::string_view token, int* h, int* m, int* s) {
  int* parts[] = {h, m, s};
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    std::size_t used = 0;
    const auto v = LeadingNumber(token.substr(pos), 1, 2, &used);
    if (!v) return false;
    *parts[i] = *v;
    pos += used;
    if (i < 2) {
      if (pos >= token.size() || token[pos] != ':') return false;
      ++pos;
    }
  }
  return true;
}

inline bool IsDateDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

inline std::int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// Without the trailing dot of a fully qualified name.
inline std::string_view WithoutRootDot(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  return host;
}

}  // namespace orv::http_text
