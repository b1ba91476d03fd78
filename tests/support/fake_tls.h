// A TLS engine without cryptography, for the native tests and the fuzz target: records carry
// their data as it is, so that TlsConnection's framing, waits and failures can be driven with
// plain bytes.
//
// Handshake: the client sends a handshake record "client hello"; a handshake record from the
// server completes it ("bad certificate" fails it). Afterwards application data records (23)
// carry the data; the alert 1,0 is close_notify, any other alert fails; a handshake record is
// a new handshake, which the record itself completes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "net/tls.h"

namespace orv {

inline std::string FakeRecord(unsigned char type, std::string_view body) {
  std::string r;
  r.push_back(static_cast<char>(type));
  r.push_back(3);
  r.push_back(3);
  r.push_back(static_cast<char>(body.size() >> 8));
  r.push_back(static_cast<char>(body.size() & 0xFF));
  r.append(body);
  return r;
}
inline const std::string kFakeServerHello = FakeRecord(22, "server hello");

class FakeTlsEngine : public TlsEngine {
 public:
  Step Handshake(std::string_view in, std::size_t* used, std::string* out) override {
    *used = 0;
    if (!sentHello_) {
      sentHello_ = true;
      *out += FakeRecord(22, "client hello");
      return Step::kContinue;
    }
    std::size_t size = 0;
    if (CheckRecord(in, &size) != RecordCheck::kComplete) return Step::kNeedMore;
    *used = size;
    if (in[0] != 22 || in.substr(kTlsRecordHeader, size - kTlsRecordHeader) == "bad certificate") {
      failure_ = "Das Zertifikat ist ungültig.";
      *out += FakeRecord(21, std::string("\x02\x2A", 2));
      return Step::kFailed;
    }
    return Step::kDone;
  }
  std::size_t MaxPlaintext() const override { return 16384; }
  bool Encrypt(std::string_view plain, std::string* out) override {
    *out += FakeRecord(23, plain);
    return true;
  }
  Opened Decrypt(char* record, std::size_t size, std::string* plain, std::size_t* rest) override {
    *rest = 0;
    const std::string_view body(record + kTlsRecordHeader, size - kTlsRecordHeader);
    switch (record[0]) {
      case 23:
        plain->append(body);
        return Opened::kData;
      case 21:
        if (body == std::string_view("\x01\x00", 2)) return Opened::kClosed;
        break;
      case 22:
        sentHello_ = true;
        *rest = size;  // the handshake takes the record itself
        return Opened::kHandshake;
      default:
        break;
    }
    failure_ = "Ungültige TLS-Daten.";
    return Opened::kFailed;
  }
  std::string Failure() const override { return failure_; }

 private:
  bool sentHello_ = false;
  std::string failure_;
};

class FakeTlsLayer : public TlsLayer {
 public:
  std::unique_ptr<TlsEngine> NewEngine(const std::string& host, int) override {
    lastHost = host;
    return std::make_unique<FakeTlsEngine>();
  }
  std::string lastHost;
};

}  // namespace orv
