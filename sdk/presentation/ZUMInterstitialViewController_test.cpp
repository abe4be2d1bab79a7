#include "sdk/presentation/ZUMInterstitialViewController.h"

#include <nlohmann/json.hpp>

#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"
#include "sdk/presentation/ZUMAdAppAdViewPresentation.h"
#include "sdk/presentation/ZUMPresentationAnalytics.h"
#include "sdk/presentation/ZUMPresentationFormats.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/presentation/ZUMTransparentOverlayPresenter.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/rendering/ZUMViewMonitor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlotPlacement.h"

namespace {

using presentation_testing::Log;

// The formats' and telemetry's answers.
struct Services : ZUMPresentationFormats, ZUMPresentationAnalytics {
  bool slotShowsRewardedAd(const ZUMSlot&) override { return rewarded; }
  Screen currentScreen() override { return screen; }
  void setScreenName(const std::string& name) override { names.push_back(name); }
  bool rewarded = false;
  Screen screen;
  std::vector<std::string> names;
};

// Notes how many SDK events wait for the (never loaded) page at each session step.
struct PageWatch : ZUMSlotAdEventDelegate {
  ZUMImplemented slotWillPresentScreen(ZUMSlot& s) override { return note("willPresent", s); }
  ZUMImplemented slotWillDismissScreen(ZUMSlot& s) override { return note("willDismiss", s); }
  ZUMImplemented note(const std::string& step, ZUMSlot& s) {
    log->push_back(step + ":" + std::to_string(std::static_pointer_cast<ZUMAdView>(s.adView())->queuedSDKEventCount()));
    return kZUMImplemented;
  }
  std::shared_ptr<Log> log;
};

class ZUMInterstitialViewControllerTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMPresentationFormats::setShared(formats);
    ZUMPresentationAnalytics::setShared(formats);
    slot = ZUMSlot::create({0, 0, 320, 480});
    slot->setAd(ZUMAd::create());
    slot->setAdEventDelegate(watch);
    watch->log = log;
    slot->setPlacement(placement);
  }
  void TearDown() override {
    if (controller && controller->intermission()) controller->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
    PresentationTest::TearDown();
  }
  void show() {
    controller = ZUMInterstitialViewController::create(slot);
    controller->presentFromViewController(host, mark("presented"));
    env.advance(1);
  }
  std::shared_ptr<Services> formats = std::make_shared<Services>(), &analytics = formats;
  std::shared_ptr<PageWatch> watch = std::make_shared<PageWatch>();
  std::shared_ptr<ZUMSlotPlacement> placement = std::make_shared<ZUMSlotPlacement>();
  std::shared_ptr<ZUMInterstitialViewController> controller;
};

TEST_F(ZUMInterstitialViewControllerTest, ShowsNothingWithoutAPlacement) {
  slot->setPlacement(nullptr);
  show();
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(controller->intermission(), nullptr);
  EXPECT_TRUE(log->empty());
}

// "onshow" once the presentation has completed, "onhide" before the screen starts to
// leave; afterwards the controller lets go of the slot's ad view.
TEST_F(ZUMInterstitialViewControllerTest, OnshowAfterPresentationOnhideBeforeDismissal) {
  show();
  auto page = std::static_pointer_cast<ZUMAdView>(slot->adView());
  EXPECT_EQ(controller->adView(), page);
  EXPECT_EQ(page->viewController(), controller);
  EXPECT_EQ(page->superview(), controller->view());
  EXPECT_EQ(*log, (Log{"willPresent", "willPresent:0", "presented"}));
  EXPECT_EQ(page->queuedSDKEventCount(), 1u);
  log->clear();
  controller->relinquishScreenWithCompletion(mark("dismissed"));
  env.advance(1);
  EXPECT_EQ(*log, (Log{"willDismiss:2", "didDismiss", "dismissed"}));
  EXPECT_EQ(controller->adView(), nullptr);
  EXPECT_EQ(page->viewController(), nullptr);
  EXPECT_FALSE(controller->isLoaded());
  slot->didReceiveValidAd();
  EXPECT_TRUE(controller->isLoaded());
}

// Over the host's screen the platform presents nothing: the controller's own present
// joins the session, and the presenter's appearance calls start active-view sampling,
// each once.
TEST_F(ZUMInterstitialViewControllerTest, OverTheHostsScreenItJoinsTheSessionAndStartsActiveViewOnce) {
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  activeView->startActiveViewReporting();
  ASSERT_TRUE(activeView->activeViewMonitor());
  ASSERT_FALSE(activeView->activeViewMonitor()->viewMonitor()->isMonitoring()) << "not in a window yet";
  controller = ZUMInterstitialViewController::create(slot);
  controller->setPresenter(ZUMTransparentOverlayPresenter::create());
  controller->presentFromViewController(host, mark("presented"));
  env.advance(1);
  EXPECT_EQ(host->presentedViewController(), nullptr);
  EXPECT_EQ(*log, (Log{"willPresent", "willPresent:0", "presented"}));
  EXPECT_TRUE(activeView->activeViewMonitor()->viewMonitor()->isMonitoring());
  log->clear();
  controller->relinquishScreenWithCompletion(mark("dismissed"));
  env.advance(1);
  // (How many events the never-loaded page holds is not the point here.)
  EXPECT_EQ(log->size(), 3u);
  EXPECT_EQ(count("didDismiss"), 1);
  EXPECT_EQ(count("dismissed"), 1);
  EXPECT_FALSE(activeView->activeViewMonitor()->viewMonitor()->isMonitoring());
}

// The page's screen info names the orientation the controller forces its ad into.
TEST_F(ZUMInterstitialViewControllerTest, TheForcedOrientationIsWhatTheAdViewsScreenInfoNames) {
  ZUMAdViewPresentation::setShared(std::make_shared<ZUMAdAppAdViewPresentation>());
  show();
  auto page = std::static_pointer_cast<ZUMAdView>(slot->adView());
  EXPECT_EQ(ZUMSlotEventHandler::forcedAdOrientation(*page), std::nullopt);
  controller->setForcedAdOrientation(platform::kInterfaceOrientationLandscapeRight);
  EXPECT_EQ(ZUMSlotEventHandler::forcedAdOrientation(*page), "l");
  controller->setForcedAdOrientation(platform::kInterfaceOrientationPortrait);
  EXPECT_EQ(ZUMSlotEventHandler::forcedAdOrientation(*page), "p");
  page->setViewController(platform::ViewController::create());
  EXPECT_EQ(ZUMSlotEventHandler::forcedAdOrientation(*page), std::nullopt) << "not an ad-app controller";
}

TEST_F(ZUMInterstitialViewControllerTest, NamesTheAnalyticsScreenOnce) {
  struct Row {
    std::optional<std::string> name, screenClass;
    const char* enabled;  // nullptr: absent
    bool rewarded;
    std::vector<std::string> names;
  };
  for (const Row& row :
       {Row{"Main", "Home", "1", false, {"Main/Interstitial"}},
        Row{std::nullopt, "Home", "true", true, {"Home/Rewarded"}}, Row{std::nullopt, std::nullopt, "1", false, {}},
        Row{"Main", "Home", "0", false, {}}, Row{"Main", "Home", nullptr, false, {}}}) {
    SCOPED_TRACE(row.names.size());
    const char* key = "/vantor/ads/zums:sai:interstitial_screen_enabled";
    if (row.enabled) {
      (void)platform::UserDefaults::standard().setObject(row.enabled, key);
    } else {
      platform::UserDefaults::standard().removeObjectForKey(key);
    }
    formats->rewarded = row.rewarded;
    analytics->screen = {row.name, row.screenClass};
    analytics->names.clear();
    show();
    controller->finishAppearing();
    env.runUntilIdle();
    EXPECT_EQ(analytics->names, row.names);
    controller->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
  }
}

TEST_F(ZUMInterstitialViewControllerTest, RewardedAdsStayUpAcrossAShortTripToTheBackground) {
  struct Row {
    bool rewarded;
    std::optional<nlohmann::ordered_json> limitMs;
    double away;  // seconds; negative: never resigned active
    bool dismisses;
  };
  for (const Row& row : {Row{true, "5000", 4.999, false}, Row{true, 5000, 5.001, true}, Row{true, "5000", -1, true},
                         Row{true, "100000000", -1, true}, Row{true, std::nullopt, 1, true}, Row{true, "soon", 1, true},
                         Row{false, "5000", 1, true}, Row{true, "0", 0.001, true}}) {
    SCOPED_TRACE(row.away);
    formats->rewarded = row.rewarded;
    auto& defaults = platform::UserDefaults::standard();
    const char* key = "/vantor/ads/zum:rbv_max_app_background_time_without_dismissing_ad_ms";
    if (row.limitMs) {
      (void)defaults.setObject(*row.limitMs, key);
    } else {
      defaults.removeObjectForKey(key);
    }
    auto screen = ZUMInterstitialViewController::create(slot);
    if (row.away >= 0) {
      testenv::AppControls::resignActive();
      env.runUntilIdle();
      env.advance(row.away);
      testenv::AppControls::becomeActive();
    }
    EXPECT_EQ(screen->shouldDismissOnApplicationEnteringForeground(), row.dismisses);
  }
}

TEST_F(ZUMInterstitialViewControllerTest, SplitScreenCropBeyondTheThresholdCloses) {
  struct Row {
    bool splitScreen;
    platform::Size size;
    bool closes;
  };
  slot->ad()->setCroppedContentThreshold(100);
  for (const Row& row : {Row{true, {300, 500}, false}, Row{true, {300, 499}, true}, Row{true, {199, 600}, true},
                         Row{false, {100, 100}, false}}) {
    SCOPED_TRACE(row.size.height);
    EXPECT_TRUE(
        platform::UserDefaults::standard().setObject(row.splitScreen, "/vantor/ads/application_supports_split_screen"));
    show();
    auto page = controller->adView();
    page->webView()->scrollView()->setContentSize({300, 600});
    const auto before = page->frame();
    platform::SystemLog::Capture capture(true);
    controller->viewWillTransitionToSize(row.size);
    env.advance(1);
    EXPECT_EQ(page->frame().size, row.splitScreen ? row.size : before.size);
    EXPECT_EQ(host->presentedViewController() == nullptr, row.closes);
    EXPECT_EQ(capture.contains("Window size has changed and is too small for the interstitial. Ad will close."),
              row.closes);
    if (!row.closes) controller->relinquishScreenWithCompletion(nullptr);
    env.advance(1);
  }
}

}  // namespace
