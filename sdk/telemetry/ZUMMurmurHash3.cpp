#include "sdk/telemetry/ZUMMurmurHash3.h"

#include <bit>
#include <cstddef>

namespace {

constexpr std::uint32_t kC1 = 0xcc9e2d51;
constexpr std::uint32_t kC2 = 0x1b873593;

std::uint32_t littleEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint32_t mixedBlock(std::uint32_t k) { return std::rotl(k * kC1, 15) * kC2; }

}  // namespace

std::uint32_t ZUMMurmurHash3_x86_32(std::string_view bytes, std::uint32_t seed) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t length = bytes.size();
  const std::size_t blocks = length / 4;
  std::uint32_t h = seed;

  for (std::size_t i = 0; i < blocks; ++i) {
    h ^= mixedBlock(littleEndian32(data + 4 * i));
    h = std::rotl(h, 13) * 5 + 0xe6546b64;
  }

  const unsigned char* tail = data + 4 * blocks;
  std::uint32_t k = 0;
  switch (length & 3) {
    case 3:
      k ^= std::uint32_t(tail[2]) << 16;
      [[fallthrough]];
    case 2:
      k ^= std::uint32_t(tail[1]) << 8;
      [[fallthrough]];
    case 1:
      k ^= tail[0];
      h ^= mixedBlock(k);
  }

  // The length is mixed in modulo 2^32, as the algorithm's 32-bit length does.
  h ^= static_cast<std::uint32_t>(length);
  h ^= h >> 16;
  h *= 0x85ebca6b;
  h ^= h >> 13;
  h *= 0xc2b2ae35;
  h ^= h >> 16;
  return h;
}
