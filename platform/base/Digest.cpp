#include "platform/base/Digest.h"

#include <openssl/evp.h>

namespace platform {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> digest(std::string_view bytes, const EVP_MD* type) {
  std::array<std::uint8_t, N> result{};
  unsigned int length = 0;
  // One-shot digests of memory fail only when the library cannot allocate: all zeros then.
  if (EVP_Digest(bytes.data(), bytes.size(), result.data(), &length, type, nullptr) != 1 || length != N) return {};
  return result;
}

}  // namespace

MD5Digest md5(std::string_view bytes) { return digest<16>(bytes, EVP_md5()); }

SHA256Digest sha256(std::string_view bytes) { return digest<32>(bytes, EVP_sha256()); }

std::string md5Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(32);
  for (std::uint8_t byte : md5(bytes)) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}

}  // namespace platform
