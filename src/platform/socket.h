// The socket layer under the HTTP client: TCP streams over Winsock or POSIX sockets, behind one
// small interface with no platform header in it.
//
// Every call that may block takes the longest time it may wait, in milliseconds, and comes back
// with kWouldBlock when that time passed without progress. The layer never loops on its own:
// the caller waits in short slices, keeps its overall time limit and can do other work (pump
// the window's message queue) between the slices. All sockets are non-blocking.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv {

struct SocketAddress {
  enum Family : std::uint8_t { kIpv4, kIpv6 };
  Family family = kIpv4;
  // The address in network byte order; IPv4 uses the first four bytes.
  std::array<std::uint8_t, 16> bytes{};
  std::uint16_t port = 0;

  static SocketAddress Ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                            std::uint16_t port) {
    SocketAddress s;
    s.bytes[0] = a;
    s.bytes[1] = b;
    s.bytes[2] = c;
    s.bytes[3] = d;
    s.port = port;
    return s;
  }
  static SocketAddress Ipv6Loopback(std::uint16_t port) {
    SocketAddress s;
    s.family = kIpv6;
    s.bytes[15] = 1;
    s.port = port;
    return s;
  }
  bool operator==(const SocketAddress&) const = default;
};

enum class NetStatus {
  kOk,          // done, or some bytes moved
  kWouldBlock,  // the wait passed without progress; try again
  kClosed,      // the peer ended its side of the stream in order (receiving only)
  kRefused,     // nothing listens at the address (connecting only)
  kReset,       // the peer reset or aborted the connection
  kFailed,      // any other failure of the socket
};

// Every connection the layer opens has TCP keep-alive on: after kKeepAliveIdleS seconds without
// traffic the system probes the peer every kKeepAliveIntervalS seconds and gives the connection
// up after kKeepAliveProbes unanswered probes (then a wait for data ends with kReset or
// kFailed). So a peer that vanished without a word (switched off, cut off) is noticed within
// about a minute, also by a fetch that has no time-out. (Windows before 10 counts its probes
// itself: ten, the same.)
inline constexpr int kKeepAliveIdleS = 20;
inline constexpr int kKeepAliveIntervalS = 4;
inline constexpr int kKeepAliveProbes = 10;

// One TCP stream. The destructor closes the socket.
class Connection {
 public:
  virtual ~Connection() = default;
  // For a connection from SocketLayer::Connect: waits up to `waitMs` for the connection to be
  // established. kOk, kWouldBlock (still pending), kRefused or kFailed.
  virtual NetStatus FinishConnect(int waitMs) = 0;
  // Waits up to `waitMs` for room and sends what fits; `*sent` is the number of bytes taken.
  virtual NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int waitMs) = 0;
  // Waits up to `waitMs` for data. kOk with `*received` > 0, kClosed at the orderly end of the
  // stream, kWouldBlock, kReset or kFailed.
  virtual NetStatus Receive(char* buffer, std::size_t size, std::size_t* received,
                            int waitMs) = 0;
  // Ends the sending side; the peer reads the end of the stream.
  virtual void ShutdownSend() = 0;
  // Closes at once with a reset instead of the orderly end; the socket is gone afterwards.
  virtual void Abort() = 0;
};

// A listening socket on the loopback address, for the tests' own servers.
class Listener {
 public:
  virtual ~Listener() = default;
  virtual std::uint16_t Port() const = 0;
  // Waits up to `waitMs` for a connection; nullptr when none arrived.
  virtual std::unique_ptr<Connection> Accept(int waitMs) = 0;
};

class SocketLayer {
 public:
  virtual ~SocketLayer() = default;
  // The addresses of `host` in the order the system's resolver gives them, each with `port`;
  // empty when the name does not resolve. Blocks for as long as the resolver takes and cannot
  // be interrupted, so the HTTP client calls it on a helper thread. With `numericOnly` only an
  // address literal is accepted and no name server is asked.
  virtual std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                             bool numericOnly) = 0;
  // Starts connecting to `address` without waiting; complete it with FinishConnect. nullptr
  // when no socket could be made, with the reason in `*status`.
  virtual std::unique_ptr<Connection> Connect(const SocketAddress& address,
                                              NetStatus* status) = 0;
  // Listens on 127.0.0.1 at a port the system picks; nullptr on failure.
  virtual std::unique_ptr<Listener> ListenLoopback() = 0;
};

// The platform's socket layer (Winsock on Windows, initialised once on first use; POSIX
// sockets elsewhere). Cheap to call; every layer shares the process's one socket library.
std::unique_ptr<SocketLayer> MakeSocketLayer();

}  // namespace orv
