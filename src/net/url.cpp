#include "net/url.h"

#include <algorithm>

#include "net/http_text.h"

namespace orv {

using namespace http_text;

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
                    "\"; abgerufen werden können nur http- und https-Adressen.");
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

}  // namespace orv
