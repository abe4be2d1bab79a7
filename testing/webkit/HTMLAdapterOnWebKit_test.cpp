// Mediation's HTML adapter on the real engine: a creative drawn by its script is
// delivered after a snapshot shows it, and a page that navigates to its pass-back is no
// ad. Skipped where no display lets WebKit start.
#include <chrono>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/web/WebKitPage.h"
#include "platform/web/WebView.h"
#include "sdk/mediation/ZUMMAdapterHTML.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

constexpr std::chrono::seconds kRealLimit{15};

class HTMLAdapterOnWebKitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::WebKitPage::isAvailable()) GTEST_SKIP() << "no display: WebKit cannot start here";
    platform::WebPage::setDefaultEngine(platform::WebEngine::WebKit);
  }
  testenv::TestEnvironment env_;
  std::shared_ptr<connectortest::LoggingConnector> connector_ = std::make_shared<connectortest::LoggingConnector>();
};

TEST_F(HTMLAdapterOnWebKitTest, ACreativeItsScriptDrewIsDeliveredAfterASnapshotShowsIt) {
  connector_->credentialsValue = {{"pvotym_html", R"(<!DOCTYPE html><html><body style="margin:0"><script>
    var ad = document.createElement('div');
    ad.style.cssText = 'width:320px;height:50px;background:#1d4e89';
    document.body.appendChild(ad);
  </script></body></html>)"}};
  auto adapter = ZUMMAdapterHTML::create(connector_);
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  auto webView = adapter->webView();
  ASSERT_TRUE(env_.runUntil(
      [&] { return webView->stringByEvaluatingJavaScriptFromString("document.readyState") == "complete"; },
      kRealLimit));
  EXPECT_TRUE(connector_->log.empty());
  env_.advance(200ms);
  EXPECT_EQ(connector_->log, Log{"view"});
  EXPECT_EQ(adapter->checkRenderingCount(), 1u);
  EXPECT_FALSE(adapter->isCheckingRendering());
}

TEST_F(HTMLAdapterOnWebKitTest, APageThatNavigatesToItsPassbackIsNoAd) {
  for (const char* target : {"https://pb.example/house/", "passback:none"}) {
    SCOPED_TRACE(target);
    connector_->log.clear();
    connector_->credentialsValue = {
        {"pvotym_html", std::string("<html><body><script>setTimeout(function () { location.href = '") + target +
                            "'; }, 0);</script></body></html>"},
        {"pvotym_passback_url", "https://pb.example/house"}};
    auto adapter = ZUMMAdapterHTML::create(connector_);
    adapter->getBannerWithSize(kZUMAdSizeBanner);
    ASSERT_TRUE(env_.runUntil([&] { return !connector_->log.empty(); }, kRealLimit));
    EXPECT_EQ(connector_->log, Log{"fail com.vantor.ads 1 Ad network returned no ad."});
    EXPECT_FALSE(adapter->isCheckingRendering());
    adapter->stopBeingDelegate();
  }
}

}  // namespace
