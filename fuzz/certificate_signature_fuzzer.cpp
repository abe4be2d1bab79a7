// Certificates and signatures from arbitrary bytes: DER that is not one certificate gives
// no key, a certificate with a damaged or foreign key verifies nothing it should not,
// and no signature bytes crash the check. A real key and certificate are made once at
// start, so mutations reach deep into the DER.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include "fuzz/FuzzEnvironment.h"
#include "sdk/telemetry/ZUMPublicKey.h"

namespace {

const std::string kMessage = "signed settings";

struct Reference {
  std::string certificate;
  std::string signature;  // of kMessage
};

const Reference& reference() {
  static const Reference made = [] {
    Reference result;
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* x509 = X509_new();
    X509_set_version(x509, 2);
    X509_gmtime_adj(X509_getm_notBefore(x509), 0);
    X509_gmtime_adj(X509_getm_notAfter(x509), 3600);
    X509_set_pubkey(x509, key);
    X509_sign(x509, key, EVP_sha256());
    unsigned char* der = nullptr;
    const int length = i2d_X509(x509, &der);
    fuzzenv::check(length > 0);
    result.certificate.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
    OPENSSL_free(der);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::size_t size = 512;
    result.signature.resize(size);
    fuzzenv::check(EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
                   EVP_DigestSign(context, reinterpret_cast<unsigned char*>(result.signature.data()), &size,
                                  reinterpret_cast<const unsigned char*>(kMessage.data()), kMessage.size()) == 1);
    result.signature.resize(size);
    EVP_MD_CTX_free(context);
    X509_free(x509);
    EVP_PKEY_free(key);
    fuzzenv::check(ZUMPublicKey::create(result.certificate)->isSignatureValid(result.signature, kMessage));
    return result;
  }();
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::size_t split = std::min<std::size_t>(input.size(), std::size_t(data[1]) << 8 | data[2]);
  const Reference& real = reference();
  switch (data[0] % 3) {
    case 0: {  // certificate, then signature and message from the input
      if (auto key = ZUMPublicKey::create(input.substr(0, split))) {
        const std::string_view rest = input.substr(split);
        key->isSignatureValid(rest.substr(0, rest.size() / 2), rest.substr(rest.size() / 2));
      }
      break;
    }
    case 1: {  // the real certificate with bytes changed at chosen offsets
      std::string certificate = real.certificate;
      for (std::size_t i = 0; i + 2 < input.size(); i += 3) {
        const std::size_t offset =
            (std::size_t(std::uint8_t(input[i])) << 8 | std::uint8_t(input[i + 1])) % certificate.size();
        certificate[offset] = static_cast<char>(certificate[offset] ^ input[i + 2]);
      }
      if (input.size() % 7 == 1) certificate.resize(split % certificate.size());
      if (auto key = ZUMPublicKey::create(certificate)) key->isSignatureValid(real.signature, kMessage);
      break;
    }
    default: {  // the real key against signature bytes that are not its signature
      auto key = ZUMPublicKey::create(real.certificate);
      if (input != real.signature) fuzzenv::check(!key->isSignatureValid(input, kMessage));
      break;
    }
  }
  return 0;
}
