#include "sdk/foundation/ZUMBinaryHeap.h"

#include <gtest/gtest.h>

namespace {

TEST(ZUMBinaryHeapTest, KeepsTheLeastOnTop) {
  ZUMBinaryHeap<int> heap([](const int& a, const int& b) { return a < b ? -1 : a > b ? 1 : 0; });
  EXPECT_EQ(heap.minimum(), std::nullopt);
  EXPECT_EQ(heap.removedMinimum(), std::nullopt);
  EXPECT_EQ(heap.sortedObjects(), std::nullopt);

  for (int n : {5, 3, 9, 1, 7, 3}) heap.addObject(n);
  EXPECT_EQ(heap.sortedObjects(), (std::vector<int>{1, 3, 3, 5, 7, 9}));
  EXPECT_TRUE(heap.containsObject(7));
  EXPECT_FALSE(heap.containsObject(4));
  std::vector<int> drained;
  while (auto least = heap.removedMinimum()) drained.push_back(*least);
  EXPECT_EQ(drained, (std::vector<int>{1, 3, 3, 5, 7, 9}));
  EXPECT_EQ(heap.count(), 0u);
}

}  // namespace
