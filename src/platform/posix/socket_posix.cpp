// The socket layer on POSIX sockets, for the native build and its tests.
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/socket.h"

namespace orv {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer gives EPIPE, not SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

bool MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int NewSocket(int family) {
  const int fd = socket(family, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  if (!MakeNonBlocking(fd) || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Keep-alive with the probe times of socket.h. Where an option is missing the system's own
// times apply; a failure leaves the connection as it is.
void KeepAlive(int fd) {
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#if defined(TCP_KEEPIDLE)
  int idle = kKeepAliveIdleS;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
#elif defined(TCP_KEEPALIVE)
  int idle = kKeepAliveIdleS;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPALIVE, &idle, sizeof idle);
#endif
#ifdef TCP_KEEPINTVL
  int interval = kKeepAliveIntervalS;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
#endif
#ifdef TCP_KEEPCNT
  int probes = kKeepAliveProbes;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#endif
}

// Waits up to `waitMs` for `events` on the socket. 1 ready, 0 nothing yet (also for an
// interrupted wait: the caller tries again), -1 failure.
int WaitFor(int fd, short events, int waitMs) {
  pollfd p{};
  p.fd = fd;
  p.events = events;
  const int r = poll(&p, 1, std::max(waitMs, 0));
  if (r < 0) return errno == EINTR ? 0 : -1;
  return r > 0 ? 1 : 0;
}

NetStatus FromErrno(int e) {
  switch (e) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINTR:
      return NetStatus::kWouldBlock;
    case ECONNREFUSED:
      return NetStatus::kRefused;
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
      return NetStatus::kReset;
    default:
      return NetStatus::kFailed;
  }
}

socklen_t ToSockaddr(const SocketAddress& a, sockaddr_storage* out) {
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

class PosixConnection final : public Connection {
 public:
  explicit PosixConnection(int fd) : fd_(fd) {}
  ~PosixConnection() override {
    if (fd_ >= 0) close(fd_);
  }
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;

  NetStatus FinishConnect(int waitMs) override {
    if (fd_ < 0) return NetStatus::kFailed;
    const int ready = WaitFor(fd_, POLLOUT, waitMs);
    if (ready < 0) return NetStatus::kFailed;
    if (ready == 0) return NetStatus::kWouldBlock;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return NetStatus::kFailed;
    if (error == 0) return NetStatus::kOk;
    const NetStatus s = FromErrno(error);
    return s == NetStatus::kWouldBlock ? NetStatus::kFailed : s;
  }

  NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int waitMs) override {
    *sent = 0;
    if (fd_ < 0) return NetStatus::kFailed;
    if (size == 0) return NetStatus::kOk;
    const int ready = WaitFor(fd_, POLLOUT, waitMs);
    if (ready < 0) return NetStatus::kFailed;
    if (ready == 0) return NetStatus::kWouldBlock;
    const ssize_t n = send(fd_, data, size, kSendFlags);
    if (n < 0) return FromErrno(errno);
    *sent = static_cast<std::size_t>(n);
    return NetStatus::kOk;
  }

  NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int waitMs) override {
    *received = 0;
    if (fd_ < 0 || size == 0) return NetStatus::kFailed;
    const int ready = WaitFor(fd_, POLLIN, waitMs);
    if (ready < 0) return NetStatus::kFailed;
    if (ready == 0) return NetStatus::kWouldBlock;
    const ssize_t n = recv(fd_, buffer, size, 0);
    if (n < 0) return FromErrno(errno);
    if (n == 0) return NetStatus::kClosed;
    *received = static_cast<std::size_t>(n);
    return NetStatus::kOk;
  }

  void ShutdownSend() override {
    if (fd_ >= 0) shutdown(fd_, SHUT_WR);
  }

  void Abort() override {
    if (fd_ < 0) return;
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class PosixListener final : public Listener {
 public:
  PosixListener(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
  ~PosixListener() override { close(fd_); }
  PosixListener(const PosixListener&) = delete;
  PosixListener& operator=(const PosixListener&) = delete;

  std::uint16_t Port() const override { return port_; }

  std::unique_ptr<Connection> Accept(int waitMs) override {
    if (WaitFor(fd_, POLLIN, waitMs) != 1) return nullptr;
    const int fd = accept(fd_, nullptr, nullptr);
    if (fd < 0) return nullptr;
    // The accepted socket does not inherit O_NONBLOCK everywhere; set it explicitly.
    if (!MakeNonBlocking(fd) || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
      close(fd);
      return nullptr;
    }
    return std::make_unique<PosixConnection>(fd);
  }

 private:
  int fd_;
  std::uint16_t port_;
};

class PosixSocketLayer final : public SocketLayer {
 public:
  std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                     bool numericOnly) override {
    std::vector<SocketAddress> result;
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
    const int fd = NewSocket(address.family == SocketAddress::kIpv4 ? AF_INET : AF_INET6);
    if (fd < 0) {
      *status = NetStatus::kFailed;
      return nullptr;
    }
    auto connection = std::make_unique<PosixConnection>(fd);
    KeepAlive(fd);
    sockaddr_storage sa;
    const socklen_t length = ToSockaddr(address, &sa);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), length) == 0) {
      *status = NetStatus::kOk;
    } else if (errno == EINPROGRESS || errno == EINTR) {
      *status = NetStatus::kWouldBlock;  // FinishConnect completes it
    } else {
      const NetStatus s = FromErrno(errno);
      *status = s == NetStatus::kWouldBlock ? NetStatus::kFailed : s;
      return nullptr;
    }
    return connection;
  }

  std::unique_ptr<Listener> ListenLoopback() override {
    const int fd = NewSocket(AF_INET);
    if (fd < 0) return nullptr;
    sockaddr_storage sa;
    const socklen_t length = ToSockaddr(SocketAddress::Ipv4(127, 0, 0, 1, 0), &sa);
    sockaddr_in bound{};
    socklen_t boundLength = sizeof bound;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&sa), length) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
      close(fd);
      return nullptr;
    }
    return std::make_unique<PosixListener>(fd, ntohs(bound.sin_port));
  }
};

}  // namespace

std::unique_ptr<SocketLayer> MakeSocketLayer() { return std::make_unique<PosixSocketLayer>(); }

}  // namespace orv
