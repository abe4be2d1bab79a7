// A signer for tests: a fresh key pair, a self-signed X.509 certificate of its public
// key (DER) and signatures made with its private key, all made at run time.
//
//   auto signer = testenv::TestSigner::create(testenv::TestKeyType::RSA);
//   std::string signature = signer->sign("message");   // PKCS#1 v1.5 over SHA-256
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace testenv {

enum class TestKeyType {
  RSA,    // 2048 bits; signatures are PKCS#1 v1.5 over SHA-256
  ECDSA,  // P-256; signatures are DER ECDSA over SHA-256
};

class TestSigner {
 public:
  static std::unique_ptr<TestSigner> create(TestKeyType type);
  ~TestSigner();

  const std::string& certificateDER() const { return certificate_; }
  // The certificate's SubjectPublicKeyInfo (DER), as it appears inside certificateDER().
  std::string publicKeyInfoDER() const;
  std::string sign(std::string_view message) const;

 private:
  TestSigner() = default;
  struct Key;
  std::unique_ptr<Key> key_;
  std::string certificate_;
};

}  // namespace testenv
