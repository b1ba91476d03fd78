#include "net/cookies.h"

#include <algorithm>

#include "net/http_text.h"

namespace orv {

using namespace http_text;

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

}  // namespace orv
