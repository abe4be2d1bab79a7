#include "sdk/rendering/ZUMAdView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMOpener.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace {

using nlohmann::ordered_json;
using platform::URL;

constexpr const char* kAdURL = "https://ads.example.com/ad.html";

void setDefault(const std::string& key, const ordered_json& value) { platform::UserDefaults::standard().setObject(value, key); }

class RecordingDelegate : public ZUMAdViewDelegateProtocol {
 public:
  void adViewDidFinishLoad(ZUMAdView&) override { log.push_back("finish"); }
  void adViewDidFailLoadWithError(ZUMAdView&, const platform::ErrorPtr& error) override {
    log.push_back("fail " + std::to_string(error->code()));
  }
  std::vector<std::string> log;
};

class ZUMAdViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    platform::URLLoading::setLoopbackOnlyForTesting(true);
    platform::WKWebView::registerClass();
  }
  void TearDown() override { platform::URLLoading::setLoopbackOnlyForTesting(false); }

  std::shared_ptr<ZUMAdView> make(const std::string& engine = "ui") {
    ZUMWebViewConfiguration configuration;
    configuration.setWebViewClassKey(engine);
    auto view = ZUMAdView::create({0, 0, 320, 50}, configuration);
    view->setDelegate(delegate);
    return view;
  }
  void load(ZUMAdView& view, const std::function<void()>& whileLoading = {}) {
    view.loadHTMLString(platform::webtest::readPage("ad_view.html"), URL::fromString(kAdURL));
    if (whileLoading) whileLoading();
    ASSERT_TRUE(env.runUntil([&] { return !view.isLoading(); }));
    env.runUntilIdle();
  }
  static std::string evaluate(ZUMAdView& view, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())->engine()->stringByEvaluatingJavaScriptFromString(script);
  }
  static const std::vector<std::string>& scripts(ZUMAdView& view) {
    if (auto wk = std::dynamic_pointer_cast<ZUMWebKitWebView>(view.webView())) return wk->engine()->evaluatedScripts();
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())->engine()->evaluatedScripts();
  }

  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

std::string numbers(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += (text.empty() ? "" : ",") + std::to_string(i);
  return text;
}

TEST_F(ZUMAdViewTest, TwentySDKEventsWaitForTheLoadInOrderAndLaterOnesAreNotLimited) {
  auto view = make();
  view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", 0}});  // cancelled by the load
  load(*view, [&] {
    for (int i = 1; i <= 25; ++i) view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", i}});
    EXPECT_EQ(view->queuedSDKEventCount(), kZUMAdViewMaxQueuedSDKEvents);
  });
  EXPECT_EQ(delegate->log, std::vector<std::string>{"finish"});
  const std::string order = "received.map(function(r){return JSON.parse(r.slice(r.indexOf(' ')+1)).i;}).join(',')";
  EXPECT_EQ(evaluate(*view, order), numbers(1, 20));
  EXPECT_EQ(evaluate(*view, "JSON.parse(received[0].slice(9)).version"), ZUMRequest::sdkVersion());

  for (int i = 21; i <= 45; ++i) view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", i}});
  env.runUntilIdle();
  EXPECT_EQ(evaluate(*view, order), numbers(1, 20) + "," + numbers(21, 45));
}

TEST_F(ZUMAdViewTest, LoadingARequestCancelsWaitingEvents) {
  auto view = make();
  view->dispatchSDKEvent("sdkEvent", std::nullopt);
  view->loadRequest(platform::URLRequest(*URL::fromString(kAdURL)));
  EXPECT_EQ(view->queuedSDKEventCount(), 0u);
}

TEST_F(ZUMAdViewTest, ScriptsRunOnALaterTurnInTheConfiguredModeAndDelay) {
  auto view = make();
  const auto before = scripts(*view).size();
  view->executeJavaScriptAsynchronouslyFromString("a()");
  EXPECT_EQ(scripts(*view).size(), before);  // never inline
  platform::RunLoop::main().runPending(platform::kTrackingRunLoopMode);
  ASSERT_EQ(scripts(*view).size(), before + 1);  // the common modes include tracking

  setDefault("/vantor/ads/js_should_run_in_default_run_loop_mode", "true");
  setDefault("/vantor/ads/zums:js_async_delay_time", "0.25");
  view->executeJavaScriptAsynchronouslyFromString("b()");
  platform::RunLoop::main().runPending(platform::kTrackingRunLoopMode);
  EXPECT_EQ(scripts(*view).size(), before + 1);
  env.runUntilIdle();
  EXPECT_EQ(scripts(*view).back(), "setTimeout(function(){b()}, 250);");
}

TEST_F(ZUMAdViewTest, OrientationIsPushedOnlyForAChangeToAnInterfaceOrientation) {
  auto view = make();
  const auto count = [&] {
    env.runUntilIdle();
    return scripts(*view).size();
  };
  const auto start = count();
  for (platform::InterfaceOrientation ignored : {0, 5, -1}) view->forceRotateHTMLToOrientation(ignored);
  EXPECT_EQ(count(), start);
  view->forceRotateHTMLToOrientation(platform::kInterfaceOrientationLandscapeRight);
  ASSERT_EQ(count(), start + 1);
  EXPECT_EQ(scripts(*view).back(),
            "window.__defineGetter__('orientation',function(){return 90;});(function(){var event = "
            "document.createEvent('Events');event.initEvent('orientationchange', true, "
            "false);window.dispatchEvent(event);})();");
  view->forceRotateHTMLToOrientation(platform::kInterfaceOrientationLandscapeRight);
  EXPECT_EQ(count(), start + 1);
  view->didRotateToOrientation(platform::kInterfaceOrientationLandscapeLeft);
  ASSERT_EQ(count(), start + 2);
  EXPECT_EQ(scripts(*view).back(), "window.__defineGetter__('orientation',function(){return -90;});");
}

TEST_F(ZUMAdViewTest, CancelledLoadsAreSilentUnlessSwitchedOn) {
  auto view = make();
  for (const auto& [code, setting, reported] : std::vector<std::tuple<int, ordered_json, bool>>{
           {-999, nullptr, false}, {-999, "0", false}, {-999, "1", true}, {-1009, nullptr, true}}) {
    delegate->log.clear();
    if (setting.is_null()) platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/use_cancelled_url_error");
    else setDefault("/vantor/ads/use_cancelled_url_error", setting);
    view->webViewDidFailLoadWithError(*view->webView(), platform::Error::create("NSURLErrorDomain", code));
    EXPECT_EQ(delegate->log.size(), reported ? 1u : 0u) << code << " " << setting.dump();
  }
}

TEST_F(ZUMAdViewTest, WebViewParksInThePlaceholderWindowWhileTheAdViewHasNoWindow) {
  auto placeholder = ZUMApplication::sharedInstance()->placeholderWindow();
  auto view = make();
  EXPECT_EQ(view->webView()->superview(), placeholder);
  auto window = platform::Window::create({0, 0, 320, 480});
  window->addSubview(view);
  EXPECT_EQ(view->webView()->superview(), view);
  view->removeFromSuperview();
  EXPECT_EQ(view->webView()->superview(), placeholder);

  setDefault("/vantor/ads/ad_view_placeholder_window", "true");
  auto parked = make();
  EXPECT_EQ(parked->superview(), placeholder);
  EXPECT_EQ(parked->webView()->superview(), parked);
  window->addSubview(parked);
  EXPECT_EQ(parked->webView()->superview(), parked);
}

TEST_F(ZUMAdViewTest, APageAlertAlwaysCompletes) {
  auto adViewDelegate = ZUMAdViewDelegate::create();
  auto view = make("wk");
  view->setDelegate(adViewDelegate);
  int completed = 0;
  // No view controller: the alert completes on a later turn.
  view->webViewRunJavaScriptAlertPanelWithTitle(*view->webView(), "t", "m", [&] { ++completed; });
  EXPECT_EQ(completed, 0);
  env.runUntilIdle();
  EXPECT_EQ(completed, 1);

  // With a controller on screen the user answers it.
  auto window = platform::Window::create({0, 0, 320, 480});
  auto controller = platform::ViewController::create();
  window->setRootViewController(controller);
  window->makeKeyAndVisible();
  view->setViewController(controller);
  view->webViewRunJavaScriptAlertPanelWithTitle(*view->webView(), "t", "m", [&] { ++completed; });
  env.advance(1);
  EXPECT_EQ(completed, 1);
  EXPECT_TRUE(testenv::AppControls::answerAlert("OK"));
  env.advance(1);
  EXPECT_EQ(completed, 2);
}

TEST_F(ZUMAdViewTest, SavedPlacementIsRestoredOnceAndTouchesAreRecorded) {
  auto window = platform::Window::create({0, 0, 320, 480});
  window->makeKeyAndVisible();
  auto view = make();
  window->addSubview(view);
  view->setFrame({0, 100, 320, 50});
  view->saveState();
  auto elsewhere = platform::View::create({0, 0, 100, 100});
  elsewhere->addSubview(view);
  view->setFrame({1, 2, 3, 4});
  view->saveState();  // keeps the first record
  view->restoreState();
  EXPECT_EQ(view->superview(), window);
  EXPECT_EQ(view->frame(), (platform::Rect{0, 100, 320, 50}));
  view->restoreState();  // nothing saved: nothing moves
  EXPECT_EQ(view->superview(), window);

  EXPECT_FALSE(view->touched());
  testenv::TouchControls::tap(window, {10, 120});
  EXPECT_TRUE(view->touched());
}

TEST_F(ZUMAdViewTest, TeardownEndsTheStashRecord) {
  auto view = make();
  view->loadHTMLString("<html></html>", URL::fromString(kAdURL));
  const void* address = view.get();
  EXPECT_NE(ZUMAdURLStash::sharedInstance()->resourceCollectionForAdView(address), nullptr);
  view.reset();
  EXPECT_EQ(ZUMAdURLStash::sharedInstance()->resourceCollectionForAdView(address), nullptr);
}

TEST_F(ZUMAdViewTest, ConfiguringForAFormatTurnsBouncingOffAndHidesABannerUntilItLoads) {
  EXPECT_TRUE(make()->scrollView()->bounces());
  auto interstitial = make();
  interstitial->configureAsInterstitialAdView();
  EXPECT_FALSE(interstitial->scrollView()->bounces());
  EXPECT_FALSE(interstitial->isHidden());
  auto banner = make();
  banner->configureAsBannerAdView();
  EXPECT_FALSE(banner->scrollView()->bounces());
  EXPECT_TRUE(banner->isHidden());
}

TEST_F(ZUMAdViewTest, AnAdsRequestHistoryIsToldToTheStashBeforeItsHTMLLoads) {
  const auto requestURL = *URL::fromString("https://ads.example.com/request");
  const auto finalURL = *URL::fromString("https://ads.example.com/final");
  auto ad = ZUMAd::create();
  ad->setOriginalRequest(platform::URLRequest(requestURL));
  ad->addRedirect(ZUMURLConnectionRedirect::create(
      platform::HTTPURLResponse(requestURL, 302, {{"Location", finalURL.absoluteString()}}), platform::URLRequest(finalURL)));
  ad->setResponseHeaders(ordered_json{{"Content-Type", "text/html"}});
  ad->setAdBaseURL(URL::fromString(kAdURL));
  ad->setAdHTML("<html>ad</html>");
  auto view = make();
  view->platform::View::setBackgroundColor(platform::Color::white());
  view->setAd(ad);
  EXPECT_EQ(view->platform::View::backgroundColor(), platform::Color::clear());

  auto record = ZUMAdURLStash::sharedInstance()->resourceCollectionForAdView(view.get());
  ASSERT_TRUE(record);
  ASSERT_EQ(record->resources().size(), 2u);
  EXPECT_EQ(record->resources()[0].URLString, requestURL.absoluteString());
  EXPECT_EQ(record->resources()[0].statusCode, 302);
  EXPECT_EQ(record->resources()[1].URLString, finalURL.absoluteString());
  EXPECT_EQ(record->resources()[1].statusCode, 200);
  EXPECT_EQ(record->resources()[1].MIMEType, "text/html");
  EXPECT_EQ(record->resources()[1].receivedBytes, 15u);
  EXPECT_EQ(record->loadsStarted(), 1u);

  // Without an original request, the ad's URL stands for it.
  auto direct = ZUMAd::create();
  direct->setAdURL(URL::fromString("https://ads.example.com/direct"));
  direct->setAdBaseURL(URL::fromString(kAdURL));
  view->setAd(direct);
  record = ZUMAdURLStash::sharedInstance()->resourceCollectionForAdView(view.get());
  ASSERT_EQ(record->resources().size(), 1u);
  EXPECT_EQ(record->resources()[0].URLString, "https://ads.example.com/direct");
}

TEST_F(ZUMAdViewTest, NavigationsAreAllowedWithoutADelegateAnswer) {
  auto view = make();
  const platform::URLRequest request(*URL::fromString("https://landing.example.com/"));
  EXPECT_TRUE(view->webViewShouldStartLoadWithRequest(*view->webView(), request, platform::WebViewNavigationType::Other));
  view->setDelegate(nullptr);
  EXPECT_TRUE(view->webViewShouldStartLoadWithRequest(*view->webView(), request, platform::WebViewNavigationType::Other));
}

TEST_F(ZUMAdViewTest, AFluidViewOfTheNewerEngineTakesItsFrameAfterTheContentSizeDelay) {
  struct Row {
    std::string engine;
    bool fluid;
    ordered_json delay;
    double after;  // seconds until the web view has the ad view's bounds; 0: at once
  };
  for (const auto& row : std::vector<Row>{{"wk", true, nullptr, 0.02},
                                          {"wk", true, "0.5", 0.5},
                                          {"wk", true, "-1", 0},
                                          {"wk", false, nullptr, 0},
                                          {"ui", true, nullptr, 0}}) {
    if (row.delay.is_null()) platform::UserDefaults::standard().removeObjectForKey("/vantor/ads/wv_content_size_delay");
    else setDefault("/vantor/ads/wv_content_size_delay", row.delay);
    auto view = make(row.engine);
    view->setIsFluidAdView(row.fluid);
    env.runUntilIdle();
    view->webViewDidFinishLoad(*view->webView());  // the web view is 1 point high, then follows
    const auto label = row.engine + (row.fluid ? " fluid " : " ") + row.delay.dump();
    if (row.after > 0) {
      EXPECT_EQ(view->webView()->frame().size.height, 1) << label;
      env.advance(row.after * 0.9);
      EXPECT_EQ(view->webView()->frame().size.height, 1) << label;
      env.advance(row.after * 0.2);
    }
    EXPECT_EQ(view->webView()->frame(), view->bounds()) << label;
  }
}

TEST_F(ZUMAdViewTest, APageGetsTheMRAIDScriptOfItsAdViewWithEitherEngine) {
  testenv::LoopbackServer server;
  for (const char* host : {"ads.example.com", "cdn.example.com"}) {
    platform::URLLoading::mapHostForTesting(host, "127.0.0.1", server.port());
  }
  for (const char* kind : {"banner", "interstitial", "creative"}) {
    server.route(std::string("/") + kind + "/mraid.js",
                 {.body = std::string("var mraidFrom = '") + kind + "';", .contentType = "text/javascript"});
  }
  ZUMRegisterURLInterception();
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  interceptor->setBannerImplementationURLString("https://cdn.example.com/banner/mraid.js");
  interceptor->setInterstitialImplementationURLString("https://cdn.example.com/interstitial/mraid.js");
  interceptor->setEnabled(true);
  env.runUntilIdle();

  auto banner = ZUMSlot::create({0, 0, 320, 50});
  banner->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  auto interstitial = ZUMSlot::create({0, 0, 320, 480});
  // Claims "m" and keeps its "from".
  class FromHandler : public ZUMTOLMHandler {
   public:
    const ActionTable* actionBlockDictionary() const override {
      static const ActionTable table{{"m", action(&FromHandler::adViewM)}};
      return &table;
    }
    void adViewM(ZUMAdView&, const ordered_json& parameters) { from = parameters.value("from", std::string()); }
    std::string from;
  };
  for (const char* engine : {"ui", "wk"}) {
    std::vector<std::string> got;
    for (const auto& slot : {interstitial, banner, interstitial}) {
      auto adViewDelegate = ZUMAdViewDelegate::create();
      auto handler = std::make_shared<FromHandler>();
      adViewDelegate->addTOLMHandler(handler);
      adViewDelegate->opener()->setSlot(slot);
      auto view = make(engine);
      view->setDelegate(adViewDelegate);
      view->loadHTMLString(platform::webtest::readPage("mraid_ad.html"), URL::fromString(kAdURL));
      ASSERT_TRUE(env.runUntil([&] { return !view->isLoading(); }));
      view->executeJavaScriptAsynchronouslyFromString("location.href = 'tolm://x/m?from=' + mraidFrom;");
      ASSERT_TRUE(env.runUntil([&] { return !handler->from.empty(); }));
      got.push_back(handler->from);
    }
    // A banner's second view has no expanded script here, so it gets the banner's.
    EXPECT_EQ(got, (std::vector<std::string>{"interstitial", "banner", "interstitial"})) << engine;
  }
  interceptor->setEnabled(false);
  interceptor->setBannerImplementationURLString(std::nullopt);
  interceptor->setInterstitialImplementationURLString(std::nullopt);
  env.runUntilIdle();
}

}  // namespace
