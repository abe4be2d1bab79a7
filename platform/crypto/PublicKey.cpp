#include "platform/crypto/PublicKey.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

namespace platform {

std::shared_ptr<PublicKey> PublicKey::adopt(EVP_PKEY* key) {
  if (!key) return nullptr;
  return std::shared_ptr<PublicKey>(new PublicKey(key));
}

PublicKey::~PublicKey() { EVP_PKEY_free(key_); }

bool PublicKey::rawVerify(SignaturePadding padding, std::string_view digest, std::string_view signature) const {
  if (padding != SignaturePadding::PKCS1SHA256) return false;
  if (EVP_PKEY_get_base_id(key_) != EVP_PKEY_RSA) return false;
  if (digest.size() != 32 || signature.empty()) return false;
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key_, nullptr),
                                                                      &EVP_PKEY_CTX_free);
  const bool verified =
      context && EVP_PKEY_verify_init(context.get()) == 1 &&
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) == 1 &&
      EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) == 1 &&
      EVP_PKEY_verify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                      reinterpret_cast<const unsigned char*>(digest.data()), digest.size()) == 1;
  if (!verified) ERR_clear_error();  // a bad signature is an answer, not an error for others
  return verified;
}

}  // namespace platform
