#include "platform/base/KeyedHash.h"

#include <bit>
#include <cstring>
#include <random>

namespace platform {
namespace {

static_assert(std::endian::native == std::endian::little, "message words are read as they lie in memory");

std::uint64_t word(const char* bytes) {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1;
    v1 = std::rotl(v1, 13) ^ v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16) ^ v2;
    v0 += v3;
    v3 = std::rotl(v3, 21) ^ v0;
    v2 += v1;
    v1 = std::rotl(v1, 17) ^ v2;
    v2 = std::rotl(v2, 32);
  }
  void absorb(std::uint64_t message) {
    v3 ^= message;
    round();
    round();
    v0 ^= message;
  }
};

SipHashKey drawnKey() {
  std::random_device device;
  const auto draw = [&device] { return static_cast<std::uint64_t>(device()) << 32 | device(); };
  SipHashKey key;
  key.low = draw();
  key.high = draw();
  return key;
}

}  // namespace

std::uint64_t sipHash(std::string_view bytes, SipHashKey key) {
  SipState state{key.low ^ 0x736f6d6570736575, key.high ^ 0x646f72616e646f6d, key.low ^ 0x6c7967656e657261,
                 key.high ^ 0x7465646279746573};
  const std::size_t whole = bytes.size() / 8 * 8;
  for (std::size_t at = 0; at < whole; at += 8) state.absorb(word(bytes.data() + at));
  // The last word: the bytes left over, then the length's low byte at the top.
  std::uint64_t last = static_cast<std::uint64_t>(bytes.size()) << 56;
  for (std::size_t at = whole; at < bytes.size(); ++at) {
    last |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at])) << (8 * (at - whole));
  }
  state.absorb(last);
  state.v2 ^= 0xff;
  for (int round = 0; round < 4; ++round) state.round();
  return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

std::uint64_t keyedHash(std::string_view bytes) {
  static const SipHashKey secret = drawnKey();
  return sipHash(bytes, secret);
}

}  // namespace platform
