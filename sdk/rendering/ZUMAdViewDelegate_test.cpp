#include "sdk/rendering/ZUMAdViewDelegate.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Application.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMAutoClickProtection.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
#include "sdk/rendering/ZUMClickHandling.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotPlacement.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace {

using nlohmann::ordered_json;
using platform::URL;
using Type = platform::WebViewNavigationType;

constexpr const char* kAdURL = "https://ads.example.com/ad.html";

void setDefault(const std::string& key, const ordered_json& value) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, key));
}

// Records the composers the opener asks for; other applications are read from what the
// platform's application opened.
class RecordingClickHandling : public ZUMClickHandling {
 public:
  void openInAppStoreWithProductID(ZUMOpener&, const std::optional<std::string>&, const std::optional<URL>&,
                                   ZUMStoreSheetPresentation) override {}
  void fetchInAppStoreForProductID(ZUMOpener&, const std::string&) override {}
  void openWebViewBrowserToURL(ZUMOpener&, const URL&, std::uint64_t) override {}
  void openSafariViewControllerToURL(ZUMOpener&, const URL&) override {}
  bool hasSafariViewController() const override { return false; }
  void openEmailComposer(ZUMOpener&, const URL& url) override { log.push_back("mail " + url.absoluteString()); }
  void openSmsComposer(ZUMOpener&, const URL& url) override { log.push_back("sms " + url.absoluteString()); }
  std::vector<std::string> log;
};

// Claims its names and logs each run (name and "i"); with `hold`, keeps messages until
// its ad view has a placement.
struct RecordingHandler : ZUMTOLMHandler {
  RecordingHandler(std::vector<std::string>& log, const std::vector<std::string>& names, bool hold = false)
      : hold(hold) {
    for (const auto& name : names) {
      table[name] = [&log, name](ZUMTOLMHandler&, ZUMAdView&, const ordered_json& p) {
        log.push_back(name + p.value("i", ""));
      };
    }
  }
  const ActionTable* actionBlockDictionary() const override { return &table; }
  bool shouldBufferNotification(const ZUMNotification&, const ZUMAdView& adView) override {
    return hold && !adView.attachedToPlacement();
  }
  bool hold;
  ActionTable table;
};

class ZUMAdViewDelegateTest : public testenv::PlatformTest {
 protected:
  // A slot's ad view and its delegate, as the SDK's load entry wires them.
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMClickHandling::setShared(clicks);
    setDefault("/vantor/ads/clickthrough_confirm_schemes", ordered_json::object());  // no alerts here
    testenv::AppControls::setInstalledURLSchemes({"http", "https", "tel", "deeplink+"});
    slot = ZUMSlot::create({0, 0, 320, 50});
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    delegate = slot->adViewDelegate();
  }
  void TearDown() override {
    ZUMClickHandling::setShared(nullptr);
    ZUMSlotRendering::setShared(nullptr);
  }

  bool navigate(const std::string& url, Type type = Type::LinkClicked, std::optional<std::string> mainDocument = {}) {
    platform::URLRequest request(*URL::fromString(url));
    if (mainDocument) request.setMainDocumentURL(URL::fromString(*mainDocument));
    return *delegate->adViewShouldStartLoadWithRequest(*adView, request, type);
  }
  void loadPage() {
    adView->loadHTMLString(platform::webtest::readPage("ad_view.html"), URL::fromString(kAdURL));
    ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
    env.runUntilIdle();
  }
  // The SDK's millisecond clock never goes back, so after an earlier test's clock it
  // stands still until this test's clock has passed it.
  void catchUpMillisecondClock() {
    const auto before = ZUMMonotonicTimeInMilliseconds();
    while (ZUMMonotonicTimeInMilliseconds() == before) env.advance(1);
  }
  // A shown ad, touched, loaded more than 0.15 s ago: http navigations count as clicks.
  void makeClickable() {
    catchUpMillisecondClock();
    adView->webViewDidFinishLoad(*adView->webView());
    slot->didReceiveValidAd();
    slot->didLoadAdHTMLInWebView();
    adView->setTouched(true);
    env.advance(0.151);
  }
  void page(const std::string& script) { adView->webView()->evaluateJavaScriptFromString(script); }
  // What the opener did so far: composers, then "app URL" for each URL opened outside.
  std::vector<std::string>& taken() {
    env.runUntilIdle();
    const auto& opened = platform::Application::shared().openedURLs();
    for (; seenOpened < opened.size(); ++seenOpened)
      clicks->log.push_back("app " + opened[seenOpened].absoluteString());
    return clicks->log;
  }
  void forget() { taken().clear(); }
  std::size_t seenOpened = platform::Application::shared().openedURLs().size();

  std::shared_ptr<RecordingClickHandling> clicks = std::make_shared<RecordingClickHandling>();
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdViewDelegate> delegate;
  std::shared_ptr<ZUMAdView> adView;
};

// --- The navigation policy ---------------------------------------------------------------

TEST_F(ZUMAdViewDelegateTest, SchemesOtherThanTheWebAreNeverLoaded) {
  struct Row {
    std::string url;
    bool allowed;
    std::vector<std::string> log;
  };
  for (const auto& row : std::vector<Row>{
           {"file:///etc/passwd", false, {}},
           {"tolm://page/unclaimed", false, {}},
           {"mailto:a@example.com", false, {"mail mailto:a@example.com"}},
           {"SMS:123", false, {"sms SMS:123"}},
           {"deeplink+://other?primaryUrl=https%3A%2F%2Fx.example.com", false, {}},
           {"about:blank", true, {}},
           {"tel:123", false, {"app tel:123"}},
           {"https://landing.example.com/", true, {}},  // not a click: never loaded, not touched
       }) {
    forget();
    EXPECT_EQ(navigate(row.url), row.allowed) << row.url;
    EXPECT_EQ(taken(), row.log) << row.url;
  }
  EXPECT_FALSE(*delegate->adViewShouldStartLoadWithRequest(*adView, platform::URLRequest(), Type::Other));

  setDefault("/vantor/ads/deeplinkplus_enabled", false);
  forget();
  EXPECT_FALSE(navigate("deeplink+://navigate?primaryUrl=x"));
  EXPECT_EQ(taken(), std::vector<std::string>{"app deeplink+://navigate?primaryUrl=x"});
}

TEST_F(ZUMAdViewDelegateTest, AnAnchorJumpIsRefusedOnlyForALinkClick) {
  loadPage();
  EXPECT_FALSE(navigate(std::string(kAdURL) + "#top", Type::LinkClicked));
  EXPECT_TRUE(navigate(std::string(kAdURL) + "#top", Type::Other));
  EXPECT_TRUE(navigate("https://ads.example.com/other.html#top", Type::LinkClicked));
}

TEST_F(ZUMAdViewDelegateTest, AnHTTPNavigationIsAClickOnlyWhenEveryConditionHolds) {
  auto controller = platform::ViewController::create();
  adView->setViewController(controller);
  makeClickable();
  EXPECT_TRUE(delegate->hasLoadedAtLeastOnce());
  EXPECT_FALSE(navigate("https://landing.example.com/a", Type::LinkClicked));
  EXPECT_EQ(taken(), std::vector<std::string>{"app https://landing.example.com/a"});
  // The opener was primed for the click.
  const auto& opener = *delegate->opener();
  EXPECT_EQ(opener.viewController(), controller);
  EXPECT_EQ(opener.adView(), adView);
  EXPECT_EQ(opener.navigationRequest()->url()->absoluteString(), "https://landing.example.com/a");

  struct Row {
    std::string name;
    std::function<void()> change;
    Type type = Type::LinkClicked;
  };
  for (const auto& row : std::vector<Row>{
           {"reload", [] {}, Type::Reload},
           {"back", [] {}, Type::BackForward},
           {"untouched", [&] { adView->setTouched(false); }},
           {"within 0.15 s",
            [&] {
              slot->didLoadAdHTMLInWebView();
              adView->setTouched(true);
              env.advance(0.149);
            }},
           {"rendering", [&] { slot->willLoadAdHTMLInWebView(); }},
           {"SDK core failed", [&] { slot->didFailToRetrieveSDKCoreWithError(nullptr); }},
           {"no slot", [&] { delegate->opener()->setSlot(nullptr); }},
       }) {
    makeClickable();
    delegate->opener()->setSlot(slot);
    row.change();
    forget();
    EXPECT_TRUE(navigate("https://landing.example.com/b", row.type)) << row.name;
    EXPECT_TRUE(taken().empty()) << row.name;
  }
  for (auto counted : {&ZUMSlot::resetState, &ZUMSlot::willFetchAdContent, &ZUMSlot::didReceiveAdURL}) {
    makeClickable();
    delegate->opener()->setSlot(slot);
    ((*slot).*counted)();
    EXPECT_FALSE(navigate("https://landing.example.com/c", Type::Other));
  }
}

TEST_F(ZUMAdViewDelegateTest, IframeNavigationsLoadInPlaceWhenSwitchedOn) {
  makeClickable();
  EXPECT_FALSE(navigate("https://frame.example.com/", Type::LinkClicked, kAdURL));  // off unless set
  forget();
  setDefault("/vantor/ads/handle_iframe_navigation", "1");
  EXPECT_TRUE(navigate("https://frame.example.com/", Type::LinkClicked, kAdURL));
  EXPECT_TRUE(taken().empty());
  EXPECT_FALSE(navigate("https://frame.example.com/", Type::LinkClicked, "https://frame.example.com/"));
  setDefault("/vantor/ads/handle_iframe_navigation", "0");
  EXPECT_FALSE(navigate("https://frame.example.com/", Type::LinkClicked, kAdURL));
  EXPECT_EQ(taken().size(), 2u);
}

TEST_F(ZUMAdViewDelegateTest, DeepLinkPlusOpensThePrimaryOrTracksAndOpensTheFallback) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("track.example.com", "127.0.0.1", server.port());
  server.route("/p", {.status = 204});
  server.route("/f", {.status = 204});
  const std::string link =
      "deeplink+://navigate?primaryUrl=fb%3A%2F%2Fprofile&primaryTrackingUrl=http%3A%2F%2Ftrack.example.com%2Fp"
      "&fallbackUrl=https%3A%2F%2Ffallback.example.com%2F&fallbackTrackingUrl=http%3A%2F%2Ftrack.example.com%2Ff"
      "&fallbackTrackingUrl=http%3A%2F%2Ftrack.example.com%2Ff";
  auto& bundle = platform::Bundle::main();
  const auto listed = bundle.objectForInfoDictionaryKey("LSApplicationQueriesSchemes");
  bundle.setObjectForInfoDictionaryKey("LSApplicationQueriesSchemes", ordered_json::array({"fb"}));
  testenv::AppControls::setInstalledURLSchemes({"http", "https"});
  EXPECT_FALSE(navigate(link));
  EXPECT_EQ(taken(), std::vector<std::string>{"app https://fallback.example.com/"});
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/f").size() == 2; }));

  testenv::AppControls::setInstalledURLSchemes({"http", "https", "fb"});
  forget();
  EXPECT_FALSE(navigate(link));
  EXPECT_EQ(taken(), std::vector<std::string>{"app fb://profile"});
  ASSERT_TRUE(env.runUntil([&] { return server.requests("/p").size() == 1; }));

  forget();
  navigate("deeplink+://navigate?fallbackUrl=https%3A%2F%2Ffallback.example.com%2F");  // no primary: nothing
  EXPECT_TRUE(taken().empty());
  bundle.setObjectForInfoDictionaryKey("LSApplicationQueriesSchemes", listed);
}

// --- The chain, with a real page ----------------------------------------------------------------

TEST_F(ZUMAdViewDelegateTest, MessagesReachTheChainInArrivalOrderAndHeldOnesWaitForAPlacement) {
  std::vector<std::string> log;
  delegate->addTOLMHandler(std::make_shared<RecordingHandler>(log, std::vector<std::string>{"m"}));
  delegate->addTOLMHandler(std::make_shared<RecordingHandler>(log, std::vector<std::string>{"held", "m"}, true));
  loadPage();
  page("burst('m', 5); burst('held', 3);");
  ASSERT_TRUE(env.runUntil([&] { return log.size() >= 5; }));
  env.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"m1", "m2", "m3", "m4", "m5"}));  // the first claimant only

  auto placement = std::make_shared<ZUMSlotPlacement>();
  slot->setPlacement(placement);
  EXPECT_EQ(log, (std::vector<std::string>{"m1", "m2", "m3", "m4", "m5", "held1", "held2", "held3"}));
}

TEST_F(ZUMAdViewDelegateTest, UnclaimedMessagesArePostedAfterTheWalkUnderNamesThatAreNotReserved) {
  // Asked about every message; claims none.
  struct AskedHandler : ZUMTOLMHandler {
    explicit AskedHandler(std::vector<std::string>& log) : log(log) {}
    const ActionTable* actionBlockDictionary() const override { return log.push_back("asked"), nullptr; }
    std::vector<std::string>& log;
  };
  std::vector<std::string> log;
  loadPage();
  delegate->addTOLMHandler(std::make_shared<AskedHandler>(log));
  delegate->addTOLMHandler(std::make_shared<RecordingHandler>(log, std::vector<std::string>{"claimed"}));
  auto& center = platform::NotificationCenter::defaultCenter();
  auto token = center.addObserver("", adView, nullptr, [&](const platform::Notification& notification) {
    log.push_back("posted " + notification.name() + " " + notification.userInfo().dump());
  });
  page("send('jsLoaded', 'i=1')");
  ASSERT_TRUE(env.runUntil([&] { return log.size() >= 2; }));
  EXPECT_EQ(log, (std::vector<std::string>{"asked", "posted jsLoaded {\"i\":\"1\"}"}));

  log.clear();
  for (const char* name : {"kAdModalViewControllerDidDismissFullScreen", "delay_page_close_start",
                           "UIApplicationDidBecomeActiveNotification", "ZUMSDKCoreDidUpdateConstants", "claimed"}) {
    page(std::string("send('") + name + "', 'i=1')");
  }
  ASSERT_TRUE(env.runUntil([&] { return log.size() >= 6; }));
  env.runUntilIdle();
  center.removeObserver(token);
  EXPECT_EQ(log, (std::vector<std::string>{"asked", "asked", "asked", "asked", "asked", "claimed1"}));
}

TEST_F(ZUMAdViewDelegateTest, ATapThenALinkInThePageIsAClick) {
  auto window = platform::Window::create({0, 0, 320, 480});
  window->makeKeyAndVisible();
  window->addSubview(adView);
  loadPage();
  catchUpMillisecondClock();
  slot->didReceiveValidAd();
  slot->didLoadAdHTMLInWebView();
  env.advance(1);
  page("clickLink()");
  env.runUntilIdle();
  EXPECT_TRUE(taken().empty());  // never touched: the link loads in the page
  loadPage();

  testenv::TouchControls::tap(window, {10, 10});
  page("clickLink()");
  ASSERT_TRUE(env.runUntil([&] { return platform::Application::shared().openedURLs().size() > seenOpened; }));
  EXPECT_EQ(taken(), std::vector<std::string>{"app https://landing.example.com/page"});
  EXPECT_EQ(delegate->opener()->referringURL()->absoluteString(), kAdURL);
}

TEST_F(ZUMAdViewDelegateTest, TheSlotsAdViewFollowsItsLoadsAndLetsGoOfItsDelegateWhenInvalidated) {
  EXPECT_EQ(delegate->opener()->slot(), slot);
  EXPECT_EQ(adView->delegate(), delegate);
  adView->setTouched(true);
  slot->didLoadAdHTMLInWebView();
  EXPECT_FALSE(adView->touched());
  auto placement = std::make_shared<ZUMSlotPlacement>();
  slot->setPlacement(placement);
  EXPECT_TRUE(adView->attachedToPlacement());
  slot->invalidate();
  EXPECT_EQ(adView->delegate(), nullptr);
}

TEST_F(ZUMAdViewDelegateTest, OpenActionsWaitForATouchOnlyUnderAutoClickProtection) {
  auto& opener = *delegate->opener();
  EXPECT_TRUE(opener.shouldPerformOpenAction());  // no protection
  opener.setAutoClickProtection(ZUMAutoClickProtection::create(false));
  EXPECT_TRUE(opener.shouldPerformOpenAction());
  opener.setAutoClickProtection(ZUMAutoClickProtection::create(true));
  navigate("https://landing.example.com/auto");  // primes the opener
  EXPECT_FALSE(opener.shouldPerformOpenAction());
  EXPECT_FALSE(opener.shouldPerformOpenAction());
  const auto record = ZUMAdURLStash::sharedInstance()->resourceCollectionForAdView(adView->stashKey());
  ASSERT_EQ(record->resources().size(), 3u);  // the navigation, then each refusal
  EXPECT_EQ(record->resources()[2].type, ZUMAdViewResourceTypeAutoClickRequest);
  EXPECT_EQ(record->resources()[2].URLString, "https://landing.example.com/auto");
  adView->setTouched(true);
  EXPECT_TRUE(opener.shouldPerformOpenAction());
}

TEST(ZUMAdViewDelegateThreadedTest, MessagesParsedOnOtherThreadsKeepTheirOrder) {
  testenv::TestEnvironment env({.executor = platform::ExecutorKind::Threaded});
  std::vector<std::string> log;
  auto delegate = ZUMAdViewDelegate::create();
  delegate->addTOLMHandler(std::make_shared<RecordingHandler>(log, std::vector<std::string>{"m"}));
  auto adView = ZUMAdView::create({0, 0, 320, 50});
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    delegate->handleTOLMURL(*URL::fromString("tolm://page/m?i=" + std::to_string(i)), adView);
    expected.push_back("m" + std::to_string(i));
  }
  ASSERT_TRUE(env.runUntil([&] { return log.size() == expected.size(); }));
  EXPECT_EQ(log, expected);
}

TEST(ZUMReservedNotificationNameTest, TheSDKsAndThePlatformsNamesAreReserved) {
  for (const char* name : {"kAdModalViewControllerWillPresentFullScreen", "delay_page_close_stop",
                           "zum-native-ad-video-click", "ZUMSlotDidLeaveWindowNotification",
                           "UIApplicationWillEnterForegroundNotification", "uiapplicationdidbecomeactivenotification",
                           "NSSystemClockDidChangeNotification", "AVPlayerItemDidPlayToEndTimeNotification"}) {
    EXPECT_TRUE(ZUMIsReservedNotificationName(name)) << name;
  }
  for (const char* name : {"jsLoaded", "nativeAdPreProcess", "nativeAdCustomClick", "loadHtml", "showOverlay",
                           "hideOverlay", "sendMessageToNativeJs", "sendMessageToSdk"}) {
    EXPECT_FALSE(ZUMIsReservedNotificationName(name)) << name;
  }
}

TEST(ZUMTOLMHandlerPlaceTest, RegisteredHandlersTakeTheirPlacesInOrder) {
  testenv::TestEnvironment env;
  std::vector<ZUMTOLMHandlerPlace> made;
  for (auto place : {ZUMTOLMHandlerPlace::CSI, ZUMTOLMHandlerPlace::ActiveView, ZUMTOLMHandlerPlace::TCache}) {
    ZUMRegisterTOLMHandlerMaker(place, [&made, place](ZUMAdViewDelegate&) {
      made.push_back(place);
      return ZUMTOLMHandler::create();
    });
  }
  auto delegate = ZUMAdViewDelegate::create();
  EXPECT_EQ(delegate->TOLMHandlers().size(), 3u);
  EXPECT_EQ(made, (std::vector<ZUMTOLMHandlerPlace>{ZUMTOLMHandlerPlace::ActiveView, ZUMTOLMHandlerPlace::TCache,
                                                    ZUMTOLMHandlerPlace::CSI}));
  for (std::size_t place = 0; place < static_cast<std::size_t>(ZUMTOLMHandlerPlace::Count); ++place) {
    ZUMRegisterTOLMHandlerMaker(static_cast<ZUMTOLMHandlerPlace>(place), nullptr);
  }
  EXPECT_TRUE(ZUMAdViewDelegate::create()->TOLMHandlers().empty());
}

}  // namespace
