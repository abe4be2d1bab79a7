// A public key taken from a certificate's trust evaluation, after the phone platform's
// key object: checks raw signatures of digests. Immutable; use it from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

struct evp_pkey_st;

namespace platform {

// Paddings of raw verification, numbered as the phone platform numbers them.
enum class SignaturePadding : std::uint32_t {
  PKCS1SHA256 = 0x8004,  // PKCS#1 v1.5 over a DER DigestInfo of a SHA-256 digest
};

class PublicKey {
 public:
  // Takes over the caller's reference to `key` (nullptr: nullptr).
  static std::shared_ptr<PublicKey> adopt(evp_pkey_st* key);
  ~PublicKey();
  PublicKey(const PublicKey&) = delete;
  PublicKey& operator=(const PublicKey&) = delete;

  // Whether `signature` signs `digest` under this key with that padding. False for a key
  // of another type, a digest of the wrong length or a malformed signature.
  bool rawVerify(SignaturePadding padding, std::string_view digest, std::string_view signature) const;

 private:
  explicit PublicKey(evp_pkey_st* key) : key_(key) {}
  evp_pkey_st* key_;
};

}  // namespace platform
