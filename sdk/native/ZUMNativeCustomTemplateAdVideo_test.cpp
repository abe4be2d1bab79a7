// A custom template ad with a video: its media view becomes an asset the app may click
// once the video has loaded, and a video that fails leaves the ad without it.
#include <algorithm>

#include "ZUMMediaView.h"
#include "ZUMNativeCustomTemplateAd.h"
#include "ZUMVideoController.h"
#include "sdk/native/ZUMNativeVideoTestSupport.h"

namespace {

using nativevideotest::Json;

class ZUMNativeCustomTemplateAdVideoTest : public nativevideotest::NativeVideoTest {
 protected:
  std::shared_ptr<ZUMNativeCustomTemplateAd> makeAd() {
    return ZUMNativeCustomTemplateAd::create(
        Json{{"custom_template_id", "7"},
             {"custom_assets", {{{"name", "title"}, {"type", "string"}, {"string_value", "Title"}}}},
             {"video", videoDictionary()}},
        {ZUMVideoOptions::create()});
  }
  // Loads the ad's assets; "ok" or "failed".
  std::string loadAssets(ZUMNativeCustomTemplateAd& ad) {
    std::string result;
    ad.loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { result = error ? "failed" : "ok"; });
    EXPECT_TRUE(env.runUntil([&] { return !result.empty(); }));
    return result;
  }
};

TEST_F(ZUMNativeCustomTemplateAdVideoTest, TheVideoMediaViewIsAvailableOnceTheVideoHasLoaded) {
  auto ad = makeAd();
  ASSERT_NE(ad, nullptr);
  ASSERT_NE(ad->mediaContent(), nullptr);
  EXPECT_EQ(ad->availableAssetKeys(), std::vector<std::string>{"title"});
  EXPECT_EQ(ad->mediaView(), nullptr);
  EXPECT_EQ(loadAssets(*ad), "ok");
  EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"_videoMediaView", "title"}));
  // The view is offered while the page's player holds the video.
  ASSERT_TRUE(env.runUntil([&] { return ad->videoController()->hasVideoContent(); }));
  EXPECT_NE(ad->mediaView(), nullptr);
  EXPECT_EQ(pageLoads(), 1u);
}

TEST_F(ZUMNativeCustomTemplateAdVideoTest, AVideoThatFailsLeavesTheAdWithoutItsMediaView) {
  server.route(ZUMMediaContent::kVideoSupportPath, {.status = 500, .body = "no"});
  auto ad = makeAd();
  EXPECT_EQ(loadAssets(*ad), "ok");  // the video is not required
  EXPECT_EQ(ad->availableAssetKeys(), std::vector<std::string>{"title"});
  EXPECT_EQ(ad->mediaView(), nullptr);
  EXPECT_FALSE(ad->videoController()->hasVideoContent());
}

}  // namespace
