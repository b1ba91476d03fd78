#include "net/http.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/socket.h"

namespace orv {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The characters of a header field name (a token).
bool IsTokenChar(char c) {
  if (IsDigit(c) || IsAlpha(c)) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != npos;
}

bool IsOws(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimOws(std::string_view s) {
  while (!s.empty() && IsOws(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsOws(s.back())) s.remove_suffix(1);
  return s;
}

// Control characters other than the tab end a field value's validity; bytes above 0x7F are
// accepted as they come.
bool HasControl(std::string_view s) {
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  }
  return false;
}

// A text from outside (an address, a host name) made safe to show in a message: control
// characters become '?', and very long texts are shortened.
std::string ForMessage(std::string_view s) {
  constexpr std::size_t kMax = 200;
  std::string out;
  for (std::size_t i = 0; i < s.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    out.push_back(c < 0x20 || c == 0x7F ? '?' : s[i]);
  }
  if (s.size() > kMax) out += "...";
  return out;
}

HttpError Malformed(const std::string& detail) {
  return HttpError("Ung\xC3\xBCltige Antwort des Servers: " + detail + ".");
}

HttpError InvalidAddress(std::string_view text) {
  return HttpError("Die Adresse \"" + ForMessage(text) + "\" ist ung\xC3\xBCltig.");
}

// Decimal digits only, at most `maxDigits` of them.
std::optional<std::uint64_t> ParseDecimal(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

std::string PercentEncodeHigh(std::string_view s) {
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

bool ValidRegName(std::string_view host) {
  if (host.empty() || host.size() > 254 || host.front() == '.' || host.front() == '-') {
    return false;
  }
  if (host.find("..") != npos) return false;
  for (char c : host) {
    if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return false;
  }
  return true;
}

bool ValidIpv6Text(std::string_view host) {
  if (host.size() < 2 || host.find(':') == npos) return false;
  for (char c : host) {
    if (!IsHex(c) && c != ':' && c != '.') return false;
  }
  return true;
}

// Parses a field line "name: value" into `field`.
void ParseFieldLine(std::string_view line, HeaderField* field) {
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
std::string_view NextLine(std::string_view text, std::size_t* pos) {
  const std::size_t nl = text.find('\n', *pos);
  std::string_view line = text.substr(*pos, nl == npos ? npos : nl - *pos);
  *pos = nl == npos ? text.size() : nl + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // A CR anywhere else is no line end; taking it as one would let two parsers disagree.
  if (line.find('\r') != npos) throw Malformed("CR ohne LF in der Antwort");
  return line;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

// The leading digits of a date token: between `minDigits` and `maxDigits` of them, followed by
// the end or a non-digit.
std::optional<int> LeadingNumber(std::string_view token, std::size_t minDigits,
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
bool ParseTime(std::string_view token, int* h, int* m, int* s) {
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

bool IsDateDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

std::int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// Without the trailing dot of a fully qualified name.
std::string_view WithoutRootDot(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  return host;
}

}  // namespace

// ---- Addresses ----

std::string Url::HostHeader() const {
  std::string h = ipv6Literal ? "[" + host + "]" : host;
  if (port != (secure ? 443 : 80)) h += ":" + std::to_string(port);
  return h;
}

std::string Url::Text() const {
  return (secure ? "https://" : "http://") + HostHeader() + Target();
}

std::string Url::HostAndPort() const {
  return (ipv6Literal ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

Url ParseUrl(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F) throw InvalidAddress(text);
  }
  const std::size_t colon = text.find(':');
  if (colon == npos || colon == 0 || !IsAlpha(text[0])) throw InvalidAddress(text);
  const std::string_view schemeText = text.substr(0, colon);
  for (char c : schemeText) {
    if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') {
      throw InvalidAddress(text);
    }
  }
  const std::string scheme = LowerCopy(schemeText);
  if (scheme != "http" && scheme != "https") {
    throw HttpError("Die Adresse \"" + ForMessage(text) + "\" verwendet das Protokoll \"" +
                    ForMessage(scheme) +
                    "\"; abgerufen werden k\xC3\xB6nnen nur http- und https-Adressen.");
  }
  std::string_view rest = text.substr(colon + 1);
  if (rest.substr(0, 2) != "//") throw InvalidAddress(text);
  rest.remove_prefix(2);

  const std::size_t authorityEnd = rest.find_first_of("/?#");
  const std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view tail = authorityEnd == npos ? std::string_view() : rest.substr(authorityEnd);
  // A user name or password in the address is not supported; "http://trusted@other/" would
  // also mislead whoever reads the address.
  if (authority.find('@') != npos) throw InvalidAddress(text);

  Url url;
  url.secure = scheme == "https";
  url.port = url.secure ? 443 : 80;
  std::string_view host;
  std::optional<std::string_view> port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == npos) throw InvalidAddress(text);
    host = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') throw InvalidAddress(text);
      port = after.substr(1);
    }
    if (!ValidIpv6Text(host)) throw InvalidAddress(text);
    url.ipv6Literal = true;
  } else {
    const std::size_t c = authority.find(':');
    host = authority.substr(0, c);
    if (c != npos) port = authority.substr(c + 1);
    if (!ValidRegName(host)) throw InvalidAddress(text);
  }
  url.host = LowerCopy(host);
  if (port && !port->empty()) {  // "http://host:/" names the default port
    const auto p = ParseDecimal(*port, 5);
    if (!p || *p == 0 || *p > 65535) throw InvalidAddress(text);
    url.port = static_cast<std::uint16_t>(*p);
  }

  tail = tail.substr(0, tail.find('#'));  // the fragment stays with the client
  const std::size_t q = tail.find('?');
  const std::string_view path = tail.substr(0, q);
  url.path = path.empty() ? "/" : PercentEncodeHigh(path);
  if (q != npos) url.query = PercentEncodeHigh(tail.substr(q));
  return url;
}

namespace {

// The path with its "." and ".." segments taken out, as a browser resolves a relative link.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  std::size_t pos = 1;  // after the leading '/'
  bool directory = false;  // ends with '/'
  while (pos <= path.size()) {
    const std::size_t slash = std::min(path.find('/', pos), path.size());
    const std::string_view segment = path.substr(pos, slash - pos);
    directory = segment == "." || segment == "..";
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (segment != ".") {
      segments.push_back(segment);
    }
    pos = slash + 1;
  }
  std::string out;
  for (const std::string_view segment : segments) {
    out += '/';
    out += segment;
  }
  if (directory || out.empty()) out += '/';
  return out;
}

}  // namespace

Url ResolveRedirect(const Url& base, std::string_view location) {
  if (location.empty()) throw InvalidAddress(location);
  const std::size_t colon = location.find(':');
  const std::size_t stop = location.find_first_of("/?#");
  if (colon != npos && (stop == npos || colon < stop)) return ParseUrl(location);  // absolute

  const std::string origin = base.secure ? "https:" : "http:";
  if (location.substr(0, 2) == "//") return ParseUrl(origin + std::string(location));
  const std::string start = origin + "//" + (base.ipv6Literal ? "[" + base.host + "]" : base.host) +
                            ":" + std::to_string(base.port);
  const std::string_view withoutFragment = location.substr(0, location.find('#'));
  if (withoutFragment.empty()) return ParseUrl(start + base.Target());
  if (withoutFragment.front() == '?') {
    return ParseUrl(start + base.path + std::string(withoutFragment));
  }
  const std::size_t q = withoutFragment.find('?');
  const std::string_view path = withoutFragment.substr(0, q);
  const std::string_view query = q == npos ? std::string_view() : withoutFragment.substr(q);
  std::string merged;
  if (path.front() == '/') {
    merged = std::string(path);
  } else {
    merged = base.path.substr(0, base.path.rfind('/') + 1) + std::string(path);
  }
  return ParseUrl(start + RemoveDotSegments(merged) + std::string(query));
}

std::optional<std::array<std::uint8_t, 4>> ParseIpv4Literal(std::string_view host) {
  std::array<std::uint8_t, 4> out{};
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = i < 3 ? host.find('.', pos) : host.size();
    if (dot == npos) return std::nullopt;
    const std::string_view part = host.substr(pos, dot - pos);
    // "010" is octal to some resolvers; only the plain decimal form counts as a literal here.
    if (part.size() > 1 && part.front() == '0') return std::nullopt;
    const auto v = ParseDecimal(part, 3);
    if (!v || *v > 255) return std::nullopt;
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*v);
    pos = dot + 1;
  }
  return out;
}

// ---- Response head ----

StatusLine ParseStatusLine(std::string_view line) {
  // "HTTP/1.1 200" is the shortest form.
  if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || !IsDigit(line[5]) || line[6] != '.' ||
      !IsDigit(line[7]) || line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) ||
      !IsDigit(line[11]) || (line.size() > 12 && line[12] != ' ')) {
    throw Malformed("fehlerhafte Statuszeile");
  }
  StatusLine s;
  s.major = line[5] - '0';
  s.minor = line[7] - '0';
  s.code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  if (s.major != 1 || s.code < 100) throw Malformed("fehlerhafte Statuszeile");
  if (line.size() > 13) s.reason.assign(line.substr(13));
  if (HasControl(s.reason)) throw Malformed("fehlerhafte Statuszeile");
  return s;
}

std::vector<std::string> ResponseHead::Values(std::string_view name) const {
  std::vector<std::string> out;
  for (const HeaderField& f : fields) {
    if (EqualsNoCase(f.name, name)) out.push_back(f.value);
  }
  return out;
}

std::size_t FindHeadEnd(std::string_view data, std::size_t from) {
  for (std::size_t i = from; i < data.size(); ++i) {
    if (data[i] != '\n') continue;
    if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
    if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
  }
  return npos;
}

ResponseHead ParseResponseHead(std::string_view head) {
  ResponseHead out;
  std::size_t pos = 0;
  if (head.empty()) throw Malformed("fehlerhafte Statuszeile");
  out.status = ParseStatusLine(NextLine(head, &pos));
  while (pos < head.size()) {
    const std::string_view line = NextLine(head, &pos);
    if (line.empty()) {
      if (pos < head.size()) throw Malformed("fehlerhafte Kopfzeile");
      break;
    }
    if (IsOws(line.front())) {
      // An old-style continuation line: part of the previous field's value.
      if (out.fields.empty()) throw Malformed("fehlerhafte Kopfzeile");
      const std::string_view more = TrimOws(line);
      if (HasControl(more)) throw Malformed("Steuerzeichen in einer Kopfzeile");
      std::string& value = out.fields.back().value;
      if (!more.empty()) {
        if (!value.empty()) value.push_back(' ');
        value.append(more);
      }
      continue;
    }
    HeaderField field;
    ParseFieldLine(line, &field);
    out.fields.push_back(std::move(field));
  }
  return out;
}

// ---- Body ----

BodyFraming DecideBodyFraming(const ResponseHead& head) {
  const int code = head.status.code;
  if ((code >= 100 && code < 200) || code == 204 || code == 304) return {BodyKind::kNone, 0};

  std::vector<std::string> codings;
  for (const std::string& value : head.Values("Transfer-Encoding")) {
    std::size_t pos = 0;
    while (pos <= value.size()) {
      const std::size_t comma = std::min(value.find(',', pos), value.size());
      const std::string_view item = TrimOws(std::string_view(value).substr(pos, comma - pos));
      if (!item.empty()) codings.push_back(LowerCopy(item));
      pos = comma + 1;
    }
  }
  if (!codings.empty()) {
    // A transfer coding overrides any Content-Length.
    if (codings.back() == "chunked") return {BodyKind::kChunked, 0};
    return {BodyKind::kUntilClose, 0};
  }

  std::optional<std::uint64_t> length;
  for (const std::string& value : head.Values("Content-Length")) {
    std::size_t pos = 0;
    while (pos <= value.size()) {
      const std::size_t comma = std::min(value.find(',', pos), value.size());
      const std::string_view item = TrimOws(std::string_view(value).substr(pos, comma - pos));
      // 18 digits stay well inside 64 bits.
      const auto v = ParseDecimal(item, 18);
      if (!v) throw Malformed("fehlerhafte Content-Length");
      if (length && *length != *v) throw Malformed("widerspr\xC3\xBC" "chliche Content-Length");
      length = v;
      pos = comma + 1;
    }
  }
  if (length) return {BodyKind::kLength, *length};
  return {BodyKind::kUntilClose, 0};
}

std::size_t ChunkedDecoder::Feed(std::string_view data, std::string* out) {
  std::size_t i = 0;
  while (i < data.size() && state_ != State::kDone) {
    switch (state_) {
      case State::kSize:
      case State::kTrailer: {
        const std::size_t nl = data.find('\n', i);
        const std::size_t end = nl == npos ? data.size() : nl;
        const std::size_t limit =
            state_ == State::kSize
                ? kMaxHeadBytes
                : (trailerBytes_ >= kMaxHeadBytes ? 0 : kMaxHeadBytes - trailerBytes_);
        if (line_.size() + (end - i) > limit) {
          throw Malformed(state_ == State::kSize ? "Chunk-Kopf zu lang"
                                                 : "Trailer l\xC3\xA4nger als 64 KiB");
        }
        line_.append(data.substr(i, end - i));
        i = end;
        if (nl != npos) {
          ++i;
          TakeLine();
        }
        break;
      }
      case State::kData: {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, data.size() - i));
        if (out) out->append(data.substr(i, n));
        i += n;
        remaining_ -= n;
        dataBytes_ += n;
        if (remaining_ == 0) state_ = State::kDataCr;
        break;
      }
      case State::kDataCr:
      case State::kDataLf: {
        const char c = data[i++];
        if (c == '\n') {
          state_ = State::kSize;
        } else if (c == '\r' && state_ == State::kDataCr) {
          state_ = State::kDataLf;
        } else {
          throw Malformed("Chunk ohne Zeilenende");
        }
        break;
      }
      case State::kDone:
        break;
    }
  }
  return i;
}

void ChunkedDecoder::TakeLine() {
  std::string_view line = line_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find('\r') != npos) throw Malformed("CR ohne LF in der Antwort");
  if (state_ == State::kSize) {
    std::uint64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size() && IsHex(line[i]); ++i) {
      // One more digit would not fit in 64 bits.
      if (size > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
        throw Malformed("Chunk-Gr\xC3\xB6\xC3\x9F" "e zu gro\xC3\x9F");
      }
      size = (size << 4) | static_cast<std::uint64_t>(HexValue(line[i]));
    }
    if (i == 0) throw Malformed("fehlerhafte Chunk-Gr\xC3\xB6\xC3\x9F" "e");
    while (i < line.size() && IsOws(line[i])) ++i;
    // What follows a ';' are chunk extensions, which the client has no use for.
    if (i < line.size() && line[i] != ';') {
      throw Malformed("fehlerhafte Chunk-Gr\xC3\xB6\xC3\x9F" "e");
    }
    if (size == 0) {
      state_ = State::kTrailer;
    } else {
      remaining_ = size;
      state_ = State::kData;
    }
  } else {
    trailerBytes_ += line_.size() + 1;
    if (line.empty()) {
      state_ = State::kDone;
    } else if (!IsOws(line.front())) {  // a continuation line is dropped with its field
      HeaderField ignored;
      ParseFieldLine(line, &ignored);
    }
  }
  line_.clear();
}

// ---- Cookies ----

std::optional<std::int64_t> ParseCookieDate(std::string_view text) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[pos]))) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    const std::string_view token = text.substr(pos, end - pos);
    pos = end;
    if (token.empty()) continue;
    int h, m, s;
    if (!haveTime && ParseTime(token, &h, &m, &s)) {
      haveTime = true;
      hour = h;
      minute = m;
      second = s;
      continue;
    }
    if (!haveDay) {
      if (const auto v = LeadingNumber(token, 1, 2)) {
        haveDay = true;
        day = *v;
        continue;
      }
    }
    if (!haveMonth && token.size() >= 3) {
      const std::string prefix = LowerCopy(token.substr(0, 3));
      bool found = false;
      for (int i = 0; i < 12; ++i) {
        if (prefix == kMonths[i]) {
          month = i + 1;
          found = true;
        }
      }
      if (found) {
        haveMonth = true;
        continue;
      }
    }
    if (!haveYear) {
      if (const auto v = LeadingNumber(token, 2, 4)) {
        haveYear = true;
        year = *v;
        continue;
      }
    }
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (year < 1601 || hour > 23 || minute > 59 || second > 59 || day < 1 ||
      static_cast<unsigned>(day) > DaysInMonth(year, static_cast<unsigned>(month))) {
    return std::nullopt;
  }
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<SetCookie> ParseSetCookie(std::string_view header) {
  const std::size_t semi = header.find(';');
  const std::string_view pair = header.substr(0, semi);
  std::string_view attributes = semi == npos ? std::string_view() : header.substr(semi + 1);
  const std::size_t eq = pair.find('=');
  if (eq == npos) return std::nullopt;
  SetCookie c;
  c.name.assign(TrimOws(pair.substr(0, eq)));
  c.value.assign(TrimOws(pair.substr(eq + 1)));
  if (c.name.empty()) return std::nullopt;

  while (!attributes.empty()) {
    const std::size_t next = attributes.find(';');
    const std::string_view av = attributes.substr(0, next);
    attributes = next == npos ? std::string_view() : attributes.substr(next + 1);
    const std::size_t aeq = av.find('=');
    const std::string name = LowerCopy(TrimOws(av.substr(0, aeq)));
    const std::string_view value = aeq == npos ? std::string_view() : TrimOws(av.substr(aeq + 1));
    if (name == "max-age") {
      const bool negative = !value.empty() && value.front() == '-';
      const std::string_view digits = negative ? value.substr(1) : value;
      if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) continue;
      // Longer than a thousand years counts as a thousand years.
      constexpr std::int64_t kLongest = 1000LL * 366 * 86400;
      std::int64_t v = 0;
      for (char d : digits) {
        v = std::min<std::int64_t>(v * 10 + (d - '0'), kLongest);
      }
      c.maxAge = negative ? -v : v;
    } else if (name == "expires") {
      if (const auto t = ParseCookieDate(value)) c.expires = t;
    } else if (name == "path") {
      if (!value.empty() && value.front() == '/') {
        c.path = std::string(value);
      } else {
        c.path.reset();  // the default path applies
      }
    } else if (name == "secure") {
      c.secure = true;
    }
  }
  return c;
}

std::string DefaultCookiePath(std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return "/";
  const std::size_t last = requestPath.rfind('/');
  if (last == 0) return "/";
  return std::string(requestPath.substr(0, last));
}

bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (cookiePath.empty() || requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

void CookieJar::Store(const Url& url, std::string_view setCookieHeader, std::int64_t now) {
  const std::optional<SetCookie> c = ParseSetCookie(setCookieHeader);
  if (!c || c->name.size() + c->value.size() > kMaxCookieBytes) return;
  // Only an https answer may set a Secure cookie.
  if (c->secure && !url.secure) return;
  std::int64_t expires = kNever;
  if (c->maxAge) {
    expires = *c->maxAge <= 0 ? std::numeric_limits<std::int64_t>::min() : now + *c->maxAge;
  } else if (c->expires) {
    expires = *c->expires;
  }
  const std::string path = c->path ? *c->path : DefaultCookiePath(url.path);
  const bool expired = expires <= now;

  const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& k) {
    return k.host == url.host && k.path == path && k.name == c->name;
  });
  if (same != cookies_.end()) {
    // Nor may an http answer replace or delete one.
    if (same->secure && !url.secure) return;
    if (expired) {
      cookies_.erase(same);
    } else {
      same->value = c->value;  // keeps its creation time, and so its place in the order
      same->expires = expires;
      same->secure = c->secure;
    }
    return;
  }
  if (expired) return;
  cookies_.push_back(Cookie{url.host, path, c->name, c->value, expires, counter_++, c->secure});

  DropExpired(now);
  const auto perHost = [&] {
    return static_cast<std::size_t>(std::count_if(
        cookies_.begin(), cookies_.end(), [&](const Cookie& k) { return k.host == url.host; }));
  };
  while (perHost() > kMaxPerHost) EvictOldest(&url.host);
  while (cookies_.size() > kMaxTotal) EvictOldest(nullptr);
}

std::string CookieJar::CookieHeader(const Url& url, std::int64_t now) {
  DropExpired(now);
  std::vector<const Cookie*> matching;
  for (const Cookie& k : cookies_) {
    if (k.secure && !url.secure) continue;
    if (k.host == url.host && CookiePathMatches(url.path, k.path)) matching.push_back(&k);
  }
  std::sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->created < b->created;
  });
  std::string header;
  for (const Cookie* k : matching) {
    if (!header.empty()) header += "; ";
    header += k->name + "=" + k->value;
  }
  return header;
}

void CookieJar::DropExpired(std::int64_t now) {
  cookies_.erase(std::remove_if(cookies_.begin(), cookies_.end(),
                                [now](const Cookie& k) { return k.expires <= now; }),
                 cookies_.end());
}

void CookieJar::EvictOldest(const std::string* host) {
  auto oldest = cookies_.end();
  for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
    if (host && it->host != *host) continue;
    if (oldest == cookies_.end() || it->created < oldest->created) oldest = it;
  }
  if (oldest != cookies_.end()) cookies_.erase(oldest);
}

// ---- The client ----

// What the thread that asked for a fetch and the fetch's worker share. The worker writes the
// outcome once, under the lock, and then wakes the waiter; the asking thread reads it after
// that. Either side may be gone first: both hold it through a shared pointer.
struct FetchJob {
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  std::optional<HttpError> error;        // the fetch's failure, when it failed
  std::vector<std::string> setCookies;   // the Set-Cookie values of the answer
  int status = 0;                        // the answer's status code, 0 before an answer
  std::optional<std::string> location;   // the Location of a redirect to follow
  std::atomic<bool> cancelled{false};
  std::shared_ptr<FetchWaiter> waiter;   // fixed before the worker starts

  bool Over() {
    std::lock_guard<std::mutex> lock(mutex);
    return finished || cancelled;
  }
  void Cancel() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      cancelled = true;
    }
    changed.notify_all();
    if (waiter) waiter->Wake();
  }
  void Finish(std::optional<HttpError> failure) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      error = std::move(failure);
      finished = true;
    }
    changed.notify_all();
    if (waiter) waiter->Wake();
  }
};

// The socket work of one GET, on the fetch's worker thread. It holds everything it uses, so
// that it touches nothing of the client that started it; a fetch that is given up on (cancelled,
// or its client gone) ends at its next look at the job, and a name lookup that never returns
// just keeps its own thread.
class HttpFetch {
 public:
  // One hop of a fetch: one GET of `url`. `total` is when the whole fetch, all hops together,
  // must be over.
  HttpFetch(std::shared_ptr<SocketLayer> sockets, std::shared_ptr<TlsLayer> tls,
            std::shared_ptr<FetchJob> job, const Url& url, int timeoutMs,
            std::chrono::steady_clock::time_point total, long long totalSeconds)
      : sockets_(std::move(sockets)),
        tlsLayer_(std::move(tls)),
        job_(std::move(job)),
        text_(ForMessage(url.Text())),
        url_(url),
        timeoutMs_(timeoutMs),
        total_(total),
        totalSeconds_(totalSeconds) {}

  void SetCookieHeader(std::string header) { cookies_ = std::move(header); }

  // The worker's whole life: the fetch, then its outcome into the job.
  void Work() noexcept;

 private:
  using Clock = std::chrono::steady_clock;
  using Deadline = std::optional<Clock::time_point>;
  static constexpr std::size_t kReceiveBytes = 16 * 1024;

  // The Location of a redirect to follow; std::nullopt after a 2xx answer.
  std::optional<std::string> Run();

  Deadline FromNow() const {
    if (timeoutMs_ <= 0) return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeoutMs_);
  }

  // Runs `step` (one wait of at most the given milliseconds) in slices until it makes progress
  // or the deadline passes; then kWouldBlock. Between the slices the fetch ends when it was
  // cancelled, and when the whole fetch took longer than its total limit.
  template <class Step>
  NetStatus Wait(Deadline deadline, Step step) {
    for (;;) {
      if (job_->cancelled) throw Cancelled();
      const Clock::time_point now = Clock::now();
      if (now >= total_) throw TooLong();
      const bool own = deadline && *deadline < total_;
      const Clock::time_point end = own ? *deadline : total_;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
      const int slice = static_cast<int>(std::clamp<long long>(left, 0, HttpClient::kSliceMs));
      const NetStatus s = step(slice);
      if (s != NetStatus::kWouldBlock) return s;
      if (own && Clock::now() >= *deadline) return s;
    }
  }

  HttpError Cancelled() const {
    return HttpError("Der Abruf von " + text_ + " wurde abgebrochen.");
  }
  HttpError TooLong() const {
    return HttpError("Zeit\xC3\xBC" "berschreitung: Der Abruf von " + text_ +
                     " dauerte l\xC3\xA4nger als " + std::to_string(totalSeconds_) +
                     " Sekunden.");
  }
  HttpError TimedOut() const {
    return HttpError("Zeit\xC3\xBC" "berschreitung beim Abrufen von " + text_ + ".");
  }
  HttpError Broken() const {
    if (tls_ && !tls_->Failure().empty()) return HttpError(tls_->Failure());
    return HttpError("Die Verbindung zu " + url_.HostAndPort() + " wurde unterbrochen.");
  }
  HttpError ClosedEarly() const {
    return HttpError("Die Verbindung zu " + url_.HostAndPort() +
                     " wurde vor dem Ende der Antwort geschlossen.");
  }

  std::vector<SocketAddress> Resolve();
  void Connect(const std::vector<SocketAddress>& addresses);
  void StartTls();
  void SendAll(std::string_view data);
  std::size_t ReceiveSome(char* buffer, std::size_t size);

  const std::shared_ptr<SocketLayer> sockets_;
  const std::shared_ptr<TlsLayer> tlsLayer_;
  const std::shared_ptr<FetchJob> job_;
  const std::string text_;
  const Url url_;
  const int timeoutMs_;
  const Clock::time_point total_;
  const long long totalSeconds_;
  std::string cookies_;
  std::unique_ptr<Connection> connection_;
  TlsConnection* tls_ = nullptr;  // connection_, for an https address
  int status_ = 0;
};

std::vector<SocketAddress> HttpFetch::Resolve() {
  SocketLayer& sockets = *sockets_;
  const std::string_view host = WithoutRootDot(url_.host);
  const HttpError unresolved("Der Name \"" + ForMessage(url_.host) +
                             "\" konnte nicht aufgel\xC3\xB6st werden.");
  // Names that never need a name server.
  if (host == "localhost") {
    return {SocketAddress::Ipv4(127, 0, 0, 1, url_.port), SocketAddress::Ipv6Loopback(url_.port)};
  }
  if (const auto v4 = ParseIpv4Literal(url_.host)) {
    return {SocketAddress::Ipv4((*v4)[0], (*v4)[1], (*v4)[2], (*v4)[3], url_.port)};
  }
  if (url_.ipv6Literal) {
    auto found = sockets.Resolve(url_.host, url_.port, true);
    if (found.empty()) throw InvalidAddress(text_);
    return found;
  }
  // ".invalid" is reserved never to resolve; it is not worth asking a name server.
  if (host == "invalid" || (host.size() > 8 && host.substr(host.size() - 8) == ".invalid")) {
    throw unresolved;
  }

  // The system's resolver blocks and cannot be interrupted. It runs on a thread of its own so
  // that the time-out and a cancel hold; a lookup that is given up on finishes in the
  // background and its result is dropped.
  struct Job {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<SocketAddress> addresses;
  };
  auto job = std::make_shared<Job>();
  std::vector<SocketAddress> found;
  try {
    std::thread([job, layer = sockets_, name = url_.host, port = url_.port] {
      std::vector<SocketAddress> result;
      try {
        result = layer->Resolve(name, port, false);
      } catch (...) {
        // Reported as a name that does not resolve.
      }
      std::lock_guard<std::mutex> lock(job->mutex);
      job->addresses = std::move(result);
      job->finished = true;
      job->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: resolve here; this worker then waits for as long as the resolver.
    found = sockets.Resolve(url_.host, url_.port, false);
    if (found.empty()) throw unresolved;
    return found;
  }
  const NetStatus s = Wait(FromNow(), [&](int ms) {
    std::unique_lock<std::mutex> lock(job->mutex);
    return job->done.wait_for(lock, std::chrono::milliseconds(ms), [&] { return job->finished; })
               ? NetStatus::kOk
               : NetStatus::kWouldBlock;
  });
  if (s != NetStatus::kOk) {
    throw HttpError("Zeit\xC3\xBC" "berschreitung beim Aufl\xC3\xB6sen des Namens \"" +
                    ForMessage(url_.host) + "\".");
  }
  {
    std::lock_guard<std::mutex> lock(job->mutex);
    found = std::move(job->addresses);
  }
  if (found.empty()) throw unresolved;
  return found;
}

void HttpFetch::Connect(const std::vector<SocketAddress>& addresses) {
  SocketLayer& sockets = *sockets_;
  const Deadline deadline = FromNow();  // for all addresses together
  for (const SocketAddress& address : addresses) {
    NetStatus s = NetStatus::kFailed;
    std::unique_ptr<Connection> c = sockets.Connect(address, &s);
    if (!c) continue;
    if (s == NetStatus::kWouldBlock) {
      s = Wait(deadline, [&](int ms) { return c->FinishConnect(ms); });
    }
    if (s == NetStatus::kOk) {
      connection_ = std::move(c);
      if (url_.secure) StartTls();
      return;
    }
    if (s == NetStatus::kWouldBlock) {
      throw HttpError("Zeit\xC3\xBC" "berschreitung beim Verbinden mit " + url_.HostAndPort() +
                      ".");
    }
  }
  throw HttpError("Verbindung zu " + url_.HostAndPort() + " fehlgeschlagen.");
}

// The TLS handshake on the fresh connection, within one time-out like the connection attempt.
void HttpFetch::StartTls() {
  auto tls = std::make_unique<TlsConnection>(std::move(connection_),
                                             tlsLayer_->NewEngine(url_.host, timeoutMs_),
                                             url_.HostAndPort());
  tls_ = tls.get();
  connection_ = std::move(tls);
  const NetStatus s = Wait(FromNow(), [&](int ms) { return connection_->FinishConnect(ms); });
  if (s == NetStatus::kOk) return;
  if (s == NetStatus::kWouldBlock) {
    throw HttpError("Zeit\xC3\xBC" "berschreitung beim TLS-Verbindungsaufbau mit " +
                    url_.HostAndPort() + ".");
  }
  throw Broken();
}

void HttpFetch::SendAll(std::string_view data) {
  while (!data.empty()) {
    std::size_t sent = 0;
    const NetStatus s = Wait(FromNow(), [&](int ms) {
      return connection_->Send(data.data(), data.size(), &sent, ms);
    });
    if (s == NetStatus::kWouldBlock) throw TimedOut();
    if (s != NetStatus::kOk) throw Broken();
    data.remove_prefix(std::min(sent, data.size()));
  }
}

// Some bytes, or 0 at the orderly end of the stream.
std::size_t HttpFetch::ReceiveSome(char* buffer, std::size_t size) {
  std::size_t received = 0;
  const NetStatus s = Wait(FromNow(), [&](int ms) {
    return connection_->Receive(buffer, size, &received, ms);
  });
  switch (s) {
    case NetStatus::kOk:
      return std::min(received, size);
    case NetStatus::kClosed:
      return 0;
    case NetStatus::kWouldBlock:
      throw TimedOut();
    default:
      throw Broken();
  }
}

void HttpFetch::Work() noexcept {
  std::optional<HttpError> failure;
  std::optional<std::string> location;
  try {
    location = Run();
  } catch (const HttpError& e) {
    failure = e;
  } catch (const std::exception&) {
    failure = HttpError("Der Abruf von " + text_ + " ist fehlgeschlagen.");
  }
  connection_.reset();  // closed before the waiting thread goes on
  {
    std::lock_guard<std::mutex> lock(job_->mutex);
    job_->location = std::move(location);
    job_->status = status_;
  }
  job_->Finish(std::move(failure));
}

std::optional<std::string> HttpFetch::Run() {
  std::string request = "GET " + url_.Target() + " HTTP/1.1\r\nHost: " + url_.HostHeader() +
                        "\r\nAccept: " + HttpClient::kAccept +
                        "\r\nUser-Agent: " + HttpClient::kUserAgent + "\r\n";
  if (!cookies_.empty()) request += "Cookie: " + cookies_ + "\r\n";
  request += "Connection: close\r\n\r\n";

  Connect(Resolve());
  SendAll(request);

  // The head. Interim answers (100 Continue, 103 Early Hints) are skipped; together with the
  // final head they must stay within kMaxHeadBytes.
  std::vector<char> chunk(kReceiveBytes);
  std::string buffer;
  std::size_t earlierHeads = 0;
  ResponseHead head;
  for (;;) {
    std::size_t end = FindHeadEnd(buffer);
    while (end == npos) {
      if (earlierHeads + buffer.size() >= kMaxHeadBytes) {
        throw Malformed("Kopfzeilen l\xC3\xA4nger als 64 KiB");
      }
      const std::size_t from = buffer.size() >= 2 ? buffer.size() - 2 : 0;
      const std::size_t want = std::min(chunk.size(), kMaxHeadBytes - earlierHeads - buffer.size());
      const std::size_t n = ReceiveSome(chunk.data(), want);
      if (n == 0) throw ClosedEarly();
      buffer.append(chunk.data(), n);
      end = FindHeadEnd(buffer, from);
    }
    head = ParseResponseHead(std::string_view(buffer).substr(0, end));
    buffer.erase(0, end);
    const int code = head.status.code;
    if (code >= 200 || code == 101) break;
    earlierHeads += end;
  }

  // Cookies count whatever the status: a login answers with a redirect and its cookie. The
  // jar takes them when the fetch is over.
  {
    std::vector<std::string> values = head.Values("Set-Cookie");
    std::lock_guard<std::mutex> lock(job_->mutex);
    job_->setCookies = std::move(values);
  }

  const int code = head.status.code;
  status_ = code;
  if (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) {
    // The body of a redirect is not read: the connection ends with this fetch anyway.
    const std::vector<std::string> location = head.Values("Location");
    if (!location.empty()) return location.front();
  }
  if (code < 200 || code > 299) {
    throw HttpError("Der Server antwortete mit Status " + std::to_string(code) + ".", code);
  }

  // The body: read to its end, never kept.
  const BodyFraming framing = DecideBodyFraming(head);
  switch (framing.kind) {
    case BodyKind::kNone:
      return std::nullopt;
    case BodyKind::kLength: {
      std::uint64_t left = framing.length - std::min<std::uint64_t>(framing.length, buffer.size());
      while (left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), left));
        const std::size_t n = ReceiveSome(chunk.data(), want);
        if (n == 0) throw ClosedEarly();
        left -= n;
      }
      return std::nullopt;
    }
    case BodyKind::kChunked: {
      ChunkedDecoder decoder;
      decoder.Feed(buffer);
      while (!decoder.Done()) {
        const std::size_t n = ReceiveSome(chunk.data(), chunk.size());
        if (n == 0) throw ClosedEarly();
        decoder.Feed(std::string_view(chunk.data(), n));
      }
      return std::nullopt;
    }
    case BodyKind::kUntilClose:
      while (ReceiveSome(chunk.data(), chunk.size()) != 0) {
      }
      return std::nullopt;
  }
  return std::nullopt;
}

namespace {

// Every client of the process, for CancelAllFetches.
std::mutex& ClientsMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<HttpClient*>& Clients() {
  static std::vector<HttpClient*> clients;
  return clients;
}

}  // namespace

long long HttpClient::TotalLimitMs(int timeoutMs) {
  if (timeoutMs <= 0) return kUnlimitedTotalMs;
  return static_cast<long long>(kTotalFactor) * timeoutMs + kTotalFixedMs;
}

HttpClient::HttpClient(std::shared_ptr<SocketLayer> sockets, std::shared_ptr<TlsLayer> tls)
    : sockets_(std::move(sockets)), tls_(std::move(tls)) {
  if (!sockets_) throw std::invalid_argument("HttpClient needs a socket layer");
  std::lock_guard<std::mutex> lock(ClientsMutex());
  Clients().push_back(this);
}

HttpClient::~HttpClient() {
  {
    std::lock_guard<std::mutex> lock(ClientsMutex());
    auto& all = Clients();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
  }
  // A worker still running finds its fetch cancelled and ends on its own; nothing waits for it.
  Cancel();
}

void HttpClient::SetReadTimeout(int ms) { timeoutMs_ = std::max(ms, 0); }

void HttpClient::Cancel() {
  std::vector<std::shared_ptr<FetchJob>> running;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    running = running_;
  }
  for (const auto& job : running) job->Cancel();
}

void CancelAllFetches() {
  std::lock_guard<std::mutex> lock(ClientsMutex());
  for (HttpClient* client : Clients()) client->Cancel();
}

void HttpClient::Get(const std::string& url) {
  Url current = ParseUrl(url);  // a malformed address raises here, before any I/O
  const long long total = totalLimitMs_ > 0 ? totalLimitMs_ : TotalLimitMs(timeoutMs_);
  // One limit for the whole fetch, every hop of it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(total);
  for (int hop = 0;; ++hop) {
    if (current.secure && !tls_) {
      throw HttpError("HTTPS steht f\xC3\xBCr " + ForMessage(current.Text()) +
                      " nicht zur Verf\xC3\xBCgung.");
    }
    int status = 0;
    const std::optional<std::string> location =
        FetchOnce(current, deadline, (total + 999) / 1000, &status);
    if (!location) return;
    if (hop == kMaxRedirects) {
      throw HttpError("Zu viele Weiterleitungen beim Abrufen von " + ForMessage(url) + ".",
                      status);
    }
    Url next;
    try {
      next = ResolveRedirect(current, *location);
    } catch (const HttpError& e) {
      throw HttpError("Der Server leitete auf eine Adresse weiter, die nicht abgerufen werden "
                      "kann: " + std::string(e.what()), status);
    }
    if (current.secure && !next.secure) {
      throw HttpError("Der Server " + current.HostAndPort() + " leitete von HTTPS auf HTTP um (" +
                      ForMessage(next.Text()) + "); dem wird nicht gefolgt.", status);
    }
    current = std::move(next);
  }
}

std::optional<std::string> HttpClient::FetchOnce(const Url& address,
                                                 std::chrono::steady_clock::time_point deadline,
                                                 long long totalSeconds, int* status) {
  auto job = std::make_shared<FetchJob>();
  job->waiter = waiter_;
  auto fetch = std::make_shared<HttpFetch>(sockets_, tls_, job, address, timeoutMs_, deadline,
                                           totalSeconds);
  // The cookies of this hop's host, with those the hops before it were given.
  fetch->SetCookieHeader(jar_.CookieHeader(address, NowSeconds()));
  const HttpError cancelled("Der Abruf von " + ForMessage(address.Text()) +
                            " wurde abgebrochen.");

  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) throw cancelled;
    running_.push_back(job);
  }
  struct Unlist {
    HttpClient& client;
    const std::shared_ptr<FetchJob>& job;
    ~Unlist() {
      std::lock_guard<std::mutex> lock(client.mutex_);
      auto& all = client.running_;
      all.erase(std::remove(all.begin(), all.end(), job), all.end());
    }
  } unlist{*this, job};

  try {
    std::thread([fetch] { fetch->Work(); }).detach();
  } catch (const std::system_error&) {
    throw HttpError("F\xC3\xBCr den Abruf von " + ForMessage(address.Text()) +
                    " konnte kein Thread gestartet werden.");
  }

  const auto over = [&job] { return job->Over(); };
  if (job->waiter) {
    job->waiter->Wait(over);
  } else {
    std::unique_lock<std::mutex> lock(job->mutex);
    job->changed.wait(lock, [&job] { return job->finished || job->cancelled; });
  }

  std::optional<HttpError> error;
  std::vector<std::string> setCookies;
  std::optional<std::string> location;
  {
    std::lock_guard<std::mutex> lock(job->mutex);
    if (job->cancelled || !job->finished) {
      // Cancelled, or the waiter gave up: the worker ends on its own at its next look.
      job->cancelled = true;
      throw cancelled;
    }
    error = std::move(job->error);
    setCookies = std::move(job->setCookies);
    location = std::move(job->location);
    *status = job->status;
  }
  const std::int64_t now = NowSeconds();
  for (const std::string& value : setCookies) jar_.Store(address, value, now);
  if (error) throw *error;
  return location;
}

}  // namespace orv
