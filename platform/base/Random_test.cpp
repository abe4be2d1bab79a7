#include "platform/base/Random.h"

#include <set>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(RandomTest, SameSeedSameDraws) {
  Random::seed(42);
  std::vector<std::uint64_t> first;
  for (int i = 0; i < 8; ++i) first.push_back(Random::next64());
  std::string uuid = Random::uuidString();
  Random::seed(42);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Random::next64(), first[i]);
  EXPECT_EQ(Random::uuidString(), uuid);
}

TEST(RandomTest, UniformStaysInBoundsAndReachesEveryValue) {
  Random::seed(7);
  EXPECT_EQ(Random::uniform(0), 0u);
  std::vector<int> counts(6);
  for (int i = 0; i < 6000; ++i) {
    auto v = Random::uniform(6);
    ASSERT_LT(v, 6u);
    ++counts[v];
  }
  for (int c : counts) EXPECT_GT(c, 800);  // about 1000 each
  for (int i = 0; i < 1000; ++i) {
    EXPECT_LT(Random::uniform(4294967293u), 4294967293u);  // the correlator's range
    EXPECT_LT(Random::nextDouble(), 1.0);
  }
}

TEST(RandomTest, UUIDsAreVersion4UpperCase) {
  Random::seed(1);
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string uuid = Random::uuidString();
    ASSERT_EQ(uuid.size(), 36u);
    EXPECT_EQ(uuid.substr(13, 2), "-4");
    EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos);
    EXPECT_EQ(uuid.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << uuid;
    seen.insert(uuid);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace platform
