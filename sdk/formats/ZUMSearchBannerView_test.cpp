#include "ZUMSearchBannerView.h"

#include <chrono>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMAdSizeDelegate.h"
#include "ZUMDynamicHeightSearchRequest.h"
#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerView.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;
using State = ZUMDynamicHeightSearchAdState;

constexpr const char* kPagePath = "/search/ads/webview.html";

// What the host hears, "!" marking a callback off the main thread.
struct HostDelegate : ZUMBannerViewDelegate, ZUMAdSizeDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()) + " " + e->localizedDescription());
  }
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView&) override { return note("willLeave"); }
  ZUMImplemented adViewWillChangeAdSizeTo(ZUMBannerView&, const ZUMAdSize& size) override {
    return note("size " + std::to_string(static_cast<int>(size.size.width)) + "x" +
                std::to_string(static_cast<int>(size.size.height)));
  }
  ZUMImplemented note(std::string what) {
    log.push_back(platform::isMainThread() ? std::move(what) : what + "!");
    return kZUMImplemented;
  }
  Log log;
};

// A dynamic view's own delegate, for what the search banner does not pass on as it is.
struct ViewDelegate : ZUMDynamicHeightSearchBannerViewDelegate {
  ZUMImplemented bannerViewDidReceiveLandingPageURL(ZUMDynamicHeightSearchBannerView&,
                                                    const platform::URL& url) override {
    landingPages.push_back(url.absoluteString());
    return kZUMImplemented;
  }
  ZUMImplemented bannerViewDidFailToReceiveAdWithError(ZUMDynamicHeightSearchBannerView&,
                                                       const platform::ErrorPtr& e) override {
    failures.push_back(e->code());
    return kZUMImplemented;
  }
  std::vector<std::string> landingPages;
  std::vector<std::int64_t> failures;
};

class ZUMSearchBannerViewTest : public testenv::PlatformTest {
 protected:
  ZUMSearchBannerViewTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    platform::URLLoading::mapHostForTesting(kZUMDynamicHeightSearchDefaultHost, "127.0.0.1", hosts.server.port());
    hosts.server.route(kPagePath, {.body = platform::webtest::readPage("search_ads.html")});
    hosts.server.route("/ad", {.body = "<html><body>Ad</body></html>"});
  }
  // A fluid search banner 320 wide in the window.
  std::shared_ptr<ZUMSearchBannerView> fluid() {
    auto banner = ZUMSearchBannerView::create({0, 0, 320, 0}, kZUMAdSizeFluid);
    banner->setAdUnitID("unit-S");
    banner->setRootViewController(host);
    banner->setDelegate(delegate);
    banner->setAdSizeDelegate(delegate);
    window->addSubview(banner);
    return banner;
  }
  static std::shared_ptr<ZUMDynamicHeightSearchRequest> request(const std::string& query) {
    auto request = ZUMDynamicHeightSearchRequest::create();
    request->setQuery(query);
    return request;
  }
  // Loads, waits for the page, lets its timers run and expects `count` callbacks by then.
  void load(ZUMSearchBannerView& banner, const std::shared_ptr<ZUMRequest>& request, std::size_t count) {
    const auto pages = hosts.server.requests(kPagePath).size();
    banner.loadRequest(request);
    const auto& webView = banner.dynamicHeightAdView()->adWebView();
    ASSERT_TRUE(env.runUntil([&] {
      return delegate->log.size() >= count ||
             (hosts.server.requests(kPagePath).size() > pages && !webView->isLoading());
    }));
    env.advance(1s);
    ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() >= count; })) << ::testing::PrintToString(delegate->log);
  }
  static std::string evaluate(ZUMDynamicHeightSearchBannerView& view, const std::string& script) {
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(view.adWebView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }
  static double webViewHeight(const ZUMSearchBannerView& banner) {
    return banner.dynamicHeightAdView()->adWebView()->frame().height();
  }
  // Stores the value under the key, or removes the key for none.
  static void setDefault(const char* key, const std::optional<nlohmann::ordered_json>& value) {
    auto& defaults = platform::UserDefaults::standard();
    defaults.removeObjectForKey(key);
    EXPECT_TRUE(!value || defaults.setObject(*value, key));
  }
  // The navigation filter's answer for `url` and what it did.
  static bool navigate(ZUMDynamicHeightSearchBannerView& view, const std::string& url,
                       platform::WebViewNavigationType type = platform::WebViewNavigationType::Other) {
    return view.webViewShouldStartLoadWithRequest(*view.adWebView(),
                                                  platform::URLRequest(*platform::URL::fromString(url)), type);
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
  std::shared_ptr<HostDelegate> delegate = std::make_shared<HostDelegate>();
};

TEST_F(ZUMSearchBannerViewTest, AFixedSizeIsAnOrdinaryBannerAndTheFluidSizeHasNoSlot) {
  auto fixed = ZUMSearchBannerView::create(kZUMAdSizeBanner);
  fixed->setAdUnitID("unit-F");
  fixed->setRootViewController(host);
  fixed->setDelegate(delegate);
  window->addSubview(fixed);
  EXPECT_EQ(fixed->dynamicHeightAdView(), nullptr);
  ASSERT_NE(fixed->slot(), nullptr);
  EXPECT_EQ(fixed->slot()->adUnitID(), "unit-F");
  fixed->loadRequest(ZUMRequest::create());
  ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); }));
  EXPECT_EQ(delegate->log, Log{"received"});
  EXPECT_EQ(hosts.server.requests("/ad").size(), 1u);

  auto banner = fluid();
  EXPECT_EQ(banner->slot(), nullptr);
  ASSERT_NE(banner->dynamicHeightAdView(), nullptr);
  EXPECT_EQ(banner->dynamicHeightAdView()->superview().get(), banner.get());
  EXPECT_EQ(banner->dynamicHeightAdView()->frame(), (platform::Rect{0, 0, 320, 0}));
  EXPECT_EQ(banner->dynamicHeightAdView()->adUnitID(), "unit-S");
  EXPECT_EQ(banner->dynamicHeightAdView()->adState(), State::Idle);
  EXPECT_EQ(banner->adView(), nullptr);
  EXPECT_FALSE(banner->hasAutoRefreshed());
}

TEST_F(ZUMSearchBannerViewTest, ThePagesMessagesBecomeTheHostsCallbacks) {
  const struct {
    const char* query;
    std::size_t heard;
    Log log;
    State state;
    double height;
  } rows[] = {
      {"garden chairs", 2, {"received", "size 320x180"}, State::AdShown, 180},
      {"grow", 3, {"received", "size 320x180", "size 320x240"}, State::AdShown, 240},
      {"noads", 2, {"size 320x0", "failed 1 No ads are available"}, State::Failed, 0},
      {"broken", 2, {"size 320x0", "failed 2 Failed to load resources over the network"}, State::Failed, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.query);
    delegate->log.clear();
    auto banner = fluid();
    load(*banner, request(row.query), row.heard);
    EXPECT_EQ(delegate->log, row.log);
    EXPECT_EQ(banner->dynamicHeightAdView()->adState(), row.state);
    EXPECT_EQ(webViewHeight(*banner), row.height);
    EXPECT_EQ(banner->dynamicHeightAdView()->frame().height(), row.height);
  }
  EXPECT_EQ(hosts.server.requests(kPagePath).size(), 4u);
}

TEST_F(ZUMSearchBannerViewTest, AResizeToZeroShowsNoAdYetSetsTheStateAndALaterOneReportsIt) {
  auto banner = fluid();
  auto zero = request("garden chairs");
  zero->setAdvancedOptionValue("0", "height");
  load(*banner, zero, 1);
  EXPECT_EQ(delegate->log, Log{"size 320x0"});
  EXPECT_EQ(banner->dynamicHeightAdView()->adState(), State::AdShown);
  // State 2 already: a positive height now is no new ad.
  auto& view = *banner->dynamicHeightAdView();
  EXPECT_FALSE(navigate(view, "tolm://adResized?height=90"));
  EXPECT_EQ(delegate->log, (Log{"size 320x0", "size 320x90"}));
  // After a failure a positive height reports the ad again.
  EXPECT_FALSE(navigate(view, "tolm://noAdLoaded"));
  EXPECT_FALSE(navigate(view, "tolm://adResized?height=0.5"));
  EXPECT_EQ(delegate->log, (Log{"size 320x0", "size 320x90", "size 320x0", "failed 1 No ads are available", "received",
                                "size 320x0"}));
}

TEST_F(ZUMSearchBannerViewTest, UntrustedHeightsAreMadeSane) {
  const double max = ZUMDynamicHeightSearchBannerView::kMaximumHeight;
  const struct {
    const char* height;
    double taken;
    bool logged;
  } rows[] = {
      {"120", 120, false},    {"12.5px", 12.5, false}, {"NaN", 0, true},      {"inf", 0, true},
      {"-infinity", 0, true}, {"-5", 0, true},         {"1e999", 0, true},    {"1e9", max, true},
      {"", 0, true},          {"tall", 0, true},       {"5000", 5000, false},  // taller than the screen: the host scrolls
  };
  auto banner = fluid();
  auto& view = *banner->dynamicHeightAdView();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.height);
    platform::SystemLog::Capture logged;
    EXPECT_FALSE(navigate(view, std::string("tolm://adResized?height=") + row.height));
    env.runUntilIdle();
    EXPECT_EQ(logged.contains("Search banner took height"), row.logged);
    EXPECT_EQ(webViewHeight(*banner), row.taken);
    EXPECT_EQ(view.currentAdSize(), (platform::Size{320, row.taken}));
  }
  EXPECT_FALSE(navigate(view, "tolm://adResized"));
  EXPECT_EQ(webViewHeight(*banner), 0);
  const struct {
    double height, taken;
  } values[] = {
      {std::numeric_limits<double>::quiet_NaN(), 0}, {-0.5, 0}, {0, 0}, {300, 300}, {max, max}, {max + 1, max}};
  for (const auto& value : values) {
    EXPECT_EQ(ZUMDynamicHeightSearchBannerView::saneHeight(value.height), value.taken) << value.height;
  }
}

TEST_F(ZUMSearchBannerViewTest, ACancelledLoadCountsOnlyWhenTheSwitchSaysSo) {
  const struct {
    const char* name;
    std::optional<nlohmann::ordered_json> setting;
    bool fails;
  } rows[] = {
      {"absent", std::nullopt, false}, {"\"true\"", "true", true},    {"\"1\"", "1", true}, {"true", true, true},
      {"\"0\"", "0", false},           {"\"false\"", "false", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto view = ZUMDynamicHeightSearchBannerView::create({0, 0, 320, 0});
    auto listener = std::make_shared<ViewDelegate>();
    view->setDelegate(listener);
    setDefault("/vantor/ads/use_cancelled_url_error", row.setting);
    view->webViewDidFailLoadWithError(*view->adWebView(),
                                      platform::Error::create(platform::kURLErrorDomain, platform::kURLErrorCancelled));
    EXPECT_EQ(listener->failures, row.fails ? std::vector<std::int64_t>{-999} : std::vector<std::int64_t>{});
    EXPECT_EQ(view->adState(), row.fails ? State::Failed : State::Idle);
  }
}

TEST_F(ZUMSearchBannerViewTest, RefusedRequestsFailOnALaterTurnWithoutTheNetworkAndOnlyWhileTheViewLives) {
  const auto child = request("toys");
  child->tagForChildDirectedTreatment(false);  // any value set counts
  const struct {
    const char* name;
    std::shared_ptr<ZUMRequest> request;
    std::string text;
  } rows[] = {
      {"child-directed", child,
       "Child directed treatment is not supported for request type: ZUMDynamicHeightSearchRequest"},
      {"plain request", ZUMRequest::create(), "Unexpected request type while expecting a request of type: ZUMRequest"},
      {"no request", nullptr, "Unexpected request type while expecting a request of type: (null)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    delegate->log.clear();
    auto banner = fluid();
    banner->loadRequest(row.request);
    EXPECT_TRUE(delegate->log.empty());  // not within the call
    env.runUntilIdle();
    EXPECT_EQ(delegate->log, Log{"failed 12 " + row.text});
    EXPECT_EQ(banner->dynamicHeightAdView()->adState(), State::Idle);
    // A view gone before that turn tells no one.
    delegate->log.clear();
    auto gone = fluid();
    gone->loadRequest(row.request);
    gone->removeFromSuperview();
    gone.reset();
    env.runUntilIdle();
    EXPECT_TRUE(delegate->log.empty());
  }
  env.advance(1s);
  EXPECT_TRUE(hosts.server.requests(kPagePath).empty());
}

TEST_F(ZUMSearchBannerViewTest, AFrameWithoutHeightOrWidthHidesTheDynamicView) {
  auto banner = fluid();
  const auto& view = banner->dynamicHeightAdView();
  const struct {
    platform::Rect frame;
    bool hidden;
  } rows[] = {{{0, 0, 320, 0}, true}, {{0, 0, 320, 50}, false}, {{0, 0, 0, 50}, true}, {{10, 20, 300, 80}, false}};
  for (const auto& row : rows) {
    banner->setFrame(row.frame);
    EXPECT_EQ(view->isHidden(), row.hidden) << row.frame.size.width << "x" << row.frame.size.height;
  }
  // The web view follows the view's width and keeps its own height.
  view->setFrame({0, 0, 200, 80});
  EXPECT_EQ(view->adWebView()->frame(), (platform::Rect{0, 0, 200, 0}));
}

TEST_F(ZUMSearchBannerViewTest, ALinkTapOpensTheLandingPageWithTheClickSignal) {
  auto banner = fluid();
  load(*banner, request("garden chairs"), 2);
  auto& view = *banner->dynamicHeightAdView();
  // The page of the unit and the query.
  const std::string page = view.adWebView()->URL()->absoluteString();
  EXPECT_EQ(page.rfind(std::string("https://") + kZUMDynamicHeightSearchDefaultHost + kPagePath + "#", 0), 0u) << page;
  EXPECT_NE(page.find("pubId=unit-S"), std::string::npos) << page;
  EXPECT_NE(page.find("query=garden%20chairs"), std::string::npos) << page;
  std::string signal;
  ASSERT_TRUE(ZUMSignalsClickSignal("AI-1", signal));
  delegate->log.clear();

  evaluate(view, "document.getElementById('ad1').click()");
  ASSERT_TRUE(env.runUntil([&] { return !delegate->log.empty(); }));
  evaluate(view, "document.getElementById('ad2').click()");
  ASSERT_TRUE(env.runUntil([&] { return delegate->log.size() == 2; }));
  EXPECT_EQ(delegate->log, (Log{"willLeave", "willLeave"}));
  ASSERT_EQ(platform::Application::shared().openedURLs().size(), 2u);
  EXPECT_EQ(platform::Application::shared().openedURLs()[0].absoluteString(),
            "https://landing.example.com/chairs?ai=AI-1&" + signal);
  EXPECT_EQ(platform::Application::shared().openedURLs()[1].absoluteString(), "https://landing.example.com/tables");

  // A store or deep link leaves the application as a web page does; the page never
  // navigates away.
  testenv::AppControls::setInstalledURLSchemes({"https", "store-app"});
  evaluate(view, "document.getElementById('ad3').click()");
  env.advance(1s);
  ASSERT_EQ(platform::Application::shared().openedURLs().size(), 3u);
  const std::string opened = platform::Application::shared().openedURLs()[2].absoluteString();
  EXPECT_EQ(opened.rfind("store-app://details?id=garden&ai=AI-3", 0), 0u) << opened;
  EXPECT_EQ(delegate->log.size(), 3u);
  EXPECT_EQ(hosts.server.requests(kPagePath).size(), 1u);

  // What would run inside the application is refused with a log line.
  platform::SystemLog::Capture logged;
  banner->bannerViewDidReceiveLandingPageURL(view, *platform::URL::fromString("javascript:alert(1)"));
  env.runUntilIdle();
  EXPECT_EQ(platform::Application::shared().openedURLs().size(), 3u);
  EXPECT_EQ(delegate->log.size(), 3u);
  EXPECT_TRUE(logged.contains("refused to open a landing page inside the application: javascript:alert(1)"));
}

TEST_F(ZUMSearchBannerViewTest, TheFilterLoadsOnlyWhatIsNeitherMessageNorTap) {
  auto view = ZUMDynamicHeightSearchBannerView::create({0, 0, 320, 0});
  auto listener = std::make_shared<ViewDelegate>();
  view->setDelegate(listener);
  using Type = platform::WebViewNavigationType;
  EXPECT_TRUE(navigate(*view, "https://search.example/script.js", Type::Other));
  EXPECT_FALSE(navigate(*view, "tolm://somethingElse?height=5", Type::LinkClicked));
  EXPECT_FALSE(navigate(*view, "TOLM://adResized?height=5", Type::Other));
  EXPECT_EQ(view->adState(), State::Idle);
  EXPECT_EQ(view->currentAdSize(), (platform::Size{320, 0}));
  EXPECT_FALSE(navigate(*view, "https://landing.example.com/x?ai=", Type::LinkClicked));
  EXPECT_EQ(listener->landingPages, std::vector<std::string>{"https://landing.example.com/x?ai="});
}

TEST_F(ZUMSearchBannerViewTest, AClickSignalIsAppendedOnlyAsOneNonEmptyPair) {
  const struct {
    const char* signal;
    std::optional<std::pair<std::string, std::string>> item;
  } rows[] = {
      {"nis=abc", std::make_pair("nis", "abc")},
      {"=abc", std::nullopt},
      {"nis=", std::nullopt},
      {"nis", std::nullopt},
      {"a=b=c", std::nullopt},
      {"", std::nullopt},
      {"=", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ZUMDynamicHeightSearchBannerView::clickSignalQueryItem(row.signal), row.item) << row.signal;
  }
}

TEST_F(ZUMSearchBannerViewTest, TheSearchViewsOwnSettingChoosesItsEngine) {
  platform::WKWebView::registerClass();
  const struct {
    const char* name;
    std::optional<std::string> searchClass, defaultClass;
    bool webKit;
  } rows[] = {
      {"neither", std::nullopt, std::nullopt, false},
      {"the default's", std::nullopt, "wk", true},
      {"its own over the default", "ui", "wk", false},
      {"its own", "wk", std::nullopt, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    setDefault("/vantor/ads/vqs_wv_class", row.searchClass);
    setDefault("/vantor/ads/wv_class", row.defaultClass);
    auto view = ZUMDynamicHeightSearchBannerView::create({0, 0, 320, 0});
    EXPECT_EQ(std::dynamic_pointer_cast<ZUMWebKitWebView>(view->adWebView()) != nullptr, row.webKit);
    EXPECT_FALSE(view->adWebView()->scrollView()->isScrollEnabled());
  }
}

TEST_F(ZUMSearchBannerViewTest, AlertsCompleteOnALaterTurnAndOnlyTheTouchRecorderShares) {
  auto view = ZUMDynamicHeightSearchBannerView::create({0, 0, 320, 0});
  bool done = false;
  view->webViewRunJavaScriptAlertPanelWithTitle(*view->adWebView(), "", "hello", [&] { done = true; });
  EXPECT_FALSE(done);
  env.runUntilIdle();
  EXPECT_TRUE(done);
  auto recorder = ZUMGestureRecognizer::create();
  auto other = platform::GestureRecognizer::create();
  EXPECT_TRUE(view->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(*recorder, *other));
  EXPECT_FALSE(view->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(*other, *recorder));
}

}  // namespace
