// The fluid search banner on the real engine: the project's search-ads page, served by a
// loopback server, reports its height, and the user's taps on its links (through the
// touch controls) open landing pages. Each test waits on real events within a bounded
// real-time limit and is skipped where no display lets WebKit start.
#include <chrono>

#include <gtest/gtest.h>

#include "ZUMAdSizeDelegate.h"
#include "ZUMDynamicHeightSearchRequest.h"
#include "ZUMSearchBannerView.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebKitPage.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/formats/ZUMDynamicHeightSearchBannerView.h"
#include "sdk/foundation/ZUMSignals.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "sdk/rendering/ZUMWebView.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

namespace {

constexpr std::chrono::seconds kRealLimit{15};

struct Host : ZUMBannerViewDelegate, ZUMAdSizeDelegate {
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView&) override { return note("received"); }
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& e) override {
    return note("failed " + std::to_string(e->code()));
  }
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView&) override { return note("willLeave"); }
  // As a host does, the banner takes the height its page asks for.
  ZUMImplemented adViewWillChangeAdSizeTo(ZUMBannerView& banner, const ZUMAdSize& size) override {
    banner.setFrame({banner.frame().origin, size.size});
    return note("height " + std::to_string(static_cast<int>(size.size.height)));
  }
  ZUMImplemented note(std::string what) {
    log.push_back(std::move(what));
    return kZUMImplemented;
  }
  std::vector<std::string> log;
};

class SearchBannerOnWebKitTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!platform::WebKitPage::isAvailable()) GTEST_SKIP() << "no display: WebKit cannot start here";
    platform::WebPage::setDefaultEngine(platform::WebEngine::WebKit);
    platform::WKWebView::registerClass();
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(GetParam(), "/vantor/ads/vqs_wv_class"));
    server_.route("/search/ads/webview.html", {.body = platform::webtest::readPage("search_ads.html")});
    platform::URLLoading::mapHostForTesting(kZUMDynamicHeightSearchDefaultHost, "127.0.0.1", server_.port());
    window_->makeKeyAndVisible();
  }
  void TearDown() override { platform::URLLoading::removeHostMappingsForTesting(); }

  // The page's answer to `script`, through the engine under test.
  std::string evaluate(ZUMWebView& view, const std::string& script) {
    if (auto ui = dynamic_cast<ZUMUIKitWebView*>(&view))
      return ui->engine()->stringByEvaluatingJavaScriptFromString(script);
    auto answer = std::make_shared<std::optional<std::string>>();
    dynamic_cast<ZUMWebKitWebView&>(view).engine()->evaluateJavaScript(
        script, [answer](const nlohmann::ordered_json& result, const platform::ErrorPtr&) {
          *answer = result.is_string() ? result.get<std::string>() : result.dump();
        });
    env_.runUntil([&] { return answer->has_value(); }, kRealLimit);
    return answer->value_or("");
  }
  // Waits until the page has been laid out at `height` (WebKit resizes on its own turns).
  bool laidOutAt(ZUMWebView& view, int height) {
    const auto limit = std::chrono::steady_clock::now() + kRealLimit;
    while (std::chrono::steady_clock::now() < limit) {
      env_.runUntilIdle();
      if (evaluate(view, "String(window.innerHeight)") == std::to_string(height)) return true;
    }
    return false;
  }

  testenv::TestEnvironment env_;
  testenv::LoopbackServer server_;
  std::shared_ptr<platform::Window> window_ = platform::Window::create();
  std::shared_ptr<Host> host_ = std::make_shared<Host>();
};

INSTANTIATE_TEST_SUITE_P(Flavours, SearchBannerOnWebKitTest, ::testing::Values("ui", "wk"));

TEST_P(SearchBannerOnWebKitTest, ThePageSetsTheHeightAndTappedLinksOpenTheirLandingPages) {
  auto banner = ZUMSearchBannerView::create({0, 0, 320, 0}, kZUMAdSizeFluid);
  banner->setAdUnitID("unit-S");
  banner->setDelegate(host_);
  banner->setAdSizeDelegate(host_);
  window_->addSubview(banner);
  auto request = ZUMDynamicHeightSearchRequest::create();
  request->setQuery("garden chairs");
  banner->loadRequest(request);
  ASSERT_TRUE(env_.runUntil([&] { return host_->log.size() >= 2; }, kRealLimit))
      << ::testing::PrintToString(host_->log);
  EXPECT_EQ(host_->log, (std::vector<std::string>{"received", "height 180"}));
  const auto& view = banner->dynamicHeightAdView();
  EXPECT_EQ(view->adState(), ZUMDynamicHeightSearchAdState::AdShown);
  EXPECT_EQ(view->adWebView()->frame(), (platform::Rect{0, 0, 320, 180}));
  ASSERT_TRUE(laidOutAt(*view->adWebView(), 180));

  // The first ad carries an ad identifier: its landing page gets the click signal.
  std::string signal;
  ASSERT_TRUE(ZUMSignalsClickSignal("AI-1", signal));
  host_->log.clear();
  testenv::TouchControls::tap(window_, {50, 30});
  ASSERT_TRUE(env_.runUntil([&] { return !host_->log.empty(); }, kRealLimit));
  testenv::TouchControls::tap(window_, {50, 90});
  ASSERT_TRUE(env_.runUntil([&] { return host_->log.size() == 2; }, kRealLimit));
  const auto& opened = platform::Application::shared().openedURLs();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].absoluteString().rfind("https://landing.example.com/chairs?ai=AI-1&nis=", 0), 0u)
      << opened[0].absoluteString();
  EXPECT_EQ(opened[1].absoluteString(), "https://landing.example.com/tables");

  // A store link leaves the application as a web page does; the page stays where it is.
  testenv::AppControls::setInstalledURLSchemes({"https", "store-app"});
  testenv::TouchControls::tap(window_, {50, 150});
  ASSERT_TRUE(env_.runUntil([&] { return host_->log.size() == 3; }, kRealLimit));
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[2].absoluteString().rfind("store-app://details?id=garden&ai=AI-3", 0), 0u)
      << opened[2].absoluteString();
  EXPECT_EQ(view->adWebView()->URL()->path(), "/search/ads/webview.html");
}

TEST_P(SearchBannerOnWebKitTest, APageWithoutAdsFailsWithNoFill) {
  auto banner = ZUMSearchBannerView::create({0, 0, 320, 0}, kZUMAdSizeFluid);
  banner->setDelegate(host_);
  window_->addSubview(banner);
  auto request = ZUMDynamicHeightSearchRequest::create();
  request->setQuery("noads");
  banner->loadRequest(request);
  ASSERT_TRUE(env_.runUntil([&] { return !host_->log.empty(); }, kRealLimit));
  EXPECT_EQ(host_->log, std::vector<std::string>{"failed 1"});
  EXPECT_EQ(banner->dynamicHeightAdView()->adState(), ZUMDynamicHeightSearchAdState::Failed);
}

}  // namespace
