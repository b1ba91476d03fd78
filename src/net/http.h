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
#include "net/cookies.h"
#include "net/http_error.h"
#include "net/http_framing.h"
#include "net/tls.h"
#include "net/url.h"

namespace orv {

class SocketLayer;

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
