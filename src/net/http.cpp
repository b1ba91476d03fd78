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

#include "net/http_text.h"
#include "platform/socket.h"

namespace orv {
using namespace http_text;

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
  // The time-outs name the server, not the whole address: the message is the reason in the
  // record of runs, beside the task that holds the address, and stays short there.
  HttpError TooLong() const {
    return HttpError("Zeitüberschreitung: Der Abruf dauerte länger als " +
                     std::to_string(totalSeconds_) + " Sekunden.");
  }
  HttpError TimedOut() const {
    return HttpError("Zeitüberschreitung beim Warten auf " + url_.HostAndPort() + ".");
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
                             "\" konnte nicht aufgelöst werden.");
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
    throw HttpError("Zeitüberschreitung beim Auflösen des Namens \"" +
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
      throw HttpError("Zeitüberschreitung beim Verbinden mit " + url_.HostAndPort() +
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
    throw HttpError("Zeitüberschreitung beim TLS-Verbindungsaufbau mit " +
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
        throw Malformed("Kopfzeilen länger als 64 KiB");
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
      throw HttpError("HTTPS steht für " + ForMessage(current.Text()) +
                      " nicht zur Verfügung.");
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
    throw HttpError("Für den Abruf von " + ForMessage(address.Text()) +
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
