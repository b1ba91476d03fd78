// TLS for the invisible fetch of https addresses: a Connection that wraps a connected TCP
// Connection and speaks TLS records over it.
//
// The framing of the records, every wait and every buffer live in TlsConnection, which is
// portable; the handshake messages and the cryptography come from a TlsEngine, which is the
// platform's own TLS stack (Schannel on Windows, tls_schannel_win32.cpp) or a fake one in the
// tests. The engine only ever sees whole records that passed the framing checks.
//
// Waits: every call takes the longest time it may wait, like the socket layer below it, and
// passes what is left of it down to the socket; none waits longer in total. The handshake runs
// in FinishConnect, so a caller drives it exactly as it drives a TCP connect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace orv {

// ---- Record framing ----

// A TLS record: 5 bytes of header (content type, version, length), then at most
// 2^14 + 2048 bytes of protected data.
inline constexpr std::size_t kTlsRecordHeader = 5;
inline constexpr std::size_t kTlsMaxRecordBody = 16384 + 2048;
// The most handshake data held while the platform's stack waits for the rest of a message.
inline constexpr std::size_t kTlsMaxHandshakeBytes = 256 * 1024;

enum class RecordCheck {
  kComplete,   // a whole record starts the data; its size is given
  kNeedMore,   // the record has not arrived in full
  kMalformed,  // an unknown content type, a wrong version, an empty or too long record
};

// Looks at the record that starts `data`. `*recordSize` gets the size of the whole record
// (header included) when it is complete. Never reads beyond `data`.
RecordCheck CheckRecord(std::string_view data, std::size_t* recordSize);

// ---- The platform's side ----

class TlsEngine {
 public:
  virtual ~TlsEngine() = default;

  enum class Step {
    kContinue,  // send `out`, then wait for more records from the server
    kNeedMore,  // the records given end inside a handshake message: wait for more
    kDone,      // the handshake is complete and the server's certificate checked
    kFailed,    // see Failure()
  };
  // One step of the handshake (the first one with empty input). `in` holds whole records only;
  // `*used` gets how many bytes of it were taken (the rest, if any, follows the handshake).
  // What must go to the server is appended to `out`, also on kFailed (an alert).
  virtual Step Handshake(std::string_view in, std::size_t* used, std::string* out) = 0;

  // The most plaintext bytes one record carries.
  virtual std::size_t MaxPlaintext() const = 0;
  // Protects `plain` (at most MaxPlaintext() bytes) as records appended to `out`.
  virtual bool Encrypt(std::string_view plain, std::string* out) = 0;

  enum class Opened {
    kData,       // `plain` got the record's data (possibly none)
    kClosed,     // the server ended the connection in order (close_notify)
    kHandshake,  // the server starts a new handshake: Handshake() takes over
    kFailed,
  };
  // Opens one whole record, in place in `record`. `*rest` gets the number of bytes at the end
  // of the record that were not taken and go back in front of the input.
  virtual Opened Decrypt(char* record, std::size_t size, std::string* plain,
                         std::size_t* rest) = 0;

  // Why the last step failed, in German, for the error of the fetch.
  virtual std::string Failure() const = 0;
};

class TlsLayer {
 public:
  virtual ~TlsLayer() = default;
  // An engine for one connection to `host`: the name the server must prove with its
  // certificate, also sent as the server name. `verifyWaitMs` limits how long the check of the
  // certificate may wait for the network (revocation lists, missing intermediates); 0 leaves
  // the system's own limit.
  virtual std::unique_ptr<TlsEngine> NewEngine(const std::string& host, int verifyWaitMs) = 0;
};

// The platform's TLS (Schannel on Windows); nullptr where the program has none, so that an
// https fetch ends in an error.
std::shared_ptr<TlsLayer> MakeTlsLayer();

// ---- The connection ----

class TlsConnection : public Connection {
 public:
  // `raw` is connected already. `name` is what messages call the server ("host:port").
  TlsConnection(std::unique_ptr<Connection> raw, std::unique_ptr<TlsEngine> engine,
                std::string name);

  // Runs the handshake for up to `waitMs`: kOk when it is complete, kWouldBlock while it goes
  // on, kFailed (see Failure()), kClosed or kReset when the server went away.
  NetStatus FinishConnect(int waitMs) override;
  NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int waitMs) override;
  // kClosed at close_notify or when the server closes between two records; closing inside a
  // record, or any record that does not open, is kFailed.
  NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int waitMs) override;
  void ShutdownSend() override { raw_->ShutdownSend(); }
  void Abort() override { raw_->Abort(); }

  // Why the connection failed, in German; empty when it did not fail for a TLS reason.
  const std::string& Failure() const { return failure_; }

 private:
  class Budget;
  NetStatus Fail(std::string message);
  NetStatus Flush(Budget& budget);
  NetStatus ReadMore(Budget& budget);
  std::size_t CompleteRecords(std::size_t* malformedAt);

  std::unique_ptr<Connection> raw_;
  std::unique_ptr<TlsEngine> engine_;
  const std::string name_;
  bool handshaking_ = true;
  bool started_ = false;
  bool closed_ = false;  // close_notify seen
  std::string in_;       // bytes from the server not yet opened
  std::string out_;      // bytes for the server not yet sent
  std::string plain_;    // opened data not yet handed out
  std::size_t plainPos_ = 0;
  std::string failure_;
};

}  // namespace orv
