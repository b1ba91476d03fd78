// The cookies of the invisible fetch: Set-Cookie parsing, the cookie dates and paths, and the jar
// that a client keeps in memory for its lifetime.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/url.h"

namespace orv {

// ---- Cookies ----

// A Set-Cookie header as the jar takes it. Times are seconds since 1970-01-01 UTC.
struct SetCookie {
  std::string name;
  std::string value;
  std::optional<std::string> path;    // the Path attribute when it starts with '/'
  std::optional<std::int64_t> maxAge;  // seconds; zero or less deletes
  std::optional<std::int64_t> expires;  // the Expires attribute, when its date parses
  bool secure = false;
};

// std::nullopt for a header the jar ignores: no '=' in the first part, an empty name.
std::optional<SetCookie> ParseSetCookie(std::string_view header);

// A cookie date ("Wed, 09 Jun 2021 10:18:14 GMT" and the older forms), read the lenient way
// browsers read it; seconds since 1970-01-01 UTC, or std::nullopt when no valid date is found.
std::optional<std::int64_t> ParseCookieDate(std::string_view text);

// The path a cookie gets without a Path attribute: the request path up to, not including, its
// last '/'; "/" when that leaves nothing.
std::string DefaultCookiePath(std::string_view requestPath);

// Whether a cookie with `cookiePath` is sent with a request for `requestPath`: the same path,
// or a prefix of it ending in '/' or followed by '/'.
bool CookiePathMatches(std::string_view requestPath, std::string_view cookiePath);

// The cookies of one client, in memory only. Cookies are host-only (a Domain attribute is
// ignored) and do not depend on the port. A Secure cookie is taken only from an https answer and
// sent only over https; an http answer cannot replace it.
class CookieJar {
 public:
  static constexpr std::size_t kMaxPerHost = 50;
  static constexpr std::size_t kMaxTotal = 1000;
  static constexpr std::size_t kMaxCookieBytes = 4096;  // name and value together

  // Takes one Set-Cookie header of an answer to `url`, received at `now`.
  void Store(const Url& url, std::string_view setCookieHeader, std::int64_t now);
  // The Cookie header value for a request to `url` at `now` ("a=1; b=2"), empty when no
  // cookie applies. Longer paths come first, then older cookies. Expired cookies are dropped.
  std::string CookieHeader(const Url& url, std::int64_t now);
  std::size_t Size() const { return cookies_.size(); }

 private:
  struct Cookie {
    std::string host;
    std::string path;
    std::string name;
    std::string value;
    std::int64_t expires;  // kNever for a session cookie
    std::uint64_t created;
    bool secure;
  };
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  void DropExpired(std::int64_t now);
  void EvictOldest(const std::string* host);
  std::vector<Cookie> cookies_;
  std::uint64_t counter_ = 0;
};

}  // namespace orv
