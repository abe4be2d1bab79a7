#include "sdk/foundation/ZUMBinaryHeap.h"

#include <string>

#include <gtest/gtest.h>

namespace {

struct Tuple {
  std::size_t tokens;
  unsigned hash;
};

// Fewer tokens first, then lower hash; equal in both compares equal.
int compareTuples(const Tuple& a, const Tuple& b) {
  if (a.tokens != b.tokens) return a.tokens < b.tokens ? -1 : 1;
  if (a.hash != b.hash) return a.hash < b.hash ? -1 : 1;
  return 0;
}

TEST(ZUMBinaryHeapTest, KeepsTheLeastOnTop) {
  ZUMBinaryHeap<int> heap([](const int& a, const int& b) { return a < b ? -1 : a > b ? 1 : 0; });
  EXPECT_EQ(heap.count(), 0u);
  EXPECT_EQ(heap.minimum(), std::nullopt);
  EXPECT_EQ(heap.removedMinimum(), std::nullopt);
  EXPECT_EQ(heap.sortedObjects(), std::nullopt);

  for (int n : {5, 3, 9, 1, 7, 3}) heap.addObject(n);
  EXPECT_EQ(heap.count(), 6u);
  EXPECT_EQ(heap.minimum(), 1);
  EXPECT_EQ(heap.sortedObjects(), (std::vector<int>{1, 3, 3, 5, 7, 9}));
  EXPECT_TRUE(heap.containsObject(7));
  EXPECT_FALSE(heap.containsObject(4));

  std::vector<int> drained;
  while (auto least = heap.removedMinimum()) drained.push_back(*least);
  EXPECT_EQ(drained, (std::vector<int>{1, 3, 3, 5, 7, 9}));
  EXPECT_EQ(heap.count(), 0u);
}

TEST(ZUMBinaryHeapTest, KeepsTheBestKOfAStream) {
  ZUMBinaryHeap<Tuple> heap(compareTuples);
  const std::size_t k = 3;
  for (unsigned i = 0; i < 20; ++i) {
    Tuple candidate{1 + i % 4, (i * 7919u) % 101};
    if (heap.containsObject(candidate)) continue;
    heap.addObject(candidate);
    if (heap.count() > k) heap.removedMinimum();
  }
  auto kept = heap.sortedObjects();
  ASSERT_TRUE(kept);
  ASSERT_EQ(kept->size(), k);
  // The longest shingles survive, lowest hash first among equals.
  for (const auto& tuple : *kept) EXPECT_EQ(tuple.tokens, 4u);
  EXPECT_LT(compareTuples((*kept)[0], (*kept)[1]), 0);
  EXPECT_LT(compareTuples((*kept)[1], (*kept)[2]), 0);
}

}  // namespace
