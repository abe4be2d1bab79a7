#include "platform/base/KeyedHash.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace platform {
namespace {

// A broken hash would still spread ordinary keys, but might let chosen ones crowd: it must
// be SipHash-2-4 exactly, as its reference gives it (key bytes 0 to 15; messages of
// `length` bytes counting up from `first`), words and leftover bytes, high bytes too.
TEST(KeyedHashTest, SipHashGivesTheReferenceHashes) {
  const SipHashKey key{0x0706050403020100, 0x0f0e0d0c0b0a0908};
  const struct {
    int first;
    int length;
    std::uint64_t hash;
  } rows[] = {
      {0x00, 0, 0x726fdb47dd0e0e31},  {0x00, 1, 0x74f839c593dc67fd},  {0x00, 7, 0xab0200f58b01d137},
      {0x00, 8, 0x93f5f5799a932462},  {0x00, 15, 0xa129ca6149be45e5}, {0x00, 63, 0x958a324ceb064572},
      {0xf0, 15, 0x61f10eb2ea2bc8b8},
  };
  for (const auto& row : rows) {
    std::string message;
    for (int i = 0; i < row.length; ++i) message += static_cast<char>(row.first + i);
    EXPECT_EQ(sipHash(message, key), row.hash) << row.first << "+" << row.length;
  }
}

}  // namespace
}  // namespace platform
