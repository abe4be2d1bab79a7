#include "sdk/telemetry/ZUMPublicKey.h"

#include <gtest/gtest.h>
#include <openssl/err.h>

#include "platform/base/Digest.h"
#include "platform/crypto/Certificate.h"
#include "platform/crypto/PublicKey.h"
#include "platform/crypto/Trust.h"
#include "testing/TestCertificates.h"

namespace {

std::string flipped(std::string bytes, std::size_t index, int bit = 0) {
  bytes.at(index) = static_cast<char>(bytes[index] ^ (1 << bit));
  return bytes;
}

const std::string kMessage = "{\"unit\": \"unit-A\", \"until\": 1700000000}";

TEST(ZUMPublicKeyTest, RSASignaturesOverSHA256) {
  const auto signer = testenv::TestSigner::create(testenv::TestKeyType::RSA);
  const auto key = ZUMPublicKey::create(signer->certificateDER());
  ASSERT_NE(key, nullptr);
  const std::string signature = signer->sign(kMessage);
  EXPECT_TRUE(key->isSignatureValid(signature, kMessage));
  EXPECT_TRUE(key->isSignatureValid(signer->sign(""), ""));

  EXPECT_FALSE(key->isSignatureValid("", kMessage));
  EXPECT_FALSE(key->isSignatureValid(signer->sign("another message"), kMessage));
  EXPECT_FALSE(key->isSignatureValid(signature, flipped(kMessage, 3)));
  for (std::size_t index : {std::size_t(0), signature.size() / 2, signature.size() - 1}) {
    EXPECT_FALSE(key->isSignatureValid(flipped(signature, index, 7), kMessage)) << index;
  }
  EXPECT_FALSE(key->isSignatureValid(signature.substr(1), kMessage));
  EXPECT_FALSE(key->isSignatureValid(signature + '\0', kMessage));

  // The digest itself, one bit off, against the platform's raw check.
  const auto digest = platform::sha256(kMessage);
  const std::string digestBytes(reinterpret_cast<const char*>(digest.data()), digest.size());
  auto trust = platform::Trust::createWithCertificate(platform::Certificate::createWithData(signer->certificateDER()));
  ASSERT_TRUE(trust->evaluate().has_value());
  const auto raw = trust->copyPublicKey();
  EXPECT_TRUE(raw->rawVerify(platform::SignaturePadding::PKCS1SHA256, digestBytes, signature));
  EXPECT_FALSE(raw->rawVerify(platform::SignaturePadding::PKCS1SHA256, flipped(digestBytes, 31), signature));
  EXPECT_FALSE(raw->rawVerify(platform::SignaturePadding::PKCS1SHA256, digestBytes.substr(1), signature));
  // A refusal leaves nothing in the thread's error queue for the next user of the library.
  EXPECT_EQ(ERR_peek_error(), 0u);
}

TEST(ZUMPublicKeyTest, AnotherCertificateOrKeyTypeVerifiesNothing) {
  const auto signer = testenv::TestSigner::create(testenv::TestKeyType::RSA);
  const std::string signature = signer->sign(kMessage);
  // One bit of the certificate's key changed: a different key.
  std::string certificate = signer->certificateDER();
  const std::size_t keyInfo = certificate.find(signer->publicKeyInfoDER());
  ASSERT_NE(keyInfo, std::string::npos);
  const auto otherKey = ZUMPublicKey::create(flipped(certificate, keyInfo + 100));
  EXPECT_TRUE(otherKey == nullptr || !otherKey->isSignatureValid(signature, kMessage));

  const auto other = testenv::TestSigner::create(testenv::TestKeyType::RSA);
  EXPECT_FALSE(ZUMPublicKey::create(other->certificateDER())->isSignatureValid(signature, kMessage));

  const auto elliptic = testenv::TestSigner::create(testenv::TestKeyType::ECDSA);
  const auto ellipticKey = ZUMPublicKey::create(elliptic->certificateDER());
  ASSERT_NE(ellipticKey, nullptr);
  EXPECT_FALSE(ellipticKey->isSignatureValid(elliptic->sign(kMessage), kMessage));
  EXPECT_FALSE(ellipticKey->isSignatureValid(signature, kMessage));
}

TEST(ZUMPublicKeyTest, DataThatIsNotOneCertificateGivesNoKey) {
  const auto signer = testenv::TestSigner::create(testenv::TestKeyType::RSA);
  const std::string& der = signer->certificateDER();
  for (std::size_t length = 0; length < der.size(); ++length) {
    EXPECT_EQ(ZUMPublicKey::create(der.substr(0, length)), nullptr) << length;
  }
  EXPECT_EQ(ZUMPublicKey::create(der + der), nullptr);
  EXPECT_EQ(platform::Certificate::createWithData(der + der), nullptr) << "one certificate, nothing after it";
  EXPECT_EQ(ZUMPublicKey::create("-----BEGIN CERTIFICATE-----"), nullptr);
  EXPECT_EQ(ZUMPublicKey::create(flipped(der, 0, 5)), nullptr) << "not a SEQUENCE";
  EXPECT_EQ(ERR_peek_error(), 0u);
}

}  // namespace
