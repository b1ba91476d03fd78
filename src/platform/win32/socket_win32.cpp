// The socket layer on Winsock 2.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace orv {
namespace {

// Winsock is started once for the process and stays up until it ends: sockets may live as long
// as the program does, and a resolver thread that was given up on may still be inside
// getaddrinfo when the program ends.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

bool MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}

SOCKET NewSocket(int family) {
  const SOCKET s = socket(family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return INVALID_SOCKET;
  // Child processes started by tasks must not inherit the socket.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  if (!MakeNonBlocking(s)) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

// Keep-alive with the probe times of socket.h: SIO_KEEPALIVE_VALS sets the idle time and the
// interval; the number of probes can be set from Windows 10 (1703) on, and older systems send
// ten. A failure leaves the connection as it is.
void KeepAlive(SOCKET s) {
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
  tcp_keepalive values{};
  values.onoff = 1;
  values.keepalivetime = kKeepAliveIdleS * 1000u;
  values.keepaliveinterval = kKeepAliveIntervalS * 1000u;
  DWORD returned = 0;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
           nullptr);
  constexpr int kTcpKeepCnt = 16;  // TCP_KEEPCNT of ws2ipdef.h; the mingw headers lack it
  DWORD probes = kKeepAliveProbes;
  setsockopt(s, IPPROTO_TCP, kTcpKeepCnt, reinterpret_cast<const char*>(&probes), sizeof probes);
}

timeval ToTimeval(int waitMs) {
  waitMs = std::max(waitMs, 0);
  timeval tv;
  tv.tv_sec = waitMs / 1000;
  tv.tv_usec = (waitMs % 1000) * 1000;
  return tv;
}

// Waits up to `waitMs` until the socket is readable (or writable). 1 ready, 0 nothing yet,
// -1 failure.
int WaitFor(SOCKET s, bool write, int waitMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv = ToTimeval(waitMs);
  const int r = select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &tv);
  if (r == SOCKET_ERROR) return -1;
  return r > 0 ? 1 : 0;
}

NetStatus FromWsaError(int e) {
  switch (e) {
    case WSAEWOULDBLOCK:
    case WSAEINTR:
      return NetStatus::kWouldBlock;
    case WSAECONNREFUSED:
      return NetStatus::kRefused;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAESHUTDOWN:
      return NetStatus::kReset;
    default:
      return NetStatus::kFailed;
  }
}

int ToSockaddr(const SocketAddress& a, sockaddr_storage* out) {
  std::memset(out, 0, sizeof *out);
  if (a.family == SocketAddress::kIpv4) {
    auto* in = reinterpret_cast<sockaddr_in*>(out);
    in->sin_family = AF_INET;
    in->sin_port = htons(a.port);
    std::memcpy(&in->sin_addr, a.bytes.data(), 4);
    return sizeof(sockaddr_in);
  }
  auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(a.port);
  std::memcpy(&in6->sin6_addr, a.bytes.data(), 16);
  return sizeof(sockaddr_in6);
}

// Winsock counts in int.
int Clamp(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

class WinsockConnection final : public Connection {
 public:
  explicit WinsockConnection(SOCKET s) : s_(s) {}
  ~WinsockConnection() override {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  WinsockConnection(const WinsockConnection&) = delete;
  WinsockConnection& operator=(const WinsockConnection&) = delete;

  NetStatus FinishConnect(int waitMs) override {
    if (s_ == INVALID_SOCKET) return NetStatus::kFailed;
    // A connect in progress reports success as writable and failure as an exception.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s_, &writable);
    FD_SET(s_, &failed);
    timeval tv = ToTimeval(waitMs);
    const int r = select(0, nullptr, &writable, &failed, &tv);
    if (r == SOCKET_ERROR) return NetStatus::kFailed;
    if (r == 0) return NetStatus::kWouldBlock;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
      return NetStatus::kFailed;
    }
    if (error == 0 && !FD_ISSET(s_, &failed)) return NetStatus::kOk;
    const NetStatus s = FromWsaError(error);
    return s == NetStatus::kWouldBlock || s == NetStatus::kOk ? NetStatus::kFailed : s;
  }

  NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int waitMs) override {
    *sent = 0;
    if (s_ == INVALID_SOCKET) return NetStatus::kFailed;
    if (size == 0) return NetStatus::kOk;
    const int ready = WaitFor(s_, true, waitMs);
    if (ready < 0) return NetStatus::kFailed;
    if (ready == 0) return NetStatus::kWouldBlock;
    const int n = send(s_, data, Clamp(size), 0);
    if (n == SOCKET_ERROR) return FromWsaError(WSAGetLastError());
    *sent = static_cast<std::size_t>(n);
    return NetStatus::kOk;
  }

  NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int waitMs) override {
    *received = 0;
    if (s_ == INVALID_SOCKET || size == 0) return NetStatus::kFailed;
    const int ready = WaitFor(s_, false, waitMs);
    if (ready < 0) return NetStatus::kFailed;
    if (ready == 0) return NetStatus::kWouldBlock;
    const int n = recv(s_, buffer, Clamp(size), 0);
    if (n == SOCKET_ERROR) return FromWsaError(WSAGetLastError());
    if (n == 0) return NetStatus::kClosed;
    *received = static_cast<std::size_t>(n);
    return NetStatus::kOk;
  }

  void ShutdownSend() override {
    if (s_ != INVALID_SOCKET) shutdown(s_, SD_SEND);
  }

  void Abort() override {
    if (s_ == INVALID_SOCKET) return;
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    closesocket(s_);
    s_ = INVALID_SOCKET;
  }

 private:
  SOCKET s_;
};

class WinsockListener final : public Listener {
 public:
  WinsockListener(SOCKET s, std::uint16_t port) : s_(s), port_(port) {}
  ~WinsockListener() override { closesocket(s_); }
  WinsockListener(const WinsockListener&) = delete;
  WinsockListener& operator=(const WinsockListener&) = delete;

  std::uint16_t Port() const override { return port_; }

  std::unique_ptr<Connection> Accept(int waitMs) override {
    if (WaitFor(s_, false, waitMs) != 1) return nullptr;
    const SOCKET s = accept(s_, nullptr, nullptr);
    if (s == INVALID_SOCKET) return nullptr;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (!MakeNonBlocking(s)) {
      closesocket(s);
      return nullptr;
    }
    return std::make_unique<WinsockConnection>(s);
  }

 private:
  SOCKET s_;
  std::uint16_t port_;
};

class WinsockLayer final : public SocketLayer {
 public:
  std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                     bool numericOnly) override {
    std::vector<SocketAddress> result;
    if (!WinsockReady()) return result;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    if (numericOnly) hints.ai_flags |= AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return result;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
      SocketAddress a;
      a.port = port;
      if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        std::memcpy(a.bytes.data(), &in->sin_addr, 4);
      } else if (ai->ai_family == AF_INET6 && ai->ai_addrlen >= sizeof(sockaddr_in6)) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(ai->ai_addr);
        a.family = SocketAddress::kIpv6;
        std::memcpy(a.bytes.data(), &in6->sin6_addr, 16);
      } else {
        continue;
      }
      if (std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
    }
    freeaddrinfo(list);
    return result;
  }

  std::unique_ptr<Connection> Connect(const SocketAddress& address, NetStatus* status) override {
    *status = NetStatus::kFailed;
    if (!WinsockReady()) return nullptr;
    const SOCKET s = NewSocket(address.family == SocketAddress::kIpv4 ? AF_INET : AF_INET6);
    if (s == INVALID_SOCKET) return nullptr;
    auto connection = std::make_unique<WinsockConnection>(s);
    KeepAlive(s);
    sockaddr_storage sa;
    const int length = ToSockaddr(address, &sa);
    if (connect(s, reinterpret_cast<const sockaddr*>(&sa), length) == 0) {
      *status = NetStatus::kOk;
      return connection;
    }
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
      *status = NetStatus::kWouldBlock;  // FinishConnect completes it
      return connection;
    }
    const NetStatus st = FromWsaError(error);
    *status = st == NetStatus::kWouldBlock ? NetStatus::kFailed : st;
    return nullptr;
  }

  std::unique_ptr<Listener> ListenLoopback() override {
    if (!WinsockReady()) return nullptr;
    const SOCKET s = NewSocket(AF_INET);
    if (s == INVALID_SOCKET) return nullptr;
    // No other program may bind the same port while the test server listens.
    BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    sockaddr_storage sa;
    const int length = ToSockaddr(SocketAddress::Ipv4(127, 0, 0, 1, 0), &sa);
    sockaddr_in bound{};
    int boundLength = sizeof bound;
    if (bind(s, reinterpret_cast<const sockaddr*>(&sa), length) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
      closesocket(s);
      return nullptr;
    }
    return std::make_unique<WinsockListener>(s, ntohs(bound.sin_port));
  }
};

}  // namespace

std::unique_ptr<SocketLayer> MakeSocketLayer() {
  WinsockReady();
  return std::make_unique<WinsockLayer>();
}

}  // namespace orv
