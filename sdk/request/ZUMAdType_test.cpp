#include "sdk/request/ZUMAdType.h"

#include <gtest/gtest.h>

#include "testing/TestEnvironment.h"

namespace {

using ZUMAdTypeTest = testenv::PlatformTest;

TEST_F(ZUMAdTypeTest, EqualityAndHashFollowTheKindAndTheAdSize) {
  auto interstitial = ZUMAdType::interstitialAdType();
  EXPECT_TRUE(interstitial->isEqual(ZUMAdType::createForInterstitial()));
  EXPECT_FALSE(interstitial->isEqual(nullptr));

  auto banner = ZUMAdType::bannerAdTypeForSize(kZUMAdSizeBanner);
  auto same = ZUMAdType::create({{320, 50}, 0});
  EXPECT_TRUE(banner->isEqual(same));
  EXPECT_EQ(banner->hash(), same->hash());
  auto custom = ZUMAdType::create({{320, 50}, kZUMAdSizeFlagCustom});
  EXPECT_FALSE(banner->isEqual(custom));
  EXPECT_NE(banner->hash(), custom->hash());
  EXPECT_FALSE(banner->isEqual(interstitial));
}

TEST_F(ZUMAdTypeTest, ValidityAndDescriptions) {
  auto interstitial = ZUMAdType::createForInterstitial();
  EXPECT_TRUE(interstitial->isValid());
  EXPECT_EQ(interstitial->description(), "ZUMAdType interstitial type");

  auto banner = ZUMAdType::create(kZUMAdSizeBanner);
  EXPECT_TRUE(banner->isValid());
  EXPECT_EQ(banner->description(), "ZUMAdType banner with size: 320x50");
  EXPECT_FALSE(ZUMAdType::create(kZUMAdSizeInvalid)->isValid());

  auto rewarded = ZUMAdType::createForRewardBasedVideoAd();
  EXPECT_TRUE(rewarded->isRewardBasedVideoAd());
  EXPECT_FALSE(rewarded->isInterstitial());
  EXPECT_FALSE(rewarded->isValid());
  EXPECT_EQ(rewarded->description(), "ZUMAdType banner with size: " + ZUMAdSizeDescription(kZUMAdSizeInvalid));
}

}  // namespace
