// The invisible fetch of a task's web address: a small HTTP/1.1 client over the socket layer,
// and the pieces it parses answers with. The parsing functions do no I/O: they take bytes and
// text, raise HttpError on malformed input and never read outside what they are given.
//
// What a fetch does: one GET of the address as stored, http or https (TLS through net/tls.h),
// no proxy; redirects (301, 302, 303, 307, 308) are followed up to kMaxRedirects hops, from
// http to https but never back; the answer is read to its end and thrown away; cookies are kept
// in memory for the client's lifetime and sent back to the same host, Secure ones over https
// only. Any failure, and any final status but 2xx, raises HttpError with a German message for
// the user.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "net/tls.h"

namespace orv {

class SocketLayer;

class HttpError : public std::runtime_error {
 public:
  explicit HttpError(const std::string& message, int status = 0)
      : std::runtime_error(message), status_(status) {}
  // The server's status code when the answer was not 2xx; 0 for every other failure.
  int Status() const { return status_; }

 private:
  int status_;
};

// The most a response head (status line and header lines, or a chunked body's trailer) may
// take, in bytes.
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

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

// ---- Response head ----

struct StatusLine {
  int major = 0;
  int minor = 0;
  int code = 0;
  std::string reason;
};

// "HTTP/1.x NNN reason", the line without its line end. The reason may be empty or missing.
StatusLine ParseStatusLine(std::string_view line);

struct HeaderField {
  std::string name;  // as received
  std::string value;  // without surrounding white space; folded lines joined with one space
};

struct ResponseHead {
  StatusLine status;
  std::vector<HeaderField> fields;
  // The values of every field with this name, compared without regard to letter case, in the
  // order received.
  std::vector<std::string> Values(std::string_view name) const;
};

// The end of a response head in `data`: the offset just past the empty line that ends it, or
// std::string_view::npos when it has not arrived yet. Lines end with CR LF or a bare LF. Bytes
// before `from` are known to hold no end; pass the earlier size less two when data grows.
std::size_t FindHeadEnd(std::string_view data, std::size_t from = 0);

// Parses a head as FindHeadEnd delimits it (the empty line at its end may be left off).
ResponseHead ParseResponseHead(std::string_view head);

// ---- Body ----

enum class BodyKind { kNone, kLength, kChunked, kUntilClose };

struct BodyFraming {
  BodyKind kind = BodyKind::kUntilClose;
  std::uint64_t length = 0;  // for kLength
};

// How the body of this answer to a GET ends: none for 1xx, 204 and 304; chunked when that is
// the last transfer coding; another transfer coding runs until the connection closes; else
// Content-Length (several equal values are accepted, differing ones raise); else until close.
BodyFraming DecideBodyFraming(const ResponseHead& head);

// Decodes a chunked body fed in pieces of any size. Chunk extensions are skipped; trailer
// lines are checked like header lines and discarded.
class ChunkedDecoder {
 public:
  // Takes the next bytes. Returns how many it used: all of them, unless the body ended inside
  // `data`. The chunks' data is appended to `out` when given, else discarded. Raises
  // HttpError on a malformed body, a chunk size above 64 bits included.
  std::size_t Feed(std::string_view data, std::string* out = nullptr);
  bool Done() const { return state_ == State::kDone; }
  // The number of data bytes decoded so far.
  std::uint64_t DataBytes() const { return dataBytes_; }

 private:
  enum class State { kSize, kData, kDataCr, kDataLf, kTrailer, kDone };
  void TakeLine();
  State state_ = State::kSize;
  std::string line_;
  std::uint64_t remaining_ = 0;
  std::uint64_t dataBytes_ = 0;
  std::size_t trailerBytes_ = 0;
};

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

// ---- The client ----

// How the thread that asked for a fetch waits while the fetch's worker thread does the socket
// work. The program's waiter keeps the window's message queue going, as a question does.
class FetchWaiter {
 public:
  virtual ~FetchWaiter() = default;
  // Returns once `over()` is true, serving the thread's own work meanwhile. Runs again, nested,
  // when that work starts another fetch. May return while `over()` is still false when the
  // thread must stop waiting (the program ends): the fetch is then given up.
  virtual void Wait(const std::function<bool()>& over) = 0;
  // Ends a sleep inside Wait so that it looks at `over()` again. Called from any thread (the
  // worker when it has finished), also after the client is gone.
  virtual void Wake() = 0;
};

struct FetchJob;

class HttpClient : public Http {
 public:
  // The request's fixed header values.
  static constexpr const char* kAccept = "text/html, */*";
  static constexpr const char* kUserAgent = "Orvalis (http://www.orvalis-planer.example)";
  // How often a fetch's worker looks whether the fetch was cancelled, in milliseconds.
  static constexpr int kSliceMs = 50;
  // The most redirects one fetch follows.
  static constexpr int kMaxRedirects = 5;
  // Each wait of a fetch (name, connection, TLS handshake, room to send, data) is limited by the
  // time-out T; the whole fetch, redirects included, also against a server that trickles one
  // byte per wait, by kTotalFactor * T + kTotalFixedMs (T = 1 s: 64 s; T = 10 s: 100 s).
  // Without a time-out the waits are unlimited (a dead peer is still noticed by the keep-alive
  // probes within about a minute) and the whole fetch ends after kUnlimitedTotalMs, so that one
  // live server that never finishes cannot hold the scheduler for good.
  static constexpr int kTotalFactor = 4;
  static constexpr int kTotalFixedMs = 60 * 1000;
  static constexpr int kUnlimitedTotalMs = 10 * 60 * 1000;
  static long long TotalLimitMs(int timeoutMs);

  // `sockets` must not be null: MakeSocketLayer() (platform/socket.h) in the program. Without a
  // TLS layer an https address ends in an error.
  explicit HttpClient(std::shared_ptr<SocketLayer> sockets,
                      std::shared_ptr<TlsLayer> tls = MakeTlsLayer());
  ~HttpClient() override;
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // A negative value counts as 0, no limit.
  void SetReadTimeout(int ms) override;
  int ReadTimeout() const override { return timeoutMs_; }
  // The socket work runs on a worker thread of its own while the calling thread waits through
  // the waiter (without one it just blocks). The worker touches nothing but its own fetch; the
  // cookie jar is read before it starts and takes the answer's cookies after it has finished,
  // both on the calling thread.
  void Get(const std::string& url) override;

  // How callers of Get wait; null blocks the calling thread.
  void SetWaiter(std::shared_ptr<FetchWaiter> waiter) { waiter_ = std::move(waiter); }
  // The longest a whole fetch may take, in milliseconds, in place of TotalLimitMs(time-out);
  // 0 goes back to that. For the tests, which cannot wait a minute.
  void SetTotalLimit(long long ms) { totalLimitMs_ = std::max(ms, 0LL); }

  // Ends every fetch of this client that runs now, at once: its Get raises HttpError without
  // waiting for its worker. Every later Get raises at once, too. Safe from any thread.
  void Cancel();

  const CookieJar& Cookies() const { return jar_; }

 private:
  // One hop: one GET on a worker thread; the Location to follow, or std::nullopt after a 2xx.
  std::optional<std::string> FetchOnce(const Url& address,
                                       std::chrono::steady_clock::time_point deadline,
                                       long long totalSeconds, int* status);

  std::shared_ptr<SocketLayer> sockets_;
  std::shared_ptr<TlsLayer> tls_;
  int timeoutMs_ = 0;
  long long totalLimitMs_ = 0;
  std::shared_ptr<FetchWaiter> waiter_;
  CookieJar jar_;
  std::mutex mutex_;  // guards the two below
  bool cancelled_ = false;
  std::vector<std::shared_ptr<FetchJob>> running_;
};

// Cancels every HTTP client of the process (HttpClient::Cancel): the program calls it when it
// ends, so that no fetch holds it up.
void CancelAllFetches();

}  // namespace orv
