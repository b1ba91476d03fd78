// The TLS record path (framing, waits, failures) over a scripted stream, with the fake engine
// of fake_tls.h in place of the platform's cryptography.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/tls.h"
#include "support/fake_tls.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

// Plays back what the server sends, `piece` bytes per read; then the end of the stream, or,
// with `stall`, nothing: every wait then takes its full time.
class Script : public Connection {
 public:
  Script(std::string data, std::size_t piece, bool stall = false)
      : data_(std::move(data)), piece_(piece), stall_(stall) {}
  NetStatus FinishConnect(int) override { return NetStatus::kOk; }
  NetStatus Send(const char* data, std::size_t size, std::size_t* sent, int) override {
    sent_->append(data, size);
    *sent = size;
    return NetStatus::kOk;
  }
  NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int waitMs) override {
    waited_->push_back(waitMs);
    if (pos_ < data_.size()) {
      const std::size_t n = std::min({size, piece_, data_.size() - pos_});
      std::copy_n(data_.data() + pos_, n, buffer);
      pos_ += n;
      *received = n;
      return NetStatus::kOk;
    }
    if (!stall_) return NetStatus::kClosed;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return NetStatus::kWouldBlock;
  }
  void ShutdownSend() override {}
  void Abort() override {}

  std::shared_ptr<std::string> sent_ = std::make_shared<std::string>();
  std::shared_ptr<std::vector<int>> waited_ = std::make_shared<std::vector<int>>();

 private:
  std::string data_;
  std::size_t piece_;
  bool stall_;
  std::size_t pos_ = 0;
};

struct Tls {
  Tls(std::string data, std::size_t piece = 4096, bool stall = false) {
    auto script = std::make_unique<Script>(std::move(data), piece, stall);
    sent = script->sent_;
    waited = script->waited_;
    c = std::make_unique<TlsConnection>(std::move(script), std::make_unique<FakeTlsEngine>(),
                                        "host:443");
  }
  // Everything until the end of the stream or a failure; the status that ended it.
  NetStatus ReadAll(std::string* out, std::size_t size = 4096) {
    std::vector<char> buffer(size);
    for (;;) {
      std::size_t n = 0;
      const NetStatus s = c->Receive(buffer.data(), buffer.size(), &n, 1000);
      if (s != NetStatus::kOk) return s;
      out->append(buffer.data(), n);
    }
  }
  std::unique_ptr<TlsConnection> c;
  std::shared_ptr<std::string> sent;
  std::shared_ptr<std::vector<int>> waited;
};

const std::string kCloseNotify = FakeRecord(21, std::string("\x01\x00", 2));

TEST(TlsRecords, DataArrivesAlikeInAnyPieces) {
  const std::string big(kTlsMaxRecordBody, 'b');  // the longest record there may be
  const std::string stream = kFakeServerHello + FakeRecord(23, "HTTP/1.1 200") +
                             FakeRecord(23, " OK") + FakeRecord(22, "again") +
                             FakeRecord(23, big) + kCloseNotify + "ignored after the end";
  for (std::size_t piece : {1, 2, 4, 5, 6, 7, 13, 4096, 100000}) {
    for (std::size_t read : {1, 3, 20000}) {
      Tls t(stream, piece);
      ASSERT_EQ(t.c->FinishConnect(1000), NetStatus::kOk) << piece;
      std::size_t sent = 0;
      ASSERT_EQ(t.c->Send("GET /", 5, &sent, 1000), NetStatus::kOk);
      EXPECT_EQ(sent, 5u);
      EXPECT_EQ(*t.sent, FakeRecord(22, "client hello") + FakeRecord(23, "GET /"));
      std::string got;
      EXPECT_EQ(t.ReadAll(&got, read), NetStatus::kClosed) << piece << " " << t.c->Failure();
      EXPECT_EQ(got, "HTTP/1.1 200 OK" + big) << piece << " " << read;
      EXPECT_TRUE(t.c->Failure().empty());
    }
  }
}

TEST(TlsRecords, BrokenStreamsFail) {
  const std::string hello = kFakeServerHello;
  const struct {
    const char* what;
    std::string stream;
    NetStatus handshake;
    NetStatus end;
  } cases[] = {
      {"unknown type", hello + FakeRecord(24, "x"), NetStatus::kOk, NetStatus::kFailed},
      {"wrong version", hello + std::string("\x17\x02\x03\x00\x01x", 6), NetStatus::kOk,
       NetStatus::kFailed},
      {"empty record", hello + std::string("\x17\x03\x03\x00\x00", 5), NetStatus::kOk,
       NetStatus::kFailed},
      // Refused from its header alone, before any of its body.
      {"too long", hello + std::string("\x17\x03\x03\x48\x01", 5), NetStatus::kOk,
       NetStatus::kFailed},
      {"closed inside a record", hello + FakeRecord(23, "abcdef").substr(0, 8), NetStatus::kOk,
       NetStatus::kFailed},
      {"closed inside a header", hello + "\x17\x03\x03", NetStatus::kOk, NetStatus::kFailed},
      {"an alert", hello + FakeRecord(21, "\x02\x14"), NetStatus::kOk, NetStatus::kFailed},
      {"closed without close_notify", hello + FakeRecord(23, "ok"), NetStatus::kOk,
       NetStatus::kClosed},
      {"certificate refused", FakeRecord(22, "bad certificate"), NetStatus::kFailed,
       NetStatus::kFailed},
      {"closed in the handshake", hello.substr(0, 7), NetStatus::kFailed, NetStatus::kFailed},
      {"plain http answer", "HTTP/1.1 400 Bad Request\r\n\r\n", NetStatus::kFailed,
       NetStatus::kFailed},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {1, 4096}) {
      Tls t(c.stream, piece);
      EXPECT_EQ(t.c->FinishConnect(1000), c.handshake) << c.what;
      std::string got;
      EXPECT_EQ(t.ReadAll(&got), c.end) << c.what;
      EXPECT_EQ(t.c->Failure().empty(), c.end != NetStatus::kFailed) << c.what;
      std::size_t sent = 0;
      if (c.end == NetStatus::kFailed) {
        EXPECT_EQ(t.c->Send("x", 1, &sent, 100), NetStatus::kFailed) << c.what;
      }
    }
  }
  Tls refused(FakeRecord(22, "bad certificate"));
  refused.c->FinishConnect(1000);
  EXPECT_EQ(refused.c->Failure(), "Das Zertifikat ist ungültig.");
  EXPECT_EQ(refused.sent->substr(refused.sent->size() - 7), FakeRecord(21, "\x02\x2A"));
}

TEST(TlsRecords, WaitsStayWithinTheCallersTime) {
  // The handshake waits for a server that never answers, then data that stops inside a record.
  Tls silent("", 4096, true);
  auto start = Clock::now();
  EXPECT_EQ(silent.c->FinishConnect(150), NetStatus::kWouldBlock);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 140);
  EXPECT_LT(ms, 600);

  Tls stuck(kFakeServerHello + FakeRecord(23, "partial").substr(0, 9), 1, true);
  ASSERT_EQ(stuck.c->FinishConnect(1000), NetStatus::kOk);
  stuck.waited->clear();
  char buffer[64];
  std::size_t n = 0;
  start = Clock::now();
  EXPECT_EQ(stuck.c->Receive(buffer, sizeof buffer, &n, 150), NetStatus::kWouldBlock);
  ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 140);
  EXPECT_LT(ms, 600);
  // Nine bytes arrived one by one, then one wait with what was left of the 150 ms.
  ASSERT_EQ(stuck.waited->size(), 10u);
  for (int w : *stuck.waited) EXPECT_LE(w, 150);
}

}  // namespace
}  // namespace orv
