// The ad view's video side: the player and the flat or 360-degree view it makes, places,
// rotates, hides and removes, the fall-back to flat video when the 360-degree view fails,
// and the course of it all in the ad view's Fennick events.
#include "sdk/video/ZUMVideo.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/Thread.h"
#include "platform/gl/GLContext.h"
#include "platform/media/Asset.h"
#include "platform/media/Player.h"
#include "platform/media/PlayerItem.h"
#include "platform/ui/Animation.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/entry/ZUMBuiltIns.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/include/ZUMSlotAdEventDelegate.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/telemetry/ZUMFennick.h"
#include "sdk/telemetry/ZUMFennickLogger.h"
#include "sdk/telemetry/ZUMFennickTestSupport.h"
#include "sdk/video/ZUMGLSphericalShader.h"
#include "sdk/video/ZUMVideoPlayerGLViewImpl.h"
#include "sdk/video/ZUMVideoPlayerImpl.h"
#include "sdk/video/ZUMVideoPlayerView.h"
#include "sdk/video/ZUMVideoTestSupport.h"
#include "testing/LoopbackServer.h"
#include "testing/MediaClips.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;
using testenv::MediaClips;

class SizeRecorder final : public ZUMSlotAdEventDelegate {
 public:
  ZUMImplemented slotDidLoadVideoWithSize(ZUMSlot&, const platform::Size& size) override {
    sizes.push_back(size);
    return kZUMImplemented;
  }
  std::vector<platform::Size> sizes;
};

class ZUMVideoTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    ZUMRegisterBuiltIns();
    ZUMSDKCoreController::setSharedInstance(nullptr);
    slot = ZUMSlot::create({0, 0, 320, 250});
    slot->setAdEventDelegate(sizes);
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    ASSERT_TRUE(adView);
    video = std::dynamic_pointer_cast<ZUMVideo>(ZUMAdViewVideo::shared());
    ASSERT_TRUE(video);
  }
  // The ad page, with the Fennick channel logging for its ad view.
  void loadPage() {
    fennicktest::storeConfig(fennicktest::enabledConfig());
    fennick = ZUMFennick::sharedInstance();
    fennick->updateIfNeeded();
    ASSERT_TRUE(env.runUntil([&] { return fennick->isLoaded(); }));
    logger = ZUMFennickLogger::create();
    ASSERT_TRUE(logger);
    server.route("/sphere.mp4", {.body = clip(), .contentType = "video/mp4", .ranges = true});
    adView->loadHTMLString(platform::webtest::readPage("video_ad.html"),
                           platform::URL::fromString("https://ads.example.com/ad.html"));
    ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
    env.runUntilIdle();
    adView->setLogger(logger);
  }
  static const std::string& clip() {
    return MediaClips::make({.audio = false, .pattern = testenv::ClipOptions::Pattern::Equirectangular});
  }
  std::string page(const std::string& script) {
    auto result = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())
                      ->engine()
                      ->stringByEvaluatingJavaScriptFromString(script);
    env.runUntilIdle();
    return result;
  }
  // The page asks for spherical video and plays the clip; returns once a view shows it.
  void playSpherical() {
    page("video('new', 'spherical=true&x=0&y=0&w=320&h=180'); source('" + server.baseURL() + "/sphere.mp4')");
    ASSERT_TRUE(env.runUntil([&] { return adView->videoPlayerView() != nullptr; }));
  }
  Json adviewEvents() {
    env.runUntilIdle();
    Json logged = Json::array();
    for (const auto& params : fennicktest::paramsOf(fennicktest::received(*fennick), logger->fennickID())) {
      if (params.contains("adview")) logged.push_back(params["adview"]);
    }
    return logged;
  }
  std::shared_ptr<platform::Player> readyPlayer() {
    auto item = platform::PlayerItem::create(platform::Asset::create(videotest::writeFile(env, clip())));
    auto player = platform::Player::create(item);
    EXPECT_TRUE(env.runUntil([&] { return item->status() == platform::PlayerItem::Status::ReadyToPlay; }));
    return player;
  }
  ZUMVideoPlayerImpl& player() { return *std::dynamic_pointer_cast<ZUMVideoPlayerImpl>(adView->videoPlayer()); }

  fennicktest::ScriptHost host;
  testenv::LoopbackServer server;
  std::shared_ptr<SizeRecorder> sizes = std::make_shared<SizeRecorder>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
  std::shared_ptr<ZUMVideo> video;
  std::shared_ptr<ZUMFennick> fennick;
  std::shared_ptr<ZUMFennickLogger> logger;
};

TEST_F(ZUMVideoTest, ASphericalPageGetsA360ViewUnderThePage) {
  loadPage();
  playSpherical();
  auto sphere = std::dynamic_pointer_cast<ZUMVideoPlayerGLViewImpl>(adView->videoPlayerView());
  ASSERT_TRUE(sphere);
  EXPECT_EQ(adView->subviews().front(), sphere);
  EXPECT_EQ(sphere->frame(), adView->bounds());
  EXPECT_EQ(sphere->currentPlayer(), player().player());
  EXPECT_EQ(sizes->sizes, (std::vector<platform::Size>{{160, 90}})) << "the clip's 320 x 180 pixels in points";
  const std::string url = server.baseURL() + "/sphere.mp4";
  ASSERT_TRUE(env.runUntil([&] { return adviewEvents().size() == 5; }));
  EXPECT_EQ(adviewEvents(), Json::parse(R"([
    {"video_load_started": {"url": ""}},
    {"video_load_started": {"url": ")" + url +
                                        R"("}},
    {"video_load_succeeded": {"url": ")" +
                                        url + R"("}},
    {"opengl_rendering_started": 1},
    {"opengl_rendering_succeeded": 1}
  ])"))
      << adviewEvents().dump(1);
  EXPECT_TRUE(adView->isSpherical());
  EXPECT_EQ(page("eventNames()").find("spherical_rendering_failed"), std::string::npos);

  // The page's pan reaches the view's shader.
  page("video('touchMove', 'dx=10&dy=0')");
  ZUMGLMatrix4 roll;
  ASSERT_TRUE(sphere->renderThread()->perform([&] { roll = sphere->sphericalShader()->externalRollRotation(); },
                                              platform::Thread::Wait::UntilDone));
  EXPECT_NEAR(roll.at(0, 2), std::sin(2 * 0.017453292519943295), 1e-9);

  // A new source detaches the 360-degree view and stops its thread.
  adView->setUpVideoPlayerWithURL(std::nullopt, nullptr, nullptr);
  EXPECT_FALSE(adView->videoPlayerView());
  EXPECT_FALSE(sphere->superview());
  EXPECT_FALSE(sphere->renderThread());
  EXPECT_FALSE(sphere->delegate());
}

TEST_F(ZUMVideoTest, AFailing360ViewGivesWayToFlatVideoOnce) {
  const struct {
    const char* name;
    bool noContext;
    const char* error;
    Json events;
  } rows[] = {
      {"no context", true, "Failed to create spherical renderer.",
       Json::parse(
           R"([{"opengl_rendering_started": 1}, {"video_rendering_started": 1}, {"video_rendering_succeeded": 1}])")},
      {"no shader", false, "Failed to create spherical shader.", Json::parse(R"([{"opengl_rendering_started": 1},
                       {"opengl_rendering_failed": {"error_message": "Failed to create spherical shader.", "error_code": -1}},
                       {"video_rendering_started": 1}, {"video_rendering_succeeded": 1}])")},
  };
  loadPage();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::GLContext::setAvailabilityForTesting(row.noContext ? platform::GLAvailability::Unavailable
                                                                 : platform::GLAvailability::Available);
    ZUMGLSphericalShader::setSourcesForTesting(ZUMGLSphericalShader::Sources{"void main() { x; }", "void main() {}"});
    const auto before = adviewEvents().size();
    page("events = []");
    playSpherical();
    ASSERT_TRUE(env.runUntil(
        [&] { return std::dynamic_pointer_cast<ZUMVideoPlayerView>(adView->videoPlayerView()) != nullptr; }));
    env.advance(1s);
    auto flat = std::dynamic_pointer_cast<ZUMVideoPlayerView>(adView->videoPlayerView());
    ASSERT_TRUE(flat);
    EXPECT_EQ(adView->subviews().front(), flat);
    EXPECT_EQ(adView->subviews().size(), 2u) << "the flat view and the page";
    EXPECT_FALSE(adView->isSpherical());
    EXPECT_EQ(page("eventNames()"), "canplaythrough,spherical_rendering_failed");
    EXPECT_EQ(Json::parse(page("lastEvent('spherical_rendering_failed')"))["error"], row.error);
    const auto all = adviewEvents();
    EXPECT_EQ(Json(std::vector<Json>(all.begin() + static_cast<long>(before) + 3, all.end())), row.events)
        << all.dump(1);
  }
}

TEST_F(ZUMVideoTest, OneReusedPlayerAndItsViewPlacedRotatedAndHidden) {
  loadPage();
  adView->setUpVideoPlayerWithURL(std::nullopt, nullptr, nullptr);
  const auto first = adView->videoPlayer();
  ASSERT_TRUE(first);
  // Frames and rotations need a view; without one they change nothing.
  adView->setVideoPlayerFrame(platform::Rect{1, 2, 3, 4});
  adView->rotateVideoToDegrees(90);
  auto avPlayer = readyPlayer();
  adView->layoutIfNeeded();
  video->playerDidLoadURL(player(), platform::URL::fromString("https://ads.example.com/a.mp4"), avPlayer);
  auto view = adView->videoPlayerView();
  ASSERT_TRUE(std::dynamic_pointer_cast<ZUMVideoPlayerView>(view));
  EXPECT_TRUE(adView->needsLayout()) << "a new view is laid out";
  EXPECT_EQ(view->frame(), adView->bounds());

  const struct {
    std::optional<platform::Rect> asked;
    platform::Rect wanted;
  } frames[] = {{platform::Rect{10, 20, 100, 50}, {10, 20, 100, 50}}, {std::nullopt, {0, 0, 320, 250}}};
  for (const auto& f : frames) {
    adView->setVideoPlayerFrame(f.asked);
    EXPECT_EQ(view->frame(), f.wanted);
  }
  adView->layoutIfNeeded();
  adView->rotateVideoToDegrees(90);
  EXPECT_TRUE(adView->needsLayout());
  EXPECT_EQ(platform::Animation::runningCount(), 0);
  EXPECT_NEAR(view->transform().a, 0, 1e-7);
  EXPECT_NEAR(view->transform().b, 1, 1e-7);
  EXPECT_NEAR(view->transform().c, -1, 1e-7);
  EXPECT_NEAR(view->transform().d, 0, 1e-7);
  adView->rotateVideoToDegrees(std::numeric_limits<double>::quiet_NaN());
  EXPECT_NEAR(view->transform().b, 1, 1e-7) << "refused";
  adView->hideVideo();
  EXPECT_TRUE(view->isHidden());
  adView->showVideo();
  EXPECT_FALSE(view->isHidden());

  // A second set-up keeps the player and removes the view of the first.
  adView->setUpVideoPlayerWithURL(platform::URL::fromString("https://ads.example.com/b.mp4"), nullptr, nullptr);
  EXPECT_EQ(adView->videoPlayer(), first);
  EXPECT_FALSE(adView->videoPlayerView());
  EXPECT_FALSE(view->superview());

  // Loaded without a URL: logged with "", no view, no size.
  video->playerDidLoadURL(player(), std::nullopt, avPlayer);
  EXPECT_FALSE(adView->videoPlayerView());
  EXPECT_EQ(sizes->sizes.size(), 1u);
  EXPECT_EQ(adviewEvents().back(), Json::parse(R"({"video_load_succeeded": {"url": ""}})"));
}

// The page's frame is clipped to the ad view (320 x 250); a frame with nothing inside
// must show nothing, not the whole ad view, and keep no area for a drawable, wherever the
// ad view's bounds start.
TEST_F(ZUMVideoTest, APageFrameShowsOnlyWhatLiesInsideTheAdView) {
  auto view = ZUMVideoPlayerView::create(adView->bounds());
  adView->setVideoPlayerView(view);
  adView->insertSubview(view, 0);
  const auto area = [](const platform::Rect& r) { return r.isNull() ? 0 : r.width() * r.height(); };
  const struct {
    const char* name;
    platform::Point boundsOrigin;
    platform::Rect asked;
    double shownArea;
    double degrees = 0;  // the page's turn of the video about its centre
  } rows[] = {
      {"right of the ad view", {0, 0}, {400, 0, 100000, 100000}, 0},
      {"ending at its origin", {0, 0}, {-100, -100, 100, 100}, 0},
      {"half inside", {0, 0}, {160, 0, 320, 250}, 160 * 250},
      {"at 0,0 of bounds starting at 100,100", {100, 100}, {0, 0, 50, 50}, 0},
      {"overlapping bounds starting at 100,100", {100, 100}, {0, 0, 150, 150}, 50 * 50},
      {"a square inside, turned a quarter", {0, 0}, {10, 10, 100, 100}, 100 * 100, 90},
      {"right of the ad view, turned", {0, 0}, {400, 0, 100000, 100000}, 0, 90},
      {"a wide box inside, turned after that", {0, 0}, {10, 60, 100, 50}, 100 * 50, 90},
  };
  for (const auto& row : rows) {
    adView->setBounds({row.boundsOrigin, adView->bounds().size});
    adView->rotateVideoToDegrees(row.degrees);
    adView->setCachedVideoPlayerFrame(row.asked);
    adView->setNeedsLayout();
    adView->layoutIfNeeded();
    EXPECT_FALSE(view->isHidden()) << row.name;
    EXPECT_NEAR(area(view->frame().intersection(adView->bounds())), row.shownArea, 0.01) << row.name;
    EXPECT_NEAR(area(view->frame()), row.shownArea, 0.01) << row.name << ": no larger than what shows";
  }
}

TEST_F(ZUMVideoTest, AReportOfAReplacedViewIsOnlyLogged) {
  loadPage();
  adView->setUpVideoPlayerWithURL(std::nullopt, nullptr, nullptr);
  adView->setSpherical(true);
  video->playerDidLoadURL(player(), platform::URL::fromString("https://ads.example.com/a.mp4"), readyPlayer());
  const auto current = adView->videoPlayerView();
  ASSERT_TRUE(std::dynamic_pointer_cast<ZUMVideoPlayerGLViewImpl>(current));
  const Json succeeded = {{"opengl_rendering_succeeded", 1}};
  ASSERT_TRUE(env.runUntil([&] { return adviewEvents().back() == succeeded; }));  // the current view's own report
  auto stale = ZUMVideoPlayerGLViewImpl::create({0, 0, 10, 10});
  adView->addSubview(stale);
  page("events = []");
  video->videoPlayerGLViewDidFailToSetupVideoPlayer(*stale, nullptr,
                                                    ZUMMakeErrorWithDomain("example.domain", 3, "Stale failure."));
  EXPECT_EQ(adView->videoPlayerView(), current);
  EXPECT_TRUE(adView->isSpherical());
  EXPECT_EQ(page("eventNames()"), "");
  EXPECT_EQ(adviewEvents().back(),
            Json::parse(R"({"opengl_rendering_failed": {"error_message": "Stale failure.", "error_code": 3}})"));
  // A view in no ad view is heard by nobody.
  stale->removeFromSuperview();
  const auto count = adviewEvents().size();
  video->videoPlayerGLViewDidSetUpVideoPlayer(*stale, nullptr);
  EXPECT_EQ(adviewEvents().size(), count);
}

}  // namespace
