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

  auto small = content(50, "a small screen text"), tie = content(50, "a tie of scores here");
  queue->enqueueContent(tie);
  queue->enqueueContent(small);
  EXPECT_EQ(queue->contentWithHighestScore(), small) << "equal scores: the first in number order";
}

}  // namespace
