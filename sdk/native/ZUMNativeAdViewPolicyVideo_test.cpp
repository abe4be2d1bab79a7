// The view policy with an ad whose video plays in the host's media view: a tap on the
// playing media view is the media view's own, and the video page's click becomes the
// ad's click only when it comes from that ad's media.
#include "ZUMMediaView.h"
#include "ZUMVideoControlling.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeAdViewPolicy.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/native/ZUMNativeVideoTestSupport.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "testing/TouchControls.h"

namespace {

using namespace std::chrono_literals;
using nativevideotest::Json;
using platform::Point;
using platform::Rect;

// A native ad whose media is the content the test made.
class VideoAd : public nativetest::TestAd {
 public:
  static std::shared_ptr<VideoAd> create(const std::string& id, std::shared_ptr<ZUMMediaContent> content) {
    auto ad = std::shared_ptr<VideoAd>(new VideoAd(Json{{"template_id", 2}, {"id", id}}, {}));
    ad->templateID = "2";
    ad->content = std::move(content);
    return ad;
  }
  std::shared_ptr<ZUMMediaContentDisplaying> mediaContent() const override { return content; }
  std::shared_ptr<ZUMMediaContent> content;

 private:
  using TestAd::TestAd;
};

class ZUMNativeAdViewPolicyVideoTest : public nativevideotest::NativeVideoTest {
 protected:
  void SetUp() override {
    NativeVideoTest::SetUp();
    server.route(nativetest::kPagePath, {.body = std::string(ZUMNativeAdsPageHTML())});
    slot = nativetest::loadedPageSlot(env);
    window->makeKeyAndVisible();
    window->addSubview(adView);
    adView->addSubview(headline);
    adView->addSubview(mediaView);
  }
  // A content of the clip, loaded (its player takes the video a little later).
  std::shared_ptr<ZUMMediaContent> loadedContent() {
    const auto dictionary = videoDictionary();
    auto content = makeContent(&dictionary);
    EXPECT_EQ(load(*content)->error, nullptr);
    return content;
  }
  void waitForVideo(const ZUMMediaContent& content) {
    EXPECT_TRUE(env.runUntil([&] { return content.videoController()->hasVideoContent(); }));
  }
  // The page's clicks since the last look.
  std::vector<std::string> newClicks() {
    env.runUntilIdle();
    std::vector<std::string> clicks;
    const auto calls = nativetest::nativeCalls(*slot);
    for (std::size_t at = seen; at < calls.size(); ++at) {
      if (calls[at].find("handleClickTolm") != std::string::npos) clicks.push_back(calls[at]);
    }
    seen = calls.size();
    return clicks;
  }
  // The video page of `content` reports a click at the given touch parameters.
  void pageClick(const ZUMMediaContent& content, const std::string& touch) {
    evaluate(content, "tolmSend('native', 'videoClicked', " + touch + ")");
  }

  std::shared_ptr<ZUMSlot> slot;
  std::size_t seen = 0;
  std::shared_ptr<platform::Window> window = platform::Window::create(Rect(0, 0, 375, 667));
  std::shared_ptr<platform::View> adView = platform::View::create(Rect(10, 100, 340, 300));
  std::shared_ptr<platform::Label> headline = platform::Label::create(Rect(20, 10, 200, 30));
  std::shared_ptr<ZUMMediaView> mediaView = ZUMMediaView::create(Rect(20, 60, 320, 180));
};

TEST_F(ZUMNativeAdViewPolicyVideoTest, APlayingMediaViewClicksOnlyThroughItsOwnPage) {
  // The host shows the ad as it is delivered, before the page's player holds the video
  // (its clip held back until then).
  server.route(
      "/clip.mp4",
      {.body = testenv::MediaClips::make({.seconds = 2}), .contentType = "video/mp4", .ranges = true, .held = true});
  auto content = loadedContent();
  auto ad = VideoAd::create("video", content);
  ad->setSlot(slot);
  mediaView->setNativeAd(ad);
  auto policy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", true);
  policy->setAssetViews({{"2001", headline}, {"2011", mediaView}});
  policy->setNativeAd(ad);
  EXPECT_FALSE(content->videoController()->hasVideoContent());
  pageClick(*content, "{touchX: '1', touchY: '1'}");
  EXPECT_TRUE(newClicks().empty());  // no video yet, so no video click
  server.release("/clip.mp4");
  waitForVideo(*content);
  env.advance(500ms);
  ASSERT_EQ(mediaView->mediaView(), content->mediaView());
  EXPECT_EQ(content->videoController()->videoPlaybackState(), kZUMVideoPlaybackStatePlaying);
  const auto shown = mediaView->snapshot(1.0);
  env.advance(100ms);
  EXPECT_NE(mediaView->snapshot(1.0), shown);  // its frames move on
  ASSERT_TRUE(ad->hasRecordedImpression());
  newClicks();

  // A tap on the playing video is the media view's; one on the headline is the policy's.
  testenv::TouchControls::tap(window, Point{10 + 20 + 100, 100 + 60 + 50});
  EXPECT_TRUE(newClicks().empty());
  testenv::TouchControls::tap(window, Point{10 + 25, 100 + 15});
  auto clicks = newClicks();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_NE(clicks[0].find(R"("asset_id":"2001")"), std::string::npos);

  // The video page's click, at its point in the media view: numbers that are not finite
  // are 0. The ad set again still hears each click once.
  policy->setNativeAd(nullptr);
  policy->setNativeAd(ad);
  const struct {
    const char* touch;
    const char* point;
  } rows[] = {
      {"{touchX: '12', touchY: '8.5'}", R"("click_point":{"x":32.0,"y":68.5,)"},
      {"{touchX: 'NaN', touchY: '1e999'}", R"("click_point":{"x":20.0,"y":60.0,)"},
      {"{touchX: 'Infinity'}", R"("click_point":{"x":20.0,"y":60.0,)"},
  };
  for (const auto& row : rows) {
    pageClick(*content, row.touch);
    clicks = newClicks();
    ASSERT_EQ(clicks.size(), 1u) << row.touch;
    EXPECT_NE(clicks[0].find(R"("asset_id":"2011")"), std::string::npos) << row.touch;
    EXPECT_NE(clicks[0].find(row.point), std::string::npos) << row.touch << "\n" << clicks[0];
    EXPECT_NE(clicks[0].find(R"("id":"video")"), std::string::npos);
  }

  // Another ad's video page is not this ad's media view.
  auto other = loadedContent();
  waitForVideo(*other);
  pageClick(*other, "{touchX: '12', touchY: '8'}");
  EXPECT_TRUE(newClicks().empty());
  // Nor is there a click once the host's ad view is gone.
  adView->removeFromSuperview();
  adView.reset();
  pageClick(*content, "{touchX: '12', touchY: '8'}");
  EXPECT_TRUE(newClicks().empty());
}

}  // namespace
