#include "sdk/telemetry/ZUMPublicKey.h"

#include <cstdint>
#include <limits>

#include "platform/base/Digest.h"
#include "platform/crypto/Certificate.h"
#include "platform/crypto/PublicKey.h"
#include "platform/crypto/Trust.h"

std::shared_ptr<ZUMPublicKey> ZUMPublicKey::create(std::string_view certificateData) {
  std::shared_ptr<ZUMPublicKey> publicKey(new ZUMPublicKey());
  publicKey->certificate_ = platform::Certificate::createWithData(certificateData);
  if (!publicKey->certificate_) return nullptr;
  publicKey->trustStore_ = platform::Trust::createWithCertificate(publicKey->certificate_);
  if (!publicKey->trustStore_) return nullptr;
  // The verdict does not matter: an untrusted certificate still yields its key.
  if (!publicKey->trustStore_->evaluate()) return nullptr;
  publicKey->key_ = publicKey->trustStore_->copyPublicKey();
  if (!publicKey->key_) return nullptr;
  return publicKey;
}

bool ZUMPublicKey::isSignatureValid(std::string_view signature, std::string_view message) const {
  if (signature.empty() || signature.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  const auto digest = platform::sha256(message);
  return key_->rawVerify(platform::SignaturePadding::PKCS1SHA256,
                         std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()), signature);
}
