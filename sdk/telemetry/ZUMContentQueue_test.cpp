#include "sdk/telemetry/ZUMContentQueue.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "sdk/telemetry/ZUMContent.h"
#include "testing/TestEnvironment.h"

namespace {

class ZUMContentQueueTest : public testenv::PlatformTest {
 protected:
  // Without the length weight a content scores its walk number.
  void SetUp() override { platform::UserDefaults::standard().setInteger(0, kZUMContentLengthWeightKey); }

  static std::shared_ptr<ZUMContent> content(std::uint64_t number, const char* text) {
    auto made = ZUMContent::create(number);
    made->updateContentWithText(text);
    return made;
  }
};

TEST_F(ZUMContentQueueTest, CapacityPushesOutTheOldest) {
  auto none = ZUMContentQueue::create(0);
  none->enqueueContent(content(1, "first screen text"));
  EXPECT_EQ(none->count(), 0u);
  EXPECT_EQ(none->contentWithHighestScore(), nullptr);

  auto queue = ZUMContentQueue::create(2);
  queue->enqueueContent(nullptr);
  for (std::uint64_t n : {1, 2, 3}) queue->enqueueContent(content(n, n == 2 ? "second screen" : "other screen text"));
  EXPECT_EQ(queue->count(), 2u);
  EXPECT_EQ(queue->contentWithSequenceNumber(1), nullptr);
  EXPECT_NE(queue->contentWithSequenceNumber(2), nullptr);
  EXPECT_EQ(queue->contentWithHighestScore()->sequenceNumber(), 3u);
}

TEST_F(ZUMContentQueueTest, EqualFingerprintsKeepTheNewer) {
  auto queue = ZUMContentQueue::create(5);
  auto older = content(1, "an unchanged screen"), other = content(2, "another screen"),
       newer = content(3, "an unchanged screen");
  queue->enqueueContent(older);
  queue->enqueueContent(other);
  queue->deduplicate(newer);
  queue->enqueueContent(newer);
  EXPECT_EQ(queue->contentWithSequenceNumber(1), nullptr);
  EXPECT_EQ(queue->contentWithSequenceNumber(3), newer);
  // A late content whose fingerprint a newer one already has is itself removed.
  auto late = content(1, "another screen");
  queue->enqueueContent(late);
  queue->deduplicate(late);
  EXPECT_EQ(queue->contentWithSequenceNumber(1), nullptr);
  EXPECT_EQ(queue->contentWithSequenceNumber(2), other);
  queue->deduplicate(nullptr);
  EXPECT_EQ(queue->count(), 2u);

  // Removed contents leave the age order too: the oldest still queued is pushed out.
  auto pair = ZUMContentQueue::create(2);
  pair->enqueueContent(content(1, "a repeated screen"));
  auto repeated = content(2, "a repeated screen");
  pair->deduplicate(repeated);
  pair->enqueueContent(repeated);
  pair->enqueueContent(content(3, "a third screen"));
  pair->enqueueContent(content(4, "a fourth screen"));
  EXPECT_EQ(pair->count(), 2u);
  EXPECT_EQ(pair->contentWithSequenceNumber(2), nullptr);
}

TEST_F(ZUMContentQueueTest, ServedPenaltyLowersTheBestUntilNoneScoresAboveZero) {
  auto queue = ZUMContentQueue::create(3);
  auto best = content(1000, "the only long screen text");
  queue->enqueueContent(best);
  for (int served = 0; served < 10; ++served) {
    ASSERT_EQ(queue->contentWithHighestScore(), best) << served;
    best->deductServedPenalty();
  }
  EXPECT_EQ(best->score(), 0);
  EXPECT_EQ(queue->contentWithHighestScore(), nullptr);
  auto barely = ZUMContentQueue::create(1);
  barely->enqueueContent(content(1, "a screen scoring one"));
  EXPECT_NE(barely->contentWithHighestScore(), nullptr);

  auto first = content(150, "a first screen text"), later = content(200, "a later screen text");
  queue->enqueueContent(first);
  queue->enqueueContent(later);
  later->deductServedPenalty();
  EXPECT_EQ(queue->contentWithHighestScore(), first);
  first->deductServedPenalty();
  first->deductServedPenalty();
  EXPECT_EQ(first->score(), -50);
  auto tie = content(100, "a tie of scores here");
  queue->enqueueContent(tie);
  EXPECT_EQ(queue->contentWithHighestScore(), tie) << "equal scores: the first in number order";
}

}  // namespace
