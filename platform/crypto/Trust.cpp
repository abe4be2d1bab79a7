#include "platform/crypto/Trust.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include "platform/crypto/Certificate.h"
#include "platform/crypto/PublicKey.h"

namespace platform {

std::shared_ptr<Trust> Trust::createWithCertificate(std::shared_ptr<const Certificate> certificate) {
  if (!certificate) return nullptr;
  return std::shared_ptr<Trust>(new Trust(std::move(certificate)));
}

std::optional<TrustResult> Trust::evaluate() {
  // X509_get_pubkey only counts a reference up; the certificate is not changed.
  EVP_PKEY* key = X509_get_pubkey(const_cast<X509*>(certificate_->x509()));
  if (!key) {
    ERR_clear_error();
    return std::nullopt;
  }
  key_ = PublicKey::adopt(key);
  // No policies and no anchors: nothing vouches for the certificate.
  return TrustResult::RecoverableTrustFailure;
}

}  // namespace platform
