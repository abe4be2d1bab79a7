// The SDK's rendering layer on the real engine: each test names WebKit, waits on its real
// events within a bounded real-time limit, and is skipped where no display lets it start.
#include <chrono>

#include <gtest/gtest.h>

#include "platform/net/URLLoading.h"
#include "platform/web/WKWebView.h"
#include "platform/web/WebKitPage.h"
#include "sdk/rendering/ZUMViewContentRendered.h"
#include "sdk/rendering/ZUMWebView.h"
#include "testing/TestEnvironment.h"

namespace {

constexpr std::chrono::seconds kRealLimit{15};
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
  EXPECT_EQ(delegate_->asked.front(), "tolm://click?unit=unit-A&x=12 " +
                                          std::to_string(static_cast<int>(platform::WebViewNavigationType::LinkClicked)));
  // A message is never loaded: the ad stays.
  env_.runUntilIdle();
  EXPECT_EQ(view->URL()->absoluteString(), kAdURL);
}

}  // namespace
