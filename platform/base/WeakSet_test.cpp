#include "platform/base/WeakSet.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/base/WeakValueMap.h"

namespace platform {
namespace {

TEST(WeakSetTest, HoldsWithoutOwningAndSkipsTheDead) {
  WeakSet<int> set;
  auto a = std::make_shared<int>(1);
  auto b = std::make_shared<int>(2);
  auto c = std::make_shared<int>(3);
  set.add(a);
  set.add(b);
  set.add(a);  // once only
  set.add(nullptr);
  set.add(c);
  EXPECT_EQ(set.count(), 3u);
  b.reset();                                                               // not owned
  EXPECT_EQ(set.allObjects(), (std::vector<std::shared_ptr<int>>{a, c}));  // order kept

  EXPECT_TRUE(set.remove(a));
  EXPECT_FALSE(set.remove(a));
  EXPECT_TRUE(set.contains(c));
  set.removeAll();
  EXPECT_TRUE(set.empty());
}

TEST(WeakValueMapTest, DeadValuesReadAsAbsent) {
  WeakValueMap<std::string, int> map;
  auto one = std::make_shared<int>(1);
  auto two = std::make_shared<int>(2);
  map.set("av-1", one);
  map.set("av-2", two);
  EXPECT_EQ(map.get("av-1"), one);
  two.reset();  // not owned
  EXPECT_EQ(map.get("av-2"), nullptr);
  EXPECT_EQ(map.count(), 1u);

  map.set("av-1", nullptr);  // a null value removes
  EXPECT_EQ(map.get("av-1"), nullptr);
}

}  // namespace
}  // namespace platform
