// Fuzz target: what a web server sends back to the invisible fetch, and the address it is sent to.
//
// Input: the first byte chooses the mode and how the bytes are cut into reads; the rest is the
// data.
//   byte 0 in 0xC0..0xDF    the rest is a task's URL: ParseUrl, and the cookie path rules on it;
//                           and a redirect's Location: ResolveRedirect from an https page
//   byte 0 in 0xE0..0xFF    https: the rest is the TLS records the server sends after its
//                           handshake (tests/support/fake_tls.h: records carry their data as it
//                           is), read in pieces of 1 + (byte 0 & 0x1F) bytes, so that the record
//                           framing runs under the HTTP client as below
//   otherwise               the rest is everything the server sends on the connection (with
//                           0x80: sent over and over, 128 KiB in all; with 0x40: the server
//                           resets the connection at the end instead of closing it):
//     - the client fetches it twice through a fake socket layer (reads cut into pieces of
//       1 + (byte 0 & 0x3F) bytes, the second fetch in one-byte reads, or 997-byte reads for the
//       repeated data), so that the head loop,
//       interim answers, Content-Length, chunked bodies and cookies run as in the program;
//       both fetches must end alike, and every request line, the second one's Cookie header
//       with the first answer's cookies included, must be clean;
//     - the parsing functions run on the same bytes with their invariants: the head end found
//       piece by piece equals the one found at once, the parsed fields are clean, a chunked
//       body decodes to the same data in any pieces, the cookie jar stays within its limits.
// Redirects are followed (each hop reads the same bytes again); only 127.0.0.1:8080 answers.
// Failures must be HttpError; any other exception, a sanitizer report or a broken invariant is
// a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "net/http.h"
#include "platform/socket.h"
#include "net/tls.h"
#include "support/fake_tls.h"

namespace orv {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz_http_response: %s %s\n", what, detail.c_str());
  std::abort();
}
#define CHECK(cond, detail)                    \
  do {                                         \
    if (!(cond)) Fail("CHECK " #cond, detail); \
  } while (0)

constexpr std::size_t npos = std::string_view::npos;
constexpr std::int64_t kNow = 1700000000;  // 14 November 2023

bool Clean(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c < 0x20 && c != '\t') || c == 0x7F;
  });
}

bool IsToken(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != npos;
  });
}

// ---- A socket layer that plays back the server's bytes ----

struct Script {
  std::string_view answer;   // what the server sends
  std::size_t length = 0;    // how much of it, repeated: answer.size() or more
  bool reset = false;        // the server resets the connection at the end
  std::size_t piece = 1;     // bytes per read
  std::string request;       // what the client sent
  int connections = 0;
};

class FakeConnection : public Connection {
 public:
  explicit FakeConnection(Script& s) : s_(s) {}
  NetStatus FinishConnect(int) override { return NetStatus::kOk; }
  NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int) override {
    // Takes at most 100 bytes at a time, as a full send buffer would.
    *sent = std::min<std::size_t>(size, 100);
    s_.request.append(data, *sent);
    return NetStatus::kOk;
  }
  NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int) override {
    CHECK(size > 0, "a read of nothing");
    if (pos_ >= s_.length) return s_.reset ? NetStatus::kReset : NetStatus::kClosed;
    const std::size_t n = std::min({size, s_.piece, s_.length - pos_});
    for (std::size_t i = 0; i < n; ++i) buffer[i] = s_.answer[(pos_ + i) % s_.answer.size()];
    pos_ += n;
    *received = n;
    return NetStatus::kOk;
  }
  void ShutdownSend() override {}
  void Abort() override {}

 private:
  Script& s_;
  std::size_t pos_ = 0;
};

class FakeSockets : public SocketLayer {
 public:
  explicit FakeSockets(Script& s) : s_(s) {}
  // A redirect may name any host: none resolves.
  std::vector<SocketAddress> Resolve(const std::string&, std::uint16_t, bool) override {
    return {};
  }
  std::unique_ptr<Connection> Connect(const SocketAddress& address, NetStatus* status) override {
    if (!(address == SocketAddress::Ipv4(127, 0, 0, 1, 8080))) {
      *status = NetStatus::kRefused;
      return nullptr;
    }
    ++s_.connections;
    *status = NetStatus::kWouldBlock;
    return std::make_unique<FakeConnection>(s_);
  }
  std::unique_ptr<Listener> ListenLoopback() override { return nullptr; }

 private:
  Script& s_;
};

// The data of the records a TLS client sent, every record checked on the way.
std::string Unframe(std::string_view sent) {
  std::string plain;
  while (!sent.empty()) {
    std::size_t size = 0;
    CHECK(CheckRecord(sent, &size) == RecordCheck::kComplete, "the client sent a broken record");
    if (sent[0] == 23) plain.append(sent.substr(kTlsRecordHeader, size - kTlsRecordHeader));
    sent.remove_prefix(size);
  }
  return plain;
}

// Every line of a request ends with CR LF and holds neither CR nor LF otherwise.
void CheckRequest(const std::string& request) {
  CHECK(request.size() >= 4 && request.compare(request.size() - 4, 4, "\r\n\r\n") == 0, request);
  std::size_t pos = 0;
  while (pos < request.size()) {
    const std::size_t end = request.find("\r\n", pos);
    CHECK(end != std::string::npos, request);
    const std::string_view line(request.data() + pos, end - pos);
    CHECK(line.find('\r') == npos && line.find('\n') == npos, request);
    CHECK(Clean(line), request);
    pos = end + 2;
  }
}

void Fetches(std::string_view answer, std::size_t piece, bool repeat, bool reset, bool tls) {
  Script script;
  std::string stream;
  if (tls) {
    stream = kFakeServerHello + std::string(answer);
    answer = stream;
  }
  script.answer = answer;
  script.length = repeat && !answer.empty() ? 128 * 1024 : answer.size();
  script.reset = reset;
  auto sockets = std::make_shared<FakeSockets>(script);
  HttpClient client(sockets, std::make_shared<FakeTlsLayer>());
  const std::string url =
      std::string(tls ? "https" : "http") + "://127.0.0.1:8080/dir/page?q=1";
  const auto request = [&] { return tls ? Unframe(script.request) : script.request; };
  constexpr int kMostConnections = 1 + HttpClient::kMaxRedirects;
  bool firstOk = false;
  try {
    script.piece = piece;
    client.Get(url);
    firstOk = true;
  } catch (const HttpError& e) {
    CHECK(e.Status() == 0 || e.Status() < 200 || e.Status() > 299, e.what());
  }
  CHECK(script.connections >= 1 && script.connections <= kMostConnections,
        "one connection per hop");
  CheckRequest(request());
  CHECK(client.Cookies().Size() <= CookieJar::kMaxPerHost, "too many cookies for one host");
  const int first = script.connections;

  // The same answer again in one-byte reads, with the cookies of the first answer.
  script.request.clear();
  script.piece = repeat ? 997 : 1;
  bool secondOk = false;
  try {
    client.Get(url);
    secondOk = true;
  } catch (const HttpError&) {
  }
  CHECK(firstOk == secondOk, "the same answer read in other pieces ends differently");
  CheckRequest(request());
  CHECK(script.connections == 2 * first, "the same redirects both times");
}

// ---- The parsing functions on their own ----

template <class F>
void Parser(const char* what, F&& f) {
  try {
    f();
  } catch (const HttpError&) {
  } catch (const std::exception& e) {
    Fail(what, std::string("raised ") + typeid(e).name() + ": " + e.what());
  }
}

void Chunked(std::string_view body, std::size_t piece) {
  ChunkedDecoder whole;
  std::string wholeOut;
  std::size_t wholeUsed = 0;
  bool wholeOk = true;
  try {
    wholeUsed = whole.Feed(body, &wholeOut);
  } catch (const HttpError&) {
    wholeOk = false;
  }
  CHECK(wholeUsed <= body.size(), "used more than it was given");
  if (wholeOk) CHECK(wholeUsed == body.size() || whole.Done(), "stopped early without an end");
  CHECK(wholeOut.size() == whole.DataBytes() || !wholeOk, "data count");

  ChunkedDecoder pieces;
  std::string piecesOut;
  std::size_t used = 0;
  bool piecesOk = true;
  try {
    for (std::size_t i = 0; i < body.size() && !pieces.Done(); i += piece) {
      const std::string_view part = body.substr(i, piece);
      const std::size_t n = pieces.Feed(part, &piecesOut);
      CHECK(n == part.size() || pieces.Done(), "stopped inside a piece without an end");
      used += n;
    }
  } catch (const HttpError&) {
    piecesOk = false;
  }
  CHECK(wholeOk == piecesOk, "a chunked body fails in some pieces only");
  if (wholeOk) {
    CHECK(whole.Done() == pieces.Done() && wholeUsed == used && wholeOut == piecesOut,
          "a chunked body decodes differently in pieces");
  }
}

void Parse(std::string_view data, std::size_t piece) {
  // The end of the head, at once and as the client finds it read by read.
  const std::size_t end = FindHeadEnd(data);
  std::size_t found = npos;
  for (std::size_t have = std::min(piece, data.size()), before = 0;; ) {
    const std::size_t from = before >= 2 ? before - 2 : 0;
    found = FindHeadEnd(data.substr(0, have), from);
    if (found != npos || have == data.size()) break;
    before = have;
    have = std::min(have + piece, data.size());
  }
  CHECK(found == end, "the head end depends on the reads");
  CHECK(end == npos || (end >= 2 && end <= data.size() && data[end - 1] == '\n'), "head end");

  const std::string_view head = data.substr(0, end == npos ? data.size() : end);
  const std::size_t firstLine = head.find('\n');
  Parser("ParseStatusLine", [&] {
    std::string_view line = head.substr(0, firstLine);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const StatusLine s = ParseStatusLine(line);
    CHECK(s.major == 1 && s.minor >= 0 && s.minor <= 9 && s.code >= 100 && s.code <= 999, "status");
    CHECK(Clean(s.reason), "reason");
  });

  Parser("ParseResponseHead", [&] {
    const ResponseHead h = ParseResponseHead(head);
    for (const HeaderField& f : h.fields) {
      CHECK(IsToken(f.name), f.name);
      CHECK(Clean(f.value), f.value);
      CHECK(f.value.empty() || (f.value.front() != ' ' && f.value.front() != '\t' &&
                                f.value.back() != ' ' && f.value.back() != '\t'),
            f.value);
    }
    Parser("DecideBodyFraming", [&] { DecideBodyFraming(h); });

    const Url url = ParseUrl("http://www.example.com/shop/cart?x=1");
    CookieJar jar;
    for (const std::string& v : h.Values("Set-Cookie")) {
      if (const auto c = ParseSetCookie(v)) {
        CHECK(!c->name.empty(), v);
        CHECK(!c->path || (!c->path->empty() && c->path->front() == '/'), v);
      }
      jar.Store(url, v, kNow);
    }
    CHECK(jar.Size() <= CookieJar::kMaxPerHost, "too many cookies for one host");
    const std::string header = jar.CookieHeader(url, kNow);
    CHECK(Clean(header), header);
    // A cookie that is sent goes to the host that set it and to no other.
    CHECK(jar.CookieHeader(ParseUrl("http://www.example.org/shop/cart"), kNow).empty(), header);
    for (const std::string& v : h.Values("Date")) {
      if (const auto t = ParseCookieDate(v)) CHECK(*t >= -11644473600LL, v);  // 1601 or later
    }
  });

  // The body after the head (or the whole data) as a chunked body.
  Chunked(end == npos ? data : data.substr(end), piece);
}

void Address(std::string_view text) {
  try {
    const Url u = ParseUrl(text);
    CHECK(!u.host.empty() && u.port != 0, std::string(text));
    const std::string target = u.Target();
    CHECK(!target.empty() && target.front() == '/', target);
    CHECK(target.find('#') == npos, target);
    for (char ch : target) {
      const auto c = static_cast<unsigned char>(ch);
      CHECK(c > 0x20 && c < 0x7F, target);
    }
    for (char c : u.host) CHECK(!(c >= 'A' && c <= 'Z'), u.host);
    const std::string hostHeader = u.HostHeader();
    CHECK(Clean(hostHeader) && hostHeader.find(' ') == npos, hostHeader);
    // What the address names parses back to the same address.
    const Url again = ParseUrl(u.Text());
    CHECK(again.host == u.host && again.port == u.port && again.Target() == target &&
              again.ipv6Literal == u.ipv6Literal && again.secure == u.secure,
          std::string(text));
    ParseIpv4Literal(u.host);
    // A cookie set without a Path goes back to the page that set it.
    const std::string path = DefaultCookiePath(u.path);
    CHECK(!path.empty() && path.front() == '/', path);
    CHECK(CookiePathMatches(u.path, path), u.path + " " + path);
  } catch (const HttpError&) {
  } catch (const std::exception& e) {
    Fail("ParseUrl", std::string("raised ") + typeid(e).name() + ": " + e.what());
  }
  ParseIpv4Literal(text);

  // The same text as a redirect's Location: whatever it names is an address that parses again.
  try {
    const Url next = ResolveRedirect(ParseUrl("https://site.example:8443/a/b?q"), text);
    const std::string target = next.Target();
    CHECK(!next.host.empty() && !target.empty() && target.front() == '/', std::string(text));
    CHECK(target.find('#') == npos && Clean(target) && target.find(' ') == npos, target);
    const Url again = ParseUrl(next.Text());
    CHECK(again.Text() == next.Text(), next.Text());
  } catch (const HttpError&) {
  } catch (const std::exception& e) {
    Fail("ResolveRedirect", std::string("raised ") + typeid(e).name() + ": " + e.what());
  }
}

}  // namespace
}  // namespace orv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((mode & 0xE0) == 0xC0) {
    orv::Address(rest);
    return 0;
  }
  if ((mode & 0xE0) == 0xE0) {
    orv::Fetches(rest, 1 + (mode & 0x1F), false, false, true);
    return 0;
  }
  const std::size_t piece = 1 + (mode & 0x3F);
  orv::Fetches(rest, piece, (mode & 0x80) != 0, (mode & 0x40) != 0, false);
  orv::Parse(rest, piece);
  return 0;
}
