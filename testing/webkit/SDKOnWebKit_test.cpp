// The SDK's rendering layer on the real engine: each test names WebKit, waits on its real
// events within a bounded real-time limit, and is skipped where no display lets it start.
#include <chrono>

#include <gtest/gtest.h>

#include "ZUMAdSize.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebKitPage.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/presentation/ZUMMRAIDTOLMHandler.h"
#include "sdk/presentation/ZUMOpenerScreens.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMOpenerTOLMHandler.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/rendering/ZUMViewContentRendered.h"
#include "sdk/rendering/ZUMWebKitWebView.h"
#include "sdk/rendering/ZUMWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using testenv::kRealLimit;
constexpr const char* kAdURL = "https://creative.adnetwork.example/ad.html";

// An ad whose creative exists only once its script built it.
constexpr const char* kDomAd = R"(<!DOCTYPE html><html><body style="margin:0">
<script>
  var ad = document.createElement('a');
  ad.id = 'ad';
  ad.href = 'tolm://click?unit=unit-A&x=12';
  ad.style.cssText = 'display:block;width:320px;height:50px;background:#1d4e89';
  document.body.appendChild(ad);
</script></body></html>)";

class Delegate : public ZUMWebViewDelegate {
 public:
  bool webViewShouldStartLoadWithRequest(ZUMWebView&, const platform::URLRequest& request,
                                         platform::WebViewNavigationType type) override {
    asked.push_back(request.url()->absoluteString() + " " + std::to_string(static_cast<int>(type)));
    return true;
  }
  void webViewDidFinishLoad(ZUMWebView&) override { ++finished; }
  std::vector<std::string> asked;
  int finished = 0;
};

class SDKOnWebKitTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!platform::WebKitPage::isAvailable()) GTEST_SKIP() << "no display: WebKit cannot start here";
    platform::WebPage::setDefaultEngine(platform::WebEngine::WebKit);
    platform::WKWebView::registerClass();
  }

  // The web view layer's view of the flavour under test, with `html` loaded.
  std::shared_ptr<ZUMWebView> shown(const std::string& html) {
    ZUMWebViewConfiguration configuration;
    configuration.setWebViewClassKey(GetParam());
    auto view = ZUMWebViewClassForConfiguration(configuration)({0, 0, 320, 50}, configuration);
    view->setDelegate(delegate_);
    view->loadHTMLString(html, platform::URL::fromString(kAdURL));
    EXPECT_TRUE(env_.runUntil([&] { return delegate_->finished > 0; }, kRealLimit));
    return view;
  }

  // What the MRAID page has heard so far ("|"-separated, see testing/pages/mraid.js).
  std::string heard(ZUMAdView& view) {
    const std::string script = "typeof mraid === 'object' ? mraid.log.join('|') : ''";
    if (auto ui = std::dynamic_pointer_cast<ZUMUIKitWebView>(view.webView())) {
      return ui->engine()->stringByEvaluatingJavaScriptFromString(script);
    }
    auto answer = std::make_shared<std::optional<std::string>>();
    std::dynamic_pointer_cast<ZUMWebKitWebView>(view.webView())
        ->engine()
        ->evaluateJavaScript(script, [answer](const nlohmann::ordered_json& result, const platform::ErrorPtr&) {
          *answer = result.is_string() ? result.get<std::string>() : "";
        });
    env_.runUntil([&] { return answer->has_value(); }, kRealLimit);
    return answer->value_or("");
  }
  // Asks the page until it has heard `what`, within the real-time limit.
  bool hears(ZUMAdView& view, const std::string& what) {
    const auto limit = std::chrono::steady_clock::now() + kRealLimit;
    while (std::chrono::steady_clock::now() < limit) {
      env_.runUntilIdle();
      if (heard(view).find(what) != std::string::npos) return true;
    }
    return false;
  }

  testenv::TestEnvironment env_;
  std::shared_ptr<Delegate> delegate_ = std::make_shared<Delegate>();
};

INSTANTIATE_TEST_SUITE_P(Flavours, SDKOnWebKitTest, ::testing::Values("ui", "wk"));

TEST_P(SDKOnWebKitTest, TheRenderCheckSeesWhatTheAdsScriptDrew) {
  // The check compares the view's pixels with its own background (a page's is white).
  auto blank = shown("<body style='margin:0'></body>");
  blank->platform::View::setBackgroundColor(platform::Color::white());
  EXPECT_FALSE(ZUMIsViewContentRendered(blank));

  delegate_->finished = 0;
  auto ad = shown(kDomAd);
  ad->platform::View::setBackgroundColor(platform::Color::white());
  EXPECT_TRUE(ZUMIsViewContentRendered(ad));
}

TEST_P(SDKOnWebKitTest, ADomClickSendsItsMessageToTheWebViewLayer) {
  auto view = shown(kDomAd);
  delegate_->asked.clear();
  view->evaluateJavaScriptFromString("document.getElementById('ad').click()");
  ASSERT_TRUE(env_.runUntil([&] { return !delegate_->asked.empty(); }, kRealLimit));
  EXPECT_EQ(delegate_->asked.front(),
            "tolm://click?unit=unit-A&x=12 " +
                std::to_string(static_cast<int>(platform::WebViewNavigationType::LinkClicked)));
  // A message is never loaded: the ad stays.
  env_.runUntilIdle();
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL);
}

// A page's own loads on WebKit do not go through URL interception: both web views put
// the hosted MRAID script in the page themselves.
class MRAIDOnWebKitTest : public SDKOnWebKitTest {};
INSTANTIATE_TEST_SUITE_P(Flavours, MRAIDOnWebKitTest, ::testing::Values("ui", "wk"));

TEST_P(MRAIDOnWebKitTest, AnMRAIDBannerHearsItIsReadyThenViewable) {
  // The hosted script comes from a loopback server: a page's own loads go to WebKit's
  // network stack, which knows no test hosts. The ad is served over http, so that
  // WebKit lets it load a plain-http script.
  testenv::LoopbackServer server;
  server.route("/hosted/banner/mraid.js",
               {.body = platform::webtest::readPage("mraid.js"), .contentType = "text/javascript"});
  ASSERT_TRUE(platform::UserDefaults::standard().setObject(GetParam(), "/vantor/ads/wv_class"));
  ZUMRegisterURLInterception();
  auto interceptor = ZUMMRAIDInterceptor::sharedInstance();
  ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
  ZUMClickHandling::setShared(std::make_shared<ZUMOpenerScreens>());
  ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::MRAID,
                              [](ZUMAdViewDelegate& d) { return ZUMMRAIDTOLMHandler::create(d.opener()); });
  const std::shared_ptr<void> restore(nullptr, [interceptor](void*) {
    ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::MRAID, {});
    ZUMClickHandling::setShared(nullptr);
    ZUMSlotRendering::setShared(nullptr);
    interceptor->setEnabled(false);
  });
  auto window = platform::Window::create();
  auto host = platform::ViewController::create();
  window->setRootViewController(host);
  window->makeKeyAndVisible();
  auto slot = ZUMSlot::create({0, 0, 320, 50});
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  slot->setAd(ZUMAd::create());
  auto adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
  ASSERT_NE(adView, nullptr);
  adView->setFrame({0, 0, 320, 50});
  host->view()->addSubview(adView);
  adView->setViewController(host);
  // The interceptor's settings, given just before the load, count for it.
  interceptor->setBannerImplementationURLString(server.baseURL() + "/hosted/banner/mraid.js");
  interceptor->setEnabled(true);
  adView->loadHTMLString(platform::webtest::readPage("mraid_ad.html"),
                         platform::URL::fromString("http://creative.adnetwork.example/mraid-ad.html"));

  // The page says it loaded; the MRAID handler answers with the SDK's readiness.
  ASSERT_TRUE(hears(*adView, "onReadyEventReceived")) << heard(*adView);
  EXPECT_EQ(heard(*adView).find("visible:1"), std::string::npos) << "no impression yet";

  // The slot's impression monitor sees the banner on screen, which starts active view;
  // its verdict (the SDK-core page's, stood in for here) reaches the page as viewable.
  ZUMSlotActiveView::forSlot(*slot)->startImpressionMonitoring();
  env_.advance(std::chrono::seconds(2));
  ASSERT_TRUE(slot->viewHasMadeImpression());
  ZUMSlotActiveView::forSlot(*slot)->activeViewVisibilityChanged(true);
  ASSERT_TRUE(hears(*adView, "visible:1")) << heard(*adView);
  EXPECT_EQ(heard(*adView), "onScreenInfoChanged|onDeviceFeaturesReceived|onReadyEventReceived|size:320x50|visible:1");
  EXPECT_TRUE(adView->visible());
}

}  // namespace
