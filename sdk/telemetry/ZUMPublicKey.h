// The public key of an X.509 certificate, for checking signed server data: a signature
// is valid when it is the matching private key's RSA signature, PKCS#1 v1.5, of the
// SHA-256 digest of the message. Whether anything vouches for the certificate is not
// asked; a certificate whose key is of another type makes a key that verifies nothing.
//
// Immutable once made; use it from any thread.
#pragma once

#include <memory>
#include <string_view>

namespace platform {
class Certificate;
class PublicKey;
class Trust;
}  // namespace platform

class ZUMPublicKey {
 public:
  // nullptr when the data is not one DER-encoded certificate or its key cannot be read.
  static std::shared_ptr<ZUMPublicKey> create(std::string_view certificateData);

  // False for an empty signature, one of another message or key, or malformed bytes.
  bool isSignatureValid(std::string_view signature, std::string_view message) const;

 private:
  ZUMPublicKey() = default;

  std::shared_ptr<const platform::Certificate> certificate_;
  std::shared_ptr<platform::Trust> trustStore_;
  std::shared_ptr<const platform::PublicKey> key_;
};
