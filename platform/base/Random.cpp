#include "platform/base/Random.h"

#include <cstring>
#include <mutex>
#include <random>

namespace platform {

namespace {

struct Source {
  std::mutex mutex;
  std::mt19937_64 engine;
  bool seeded = false;

  // Call with the mutex held.
  std::uint64_t draw() {
    if (!seeded) {
      std::random_device device;
      std::seed_seq seq{device(), device(), device(), device()};
      engine.seed(seq);
      seeded = true;
    }
    return engine();
  }
};

Source& source() {
  static Source instance;
  return instance;
}

}  // namespace

void Random::seed(std::uint64_t seed) {
  auto& s = source();
  std::lock_guard lock(s.mutex);
  s.engine.seed(seed);
  s.seeded = true;
}

void Random::seedFromDevice() {
  auto& s = source();
  std::lock_guard lock(s.mutex);
  s.seeded = false;
}

std::uint64_t Random::next64() {
  auto& s = source();
  std::lock_guard lock(s.mutex);
  return s.draw();
}

std::uint32_t Random::next32() { return static_cast<std::uint32_t>(next64() >> 32); }

std::uint32_t Random::uniform(std::uint32_t upperBound) {
  if (upperBound < 2) return 0;
  // Draws below `threshold` would favour small results; 2^32 - threshold is a multiple
  // of upperBound, so what remains maps evenly.
  const std::uint32_t threshold = static_cast<std::uint32_t>(-upperBound) % upperBound;
  for (;;) {
    std::uint32_t r = next32();
    if (r >= threshold) return r % upperBound;
  }
}

double Random::nextDouble() { return static_cast<double>(next64() >> 11) * 0x1.0p-53; }

void Random::fill(void* data, std::size_t count) {
  auto* out = static_cast<unsigned char*>(data);
  auto& s = source();
  std::lock_guard lock(s.mutex);
  while (count > 0) {
    std::uint64_t word = s.draw();
    std::size_t n = count < sizeof word ? count : sizeof word;
    std::memcpy(out, &word, n);
    out += n;
    count -= n;
  }
}

std::vector<std::uint8_t> Random::bytes(std::size_t count) {
  std::vector<std::uint8_t> result(count);
  if (count > 0) fill(result.data(), count);
  return result;
}

std::string Random::uuidString() {
  std::uint8_t b[16];
  fill(b, sizeof b);
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kHex[b[i] >> 4]);
    text.push_back(kHex[b[i] & 0xF]);
  }
  return text;
}

}  // namespace platform
