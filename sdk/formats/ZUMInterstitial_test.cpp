#include "ZUMInterstitial.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/ContentProcess.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/formats/ZUMInterstitialOwner.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/presentation/ZUMBrowserViewController.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/presentation/ZUMTransparentOverlayPresenter.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Log = std::vector<std::string>;

// Every callback the host can get, with "!" when it did not arrive on the main thread.
struct HostDelegate : ZUMInterstitialDelegate {
  ZUMImplemented interstitialDidReceiveAd(ZUMInterstitial&) override { return note("received"); }
  ZUMImplemented interstitialDidFailToReceiveAdWithError(ZUMInterstitial&, const ZUMRequestErrorPtr& e) override {
    lastError = e;
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented interstitialWillPresentScreen(ZUMInterstitial&) override { return note("willPresent"); }
  ZUMImplemented interstitialDidFailToPresentScreen(ZUMInterstitial&) override {
    if (!handlesPresentationFailure) return std::nullopt;
    return note("failedToPresent");
  }
  ZUMImplemented interstitialWillDismissScreen(ZUMInterstitial&) override { return note("willDismiss"); }
  ZUMImplemented interstitialDidDismissScreen(ZUMInterstitial&) override {
    dismissedAt = platform::clock().monotonicNow();
    return note("didDismiss");
  }
  ZUMImplemented interstitialDidReceiveAdClick(ZUMInterstitial&) override { return note("click"); }
  ZUMImplemented interstitialWillLeaveApplication(ZUMInterstitial&) override { return note("willLeave"); }
  std::optional<bool> adShouldChangeAudioSessionToCategory(const void*, const std::string& category) override {
    if (!answersAudio) return std::nullopt;
    return category == "playback";
  }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? what : what + "!");
    return kZUMImplemented;
  }
  bool handlesPresentationFailure = true;
  bool answersAudio = false;
  Log log;
  ZUMRequestErrorPtr lastError;
  platform::TimeInterval dismissedAt = 0;
};

// An application that supports only portrait.
struct PortraitApplication : platform::ApplicationDelegate {
  std::optional<platform::InterfaceOrientationMask> supportedInterfaceOrientationsForWindow(
      platform::Application&, const std::shared_ptr<platform::Window>&) override {
    return platform::kInterfaceOrientationMaskPortrait;
  }
};

constexpr const char* kOnlyApplicationOrientations =
    "/vantor/ads/view_controller_only_supports_application_orientation";

class ZUMInterstitialTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    window = platform::Window::create();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    serveAd({});
    interstitial->setDelegate(delegate);
  }
  void TearDown() override { platform::Application::shared().setDelegate(nullptr); }
  void serveAd(std::vector<std::pair<std::string, std::string>> headers,
               std::string body = "<html><body>Ad<script>var a = 1;</script></body></html>") {
    hosts.server.route("/ad", {.headers = std::move(headers), .body = std::move(body)});
  }
  void load() {
    interstitial->loadRequest(ZUMRequest::create());
    ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); }));
  }
  void present() {
    interstitial->presentFromRootViewController(host);
    env.advance(1);
    shown = interstitial->viewController();
  }
  void dismiss() {
    shown->closeButtonPressed();
    env.advance(1);
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window;
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
  std::shared_ptr<ZUMInterstitial> interstitial = ZUMInterstitial::create("unit-A");
  std::shared_ptr<HostDelegate> delegate = std::make_shared<HostDelegate>();
  std::shared_ptr<ZUMInterstitialViewController> shown;
};

TEST_F(ZUMInterstitialTest, OneAdIsLoadedShownOnceAndDismissedAndTheObjectIsThenUsed) {
  load();
  EXPECT_EQ(delegate->log, Log{"received"});
  EXPECT_TRUE(interstitial->isReady());
  EXPECT_EQ(interstitial->adNetworkClassName(), kZUMFirstPartyAdapterClassName);
  auto adView = std::static_pointer_cast<ZUMAdView>(interstitial->slot()->adView());
  EXPECT_EQ(adView->rewardBasedVideoAdTOLMHandlerDelegate(), interstitial);
  interstitial->setAdUnitID("unit-B");
  EXPECT_EQ(interstitial->slot()->adUnitID(), "unit-B");
  present();
  EXPECT_EQ(shown->adOrientations(), 30u);  // the ad's, all of them
  EXPECT_EQ(host->presentedViewController(), interstitial->viewController());
  EXPECT_TRUE(interstitial->hasBeenUsed());
  EXPECT_TRUE(interstitial->slot()->viewHasMadeImpression());
  env.runUntilIdle();  // timestamps are stored on the CSI's queue
  EXPECT_GT(interstitial->slot()->CSI()->timestampForLabel("native:view_show"), 0);

  platform::SystemLog::Capture capture(true);
  interstitial->presentFromRootViewController(host);  // a second present only logs
  env.runUntilIdle();
  const auto messages = capture.messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.find("has been used") != std::string::npos; }),
            1);

  std::weak_ptr<ZUMInterstitial> weak = interstitial;
  auto slot = interstitial->slot();
  interstitial.reset();  // on screen, the owner keeps it
  ASSERT_FALSE(weak.expired());
  dismiss();
  EXPECT_EQ(delegate->log, (Log{"received", "willPresent", "willDismiss", "didDismiss"}));
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_TRUE(weak.expired());
}

// A page whose content process ends, while it loads, once the ad is loaded or once it is
// shown, reaches the host as one failure that says so, on either web view, with the
// reason in the log.
TEST_F(ZUMInterstitialTest, APageThatDiesIsReportedOnceWithItsReasonOnEitherWebView) {
  enum class Stage { kLoading, kLoaded, kShown };
  const struct {
    const char* webView;
    Stage stage;
    const char* logged;
  } rows[] = {
      {"ui", Stage::kLoading, "The ad's page ended while it loaded: timed out."},
      {"wk", Stage::kLoading, "The ad's page ended while it loaded: timed out."},
      {"ui", Stage::kLoaded, "The ad's page ended after it loaded, before it was shown: out of memory."},
      {"ui", Stage::kShown, "The ad's page ended after it was shown: out of memory."},
      {"wk", Stage::kShown, "The ad's page ended after it was shown: out of memory."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.webView) + " " + row.logged);
    const bool shownFirst = row.stage == Stage::kShown;
    const bool loadedFirst = row.stage != Stage::kLoading;
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(row.webView, "/vantor/ads/wv_class"));
    const auto saved = platform::ContentProcess::defaultOptions();
    auto limits = saved;
    limits.timeLimit = loadedFirst ? 30 : 0.5;
    limits.memoryLimit = 8u << 20;
    platform::ContentProcess::setDefaultOptions(limits);
    serveAd({}, loadedFirst ? "<html><body>Ad<script>setTimeout(function () { var s = 'x'; for (;;) s += s; }, "
                              "5000);</script></body></html>"
                            : "<html><body>Ad<script>for (;;) {}</script></body></html>");
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->log.clear();
    platform::SystemLog::Capture capture(true);
    load();
    if (shownFirst) present();
    if (loadedFirst) env.advance(10);
    env.runUntilIdle();
    EXPECT_EQ(delegate->log, shownFirst    ? (Log{"received", "willPresent", "failed 11"})
                             : loadedFirst ? (Log{"received", "failed 11"})
                                           : Log{"failed 11"});
    ASSERT_TRUE(delegate->lastError);
    EXPECT_EQ(delegate->lastError->localizedDescription(),
              std::string("The ad's web page ended (") + (loadedFirst ? "out of memory" : "timed out") + ").");
    EXPECT_TRUE(capture.contains(row.logged));
    EXPECT_FALSE(interstitial->isReady());
    if (shownFirst) dismiss();
    platform::ContentProcess::setDefaultOptions(saved);
  }
}

// The page's open messages, once the user touched the ad, reach the opener through the
// handler chain: one click and one click ping each, the in-app browser inside the same
// full-screen session, and another application with one leave notice.
TEST_F(ZUMInterstitialTest, TapsOnThePageOpenTheBrowserAndAnotherApplicationWithOneClickEach) {
  serveAd({{"x-qyra-click-tracking-urls", "https://ads.adnetwork.example/click_ping?unit=A"}});
  hosts.server.route("/click_ping", {.status = 204});
  hosts.server.route("/landing", {.status = 200, .body = "<p>landing</p>"});
  testenv::AppControls::setInstalledURLSchemes({"http", "https", "myapp"});
  load();
  present();
  auto adView = shown->adView();
  const auto send = [&](const std::string& message) {
    adView->setTouched(true);
    adView->webView()->evaluateJavaScriptFromString("location.href = 'tolm://page/" + message + "';");
    env.advance(1);
  };
  send("open?a=browser&u=https%3A%2F%2Fads.adnetwork.example%2Flanding");
  auto browser = std::dynamic_pointer_cast<ZUMBrowserViewController>(shown->presentedViewController());
  ASSERT_TRUE(browser);
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/click_ping").size() == 1; }));
  browser->doneButtonPressed();
  env.advance(1);
  EXPECT_EQ(shown->presentedViewController(), nullptr);

  send("open?a=app&u=myapp%3A%2F%2Fitem");
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/click_ping").size() == 2; }));
  // Both pings have their answers: none is left on its way when the test ends.
  ASSERT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  EXPECT_EQ(platform::Application::shared().openedURLs().back().absoluteString(), "myapp://item");
  dismiss();
  env.runUntilIdle();
  EXPECT_EQ(hosts.server.requests("/click_ping").size(), 2u);
  EXPECT_EQ(delegate->log,
            (Log{"received", "willPresent", "click", "click", "willLeave", "willDismiss", "didDismiss"}));
}

// A link the user taps in the full-screen page is a click the opener carries out: the
// full-screen delegate's own link-click ping must not count it a second time.
TEST_F(ZUMInterstitialTest, ALinkTappedInThePageIsOneClickAndOnePing) {
  serveAd({{"x-qyra-click-tracking-urls", "https://ads.adnetwork.example/click_ping?unit=A"}},
          "<html><body><a id=\"go\" href=\"https://ads.adnetwork.example/landing\">Go</a></body></html>");
  hosts.server.route("/click_ping", {.status = 204});
  load();
  present();
  shown->adView()->setTouched(true);
  shown->adView()->webView()->evaluateJavaScriptFromString("document.getElementById('go').click();");
  env.advance(1);
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.requests("/click_ping").size() == 1; }));
  env.advance(5);
  env.runUntilIdle();
  EXPECT_EQ(hosts.server.requests("/click_ping").size(), 1u);
  EXPECT_EQ(std::count(delegate->log.begin(), delegate->log.end(), "click"), 1);
  dismiss();
}

// A page that asks for a transparent background before it is shown is presented over
// the host's screen instead of modally.
TEST_F(ZUMInterstitialTest, APageAskingForATransparentBackgroundIsShownOverTheHostsScreen) {
  serveAd({},
          "<html><body><script>location.href = "
          "'tolm://page/setInterstitialProperties?transparentBackground=1';</script></body></html>");
  load();
  env.advance(1);
  present();
  ASSERT_TRUE(shown);
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMTransparentOverlayPresenter>(shown->presenter()));
  dismiss();
}

TEST_F(ZUMInterstitialTest, ALoadAfterUseFailsWithCodeSixEvenWhenTheHostMarkedItUsed) {
  for (bool presented : {true, false}) {
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->log.clear();
    if (presented) {
      load();
      present();
      dismiss();
      // Still held by the host: its slot is invalidated at the dismissal all the same.
      EXPECT_EQ(interstitial->slot()->state(), ZUMSlot::State::kInvalidated);
    } else {
      interstitial->setHasBeenUsed(true);
    }
    delegate->log.clear();
    platform::SystemLog::Capture capture(true);
    load();
    EXPECT_EQ(delegate->log, Log{"failed 6"}) << presented;
    EXPECT_TRUE(capture.contains("Will not send request because interstitial object has been used.")) << presented;
  }
}

TEST_F(ZUMInterstitialTest, PresentingBeforeTheAdIsReadyOnlyLogsAndLeavesTheObjectUsable) {
  platform::SystemLog::Capture capture(true);
  interstitial->presentFromRootViewController(host);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Cannot present interstitial. It is not ready."));
  EXPECT_FALSE(interstitial->hasBeenUsed());
  EXPECT_TRUE(delegate->log.empty());
}

// Nothing to present from: the host hears that the ad could not be shown, the object
// stays unused, and nothing keeps it once the host lets it go.
TEST_F(ZUMInterstitialTest, PresentingWithoutARootViewControllerFailsAndHoldsNothing) {
  load();
  platform::SystemLog::Capture capture(true);
  interstitial->presentFromRootViewController(nullptr);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("No UIViewController supplied to the ad. Cannot continue."));
  EXPECT_EQ(delegate->log, (Log{"received", "failedToPresent"}));
  EXPECT_FALSE(interstitial->hasBeenUsed());
  std::weak_ptr<ZUMInterstitial> weak = interstitial;
  interstitial.reset();
  env.runUntilIdle();
  EXPECT_TRUE(weak.expired());
}

// A parked ad view (a delayed close) is no longer measured once the ad is dismissed.
TEST_F(ZUMInterstitialTest, ActiveViewReportingEndsAtTheDismissal) {
  serveAd({{"x-qyra-activeview", R"({"cfg": 1})"}});
  load();
  auto slot = interstitial->slot();
  present();
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  ASSERT_TRUE(activeView->activeViewMonitor());
  platform::NotificationCenter::defaultCenter().post(kZUMDelayPageCloseStartNotification, slot->adView());
  dismiss();
  ASSERT_NE(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_FALSE(activeView->activeViewMonitor());
  env.advance(3);  // the time-out lets the parked ad view go
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
}

// The application supports portrait only and asks ads to keep to it.
TEST_F(ZUMInterstitialTest, AnAdInOrientationsTheApplicationLacksIsRefusedAtLoadOrAtPresent) {
  auto application = std::make_shared<PortraitApplication>();
  platform::Application::shared().setDelegate(application);
  // The hub reads the application's orientations when it becomes active.
  platform::Application::shared().resignActive();
  platform::Application::shared().becomeActive();
  env.runUntilIdle();
  serveAd({{"X-Qyra-Orientation", "landscape"}});

  platform::UserDefaults::standard().setBool(true, kOnlyApplicationOrientations);
  load();
  EXPECT_EQ(delegate->log, Log{"failed 13"});

  // Accepted while the switch was off, refused when shown after it was turned on.
  for (bool handlesFailure : {true, false}) {
    platform::UserDefaults::standard().setBool(false, kOnlyApplicationOrientations);
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->handlesPresentationFailure = handlesFailure;
    delegate->log.clear();
    load();
    platform::UserDefaults::standard().setBool(true, kOnlyApplicationOrientations);
    platform::SystemLog::Capture capture(true);
    present();
    EXPECT_TRUE(capture.contains("Application does not support the ad's orientation."));
    const Log expected = handlesFailure ? Log{"received", "failedToPresent"}
                                        : Log{"received", "willPresent", "willDismiss", "didDismiss"};
    EXPECT_EQ(delegate->log, expected);
    EXPECT_FALSE(interstitial->hasBeenUsed());
    EXPECT_EQ(host->presentedViewController(), nullptr);
  }
}

// The page asked to delay its close: the dismissed ad keeps running in the placeholder
// window until the time-out or the page's stop, then its slot is invalidated, even though
// the host still holds the interstitial.
TEST_F(ZUMInterstitialTest, ADelayedCloseParksTheAdViewUntilTheTimeOutOrTheStopMessage) {
  enum class End { TimeOut, StopMessage, TimeOutAfterAnEarlyStart, StopWhileShown };
  for (End end : {End::TimeOut, End::StopMessage, End::TimeOutAfterAnEarlyStart, End::StopWhileShown}) {
    const int row = static_cast<int>(end);
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->log.clear();
    load();
    auto slot = interstitial->slot();
    auto adView = slot->adView();
    auto& center = platform::NotificationCenter::defaultCenter();
    // The page may ask while it loads, before the ad is shown.
    if (end == End::TimeOutAfterAnEarlyStart) center.post(kZUMDelayPageCloseStartNotification, adView);
    present();
    ASSERT_EQ(delegate->log, (Log{"received", "willPresent"}));
    if (end != End::TimeOutAfterAnEarlyStart) center.post(kZUMDelayPageCloseStartNotification, adView);
    if (end == End::StopWhileShown) {
      // Stopped before the close: the ad stays up, and its close is no longer delayed.
      center.post(kZUMDelayPageCloseStopNotification, adView);
      env.runUntilIdle();
      EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
      dismiss();
      EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
      EXPECT_EQ(adView->superview(), nullptr);
      continue;
    }
    dismiss();
    EXPECT_EQ(adView->window(), ZUMApplication::sharedInstance()->placeholderWindow()) << row;
    EXPECT_NE(slot->state(), ZUMSlot::State::kInvalidated);
    if (end == End::StopMessage) {
      center.post(kZUMDelayPageCloseStopNotification, adView);
      env.runUntilIdle();
    } else {
      env.advance(delegate->dismissedAt + 1.99 - env.now());
      EXPECT_NE(slot->state(), ZUMSlot::State::kInvalidated);
      env.advance(0.02);
    }
    EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated) << row;
    EXPECT_EQ(adView->superview(), nullptr);
  }
}

// The ad's orientations apply unless the host's own (set before) should win: an ad that
// allows all, or none, or a controller told that its orientations override the ad's.
TEST_F(ZUMInterstitialTest, TheControllerTakesTheAdsOrientationsUnlessItsOwnWin) {
  constexpr platform::InterfaceOrientationMask kPortrait = 6, kLandscape = 24, kAll = 30;
  const struct {
    platform::InterfaceOrientationMask preset, ad;
    bool overrides;
    platform::InterfaceOrientationMask shown;
  } rows[] = {{0, kLandscape, false, kLandscape},
              {kLandscape, kAll, false, kLandscape},
              {kLandscape, kPortrait, false, kPortrait},
              {kLandscape, kPortrait, true, kLandscape},
              {kLandscape, 0, false, kLandscape}};
  for (const auto& row : rows) {
    interstitial = ZUMInterstitial::create("unit-A");
    interstitial->setDelegate(delegate);
    delegate->log.clear();
    load();
    interstitial->slot()->ad()->setSupportedOrientations(row.ad);
    interstitial->viewController()->setAdOrientations(row.preset);
    interstitial->viewController()->setAdOrientationsOverridesLockedOrientation(row.overrides);
    present();
    EXPECT_EQ(shown->adOrientations(), row.shown) << row.preset << " " << row.ad << " " << row.overrides;
    dismiss();
  }
}

// The slot's questions, answered for the host.
TEST_F(ZUMInterstitialTest, TheSlotsQuestionsAreAnsweredForTheHost) {
  load();
  auto& slot = *interstitial->slot();
  EXPECT_EQ(interstitial->slotShouldChangeAudioSessionCategoryTo(slot, "playback"), true);  // no answer: yes
  delegate->answersAudio = true;
  EXPECT_EQ(interstitial->slotShouldChangeAudioSessionCategoryTo(slot, "record"), false);
  EXPECT_EQ(interstitial->slotShouldReloadCurrentRequest(slot), false);
  interstitial->slotDidReceiveAdClick(slot);
  EXPECT_EQ(delegate->log.back(), "click");
  interstitial->slotWillLeaveApplication(slot);
  EXPECT_EQ(delegate->log.back(), "willLeave");

  const char* reporting = "/vantor/ads/zums:interstitial_player_to_video_manager_reporting_enabled";
  EXPECT_EQ(interstitial->slotShouldDisableVideoEventReportToAudioVideoManager(slot, nullptr), true);
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("1", reporting));
  EXPECT_EQ(interstitial->slotShouldDisableVideoEventReportToAudioVideoManager(slot, nullptr), false);

  // With the switch on, an ad in the application's orientations passes.
  platform::UserDefaults::standard().setBool(true, kOnlyApplicationOrientations);
  auto ad = ZUMAd::create();
  platform::ErrorPtr error;
  EXPECT_TRUE(interstitial->slotShouldProcessAdResponse(slot, ad, &error));
  EXPECT_EQ(error, nullptr);
}

// In split screen the SDK's own ads must fit the window, within the ad's threshold.
TEST_F(ZUMInterstitialTest, InSplitScreenAnAdThatWouldBeCroppedIsNotShown) {
  platform::UserDefaults::standard().setBool(true, "/vantor/ads/application_supports_split_screen");
  load();
  auto ad = interstitial->slot()->ad();
  const auto window = ZUMApplication::sharedInstance()->mainWindow()->frame().size;
  ad->setCroppedContentThreshold(5);
  const struct {
    platform::Size size;
    bool shown;
  } rows[] = {{{window.width, window.height - 4}, true},
              {{window.height, window.width}, true},
              {{window.width, window.height - 5}, false},
              {{0.005, window.height - 50}, true}};  // an ad of no real size is not judged
  for (const auto& row : rows) {
    ad->setSize(row.size);
    platform::SystemLog::Capture capture(true);
    EXPECT_EQ(interstitial->canPresentFullScreen(), row.shown) << row.size.width << "x" << row.size.height;
    env.runUntilIdle();  // the log writes on its own queue
    EXPECT_EQ(capture.contains("The interstitial size differs from the current window size."), !row.shown);
  }
}

TEST(ZUMInterstitialOwnerTest, TheDelayTimeOutIsAUsableStoredNumberOfSecondsOrTwoAndAtMostTheMaximum) {
  testenv::TestEnvironment env;
  const struct {
    const char* stored;
    double seconds;
  } rows[] = {{nullptr, 2.0},
              {"3.5", 3.5},
              {"0", 0.0},
              {"soon", 2.0},
              {"-1", 2.0},
              {"nan", 2.0},
              {"1e9", kZUMMaximumDelayPageCloseTimeout}};
  for (const auto& row : rows) {
    auto& defaults = platform::UserDefaults::standard();
    if (row.stored)
      EXPECT_TRUE(defaults.setObject(row.stored, "/vantor/ads/zum:delay_page_close_timeout"));
    else
      defaults.removeObjectForKey("/vantor/ads/zum:delay_page_close_timeout");
    auto owner = ZUMInterstitialOwner::create(ZUMInterstitial::create());
    EXPECT_EQ(owner->delayPageCloseTimeoutInterval(), row.seconds) << (row.stored ? row.stored : "absent");
  }
  EXPECT_EQ(ZUMInterstitialOwner::create(nullptr), nullptr);
}

TEST(ZUMInterstitialFitTest, AnAdFitsAWindowEitherWayRoundWithinTheThreshold) {
  const struct {
    platform::Size ad, window;
    double threshold;
    bool fits;
  } rows[] = {
      {{320, 480}, {320, 480}, 1, true},    {{480, 320}, {320, 480}, 1, true},   {{320, 480}, {320, 490}, 10, false},
      {{320, 480}, {320, 489.9}, 10, true}, {{300, 480}, {320, 480}, 10, false}, {{480, 300}, {320, 480}, 21, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMInterstitial::canFitAdSize(row.ad, row.window, row.threshold), row.fits)
        << row.ad.width << "x" << row.ad.height << " in " << row.window.width << "x" << row.window.height;
  }
}

}  // namespace
