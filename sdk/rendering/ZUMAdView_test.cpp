#include "sdk/rendering/ZUMAdView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/network/ZUMAdViewResourceCollection.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/network/ZUMURLConnectionRedirect.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMBannerAdViewDelegate.h"
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

void setDefault(const std::string& key, const ordered_json& value) {
  if (value.is_null()) {
    platform::UserDefaults::standard().removeObjectForKey(key);
  } else {
    EXPECT_TRUE(platform::UserDefaults::standard().setObject(value, key));
  }
}

struct RecordingDelegate : ZUMAdViewDelegateProtocol {
  void adViewDidFinishLoad(ZUMAdView&) override { log.push_back("finish"); }
  void adViewDidFailLoadWithError(ZUMAdView&, const platform::ErrorPtr&) override { log.push_back("fail"); }
  std::vector<std::string> log;
};

class ZUMAdViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { platform::WKWebView::registerClass(); }

  std::shared_ptr<ZUMAdView> make(const std::string& engine = "ui") {
    ZUMWebViewConfiguration configuration;
    configuration.setWebViewClassKey(engine);
    auto view = ZUMAdView::create({0, 0, 320, 50}, configuration);
    view->setDelegate(delegate);
    return view;
  }
  void load(ZUMAdView& view, const std::string& page, const std::function<void()>& whileLoading = {}) {
    view.loadHTMLString(platform::webtest::readPage(page), URL::fromString(kAdURL));
    if (whileLoading) whileLoading();
    ASSERT_TRUE(env.runUntil([&] { return !view.isLoading(); }));
    env.runUntilIdle();
  }
  static std::string evaluate(ZUMAdView& view, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }
  static const std::vector<std::string>& scripts(ZUMAdView& view) {
    if (auto wk = std::dynamic_pointer_cast<ZUMWebKitWebView>(view.webView())) return wk->engine()->evaluatedScripts();
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())->engine()->evaluatedScripts();
  }

  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

std::string numbers(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += (i > from ? "," : "") + std::to_string(i);
  return text;
}

TEST_F(ZUMAdViewTest, TwentySDKEventsWaitForTheLoadInOrderAndLaterOnesAreNotLimited) {
  auto view = make();
  view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", 0}});
  view->loadRequest(platform::URLRequest(*URL::fromString(kAdURL)));  // cancels what waits
  EXPECT_EQ(view->queuedSDKEventCount(), 0u);
  load(*view, "ad_view.html", [&] {
    for (int i = 1; i <= 25; ++i) view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", i}});
  });
  EXPECT_EQ(delegate->log, std::vector<std::string>{"finish"});
  const std::string order = "received.map(function(r){return JSON.parse(r.slice(9)).i;}).join(',')";
  EXPECT_EQ(evaluate(*view, order), numbers(1, 20));
  EXPECT_EQ(evaluate(*view, "JSON.parse(received[0].slice(9)).version"), ZUMRequest::sdkVersion());
  for (int i = 21; i <= 45; ++i) view->dispatchSDKEvent("sdkEvent", ordered_json{{"i", i}});
  env.runUntilIdle();
  EXPECT_EQ(evaluate(*view, order), numbers(1, 45));
}

TEST_F(ZUMAdViewTest, ScriptsRunOnALaterTurnInTheConfiguredModeAndDelay) {
  auto view = make();
  const auto before = scripts(*view).size();
  view->executeJavaScriptAsynchronouslyFromString("a()");
  EXPECT_EQ(scripts(*view).size(), before);  // never inline
  platform::RunLoop::main().runPending(platform::kTrackingRunLoopMode);
  EXPECT_EQ(scripts(*view).size(), before + 1);  // the common modes include tracking

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
  const std::string event =
      "(function(){var event = document.createEvent('Events');event.initEvent('orientationchange', true, "
      "false);window.dispatchEvent(event);})();";
  for (const auto& [orientation, withEvent, script] : std::vector<std::tuple<int, bool, std::string>>{
           {0, true, ""}, {5, true, ""}, {3, true, "90"}, {3, true, ""}, {4, false, "-90"}, {2, true, "180"}}) {
    const auto count = scripts(*view).size();
    withEvent ? view->forceRotateHTMLToOrientation(orientation) : view->didRotateToOrientation(orientation);
    env.runUntilIdle();
    if (script.empty()) {
      EXPECT_EQ(scripts(*view).size(), count) << orientation;
      continue;
    }
    ASSERT_EQ(scripts(*view).size(), count + 1) << orientation;
    EXPECT_EQ(scripts(*view).back(),
              "window.__defineGetter__('orientation',function(){return " + script + ";});" + (withEvent ? event : ""));
  }
}

TEST_F(ZUMAdViewTest, CancelledLoadsAreSilentUnlessSwitchedOnAndNavigationsNeedNoDelegate) {
  auto view = make();
  for (const auto& [code, setting, reported] : std::vector<std::tuple<int, ordered_json, bool>>{
           {-999, nullptr, false}, {-999, "0", false}, {-999, "1", true}, {-1009, nullptr, true}}) {
    delegate->log.clear();
    setDefault("/vantor/ads/use_cancelled_url_error", setting);
    view->webViewDidFailLoadWithError(*view->webView(), platform::Error::create("NSURLErrorDomain", code));
    EXPECT_EQ(delegate->log.size(), reported ? 1u : 0u) << code << " " << setting.dump();
  }
  const platform::URLRequest request(*URL::fromString("https://landing.example.com/"));
  for (auto answerless : {std::shared_ptr<RecordingDelegate>(delegate), std::shared_ptr<RecordingDelegate>()}) {
    view->setDelegate(answerless);
    EXPECT_TRUE(
        view->webViewShouldStartLoadWithRequest(*view->webView(), request, platform::WebViewNavigationType::Other));
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
  window->addSubview(parked);
  EXPECT_EQ(parked->webView()->superview(), parked);
}

TEST_F(ZUMAdViewTest, APageAlertAlwaysCompletes) {
  auto view = make("wk");
  auto adViewDelegate = ZUMAdViewDelegate::create();  // its opener allows the alert
  view->setDelegate(adViewDelegate);
  int completed = 0;
  view->webViewRunJavaScriptAlertPanelWithTitle(*view->webView(), "t", "m", [&] { ++completed; });
  EXPECT_EQ(completed, 0);
  env.runUntilIdle();
  EXPECT_EQ(completed, 1) << "no view controller: completed on a later turn";

  auto window = platform::Window::create({0, 0, 320, 480});
  window->setRootViewController(platform::ViewController::create());
  window->makeKeyAndVisible();
  view->setViewController(window->rootViewController());
  view->webViewRunJavaScriptAlertPanelWithTitle(*view->webView(), "t", "m", [&] { ++completed; });
  env.advance(1);
  EXPECT_EQ(completed, 1) << "on screen until the user answers";
  EXPECT_TRUE(testenv::AppControls::answerAlert("OK"));
  env.advance(1);
  EXPECT_EQ(completed, 2);
}

TEST_F(ZUMAdViewTest, FormatsPlacementsAndTouches) {
  EXPECT_TRUE(make()->scrollView()->bounces());
  auto banner = make();
  banner->configureAsBannerAdView();
  EXPECT_FALSE(banner->scrollView()->bounces());
  EXPECT_TRUE(banner->isHidden());  // until its ad has loaded

  auto window = platform::Window::create({0, 0, 320, 480});
  window->makeKeyAndVisible();
  auto view = make();
  window->addSubview(view);
  view->setFrame({0, 100, 300, 40});
  view->saveState();
  platform::View::create()->addSubview(view);
  view->setFrame({1, 2, 3, 4});
  view->saveState();  // keeps the first record
  view->restoreState();
  EXPECT_EQ(view->superview(), window);
  EXPECT_EQ(view->frame(), (platform::Rect{0, 100, 300, 40}));
  view->restoreState();  // nothing saved: nothing moves
  EXPECT_EQ(view->superview(), window);
  window->layoutIfNeeded();
  EXPECT_EQ(view->webView()->frame(), (platform::Rect{0, 0, 300, 40}));  // layout keeps the web view filling it

  EXPECT_FALSE(view->touched());
  testenv::TouchControls::tap(window, {10, 120});
  EXPECT_TRUE(view->touched());
}

TEST_F(ZUMAdViewTest, AnAdsRequestHistoryGoesToTheStashAndTeardownEndsTheRecord) {
  const auto requestURL = *URL::fromString("https://ads.example.com/request");
  const auto finalURL = *URL::fromString("https://ads.example.com/final");
  auto ad = ZUMAd::create();
  ad->setOriginalRequest(platform::URLRequest(requestURL));
  ad->addRedirect(
      ZUMURLConnectionRedirect::create(platform::HTTPURLResponse(requestURL, 302, {}), platform::URLRequest(finalURL)));
  ad->setResponseHeaders(ordered_json{{"Content-Type", "text/html"}});
  ad->setAdBaseURL(URL::fromString(kAdURL));
  ad->setAdHTML("<html>ad</html>");
  auto view = make();
  view->platform::View::setBackgroundColor(platform::Color::white());
  view->setAd(ad);
  EXPECT_EQ(view->platform::View::backgroundColor(), platform::Color::clear());
  auto stash = ZUMAdURLStash::sharedInstance();
  auto record = stash->resourceCollectionForAdView(view->stashKey());
  ASSERT_EQ(record->resources().size(), 2u);
  const auto& first = record->resources()[0];
  const auto& last = record->resources()[1];
  EXPECT_EQ(std::tie(first.URLString, first.statusCode),
            std::make_tuple(requestURL.absoluteString(), std::optional(302)));
  EXPECT_EQ(std::tie(last.URLString, last.statusCode), std::make_tuple(finalURL.absoluteString(), std::optional(200)));
  EXPECT_EQ(std::tie(last.MIMEType, last.receivedBytes),
            std::make_tuple(std::optional<std::string>("text/html"), 15ull));
  EXPECT_EQ(record->loadsStarted(), 1u);

  auto direct = ZUMAd::create();  // no original request: the ad's URL stands for it
  direct->setAdURL(URL::fromString("https://ads.example.com/direct"));
  view->setAd(direct);
  EXPECT_EQ(stash->resourceCollectionForAdView(view->stashKey())->resources().at(0).URLString,
            "https://ads.example.com/direct");
  const auto key = view->stashKey();
  view.reset();
  EXPECT_EQ(stash->resourceCollectionForAdView(key), nullptr);
}

TEST_F(ZUMAdViewTest, AFluidViewOfTheNewerEngineTakesItsFrameAfterTheContentSizeDelay) {
  for (const auto& [engine, fluid, delay, after] :
       std::vector<std::tuple<std::string, bool, ordered_json, double>>{{"wk", true, nullptr, 0.02},
                                                                        {"wk", true, "0.5", 0.5},
                                                                        {"wk", true, "-1", 0},
                                                                        {"wk", false, nullptr, 0},
                                                                        {"ui", true, nullptr, 0}}) {
    setDefault("/vantor/ads/wv_content_size_delay", delay);
    auto view = make(engine);
    view->setIsFluidAdView(fluid);
    env.runUntilIdle();
    view->webViewDidFinishLoad(*view->webView());  // 1 point high, then the bounds
    if (after > 0) {
      env.advance(after * 0.9);
      EXPECT_EQ(view->webView()->frame().size.height, 1) << engine << delay;
      env.advance(after * 0.2);
    }
    EXPECT_EQ(view->webView()->frame(), view->bounds()) << engine << fluid << delay;
  }
}

TEST_F(ZUMAdViewTest, APageGetsTheMRAIDScriptOfItsAdViewWithEitherEngine) {
  testenv::LoopbackServer server;
  platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
  for (const char* kind : {"banner", "interstitial", "creative"}) {
    server.route(std::string("/") + kind + "/mraid.js",
                 {.body = std::string("var mraidFrom = '") + kind + "';", .contentType = "text/javascript"});
  }
  ZUMRegisterURLInterception();
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  interceptor->setBannerImplementationURLString("https://ads.example.com/banner/mraid.js");
  interceptor->setInterstitialImplementationURLString("https://ads.example.com/interstitial/mraid.js");
  interceptor->setEnabled(true);
  env.runUntilIdle();

  struct FromHandler : ZUMTOLMHandler {
    const ActionTable* actionBlockDictionary() const override {
      static const ActionTable table{{"m", action(&FromHandler::adViewM)}};
      return &table;
    }
    void adViewM(ZUMAdView&, const ordered_json& parameters) { from = parameters.value("from", ""); }
    std::string from;
  };
  auto banner = ZUMSlot::create({0, 0, 320, 50});
  banner->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  auto interstitial = ZUMSlot::create({0, 0, 320, 480});
  for (const char* engine : {"ui", "wk"}) {
    std::vector<std::string> got;
    for (const auto& slot : {interstitial, banner, interstitial}) {
      auto handler = std::make_shared<FromHandler>();
      auto adViewDelegate = ZUMAdViewDelegate::create();
      adViewDelegate->addTOLMHandler(handler);
      adViewDelegate->opener()->setSlot(slot);
      auto view = make(engine);
      view->setDelegate(adViewDelegate);
      load(*view, "mraid_ad.html");
      view->executeJavaScriptAsynchronouslyFromString("location.href = 'tolm://x/m?from=' + mraidFrom;");
      ASSERT_TRUE(env.runUntil([&] { return !handler->from.empty(); }));
      got.push_back(handler->from);
    }
    // A banner's second view has no expanded script here, so it gets the banner's.
    EXPECT_EQ(got, (std::vector<std::string>{"interstitial", "banner", "interstitial"})) << engine;
  }
  // A banner slot's own ad view gets the banner script, another view of it the expanded one.
  interceptor->setExpandedBannerImplementationURLString("https://ads.example.com/expanded/mraid.js");
  env.runUntilIdle();
  ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
  auto shown = ZUMSlot::create({0, 0, 320, 50});
  shown->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  auto own = std::dynamic_pointer_cast<ZUMAdView>(shown->adView());
  auto expanded = make();
  expanded->setDelegate(shown->adViewDelegate());
  EXPECT_EQ(own->MRAIDJavaScriptURLStringForWebView(*own->webView()), "https://ads.example.com/banner/mraid.js");
  EXPECT_EQ(expanded->MRAIDJavaScriptURLStringForWebView(*expanded->webView()),
            "https://ads.example.com/expanded/mraid.js");
  ZUMSlotRendering::setShared(nullptr);
  interceptor->setExpandedBannerImplementationURLString(std::nullopt);
  interceptor->setEnabled(false);
  interceptor->setBannerImplementationURLString(std::nullopt);
  interceptor->setInterstitialImplementationURLString(std::nullopt);
  env.runUntilIdle();
}

}  // namespace
