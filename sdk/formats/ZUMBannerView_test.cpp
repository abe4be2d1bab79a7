#include "ZUMBannerView.h"

#include <chrono>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "PXRBannerViewOptions.h"
#include "ZUMAdSizeDelegate.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMVideoController.h"
#include "ZUMVideoOptions.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Coder.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewVideoController.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every callback a host can hear, "!" marking one off the main thread.
struct HostDelegate : ZUMBannerViewDelegate, ZUMAdSizeDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    lastError = e;
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented adViewWillPresentScreen(ZUMBannerView&) override { return note("willPresent"); }
  ZUMImplemented adViewWillDismissScreen(ZUMBannerView&) override { return note("willDismiss"); }
  ZUMImplemented adViewDidDismissScreen(ZUMBannerView&) override { return note("didDismiss"); }
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView&) override { return note("willLeave"); }
  ZUMImplemented adViewWillChangeAdSizeTo(ZUMBannerView&, const ZUMAdSize& size) override {
    return note("willChangeTo " + ZUMAdSizeDescription(size));
  }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
  ZUMRequestErrorPtr lastError;
};

// The host's video delegate.
struct VideoHost : ZUMVideoControllerDelegate {
  ZUMImplemented videoControllerDidPlayVideo(ZUMVideoController&) override { return note("play"); }
  ZUMImplemented videoControllerDidMuteVideo(ZUMVideoController&) override { return note("mute"); }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
};

bool sameSize(const ZUMAdSize& a, const ZUMAdSize& b) { return ZUMAdSizeEqualToSize(a, b); }

class ZUMBannerViewTest : public testenv::PlatformTest {
 protected:
  ZUMBannerViewTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    serveAd({{"x-qyra-refresh-rate", "30"}});
  }
  void serveAd(std::vector<std::pair<std::string, std::string>> headers, int status = 200) {
    hosts.server.route("/ad",
                       {.status = status, .headers = std::move(headers), .body = "<html><body>Ad</body></html>"});
  }
  // A banner of `size` in the window, ready to load.
  std::shared_ptr<ZUMBannerView> placed(const ZUMAdSize& size = kZUMAdSizeBanner) {
    auto banner = ZUMBannerView::create(size);
    banner->setAdUnitID("unit-A");
    banner->setRootViewController(host);
    banner->setDelegate(delegate);
    banner->setAdSizeDelegate(delegate);
    window->addSubview(banner);
    return banner;
  }
  // Loads and waits until the delegate hears something more.
  void load(ZUMBannerView& banner, std::shared_ptr<ZUMRequest> request = ZUMRequest::create()) {
    const auto heard = delegate->log.size();
    banner.loadRequest(request);
    ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() > heard; }));
  }
  std::size_t adRequests() const { return hosts.server.requests("/ad").size(); }
  // Moves time by one refresh interval and waits for what that brings.
  void refreshInterval(std::size_t expectedRequests) {
    env.advance(30s);
    ASSERT_TRUE(
        env.runUntil([&] { return adRequests() == expectedRequests && delegate->log.size() == expectedRequests; }));
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
  std::shared_ptr<HostDelegate> delegate = std::make_shared<HostDelegate>();
};

TEST_F(ZUMBannerViewTest, EachInitializerKeepsSizeAndFrameInStep) {
  const struct {
    const char* name;
    std::shared_ptr<ZUMBannerView> banner;
    platform::Rect frame;
    ZUMAdSize adSize;
  } rows[] = {
      {"standard size", ZUMBannerView::create(kZUMAdSizeMediumRectangle), {0, 0, 300, 250}, kZUMAdSizeMediumRectangle},
      {"size and origin", ZUMBannerView::create(kZUMAdSizeBanner, {5, 7}), {5, 7, 320, 50}, kZUMAdSizeBanner},
      {"standard frame", ZUMBannerView::create(platform::Rect{10, 20, 320, 50}), {10, 20, 320, 50}, kZUMAdSizeBanner},
      {"other frame",
       ZUMBannerView::create(platform::Rect{0, 0, 200, 40}),
       {0, 0, 200, 40},
       {{200, 40}, kZUMAdSizeFlagCustom}},
      {"archive",
       std::dynamic_pointer_cast<ZUMBannerView>(
           platform::Coder::create(
               R"({"class": "ZUMBannerView", "frame": {"x": 3, "y": 4, "width": 468, "height": 60}})")
               ->decodeView()),
       {3, 4, 468, 60},
       kZUMAdSizeFullBanner},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(row.banner);
    EXPECT_EQ(row.banner->frame(), row.frame);
    EXPECT_TRUE(sameSize(row.banner->adSize(), row.adSize)) << ZUMAdSizeDescription(row.banner->adSize());
    EXPECT_EQ(row.banner->rootAdView(), row.banner->adView());
    EXPECT_EQ(row.banner->adView()->superview().get(), row.banner.get());
    EXPECT_TRUE(row.banner->slot()->reloadable());
    EXPECT_EQ(row.banner->slot()->requestedAdType(), 1) << "the slot knows its owner is a banner";
  }
}

// Algorithm 1 on a loaded banner: whether a new size reloads shows as a load starting.
TEST_F(ZUMBannerViewTest, ANewSizeReloadsOnlyWhenItsRoundedSizeOrAZeroSidesFlagsChanged) {
  const struct {
    const char* name;
    ZUMAdSize from;
    ZUMAdSize to;
    bool reloads;
    ZUMAdSize result;
  } rows[] = {
      {"same size", kZUMAdSizeBanner, kZUMAdSizeBanner, false, kZUMAdSizeBanner},
      {"same rounded size", {{320.2, 50.3}, 1}, {{320.4, 49.8}, 1}, false, {{320.4, 49.8}, 1}},
      {"flags only", {{320, 50}, 1}, kZUMAdSizeBanner, false, kZUMAdSizeBanner},
      {"flags with a zero side", {{0, 50}, kZUMAdSizeFlagFullWidth}, {{0, 50}, 1}, true, {{0, 50}, 1}},
      {"new size", kZUMAdSizeBanner, kZUMAdSizeMediumRectangle, true, kZUMAdSizeMediumRectangle},
      {"fluid takes the bounds", kZUMAdSizeBanner, kZUMAdSizeFluid, true, ZUMFluidAdSizeWithSize(320, 50)},
      {"fluid width only", ZUMFluidAdSizeWithSize(0, 50), ZUMFluidAdSizeWithSize(300, 50), false,
       ZUMFluidAdSizeWithSize(300, 50)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto banner = placed(row.from);
    load(*banner);
    ASSERT_EQ(banner->slot()->state(), ZUMSlot::State::kValidAd);
    platform::SystemLog::Capture capture(true);
    banner->setAdSize(row.to);
    EXPECT_EQ(banner->slot()->state() == ZUMSlot::State::kBuildingAdURL, row.reloads);
    EXPECT_TRUE(sameSize(banner->adSize(), row.result)) << ZUMAdSizeDescription(banner->adSize());
    EXPECT_TRUE(sameSize(banner->slot()->adType()->adSize(), row.result));
    env.runUntilIdle();
    EXPECT_FALSE(capture.contains("Unable to set adSize property"));
    banner->removeFromSuperview();
  }
}

TEST_F(ZUMBannerViewTest, AnUnsaneOrUnfitSizeIsRefusedWithItsReasonAndTheOldSizeKept) {
  const struct {
    const char* name;
    std::function<void(ZUMBannerView&)> change;
    const char* logged;
  } rows[] = {
      {"NaN",
       [](ZUMBannerView& b) {
         b.setAdSize({{kNaN, 50}, 1});
       },
       "Unable to set adSize property. Invalid ad size."},
      {"negative",
       [](ZUMBannerView& b) {
         b.setAdSize({{-320, -50}, 1});
       },
       "Unable to set adSize property. Invalid ad size."},
      {"infinite",
       [](ZUMBannerView& b) {
         b.setAdSize({{320, INFINITY}, 1});
       },
       "Unable to set adSize property. Invalid ad size."},
      {"huge frame",
       [](ZUMBannerView& b) {
         b.setFrame({0, 0, 1e12, 50});
       },
       "Unable to set adSize property. Invalid ad size."},
      {"huge bounds",
       [](ZUMBannerView& b) {
         b.setBounds({0, 0, 320, 1e300});
       },
       "Unable to set adSize property. Invalid ad size."},
      {"invalid size", [](ZUMBannerView& b) { b.setAdSize(kZUMAdSizeInvalid); },
       "Unable to set adSize property. Invalid ad size."},
      {"beyond the screen",
       [](ZUMBannerView& b) {
         b.setAdSize({{5000, 50}, 1});
       },
       "Unable to set adSize property. Not enough space to show ad with custom size, 5000x50."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto banner = ZUMBannerView::create(kZUMAdSizeBanner, {10, 20});
    platform::SystemLog::Capture capture(true);
    row.change(*banner);
    env.runUntilIdle();
    EXPECT_TRUE(capture.contains(row.logged));
    EXPECT_TRUE(sameSize(banner->adSize(), kZUMAdSizeBanner));
    EXPECT_EQ(banner->frame().origin, (platform::Point{10, 20}));
    EXPECT_TRUE(std::isfinite(banner->bounds().width()) && banner->bounds().width() <= 100000);
  }
}

TEST_F(ZUMBannerViewTest, FramesBoundsAndAlphaFromOutsideSettleInOnePass) {
  auto banner = ZUMBannerView::create(kZUMAdSizeBanner, {10, 20});
  banner->setFrame({40, 40, 300, 250});  // a new size: the ad size follows, the origin stays
  EXPECT_TRUE(sameSize(banner->adSize(), kZUMAdSizeMediumRectangle));
  EXPECT_EQ(banner->frame(), (platform::Rect{10, 20, 300, 250}));
  banner->setFrame({0, 5, 300, 250});  // the same size moves it
  EXPECT_EQ(banner->frame(), (platform::Rect{0, 5, 300, 250}));
  banner->setBounds({0, 0, 200, 40});
  EXPECT_TRUE(sameSize(banner->adSize(), ZUMAdSize{{200, 40}, kZUMAdSizeFlagCustom}));
  EXPECT_EQ(banner->frame().size, (platform::Size{200, 40}));
  EXPECT_EQ(banner->adView()->frame(), (platform::Rect{0, 0, 200, 40})) << "the ad view fills the banner";
  EXPECT_EQ(banner->intrinsicContentSize(), (platform::Size{200, 40}));
  banner->setAdSize(ZUMFluidAdSizeWithSize(0, 0));
  EXPECT_EQ(banner->intrinsicContentSize().width, platform::kViewNoIntrinsicMetric);
  EXPECT_TRUE(std::static_pointer_cast<ZUMAdView>(banner->adView())->isFluidAdView());

  const struct { double given, shown; } alphas[] = {{0.3, 1.0}, {0, 0}, {1, 1}, {kNaN, 1}};
  for (const auto& row : alphas) {
    banner->setAlpha(row.given);
    EXPECT_EQ(banner->alpha(), row.shown) << row.given;
  }
}

TEST_F(ZUMBannerViewTest, AFluidAdsContentSizeChangesTheSizeOnceAndAnUnsaneOneIsRefused) {
  auto banner = placed(ZUMFluidAdSizeWithSize(0, 0));
  auto& slot = *banner->slot();
  banner->slotContentSizeDidChange(slot, {320, 80});
  banner->slotContentSizeDidChange(slot, {320, 80});  // no change: no second notice
  EXPECT_TRUE(sameSize(banner->adSize(), ZUMFluidAdSizeWithSize(320, 80)));
  platform::SystemLog::Capture capture(true);
  banner->slotContentSizeDidChange(slot, {320, kNaN});
  banner->slotContentSizeDidChange(slot, {-1, 1e9});
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, Log{"willChangeTo fluid 320x80"});
  EXPECT_TRUE(capture.contains("Unable to set adSize property. Invalid ad size."));
  EXPECT_TRUE(sameSize(banner->adSize(), ZUMFluidAdSizeWithSize(320, 80)));
  EXPECT_EQ(banner->frame().size.height, 80);

  auto fixed = placed(kZUMAdSizeBanner);  // only fluid banners follow their content
  fixed->slotContentSizeDidChange(*fixed->slot(), {320, 80});
  EXPECT_TRUE(sameSize(fixed->adSize(), kZUMAdSizeBanner));
}

TEST_F(ZUMBannerViewTest, TheLoadGateAsksForAValidSizeFirstThenARootViewController) {
  const struct {
    const char* name;
    ZUMAdSize size;
    bool rootViewController;
    const char* message;
  } rows[] = {
      {"no root", kZUMAdSizeBanner, false, "You must set the rootViewController property of <ZUMBannerView"},
      {"invalid size", kZUMAdSizeInvalid, false,
       "You must set a valid ad size for the banner before loading a request. Invalid ad size."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::SystemLog::Capture capture(true);
    auto banner = placed(row.size);
    if (!row.rootViewController) banner->setRootViewController(nullptr);
    delegate->log.clear();
    load(*banner);
    env.runUntilIdle();
    EXPECT_EQ(delegate->log, Log{"failed 0"});
    EXPECT_EQ(delegate->lastError->localizedDescription().rfind(row.message, 0), 0u)
        << delegate->lastError->localizedDescription();
    EXPECT_TRUE(capture.contains(row.message));
    // The invalid size was already refused when the banner was made.
    EXPECT_EQ(capture.contains("Unable to set adSize property. Invalid ad size."),
              ZUMAdSizeEqualToSize(row.size, kZUMAdSizeInvalid));
    EXPECT_EQ(adRequests(), 0u);
    EXPECT_TRUE(banner->slot()->hasReloadTimer()) << "a refused load tries again on the timer";
  }
}

// The road of a banner: it loads through the SDK-core page, refreshes on the ad's timer
// while it can be seen, and the timer waits while it cannot.
TEST_F(ZUMBannerViewTest, ABannerLoadsAndRefreshesOnlyWhileItCanBeSeen) {
  auto container = platform::View::create({0, 0, 320, 100});
  window->addSubview(container);
  auto banner = placed();
  container->addSubview(banner);
  load(*banner);
  EXPECT_EQ(delegate->log, Log{"received"});
  ASSERT_EQ(adRequests(), 1u);
  EXPECT_NE(hosts.server.requests("/ad")[0].query->find("format=banner"), std::string::npos);
  EXPECT_FALSE(banner->adView()->isHidden());
  EXPECT_EQ(banner->adNetworkClassName(), kZUMFirstPartyAdapterClassName);
  EXPECT_FALSE(banner->mediatedAdView());
  refreshInterval(2);
  EXPECT_TRUE(banner->hasAutoRefreshed());

  const struct {
    const char* name;
    std::function<void()> hide, show;
  } rows[] = {
      {"hidden ancestor", [&] { container->setHidden(true); }, [&] { container->setHidden(false); }},
      {"no window", [&] { container->removeFromSuperview(); }, [&] { window->addSubview(container); }},
      {"hidden window", [&] { window->setHidden(true); }, [&] { window->setHidden(false); }},
  };
  std::size_t loads = 2;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    row.hide();
    env.advance(30s);
    env.runUntilIdle();
    EXPECT_EQ(adRequests(), loads) << "refused";
    EXPECT_TRUE(banner->slot()->hasReloadTimer()) << "re-armed";
    row.show();
    refreshInterval(++loads);
  }
  EXPECT_EQ(delegate->log, Log(loads, "received"));
}

TEST_F(ZUMBannerViewTest, InTheBackgroundOnlyBackgroundReloadingLetsARefreshRun) {
  auto banner = placed();
  EXPECT_EQ(banner->slotShouldReloadCurrentRequest(*banner->slot()), true) << "the first ad always loads";
  load(*banner);
  testenv::AppControls::background();
  EXPECT_EQ(banner->slotShouldReloadCurrentRequest(*banner->slot()), false);
  ZUMApplication::sharedInstance()->setBackgroundLoadingEnabled(true);
  ASSERT_TRUE(platform::UserDefaults::standard().setObject("1", "/vantor/ads/bg_reload_enabled"));
  EXPECT_EQ(banner->slotShouldReloadCurrentRequest(*banner->slot()), true);
  testenv::AppControls::foreground();
}

TEST_F(ZUMBannerViewTest, AFailureIsToldOnceAndRearmsTheTimerOnce) {
  // An answer without an ad: no fill, with the ad's refresh interval.
  hosts.server.route("/ad", {.headers = {{"x-qyra-refresh-rate", "30"}}, .body = " "});
  auto banner = placed();
  load(*banner);
  EXPECT_EQ(delegate->log, Log{"failed 1"});
  EXPECT_TRUE(banner->slot()->hasReloadTimer());
  env.advance(30s);  // one more try, not two
  ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() == 2; }));
  env.runUntilIdle();
  EXPECT_EQ(adRequests(), 2u);

  // A mediation response whose one network has no adapter fails once: no network filled.
  hosts.server.route("/ad", {.headers = {{"X-Qyra-Mediation", "1"}},
                             .body = R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}]})",
                             .contentType = "application/json"});
  delegate->log.clear();
  load(*banner);
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, Log{"failed 9"});
}

TEST_F(ZUMBannerViewTest, EachSlotEventIsOneCallbackOnTheMainThread) {
  auto banner = placed();
  auto& slot = *banner->slot();
  const struct {
    std::function<void()> event;
    const char* heard;
  } rows[] = {
      {[&] { slot.adWillPresentScreen(); }, "willPresent"},
      {[&] { slot.adWillDismissScreen(); }, "willDismiss"},
      {[&] { slot.adDidDismissScreen(); }, "didDismiss"},
      {[&] { banner->slotWillLeaveApplication(slot); }, "willLeave"},
  };
  for (const auto& row : rows) {
    delegate->log.clear();
    row.event();
    env.runUntilIdle();
    EXPECT_EQ(delegate->log, Log{row.heard});
  }
}

TEST_F(ZUMBannerViewTest, AutoloadLoadsOnceTurnedOnAndTheAudioQuestionGoesToTheDelegate) {
  auto banner = placed();
  banner->setAutoloadEnabled(true);
  banner->setAutoloadEnabled(true);  // no change: no second load
  ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); }));
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, Log{"received"});
  EXPECT_EQ(adRequests(), 1u);

  struct Audio : ZUMBannerViewDelegate {
    std::optional<bool> adShouldChangeAudioSessionToCategory(const void*, const std::string& c) override {
      return c == "playback";
    }
  };
  auto audio = std::make_shared<Audio>();
  const struct {
    std::shared_ptr<ZUMBannerViewDelegate> delegate;
    const char* category;
    bool answer;
  } rows[] = {
      {nullptr, "ambient", true}, {delegate, "ambient", true}, {audio, "ambient", false}, {audio, "playback", true}};
  for (const auto& row : rows) {
    banner->setDelegate(row.delegate);
    EXPECT_EQ(banner->slotShouldChangeAudioSessionCategoryTo(*banner->slot(), row.category), row.answer)
        << row.category;
  }
  banner->setBannerKey(Json{{"unit", "unit-A"}});
  EXPECT_EQ(banner->bannerKey(), (Json{{"unit", "unit-A"}}));

  auto slot = banner->slot();
  banner->removeFromSuperview();
  banner.reset();  // a dropped banner stops its slot for good
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_FALSE(slot->hasReloadTimer());
}

TEST_F(ZUMBannerViewTest, AnAdUnitStartsAnExposureMonitorUnlessMediated) {
  auto banner = placed();
  auto first = banner->adExposureMonitor();
  ASSERT_TRUE(first);
  banner->setAdUnitID("unit-B");
  EXPECT_NE(banner->adExposureMonitor(), first);
  EXPECT_EQ(banner->slot()->adUnitID(), "unit-B");
  auto mediated = ZUMBannerView::create(kZUMAdSizeBanner);
  mediated->setMediated();
  mediated->setAdUnitID("unit-C");
  EXPECT_FALSE(mediated->adExposureMonitor());
}

TEST_F(ZUMBannerViewTest, TheViewHierarchyRecordNamesUpToNAncestors) {
  auto container = platform::View::create({0, 0, 320, 100});
  container->setClipsToBounds(true);
  window->addSubview(platform::View::create());
  window->addSubview(container);
  auto banner = placed();
  container->addSubview(platform::View::create());
  container->addSubview(banner);
  const Json containerEntry = {
      {"type", "View"}, {"index_of_child", 1}, {"is_hidden", false}, {"clips_to_bounds", true}};
  // The window's first subview is its root view controller's view.
  const Json windowEntry = {
      {"type", "Window"}, {"index_of_child", 2}, {"is_hidden", false}, {"clips_to_bounds", false}};
  const struct {
    const char* stored;
    Json parents;
  } rows[] = {
      {nullptr, Json::array({containerEntry, windowEntry})},
      {"1", Json::array({containerEntry})},
      {"0", Json::array()},
      {"-3", Json::array()},
  };
  EXPECT_FALSE(banner->viewHierarchyInformationForSlot(*banner->slot())) << "none before the first record";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored ? row.stored : "default");
    if (row.stored) {
      ASSERT_TRUE(platform::UserDefaults::standard().setObject(row.stored, "/vantor/ads/ad_key_parent_view_count"));
    }
    banner->cacheViewHierarchyInformationForSlot(*banner->slot());
    const auto record = banner->viewHierarchyInformationForSlot(*banner->slot());
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, (Json{{"creator_class", "ZUMBannerView"}, {"parents", row.parents}}));
    EXPECT_EQ(banner->requestParametersForRequest(ZUMRequest::create())["view_hierarchy"], *record);
  }
}

TEST_F(ZUMBannerViewTest, OptionsReachTheRequestAndTheVideoController) {
  auto banner = placed();
  auto manual = PXRBannerViewOptions::create();
  manual->setEnableManualImpressions(true);
  auto video = ZUMVideoOptions::create();
  video->setCustomControlsRequested(true);
  banner->setAdOptions({manual, video, PXRBannerViewOptions::create()});
  manual->setEnableManualImpressions(false);  // kept as a copy
  load(*banner);
  auto adView = std::static_pointer_cast<ZUMAdView>(banner->adView());
  EXPECT_EQ(banner->videoController()->internalVideoController(), adView->videoController());
  adView->videoController()->setCustomControlsEnabled(true);
  EXPECT_TRUE(banner->videoController()->customControlsEnabled()) << "the options asked for custom controls";
  EXPECT_EQ(banner->slot()->loadingRequest()->adConfigurationParameters(),
            (Json{{"d_imp_hdr", "1"}, {"video", {{"startMuted", "1"}}}}));
  EXPECT_EQ(banner->requestParametersForRequest(banner->slot()->loadingRequest())["options"]["d_imp_hdr"], "1");
}

// The ad's page hears the host's video commands and its reports reach the host's video
// delegate, through the one video controller the banner hands out.
TEST_F(ZUMBannerViewTest, TheAdsPageHearsVideoCommandsAndItsReportsReachTheHost) {
  hosts.server.route("/ad", {.body = "<html><body>Ad<script>setTimeout(function () {"
                                     "location.href = 'tolm://video/videoMeta?playbackState=1&muted=1'; }, 1000);"
                                     "</script></body></html>"});
  auto banner = placed();
  auto videoHost = std::make_shared<VideoHost>();
  banner->videoController()->setDelegate(videoHost);
  load(*banner);
  env.advance(2s);
  env.runUntilIdle();
  EXPECT_EQ(videoHost->log, (Log{"play", "mute"}));
  banner->videoController()->pause();
  env.runUntilIdle();
  auto adView = std::static_pointer_cast<ZUMAdView>(banner->adView());
  Log commands;
  for (const auto& script :
       std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine()->evaluatedScripts()) {
    if (script.rfind("QYRA_ReceiveMessage('pubVideoCmd'", 0) == 0) commands.push_back(script);
  }
  EXPECT_EQ(
      commands,
      (Log{
          R"(QYRA_ReceiveMessage('pubVideoCmd', {"action":"initialState","muteStart":"1","customControlsRequested":0});)",
          R"(QYRA_ReceiveMessage('pubVideoCmd', {"action":"pause"});)"}));
}

}  // namespace
