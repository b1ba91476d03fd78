// The addresses of the invisible fetch: parsing a task's web address and resolving a redirect's
// Location against it. No I/O; malformed input raises HttpError.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/http_error.h"

namespace orv {

// ---- Addresses ----

struct Url {
  bool secure = false;       // https
  std::string host;          // lower case; an IPv6 literal without its brackets
  bool ipv6Literal = false;  // host was written in brackets
  std::uint16_t port = 80;   // 443 by default for https
  std::string path;   // at least "/", without the query; bytes above 0x7F percent-encoded
  std::string query;  // with its leading '?', or empty; the fragment is never kept

  // What goes into the request line.
  std::string Target() const { return path + query; }
  // What goes into the Host header: host, with ":port" unless it is the scheme's default port.
  std::string HostHeader() const;
  // host:port for messages, with brackets around an IPv6 literal.
  std::string HostAndPort() const;
  // The whole address again, without the fragment.
  std::string Text() const;
};

// Parses an http or https address (the scheme in any letter case). Raises HttpError for every
// other scheme and for a malformed address: no "//", an empty or invalid host, a bad port,
// user name or password, control characters or spaces anywhere.
Url ParseUrl(std::string_view text);

// The address a redirect's Location names, seen from the page at `base`: an absolute address,
// or one relative to `base` ("//host/x", "/x", "x", "../x", "?q"). Raises HttpError as
// ParseUrl does, and for an empty Location.
Url ResolveRedirect(const Url& base, std::string_view location);

// The four bytes of a dotted IPv4 literal written as four decimal numbers 0..255 ("10.0.0.1");
// std::nullopt for anything else.
std::optional<std::array<std::uint8_t, 4>> ParseIpv4Literal(std::string_view host);

}  // namespace orv
