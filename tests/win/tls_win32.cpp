// The invisible fetch over https on Schannel, against the loopback servers of tls_server.py
// (started by tls_run.sh, which passes their ports in ORV_TLS_*). The servers' certificate
// authority is made for the test run and trusted in the local machine's Root store of the
// run's prefix for as long as this program runs; the test adds it there and takes it out.
// On Windows, adding to that store needs administrator rights; the current user's Root store
// would ask the user instead.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "net/http.h"
#include "platform/socket.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}
std::string Port(const char* server) { return Env((std::string("ORV_TLS_") + server).c_str()); }
std::string Https(const char* server, const std::string& path) {
  return "https://localhost:" + Port(server) + path;
}
std::string PlainUrl(const std::string& path) { return "http://localhost:" + Port("PLAIN") + path; }

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The requests the servers saw, one JSON line each, in order.
std::vector<std::string> Requests() {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(Env("ORV_TLS_DIR") + "\\requests"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class TrustTestAuthority : public ::testing::Environment {
 public:
  void Load() {
    const std::string pem = ReadFile(Env("ORV_TLS_DIR") + "\\ca.pem");
    ASSERT_FALSE(pem.empty()) << "no test authority; run through tls_run.sh";
    DWORD size = sizeof der_;
    ASSERT_TRUE(CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der_, &size,
                                     nullptr, nullptr));
    size_ = size;
  }
  void SetUp() override {
    Load();
    // The store writes its changes to the registry when it is closed.
    const HCERTSTORE store = OpenRoot();
    ASSERT_NE(store, nullptr) << GetLastError();
    EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der_, size_,
                                                 CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        << GetLastError();
    CertCloseStore(store, 0);
  }
  void TearDown() override {
    const HCERTSTORE store = OpenRoot();
    if (!store) return;
    PCCERT_CONTEXT ours = CertCreateCertificateContext(X509_ASN_ENCODING, der_, size_);
    if (ours) {
      PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, ours, nullptr);
      if (found) CertDeleteCertificateFromStore(found);  // frees `found`
      CertFreeCertificateContext(ours);
    }
    CertCloseStore(store, 0);
  }

 private:
  static HCERTSTORE OpenRoot() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  }
  BYTE der_[8192];
  DWORD size_ = 0;
};

struct Client {
  Client() : http(std::shared_ptr<SocketLayer>(MakeSocketLayer())) { http.SetReadTimeout(5000); }
  HttpClient http;
};

std::string ErrorOf(HttpClient& http, const std::string& url, int* status = nullptr) {
  try {
    http.Get(url);
  } catch (const HttpError& e) {
    if (status) *status = e.Status();
    return e.what();
  }
  ADD_FAILURE() << "no HttpError for " << url;
  return "";
}

TEST(Https, GetCarriesTheRequestHeaders) {
  Client client;
  const std::size_t before = Requests().size();
  const auto start = Clock::now();
  client.http.Get(Https("GOOD", "/hello?x=1"));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  std::cout << "[          ] one https fetch on loopback (handshake and request): " << ms
            << " ms\n";
  const std::vector<std::string> r = Requests();
  ASSERT_EQ(r.size(), before + 1);
  const std::string& seen = r.back();
  EXPECT_TRUE(Contains(seen, "\"server\": \"good\", \"path\": \"/hello?x=1\"")) << seen;
  EXPECT_TRUE(Contains(seen, "[\"Host\", \"localhost:" + Port("GOOD") + "\"]")) << seen;
  EXPECT_TRUE(Contains(seen, "[\"Accept\", \"text/html, */*\"]")) << seen;
  EXPECT_TRUE(Contains(seen, "[\"User-Agent\", \"Orvalis (http://www.orvalis-planer.example)\"]"))
      << seen;
}

TEST(Https, CertificatesThatDoNotProveTheServerFail) {
  Client client;
  const std::size_t before = Requests().size();
  const struct {
    const char* server;
    const char* message;
  } cases[] = {{"EXPIRED", "abgelaufen"},
               {"WRONGNAME", "gilt nicht für diesen Namen"},
               {"UNTRUSTED", "vertrauenswürdigen"}};
  for (const auto& c : cases) {
    const std::string message = ErrorOf(client.http, Https(c.server, "/secret"));
    EXPECT_TRUE(Contains(message, c.message)) << c.server << ": " << message;
  }
  // Nothing went over a connection that failed its check.
  EXPECT_EQ(Requests().size(), before);
}

TEST(Https, AStalledHandshakeTimesOut) {
  Client client;
  client.http.SetReadTimeout(300);
  const auto start = Clock::now();
  const std::string message = ErrorOf(client.http, Https("STALL", "/"));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_TRUE(Contains(message, "Zeitüberschreitung beim TLS")) << message;
  EXPECT_GE(ms, 250);
  EXPECT_LT(ms, 3000);
}

TEST(Https, RedirectsFromHttpToHttpsButNotBack) {
  Client client;
  std::size_t before = Requests().size();
  // http -> https -> https -> 200
  client.http.Get(PlainUrl("/to-https/1"));
  std::vector<std::string> r = Requests();
  ASSERT_EQ(r.size(), before + 3);
  EXPECT_TRUE(Contains(r[before], "\"server\": \"plain\", \"path\": \"/to-https/1\""));
  EXPECT_TRUE(Contains(r[before + 1], "\"server\": \"good\", \"path\": \"/redirect/1\""));
  EXPECT_TRUE(Contains(r[before + 2], "\"server\": \"good\", \"path\": \"/redirect/0\""));

  // Five redirects are followed, a sixth is not.
  client.http.Get(Https("GOOD", "/redirect/5"));
  before = Requests().size();
  int status = 0;
  std::string message = ErrorOf(client.http, Https("GOOD", "/redirect/6"), &status);
  EXPECT_EQ(status, 302);
  EXPECT_TRUE(Contains(message, "Weiterleitungen")) << message;
  EXPECT_EQ(Requests().size(), before + 6);

  // From https back to http: refused, and the http server never asked.
  before = Requests().size();
  message = ErrorOf(client.http, Https("GOOD", "/to-http"), &status);
  EXPECT_EQ(status, 302);
  EXPECT_TRUE(Contains(message, "HTTPS auf HTTP")) << message;
  EXPECT_EQ(Requests().size(), before + 1);
}

TEST(Https, SecureCookiesGoOverHttpsOnly) {
  Client client;
  client.http.Get(Https("GOOD", "/set-cookies"));
  client.http.Get(Https("GOOD", "/again"));
  client.http.Get(PlainUrl("/plain"));  // the same host, over http
  const std::vector<std::string> r = Requests();
  ASSERT_GE(r.size(), 2u);
  EXPECT_TRUE(Contains(r[r.size() - 2], "[\"Cookie\", \"s=1; p=2\"]")) << r[r.size() - 2];
  EXPECT_TRUE(Contains(r.back(), "[\"Cookie\", \"p=2\"]")) << r.back();
  EXPECT_FALSE(Contains(r.back(), "s=1")) << r.back();
}

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
  // For the end-to-end test: trust the authority (or no longer) and leave it at that.
  if (argc == 2 && (std::string(argv[1]) == "--trust" || std::string(argv[1]) == "--untrust")) {
    orv::TrustTestAuthority trust;
    if (std::string(argv[1]) == "--trust") {
      trust.SetUp();
    } else {
      trust.Load();
      trust.TearDown();
    }
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new orv::TrustTestAuthority);
  return RUN_ALL_TESTS();
}
