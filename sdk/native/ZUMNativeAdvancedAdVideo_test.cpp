// App-install and content ads with a video: the first image stands in until the video
// has loaded, the host's video controller then drives the page's player, and a template
// view with a media view shows the video and reports it shown.
#include "ZUMMediaView.h"
#include "ZUMNativeAdImage.h"
#include "ZUMNativeAppInstallAd.h"
#include "ZUMNativeContentAd.h"
#include "ZUMNativeContentAdView.h"
#include "ZUMVideoController.h"
#include "sdk/native/ZUMNativeVideoTestSupport.h"
#include "testing/TestImages.h"

namespace {

using nativevideotest::Json;

class ZUMNativeAdvancedAdVideoTest : public nativevideotest::NativeVideoTest {
 protected:
  Json adWithVideo(bool appInstall) const {
    Json ad{{"headline", "Watch"},
            {"body", "A clip"},
            {"call_to_action", "Install"},
            {"images", {{{"url", server.baseURL() + "/still.png"}}}},
            {"video", videoDictionary()}};
    if (appInstall) ad["app_icon"] = Json{{"url", server.baseURL() + "/still.png"}};
    return ad;
  }
  std::string loadAssets(ZUMNativeAd& ad) {
    std::string result;
    ad.loadAssetsWithCompletionHandler([&](const platform::ErrorPtr& error) { result = error ? "failed" : "ok"; });
    EXPECT_TRUE(env.runUntil([&] { return !result.empty(); }));
    return result;
  }
};

TEST_F(ZUMNativeAdvancedAdVideoTest, TheHostsControllerDrivesTheLoadedVideoOfEitherKind) {
  server.route("/still.png", {.body = testenv::pngBytes(8, 8), .contentType = "image/png"});
  for (const bool appInstall : {true, false}) {
    SCOPED_TRACE(appInstall ? "app install" : "content");
    std::shared_ptr<ZUMNativeAdvancedAd> ad;
    if (appInstall) {
      ad = ZUMNativeAppInstallAd::create(adWithVideo(true), {ZUMVideoOptions::create()});
    } else {
      ad = ZUMNativeContentAd::create(adWithVideo(false), {ZUMVideoOptions::create()});
    }
    ASSERT_NE(ad, nullptr);
    auto content = std::dynamic_pointer_cast<ZUMMediaContent>(ad->mediaContent());
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->placeholderImage(), ad->nativeAdImages().front());
    EXPECT_FALSE(ad->videoController()->hasVideoContent());
    EXPECT_EQ(loadAssets(*ad), "ok");
    // Delivery waits for the video, whose controller the host's then drives.
    ASSERT_NE(content->videoController(), nullptr);
    EXPECT_EQ(ad->videoController()->internalVideoController(), content->videoController());
    ASSERT_TRUE(env.runUntil([&] { return ad->videoController()->hasVideoContent(); }));
  }
  EXPECT_EQ(pageLoads(), 2u);
}

TEST_F(ZUMNativeAdvancedAdVideoTest, ATemplateViewShowsTheVideoInItsMediaViewAndReportsIt) {
  auto ad = ZUMNativeContentAd::create(adWithVideo(false), {});
  ad->setAdUnitID("unit-V");
  EXPECT_EQ(loadAssets(*ad), "ok");  // the still is missing: only the video counts
  ASSERT_TRUE(env.runUntil([&] { return ad->videoController()->hasVideoContent(); }));
  auto view = ZUMNativeContentAdView::create(platform::Rect(0, 0, 320, 300));
  auto mediaView = ZUMMediaView::create(platform::Rect(0, 100, 320, 180));
  view->addSubview(mediaView);
  view->setMediaView(mediaView);
  view->setNativeContentAd(ad);
  EXPECT_EQ(ad->statistics()["uses_media_view"], 1);
  EXPECT_EQ(ad->statistics()["template_id"], "1");
  env.runUntilIdle();
  EXPECT_EQ(mediaView->mediaContent(), ad->mediaContent());
  EXPECT_EQ(mediaView->mediaView(), ad->mediaContent()->mediaView());
}

}  // namespace
