#include <algorithm>
#include <chrono>
#include <utility>

#include "net/tls.h"

namespace orv {

RecordCheck CheckRecord(std::string_view data, std::size_t* recordSize) {
  // Each field is checked as soon as it has arrived, so that garbage is refused at once and
  // not only after up to 18 KiB of waiting.
  if (!data.empty()) {
    const auto type = static_cast<unsigned char>(data[0]);
    // change_cipher_spec, alert, handshake, application_data
    if (type < 20 || type > 23) return RecordCheck::kMalformed;
  }
  if (data.size() >= 2 && data[1] != 3) return RecordCheck::kMalformed;
  if (data.size() >= 3 && static_cast<unsigned char>(data[2]) > 4) return RecordCheck::kMalformed;
  if (data.size() < kTlsRecordHeader) return RecordCheck::kNeedMore;
  const std::size_t length = (static_cast<std::size_t>(static_cast<unsigned char>(data[3])) << 8) |
                             static_cast<unsigned char>(data[4]);
  if (length == 0 || length > kTlsMaxRecordBody) return RecordCheck::kMalformed;
  if (data.size() - kTlsRecordHeader < length) return RecordCheck::kNeedMore;
  *recordSize = kTlsRecordHeader + length;
  return RecordCheck::kComplete;
}

// What is left of one call's wait, so that the waits inside it add up to no more.
class TlsConnection::Budget {
 public:
  explicit Budget(int ms)
      : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0))) {}
  int Left() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end_ - std::chrono::steady_clock::now())
                          .count();
    return left <= 0 ? 0 : static_cast<int>(left);
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

TlsConnection::TlsConnection(std::unique_ptr<Connection> raw, std::unique_ptr<TlsEngine> engine,
                             std::string name)
    : raw_(std::move(raw)), engine_(std::move(engine)), name_(std::move(name)) {}

NetStatus TlsConnection::Fail(std::string message) {
  if (failure_.empty()) failure_ = std::move(message);
  return NetStatus::kFailed;
}

NetStatus TlsConnection::Flush(Budget& budget) {
  while (!out_.empty()) {
    std::size_t sent = 0;
    const NetStatus s = raw_->Send(out_.data(), out_.size(), &sent, budget.Left());
    if (s != NetStatus::kOk) return s;
    if (sent == 0) return NetStatus::kWouldBlock;
    out_.erase(0, std::min(sent, out_.size()));
  }
  return NetStatus::kOk;
}

NetStatus TlsConnection::ReadMore(Budget& budget) {
  char chunk[kTlsRecordHeader + kTlsMaxRecordBody];
  std::size_t received = 0;
  const NetStatus s = raw_->Receive(chunk, sizeof chunk, &received, budget.Left());
  if (s == NetStatus::kOk) in_.append(chunk, std::min(received, sizeof chunk));
  return s;
}

// The bytes of the whole records at the start of in_; `*malformed` is set when a record
// header there cannot be right.
std::size_t TlsConnection::CompleteRecords(std::size_t* malformed) {
  std::size_t pos = 0;
  for (;;) {
    std::size_t size = 0;
    const RecordCheck c = CheckRecord(std::string_view(in_).substr(pos), &size);
    if (c == RecordCheck::kMalformed) *malformed = 1;
    if (c != RecordCheck::kComplete) return pos;
    pos += size;
  }
}

NetStatus TlsConnection::FinishConnect(int waitMs) {
  Budget budget(waitMs);
  if (!failure_.empty()) return NetStatus::kFailed;
  std::size_t waitingFor = 0;  // complete bytes the engine found too few
  while (handshaking_) {
    NetStatus s = Flush(budget);
    if (s != NetStatus::kOk) return s;
    std::size_t malformed = 0;
    const std::size_t whole = CompleteRecords(&malformed);
    if (malformed && whole == 0) {
      return Fail("Ungültige TLS-Daten von " + name_ + ".");
    }
    if (!started_ || (whole > 0 && whole > waitingFor)) {
      started_ = true;
      std::size_t used = 0;
      std::string out;
      const TlsEngine::Step step = engine_->Handshake(std::string_view(in_).substr(0, whole),
                                                      &used, &out);
      out_ += out;
      switch (step) {
        case TlsEngine::Step::kFailed: {
          Budget none(0);
          Flush(none);  // the alert, if it goes at once
          return Fail(engine_->Failure());
        }
        case TlsEngine::Step::kNeedMore:
          waitingFor = whole;
          break;
        case TlsEngine::Step::kDone:
          in_.erase(0, std::min(used, whole));
          handshaking_ = false;
          // What is still to be sent goes with the next Send or Receive.
          s = Flush(budget);
          return s == NetStatus::kWouldBlock ? NetStatus::kOk : s;
        case TlsEngine::Step::kContinue:
          in_.erase(0, std::min(used, whole));
          waitingFor = 0;
          continue;
      }
    }
    if (in_.size() > kTlsMaxHandshakeBytes) {
      return Fail("Der TLS-Verbindungsaufbau mit " + name_ + " ist zu lang.");
    }
    s = ReadMore(budget);
    if (s == NetStatus::kClosed) {
      return Fail("Der Server " + name_ + " hat die Verbindung beim TLS-Verbindungsaufbau "
                  "geschlossen.");
    }
    if (s != NetStatus::kOk) return s;
  }
  return NetStatus::kOk;
}

NetStatus TlsConnection::Send(const char* data, std::size_t size, std::size_t* sent, int waitMs) {
  *sent = 0;
  Budget budget(waitMs);
  if (!failure_.empty()) return NetStatus::kFailed;
  if (handshaking_) {
    const NetStatus s = FinishConnect(budget.Left());
    if (s != NetStatus::kOk) return s;
  }
  NetStatus s = Flush(budget);  // the rest of an earlier record goes first
  if (s != NetStatus::kOk) return s;
  const std::size_t n = std::min(size, engine_->MaxPlaintext());
  if (n == 0) return NetStatus::kOk;
  if (!engine_->Encrypt(std::string_view(data, n), &out_)) return Fail(engine_->Failure());
  *sent = n;
  // Taken: whatever does not go now is sent before anything else later.
  s = Flush(budget);
  return s == NetStatus::kWouldBlock ? NetStatus::kOk : s;
}

NetStatus TlsConnection::Receive(char* buffer, std::size_t size, std::size_t* received,
                                 int waitMs) {
  *received = 0;
  Budget budget(waitMs);
  for (;;) {
    if (plainPos_ < plain_.size()) {
      const std::size_t n = std::min(size, plain_.size() - plainPos_);
      std::copy_n(plain_.data() + plainPos_, n, buffer);
      plainPos_ += n;
      *received = n;
      return NetStatus::kOk;
    }
    if (!failure_.empty()) return NetStatus::kFailed;
    if (closed_) return NetStatus::kClosed;
    if (handshaking_) {
      const NetStatus s = FinishConnect(budget.Left());
      if (s != NetStatus::kOk) return s;
      continue;
    }
    if (!out_.empty()) {
      const NetStatus s = Flush(budget);
      if (s != NetStatus::kOk && s != NetStatus::kWouldBlock) return s;
    }
    std::size_t recordSize = 0;
    switch (CheckRecord(in_, &recordSize)) {
      case RecordCheck::kMalformed:
        return Fail("Ungültige TLS-Daten von " + name_ + ".");
      case RecordCheck::kComplete: {
        plain_.clear();
        plainPos_ = 0;
        std::size_t rest = 0;
        const TlsEngine::Opened o = engine_->Decrypt(in_.data(), recordSize, &plain_, &rest);
        in_.erase(0, recordSize - std::min(rest, recordSize));
        switch (o) {
          case TlsEngine::Opened::kData:
            break;
          case TlsEngine::Opened::kClosed:
            closed_ = true;
            break;
          case TlsEngine::Opened::kHandshake:
            handshaking_ = true;
            break;
          case TlsEngine::Opened::kFailed:
            plain_.clear();
            return Fail(engine_->Failure());
        }
        continue;
      }
      case RecordCheck::kNeedMore: {
        const NetStatus s = ReadMore(budget);
        if (s == NetStatus::kClosed && !in_.empty()) {
          return Fail("Die Verbindung zu " + name_ +
                      " wurde mitten in einem TLS-Datensatz geschlossen.");
        }
        if (s != NetStatus::kOk) return s;
        continue;
      }
    }
  }
}

}  // namespace orv
