#include "sdk/telemetry/ZUMMurmurHash3.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(ZUMMurmurHash3Test, PublishedVectors) {
  const struct {
    std::string bytes;
    std::uint32_t seed, hash;
  } rows[] = {
      {"", 0, 0},
      {"", 1, 0x514E28B7},
      {"", 0xFFFFFFFF, 0x81F16F39},
      {std::string(4, '\0'), 0, 0x2362F9DE},
      {"\xff\xff\xff\xff", 0, 0x76293B50},
      {"\x21\x43\x65\x87", 0, 0xF55B516B},
      {"\x21\x43\x65\x87", 0x5082EDEE, 0x2362F9DE},
      {"\x21\x43\x65", 0, 0x7E4A8634},
      {"\x21\x43", 0, 0xA0F7B07A},
      {"\x21", 0, 0x72661CF4},
      {"aaaa", 0x9747B28C, 0x5A97808A},
      {"abc", 0x9747B28C, 0xC84A62DD},
      {"Hello, world!", 0x9747B28C, 0x24884CBA},
      {"The quick brown fox jumps over the lazy dog", 0x9747B28C, 0x2FA826CD},
      {"The quick brown fox jumps over the lazy dog", 0, 0x2E4FF723},
  };
  for (const auto& row : rows) EXPECT_EQ(ZUMMurmurHash3_x86_32(row.bytes, row.seed), row.hash) << row.bytes;
}

// The algorithm's own verification: hash keys {}, {0}, {0,1}, ... {0..254} with seeds
// 256 - length, then hash the 256 results (little-endian) with seed 0.
TEST(ZUMMurmurHash3Test, VerificationValueOfTheReferenceSuite) {
  std::string key, results;
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t hash = ZUMMurmurHash3_x86_32(key, 256 - i);
    for (int shift = 0; shift < 32; shift += 8) results += static_cast<char>(hash >> shift & 0xFF);
    key += static_cast<char>(i);
  }
  EXPECT_EQ(ZUMMurmurHash3_x86_32(results), 0xB0F57EE3u);
}

}  // namespace
