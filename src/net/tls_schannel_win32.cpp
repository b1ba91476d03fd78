// TLS on Schannel, the platform's own stack: TLS 1.2 and 1.3 only, the server's certificate
// checked by the program itself against the Windows certificate stores and the host name.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
#include <winternl.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>
#include <sspi.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "net/tls.h"
#include "platform/win32/wide.h"

namespace orv {
namespace {

std::string Hex(long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

// One credentials handle for every connection of the program, so that sessions can be resumed.
class Credentials {
 public:
  Credentials() {
    // SCH_CREDENTIALS names what is switched off; it is the only way to TLS 1.3 and exists from
    // Windows 10 1809 on. Older systems refuse it and get TLS 1.2 through SCHANNEL_CRED.
    TLS_PARAMETERS tls{};
    tls.grbitDisabledProtocols =
        ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
    SCH_CREDENTIALS creds{};
    creds.dwVersion = SCH_CREDENTIALS_VERSION;
    // The certificate is checked below (Verify); Schannel sends no client certificate.
    creds.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS |
                    SCH_USE_STRONG_CRYPTO;
    creds.cTlsParameters = 1;
    creds.pTlsParameters = &tls;
    TimeStamp expiry;
    status_ = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                        SECPKG_CRED_OUTBOUND, nullptr, &creds, nullptr, nullptr,
                                        &handle_, &expiry);
    if (status_ != SEC_E_OK) {
      SCHANNEL_CRED old{};
      old.dwVersion = SCHANNEL_CRED_VERSION;
      old.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
      old.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
      status_ = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                          SECPKG_CRED_OUTBOUND, nullptr, &old, nullptr, nullptr,
                                          &handle_, &expiry);
    }
  }
  ~Credentials() {
    if (status_ == SEC_E_OK) FreeCredentialsHandle(&handle_);
  }
  Credentials(const Credentials&) = delete;
  Credentials& operator=(const Credentials&) = delete;
  bool Ok() const { return status_ == SEC_E_OK; }
  SECURITY_STATUS Status() const { return status_; }
  CredHandle* Handle() { return &handle_; }

 private:
  CredHandle handle_{};
  SECURITY_STATUS status_ = SEC_E_INTERNAL_ERROR;
};

struct ChainFree {
  void operator()(PCCERT_CHAIN_CONTEXT c) const { CertFreeCertificateChain(c); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;
struct CertFree {
  void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};

class SchannelEngine : public TlsEngine {
 public:
  SchannelEngine(std::shared_ptr<Credentials> creds, const std::string& host, int verifyWaitMs)
      : creds_(std::move(creds)), host_(host), wideHost_(Wide(host)),
        verifyWaitMs_(verifyWaitMs) {}
  ~SchannelEngine() override {
    if (haveContext_) DeleteSecurityContext(&context_);
  }

  Step Handshake(std::string_view in, std::size_t* used, std::string* out) override {
    *used = 0;
    if (!creds_->Ok()) {
      return Failed("TLS steht nicht zur Verfügung (" + Hex(creds_->Status()) + ").");
    }
    std::string input(in);  // Schannel may write into its input
    for (int attempt = 0; attempt < 2; ++attempt) {
      SecBuffer inBuffers[2] = {
          {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
      SecBuffer outBuffers[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
      SecBufferDesc outDesc{SECBUFFER_VERSION, 2, outBuffers};
      const DWORD wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_USE_SUPPLIED_CREDS;
      ULONG attributes = 0;
      const SECURITY_STATUS s = InitializeSecurityContextW(
          creds_->Handle(), haveContext_ ? &context_ : nullptr, wideHost_.data(), wanted, 0, 0,
          haveContext_ ? &inDesc : nullptr, 0, haveContext_ ? nullptr : &context_, &outDesc,
          &attributes, nullptr);
      if (!haveContext_ && (s == SEC_E_OK || s == SEC_I_CONTINUE_NEEDED)) haveContext_ = true;
      for (SecBuffer& b : outBuffers) {
        if (b.pvBuffer) {
          if (b.BufferType == SECBUFFER_TOKEN && b.cbBuffer > 0) {
            out->append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
          }
          FreeContextBuffer(b.pvBuffer);
        }
      }
      if (s == SEC_E_INCOMPLETE_MESSAGE) return Step::kNeedMore;
      const std::size_t extra = inBuffers[1].BufferType == SECBUFFER_EXTRA
                                    ? std::min<std::size_t>(inBuffers[1].cbBuffer, in.size())
                                    : 0;
      *used = in.size() - extra;
      switch (s) {
        case SEC_I_CONTINUE_NEEDED:
          return Step::kContinue;
        case SEC_E_OK:
          if (QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
              sizes_.cbMaximumMessage == 0) {
            return Failed("Der TLS-Verbindungsaufbau mit " + host_ + " ist fehlgeschlagen.");
          }
          return Verify() ? Step::kDone : Step::kFailed;
        case SEC_I_INCOMPLETE_CREDENTIALS:
          // The server asks for a client certificate: there is none, and the next call says so.
          input.erase(0, *used);
          continue;
        case SEC_E_ALGORITHM_MISMATCH:
        case SEC_E_UNSUPPORTED_FUNCTION:
          return Failed("Der Server " + host_ + " beherrscht weder TLS 1.2 noch TLS 1.3.");
        default:
          return Failed("Der TLS-Verbindungsaufbau mit " + host_ + " ist fehlgeschlagen (" +
                        Hex(s) + ").");
      }
    }
    return Failed("Der Server " + host_ + " verlangt ein Client-Zertifikat.");
  }

  std::size_t MaxPlaintext() const override { return sizes_.cbMaximumMessage; }

  bool Encrypt(std::string_view plain, std::string* out) override {
    if (plain.size() > sizes_.cbMaximumMessage) {
      Failed("Zu viele Daten für einen TLS-Datensatz.");
      return false;
    }
    std::vector<char> message(sizes_.cbHeader + plain.size() + sizes_.cbTrailer);
    std::copy(plain.begin(), plain.end(), message.begin() + sizes_.cbHeader);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, message.data()},
        {static_cast<unsigned long>(plain.size()), SECBUFFER_DATA,
         message.data() + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER,
         message.data() + sizes_.cbHeader + plain.size()},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS s = EncryptMessage(&context_, 0, &desc, 0);
    if (s != SEC_E_OK) {
      Failed("Die Daten für " + host_ + " konnten nicht verschlüsselt werden (" +
             Hex(s) + ").");
      return false;
    }
    const std::size_t size = std::min<std::size_t>(
        message.size(),
        static_cast<std::size_t>(buffers[0].cbBuffer) + buffers[1].cbBuffer + buffers[2].cbBuffer);
    out->append(message.data(), size);
    return true;
  }

  Opened Decrypt(char* record, std::size_t size, std::string* plain, std::size_t* rest) override {
    *rest = 0;
    SecBuffer buffers[4] = {{static_cast<unsigned long>(size), SECBUFFER_DATA, record},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS s = DecryptMessage(&context_, &desc, 0, nullptr);
    if (s != SEC_E_OK && s != SEC_I_CONTEXT_EXPIRED && s != SEC_I_RENEGOTIATE) {
      Failed("Ungültige TLS-Daten von " + host_ + " (" + Hex(s) + ").");
      return Opened::kFailed;
    }
    const char* const begin = record;
    const char* const end = record + size;
    for (const SecBuffer& b : buffers) {
      const auto* p = static_cast<const char*>(b.pvBuffer);
      // Only what lies inside the record is taken.
      if (!p || p < begin || p > end || b.cbBuffer > static_cast<std::size_t>(end - p)) continue;
      if (b.BufferType == SECBUFFER_DATA) plain->append(p, b.cbBuffer);
      if (b.BufferType == SECBUFFER_EXTRA) *rest = b.cbBuffer;
    }
    if (s == SEC_I_CONTEXT_EXPIRED) return Opened::kClosed;
    if (s == SEC_I_RENEGOTIATE) return Opened::kHandshake;
    return Opened::kData;
  }

  std::string Failure() const override { return failure_; }

 private:
  Step Failed(std::string message) {
    failure_ = std::move(message);
    return Step::kFailed;
  }

  std::string CertificateError(const std::string& what) const {
    return "Das Zertifikat von " + host_ + " " + what;
  }

  Chain BuildChain(PCCERT_CONTEXT cert, bool revocation) const {
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    DWORD flags = 0;
    if (revocation) {
      flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
      if (verifyWaitMs_ > 0) {
        // Fetching revocation lists and missing intermediates is a wait for a server too.
        para.dwUrlRetrievalTimeout = static_cast<DWORD>(verifyWaitMs_);
        flags |= CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
      }
    }
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, flags, nullptr,
                                 &chain)) {
      return nullptr;
    }
    return Chain(chain);
  }

  DWORD Policy(PCCERT_CHAIN_CONTEXT chain) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = wideHost_.data();
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof para;
    para.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    para.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status)) {
      return static_cast<DWORD>(CERT_E_CHAINING);
    }
    return status.dwError;
  }

  // The server's certificate: a chain to a trusted root in the Windows stores, valid now, for
  // server authentication, not revoked where its revocation is known, and for host_.
  bool Verify() {
    PCCERT_CONTEXT raw = nullptr;
    if (QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw) != SEC_E_OK ||
        !raw) {
      Failed("Der Server " + host_ + " hat kein Zertifikat gesendet.");
      return false;
    }
    const std::unique_ptr<const CERT_CONTEXT, CertFree> cert(raw);
    Chain chain = BuildChain(cert.get(), true);
    if (!chain) {
      Failed(CertificateError("konnte nicht geprüft werden."));
      return false;
    }
    DWORD errors = chain->TrustStatus.dwErrorStatus;
    if (errors & CERT_TRUST_IS_REVOKED) {
      Failed(CertificateError("wurde widerrufen."));
      return false;
    }
    // A revocation status that cannot be learnt (no list named, offline) does not fail.
    errors &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                   CERT_TRUST_IS_OFFLINE_REVOCATION);
    // The chain's own status is checked too: a chain that ends without a trusted root is not
    // trusted, whatever a policy says of it.
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID) {
      Failed(CertificateError("ist abgelaufen oder noch nicht gültig."));
      return false;
    }
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) {
      Failed(CertificateError("stammt von keiner vertrauenswürdigen Stelle."));
      return false;
    }
    if (errors) {
      Failed(CertificateError("ist ungültig (" + Hex(static_cast<long>(errors)) + ")."));
      return false;
    }
    DWORD policy = Policy(chain.get());
    if (policy == static_cast<DWORD>(CERT_E_REVOCATION_FAILURE) ||
        policy == static_cast<DWORD>(CRYPT_E_NO_REVOCATION_CHECK) ||
        policy == static_cast<DWORD>(CRYPT_E_REVOCATION_OFFLINE)) {
      // The revocation status is unknown, which the chain check above accepted; some systems'
      // policy reports it before the name. The name and the rest are checked on a chain built
      // without asking for revocation.
      chain = BuildChain(cert.get(), false);
      policy = chain ? Policy(chain.get()) : static_cast<DWORD>(CERT_E_CHAINING);
    }
    switch (policy) {
      case 0:
        return true;
      case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        Failed(CertificateError("gilt nicht für diesen Namen."));
        return false;
      case static_cast<DWORD>(CERT_E_EXPIRED):
        Failed(CertificateError("ist abgelaufen oder noch nicht gültig."));
        return false;
      case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
      case static_cast<DWORD>(CERT_E_CHAINING):
        Failed(CertificateError("stammt von keiner vertrauenswürdigen Stelle."));
        return false;
      case static_cast<DWORD>(CRYPT_E_REVOKED):
        Failed(CertificateError("wurde widerrufen."));
        return false;
      default:
        Failed(CertificateError("ist ungültig (" + Hex(static_cast<long>(policy)) + ")."));
        return false;
    }
  }

  std::shared_ptr<Credentials> creds_;
  const std::string host_;
  std::wstring wideHost_;
  const int verifyWaitMs_;
  CtxtHandle context_{};
  bool haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::string failure_;
};

class SchannelLayer : public TlsLayer {
 public:
  std::unique_ptr<TlsEngine> NewEngine(const std::string& host, int verifyWaitMs) override {
    std::shared_ptr<Credentials> creds;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // Made on first use, and again after a failure (the system may have been busy).
      if (!creds_ || !creds_->Ok()) creds_ = std::make_shared<Credentials>();
      creds = creds_;
    }
    return std::make_unique<SchannelEngine>(std::move(creds), host, verifyWaitMs);
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<Credentials> creds_;
};

}  // namespace

std::shared_ptr<TlsLayer> MakeTlsLayer() { return std::make_shared<SchannelLayer>(); }

}  // namespace orv
