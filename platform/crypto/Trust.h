// The platform's trust evaluation of a certificate, after the phone platform's trust
// object. Made without policies, evaluation checks nothing beyond reading the leaf
// certificate's public key: it fails (the call itself, not the verdict) only when that
// key cannot be read. Use one trust object from one thread at a time.
#pragma once

#include <memory>
#include <optional>

namespace platform {

class Certificate;
class PublicKey;

enum class TrustResult {
  Invalid = 0,
  Proceed = 1,
  Deny = 3,
  Unspecified = 4,
  RecoverableTrustFailure = 5,
  FatalTrustFailure = 6,
  OtherError = 7,
};

class Trust {
 public:
  // nullptr without a certificate.
  static std::shared_ptr<Trust> createWithCertificate(std::shared_ptr<const Certificate> certificate);

  // The verdict; std::nullopt when the evaluation could not run.
  [[nodiscard]] std::optional<TrustResult> evaluate();
  // The leaf's public key after a successful evaluation, else nullptr.
  std::shared_ptr<const PublicKey> copyPublicKey() const { return key_; }

 private:
  explicit Trust(std::shared_ptr<const Certificate> certificate) : certificate_(std::move(certificate)) {}
  std::shared_ptr<const Certificate> certificate_;
  std::shared_ptr<const PublicKey> key_;
};

}  // namespace platform
