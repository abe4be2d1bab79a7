// Message digests, as the platform's crypto library gives them. MD5 names files and
// identifiers and condenses text, never protects anything; SHA-256 is what signatures
// are made over. Thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using MD5Digest = std::array<std::uint8_t, 16>;
using SHA256Digest = std::array<std::uint8_t, 32>;

MD5Digest md5(std::string_view bytes);
SHA256Digest sha256(std::string_view bytes);

// The 32-digit lower-case hexadecimal MD5 of the bytes.
std::string md5Hex(std::string_view bytes);

}  // namespace platform
