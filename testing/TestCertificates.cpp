#include "testing/TestCertificates.h"

#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace testenv {

struct TestSigner::Key {
  EVP_PKEY* key = nullptr;
  ~Key() { EVP_PKEY_free(key); }
};

namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test signer: ") + what);
}

}  // namespace

std::unique_ptr<TestSigner> TestSigner::create(TestKeyType type) {
  std::unique_ptr<TestSigner> signer(new TestSigner());
  signer->key_ = std::make_unique<Key>();
  signer->key_->key = type == TestKeyType::RSA ? EVP_RSA_gen(2048) : EVP_EC_gen("P-256");
  check(signer->key_->key, "key generation");

  X509* x509 = X509_new();
  check(x509, "certificate");
  X509_set_version(x509, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
  X509_gmtime_adj(X509_getm_notBefore(x509), 0);
  X509_gmtime_adj(X509_getm_notAfter(x509), 24 * 3600);
  X509_NAME* name = X509_get_subject_name(x509);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("signer.example.com"), -1,
                             -1, 0);
  X509_set_issuer_name(x509, name);
  X509_set_pubkey(x509, signer->key_->key);
  check(X509_sign(x509, signer->key_->key, EVP_sha256()) > 0, "certificate signature");
  unsigned char* der = nullptr;
  const int length = i2d_X509(x509, &der);
  X509_free(x509);
  check(length > 0, "certificate encoding");
  signer->certificate_.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return signer;
}

TestSigner::~TestSigner() = default;

std::string TestSigner::publicKeyInfoDER() const {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key_->key, &der);
  check(length > 0, "key encoding");
  std::string result(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return result;
}

std::string TestSigner::sign(std::string_view message) const {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  std::size_t length = 0;
  check(context && EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key_->key) == 1 &&
            EVP_DigestSign(context, nullptr, &length, reinterpret_cast<const unsigned char*>(message.data()),
                           message.size()) == 1,
        "signing");
  std::string signature(length, '\0');
  const bool signed_ = EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                                      reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
  EVP_MD_CTX_free(context);
  check(signed_, "signing");
  signature.resize(length);
  return signature;
}

}  // namespace testenv
