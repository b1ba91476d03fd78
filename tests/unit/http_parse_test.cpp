// The HTTP client's parsing pieces, without any socket.
#include <gtest/gtest.h>

#include <string>

#include "net/http.h"

namespace orv {
namespace {

// ---- Addresses ----

TEST(HttpParseUrl, PortsPathsAndQueries) {
  Url u = ParseUrl("http://Example.COM");
  EXPECT_EQ(u.host, "example.com");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.Target(), "/");
  EXPECT_EQ(u.HostHeader(), "example.com");

  u = ParseUrl("HTTP://host:8080/a/b?x=1&y=%20#frag");
  EXPECT_EQ(u.port, 8080);
  EXPECT_EQ(u.path, "/a/b");
  EXPECT_EQ(u.query, "?x=1&y=%20");
  EXPECT_EQ(u.Target(), "/a/b?x=1&y=%20");
  EXPECT_EQ(u.HostHeader(), "host:8080");
  EXPECT_EQ(u.HostAndPort(), "host:8080");

  EXPECT_EQ(ParseUrl("http://host?q").Target(), "/?q");
  EXPECT_EQ(ParseUrl("http://host:80/x").HostHeader(), "host");
  EXPECT_EQ(ParseUrl("http://host:/x").port, 80);
  EXPECT_EQ(ParseUrl("http://host:65535/").port, 65535);
  EXPECT_EQ(ParseUrl("http://host#only-fragment").Target(), "/");
  // Bytes above 0x7F are sent percent-encoded ("/ä").
  EXPECT_EQ(ParseUrl("http://h/ä?ä").Target(), "/%C3%A4?%C3%A4");

  u = ParseUrl("http://[::1]:81/p");
  EXPECT_TRUE(u.ipv6Literal);
  EXPECT_EQ(u.host, "::1");
  EXPECT_EQ(u.HostHeader(), "[::1]:81");

  // https: port 443 unless named, and only 443 is left out of the Host header.
  u = ParseUrl("hTTpS://Host/x");
  EXPECT_TRUE(u.secure);
  EXPECT_EQ(u.port, 443);
  EXPECT_EQ(u.HostHeader(), "host");
  EXPECT_EQ(u.Text(), "https://host/x");
  EXPECT_EQ(ParseUrl("https://host:80/").HostHeader(), "host:80");
  EXPECT_EQ(ParseUrl("http://host:443/").HostHeader(), "host:443");
  EXPECT_FALSE(ParseUrl("http://host/").secure);
}

TEST(HttpParseUrl, RedirectTargets) {
  const Url base = ParseUrl("https://site:8443/a/b/page?q=1");
  const auto to = [&](const char* location) { return ResolveRedirect(base, location).Text(); };
  EXPECT_EQ(to("http://other/x"), "http://other/x");
  EXPECT_EQ(to("//other/x"), "https://other/x");  // keeps the scheme
  EXPECT_EQ(to("/x?y#f"), "https://site:8443/x?y");
  EXPECT_EQ(to("next"), "https://site:8443/a/b/next");
  EXPECT_EQ(to("../up/./x"), "https://site:8443/a/up/x");
  EXPECT_EQ(to("../../../../x"), "https://site:8443/x");
  EXPECT_EQ(to("./"), "https://site:8443/a/b/");
  EXPECT_EQ(to("?r=2"), "https://site:8443/a/b/page?r=2");
  EXPECT_EQ(to("#top"), "https://site:8443/a/b/page?q=1");
  EXPECT_EQ(ResolveRedirect(ParseUrl("http://[::1]:81/a"), "b").Text(), "http://[::1]:81/b");
  for (const char* bad : {"", "ftp://site/", "javascript:alert(1)", "http://a b/", "http://",
                          "/a b", "mailto:x@site"}) {
    EXPECT_THROW(ResolveRedirect(base, bad), HttpError) << bad;
  }
}

TEST(HttpParseUrl, RejectsBadAddressesAndOtherSchemes) {
  const char* bad[] = {
      "", "host/path", "http:/host/", "http:host", "http://", "http:///path", "http://:80/",
      "http://host:0/", "http://host:65536/", "http://host:8o/", "http://host:-1/",
      "http://host:123456/", "http://ho st/", "http://host/a b", "http://host/\x01",
      "http://host/\x7F", " http://host/", "http://host/\n", "http://user:pw@host/",
      "http://a..b/", "http://.a/", "http://häst/", "http://[::1/", "http://[::1]x/",
      "http://[zz]/", "1http://host/", "http://a:1:2/"};
  for (const char* text : bad) {
    EXPECT_THROW(ParseUrl(text), HttpError) << text;
  }
  EXPECT_THROW(ParseUrl("ftp://host/"), HttpError);
  EXPECT_THROW(ParseUrl("https://user@host/"), HttpError);
  EXPECT_THROW(ParseUrl("file:///c:/x"), HttpError);
  EXPECT_THROW(ParseUrl("httpx://host/"), HttpError);
}

TEST(HttpParseUrl, Ipv4Literals) {
  const auto a = ParseIpv4Literal("127.0.0.1");
  ASSERT_TRUE(a);
  EXPECT_EQ(*a, (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_TRUE(ParseIpv4Literal("255.255.255.255"));
  for (const char* text : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.", "01.2.3.4", "a.b.c.d",
                           "1..2.3", "localhost", "", "1.2.3.4 "}) {
    EXPECT_FALSE(ParseIpv4Literal(text)) << text;
  }
}

// ---- Response head ----

TEST(HttpParseHead, StatusLines) {
  StatusLine s = ParseStatusLine("HTTP/1.1 200 OK");
  EXPECT_EQ(s.code, 200);
  EXPECT_EQ(s.minor, 1);
  EXPECT_EQ(s.reason, "OK");
  s = ParseStatusLine("HTTP/1.0 404 Not Found here");
  EXPECT_EQ(s.code, 404);
  EXPECT_EQ(s.minor, 0);
  EXPECT_EQ(s.reason, "Not Found here");
  EXPECT_EQ(ParseStatusLine("HTTP/1.1 204").code, 204);
  EXPECT_EQ(ParseStatusLine("HTTP/1.1 500 ").reason, "");

  for (const char* text : {"", "HTTP/1.1", "HTTP/1.1 20", "HTTP/1.1 2000 OK", "HTTP/1.1 2OO OK",
                           "HTTP/1.1  200 OK", "HTTP/2 200 OK", "HTTP/2.0 200 OK",
                           "http/1.1 200 OK", "ICY 200 OK", "HTTP/1.1 099 Low",
                           "HTTP/1.1 200 O\x01K", "<html>"}) {
    EXPECT_THROW(ParseStatusLine(text), HttpError) << text;
  }
}

TEST(HttpParseHead, FindsTheEndWithEitherLineEnd) {
  const std::string crlf = "HTTP/1.1 200 OK\r\nA: b\r\n\r\nBODY";
  EXPECT_EQ(FindHeadEnd(crlf), crlf.size() - 4);
  const std::string lf = "HTTP/1.1 200 OK\nA: b\n\nBODY";
  EXPECT_EQ(FindHeadEnd(lf), lf.size() - 4);
  EXPECT_EQ(FindHeadEnd("HTTP/1.1 200 OK\r\nA: b\r\n"), std::string_view::npos);
  EXPECT_EQ(FindHeadEnd("HTTP/1.1 200 OK\r\n\r"), std::string_view::npos);
  // Searching again from two bytes before the old end still finds an end split across reads.
  const std::string split = "HTTP/1.1 200 OK\r\n\r\n";
  const std::size_t before = split.find('\n') + 1;  // what the first read brought
  EXPECT_EQ(FindHeadEnd(split, before - 2), split.size());
}

TEST(HttpParseHead, FieldsFoldingAndGarbage) {
  const ResponseHead h = ParseResponseHead(
      "HTTP/1.1 200 OK\r\n"
      "Content-Type:  text/html \r\n"
      "X-Long: first\r\n"
      "   second\r\n"
      "\tthird\r\n"
      "Set-Cookie: a=1\n"
      "set-cookie: b=2\r\n"
      "Empty:\r\n"
      "\r\n");
  ASSERT_EQ(h.fields.size(), 5u);
  EXPECT_EQ(h.fields[0].value, "text/html");
  EXPECT_EQ(h.fields[1].value, "first second third");
  EXPECT_EQ(h.Values("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_EQ(h.Values("empty"), (std::vector<std::string>{""}));
  EXPECT_TRUE(h.Values("Missing").empty());

  const char* bad[] = {
      "HTTP/1.1 200 OK\r\n continued-first\r\n\r\n",  // a continuation with nothing before
      "HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n",
      "HTTP/1.1 200 OK\r\n: empty name\r\n\r\n",
      "HTTP/1.1 200 OK\r\nName : space before colon\r\n\r\n",
      "HTTP/1.1 200 OK\r\nNa(me: x\r\n\r\n",
      "HTTP/1.1 200 OK\r\nA: b\rInjected: c\r\n\r\n",  // a lone CR is no line end
      "HTTP/1.1 200 OK\r\nA: b\x01\r\n\r\n",
      "garbage\r\n\r\n",
      "",
  };
  for (const char* text : bad) {
    EXPECT_THROW(ParseResponseHead(text), HttpError) << text;
  }
  const char withNul[] = "HTTP/1.1 200 OK\r\nA: b\0c\r\n\r\n";
  EXPECT_THROW(ParseResponseHead(std::string_view(withNul, sizeof withNul - 1)), HttpError);
}

// ---- Body ----

BodyFraming Framing(const std::string& head) { return DecideBodyFraming(ParseResponseHead(head)); }

TEST(HttpParseBody, Framing) {
  EXPECT_EQ(Framing("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n").kind, BodyKind::kNone);
  EXPECT_EQ(Framing("HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n").kind,
            BodyKind::kNone);
  EXPECT_EQ(Framing("HTTP/1.1 200 OK\r\n\r\n").kind, BodyKind::kUntilClose);

  BodyFraming f = Framing("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n");
  EXPECT_EQ(f.kind, BodyKind::kLength);
  EXPECT_EQ(f.length, 12u);
  f = Framing("HTTP/1.1 200 OK\r\nContent-Length: 7, 7\r\nContent-Length: 7\r\n\r\n");
  EXPECT_EQ(f.length, 7u);
  EXPECT_EQ(Framing("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").length, 0u);

  // A transfer coding overrides Content-Length; chunked counts only as the last coding.
  EXPECT_EQ(Framing("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: Chunked\r\n\r\n")
                .kind,
            BodyKind::kChunked);
  EXPECT_EQ(Framing("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n").kind,
            BodyKind::kChunked);
  EXPECT_EQ(Framing("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n").kind,
            BodyKind::kUntilClose);

  for (const char* text : {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 5, 6\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n"}) {
    EXPECT_THROW(Framing(text), HttpError) << text;
  }
}

TEST(HttpParseBody, ChunkedInAnyPieces) {
  const std::string body =
      "4;ext=1\r\nWiki\r\n"
      "5 ; a=\"b;c\"\r\npedia\r\n"
      "00E\r\n in\r\n\r\nchunks.\r\n"
      "0\r\n"
      "Expires: never\r\n"
      "\r\n"
      "NEXT";
  const std::string data = "Wikipedia in\r\n\r\nchunks.";
  {
    ChunkedDecoder d;
    std::string out;
    EXPECT_EQ(d.Feed(body, &out), body.size() - 4);  // stops at the end of the body
    EXPECT_TRUE(d.Done());
    EXPECT_EQ(out, data);
    EXPECT_EQ(d.DataBytes(), data.size());
  }
  {
    ChunkedDecoder d;
    std::string out;
    std::size_t used = 0;
    for (std::size_t i = 0; i < body.size() && !d.Done(); ++i) {
      used += d.Feed(std::string_view(body).substr(i, 1), &out);
    }
    EXPECT_TRUE(d.Done());
    EXPECT_EQ(used, body.size() - 4);
    EXPECT_EQ(out, data);
  }
  {
    ChunkedDecoder d;  // bare LF line ends
    std::string out;
    d.Feed("3\nabc\n0\n\n", &out);
    EXPECT_TRUE(d.Done());
    EXPECT_EQ(out, "abc");
  }
  {
    ChunkedDecoder d;  // not done before the last empty line
    d.Feed("3\r\nabc\r\n0\r\nTrailer: x\r\n");
    EXPECT_FALSE(d.Done());
  }
}

TEST(HttpParseBody, BadChunkedBodies) {
  const char* bad[] = {
      "zz\r\n",   "\r\n",       "-1\r\n", " 5\r\nhello\r\n", "5x\r\nhello\r\n",
      "0x5\r\nhello\r\n",       "5\r\nhelloXX",  // data not followed by its line end
      "5\r\nhello\rX",          "1\r\na\r\n0\r\nbad trailer\r\n\r\n",
      "10000000000000000\r\n",  // 17 hex digits: one past 64 bits
      "FFFFFFFFFFFFFFFFF\r\n",
  };
  for (const char* text : bad) {
    ChunkedDecoder d;
    EXPECT_THROW(d.Feed(text), HttpError) << text;
  }
  // The largest size that fits, and leading zeros, are fine: the decoder then waits for data.
  ChunkedDecoder big;
  big.Feed("FFFFFFFFFFFFFFFF\r\nabc");
  EXPECT_EQ(big.DataBytes(), 3u);
  EXPECT_FALSE(big.Done());
  ChunkedDecoder zeros;
  std::string out;
  zeros.Feed("00000000000000000000001\r\nz\r\n0\r\n\r\n", &out);
  EXPECT_TRUE(zeros.Done());
  EXPECT_EQ(out, "z");
  // A size line that never ends is cut off, and so is an endless trailer.
  ChunkedDecoder endless;
  EXPECT_THROW(endless.Feed("1;" + std::string(kMaxHeadBytes, 'x')), HttpError);
  ChunkedDecoder trailers;
  trailers.Feed("0\r\n");
  const std::string line = "X-T: " + std::string(95, 't') + "\r\n";
  EXPECT_THROW(
      for (std::size_t sent = 0; sent <= kMaxHeadBytes; sent += line.size()) trailers.Feed(line),
      HttpError);
}

// ---- Cookies ----

constexpr std::int64_t kNow = 1700000000;  // 2023-11-14

TEST(HttpCookies, ParseSetCookie) {
  auto c = ParseSetCookie(" sid = a b ; Path=/app; Max-Age=60; HttpOnly; Secure");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "sid");
  EXPECT_EQ(c->value, "a b");
  EXPECT_EQ(c->path, "/app");
  EXPECT_EQ(c->maxAge, 60);
  EXPECT_TRUE(c->secure);

  c = ParseSetCookie("x=\"q\"=1; path=relative; max-age=abc; expires=nonsense");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->value, "\"q\"=1");
  EXPECT_FALSE(c->path);  // not starting with '/': the default path applies
  EXPECT_FALSE(c->maxAge);
  EXPECT_FALSE(c->expires);

  EXPECT_EQ(ParseSetCookie("a=; Max-Age=-5")->maxAge, -5);
  EXPECT_EQ(ParseSetCookie("a=1; Max-Age=99999999999999999999999999")->maxAge,
            1000LL * 366 * 86400);
  EXPECT_FALSE(ParseSetCookie("novalue"));
  EXPECT_FALSE(ParseSetCookie("=value"));
  EXPECT_FALSE(ParseSetCookie(""));
}

TEST(HttpCookies, Dates) {
  EXPECT_EQ(ParseCookieDate("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
  EXPECT_EQ(ParseCookieDate("Wed, 09 Jun 2021 10:18:14 GMT"), 1623233894);
  EXPECT_EQ(ParseCookieDate("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777);
  EXPECT_EQ(ParseCookieDate("Sun Nov  6 08:49:37 1994"), 784111777);
  EXPECT_EQ(ParseCookieDate("29 Feb 2024 23:59:59"), 1709251199);
  for (const char* text : {"", "nonsense", "Thu, 01 Jan 1970", "Thu, 32 Jan 2020 00:00:00 GMT",
                           "29 Feb 2023 00:00:00", "01 Jan 2020 24:00:00", "01 Foo 2020 00:00:00",
                           "01 Jan 1600 00:00:00"}) {
    EXPECT_FALSE(ParseCookieDate(text)) << text;
  }
}

TEST(HttpCookies, Paths) {
  EXPECT_EQ(DefaultCookiePath("/"), "/");
  EXPECT_EQ(DefaultCookiePath("/login"), "/");
  EXPECT_EQ(DefaultCookiePath("/app/login"), "/app");
  EXPECT_EQ(DefaultCookiePath("/app/sub/"), "/app/sub");
  EXPECT_EQ(DefaultCookiePath(""), "/");

  EXPECT_TRUE(CookiePathMatches("/docs", "/docs"));
  EXPECT_TRUE(CookiePathMatches("/docs/", "/docs"));
  EXPECT_TRUE(CookiePathMatches("/docs/web", "/docs"));
  EXPECT_TRUE(CookiePathMatches("/docs/web", "/docs/"));
  EXPECT_TRUE(CookiePathMatches("/anything", "/"));
  EXPECT_FALSE(CookiePathMatches("/docsx", "/docs"));
  EXPECT_FALSE(CookiePathMatches("/doc", "/docs"));
  EXPECT_FALSE(CookiePathMatches("/", "/docs"));
}

TEST(HttpCookies, JarStoresReplacesAndDeletes) {
  const Url app = ParseUrl("http://site:8080/app/page?x=1");
  const Url root = ParseUrl("http://site/");
  const Url other = ParseUrl("http://other/app/page");
  CookieJar jar;
  jar.Store(app, "a=1; Path=/", kNow);
  jar.Store(app, "b=2", kNow);  // default path /app
  jar.Store(app, "s=3; Secure", kNow);  // not from an http answer
  EXPECT_EQ(jar.CookieHeader(app, kNow), "b=2; a=1");  // longer path first
  EXPECT_EQ(jar.CookieHeader(root, kNow), "a=1");      // the port does not count
  EXPECT_EQ(jar.CookieHeader(other, kNow), "");        // another host gets nothing

  jar.Store(root, "a=changed", kNow);  // same name, host and path: replaced, keeps its place
  jar.Store(app, "c=4; Path=/", kNow);
  EXPECT_EQ(jar.CookieHeader(root, kNow), "a=changed; c=4");

  jar.Store(root, "a=x; Max-Age=0", kNow);
  jar.Store(root, "c=x; Expires=Thu, 01 Jan 1970 00:00:00 GMT", kNow);
  jar.Store(app, "b=x; Max-Age=-1", kNow);
  EXPECT_EQ(jar.CookieHeader(app, kNow), "");
  EXPECT_EQ(jar.Size(), 0u);

  // Max-Age wins over Expires; a cookie runs out with time.
  jar.Store(root, "t=1; Max-Age=10; Expires=Thu, 01 Jan 1970 00:00:00 GMT", kNow);
  jar.Store(root, "u=1; Expires=Wed, 09 Jun 2100 10:18:14 GMT", kNow);
  EXPECT_EQ(jar.CookieHeader(root, kNow + 9), "t=1; u=1");
  EXPECT_EQ(jar.CookieHeader(root, kNow + 10), "u=1");
  EXPECT_EQ(jar.Size(), 1u);
}

TEST(HttpCookies, SecureCookiesStayWithHttps) {
  const Url plain = ParseUrl("http://site/");
  const Url secure = ParseUrl("https://site/");
  CookieJar jar;
  jar.Store(secure, "s=1; Secure", kNow);
  jar.Store(secure, "p=1", kNow);
  EXPECT_EQ(jar.CookieHeader(secure, kNow), "s=1; p=1");
  EXPECT_EQ(jar.CookieHeader(plain, kNow), "p=1");
  // An http answer can neither replace nor delete the Secure cookie; https can.
  jar.Store(plain, "s=evil", kNow);
  jar.Store(plain, "s=; Max-Age=0", kNow);
  EXPECT_EQ(jar.CookieHeader(secure, kNow), "s=1; p=1");
  jar.Store(secure, "s=2", kNow);  // no longer Secure
  EXPECT_EQ(jar.CookieHeader(plain, kNow), "s=2; p=1");
}

TEST(HttpCookies, JarIsBounded) {
  CookieJar jar;
  const Url u = ParseUrl("http://site/");
  for (std::size_t i = 0; i < CookieJar::kMaxPerHost + 5; ++i) {
    std::string pair = "n";
    pair += std::to_string(i);
    pair += "=v";
    jar.Store(u, pair, kNow);
  }
  EXPECT_EQ(jar.Size(), CookieJar::kMaxPerHost);
  const std::string header = jar.CookieHeader(u, kNow);
  EXPECT_EQ(header.find("n4=v"), std::string::npos);  // the oldest went first
  EXPECT_EQ(header.rfind("n5=v", 0), 0u);
  std::string big(CookieJar::kMaxCookieBytes, 'x');
  big.insert(0, "big=");
  jar.Store(u, big, kNow);
  EXPECT_EQ(jar.CookieHeader(u, kNow).find("big="), std::string::npos);
}

}  // namespace
}  // namespace orv
