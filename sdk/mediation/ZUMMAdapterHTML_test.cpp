#include "sdk/mediation/ZUMMAdapterHTML.h"

#include <chrono>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMAdapterClass.h"
#include "ZUMMobileAds.h"
#include "platform/base/Timer.h"
#include "platform/ui/Color.h"
#include "platform/web/WebView.h"
#include "sdk/mediation/ZUMMLoggingConnector.h"
#include "testing/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using Log = std::vector<std::string>;

// One line of 7-by-14-point "ink" per character in a 700 x 14 view: n characters draw n %.
constexpr ZUMAdSize kStrip{{700, 14}, 0};

std::string page(const std::string& text) { return "<html><body>" + text + "</body></html>"; }

class ZUMMAdapterHTMLTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { ZUMMobileAds::load(); }
  std::shared_ptr<connectortest::LoggingConnector> connector = std::make_shared<connectortest::LoggingConnector>();
  std::shared_ptr<ZUMMAdapterHTML> adapter = ZUMMAdapterHTML::create(connector);
};

TEST_F(ZUMMAdapterHTMLTest, EachFailureOfItsTableIsReportedOnceAndMakesNoWebView) {
  const char* const kEmpty = "fail com.vantor.ads 2 Empty passback URL in TYM response.";
  const char* const kInvalid = "fail com.vantor.ads 2 Invalid passback URL in TYM response.";
  const char* const kMissing = "fail com.vantor.ads 2 Missing HTML in TYM response.";
  const char* const kNoInterstitial = "fail com.vantor.ads 0 Interstitials not supported.";
  const struct {
    Json credentials;
    const char* call;
    std::string expected;
  } rows[] = {
      {Json::object(), "banner", kMissing},
      {{{"pvotym_html", ""}}, "banner", kMissing},
      {{{"pvotym_html", 12}}, "banner", kMissing},
      {{{"pvotym_html", page("ad")}, {"pvotym_passback_url", ""}}, "banner", kEmpty},
      {{{"pvotym_passback_url", ""}}, "banner", kEmpty},
      {{{"pvotym_html", page("ad")}, {"pvotym_passback_url", "http://a b.example/"}}, "banner", kInvalid},
      {{{"pvotym_html", page("ad")}, {"pvotym_passback_url", 7}}, "banner", kInvalid},
      {{{"pvotym_html", page("ad")}, {"pvotym_passback_url", Json::array()}}, "banner", kInvalid},
      {{{"pvotym_passback_url", "https://pb.example/x"}}, "banner", kMissing},
      {{{"pvotym_html", page("ad")}}, "interstitial", kNoInterstitial},
      {{{"pvotym_html", page("ad")}}, "present", kNoInterstitial},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.credentials.dump() + " " + row.call);
    connector->credentialsValue = row.credentials;
    connector->log.clear();
    auto rowAdapter = ZUMMAdapterHTML::create(connector);
    const std::string call = row.call;
    if (call == "banner") rowAdapter->getBannerWithSize(kZUMAdSizeBanner);
    if (call == "interstitial") rowAdapter->getInterstitial();
    if (call == "present") rowAdapter->presentInterstitialFromRootViewController(nullptr);
    env.advance(1s);
    EXPECT_EQ(connector->log, Log{row.expected});
    EXPECT_EQ(rowAdapter->webView(), nullptr);
    EXPECT_FALSE(rowAdapter->isCheckingRendering());
  }
}

TEST_F(ZUMMAdapterHTMLTest, TheClassAndTheWebViewItShowsTheHTMLIn) {
  auto classObject = ZUMMAdapterClassNamed(kZUMMAdapterHTMLClassName);
  ASSERT_TRUE(classObject);
  EXPECT_EQ(classObject->adapterVersion(), "1.1");
  EXPECT_EQ(classObject->networkExtrasClass(), std::nullopt);
  EXPECT_TRUE(std::dynamic_pointer_cast<ZUMMAdapterHTML>(classObject->initWithZUMMAdNetworkConnector(connector)));
  EXPECT_TRUE(adapter->isBannerAnimationOK(3));

  connector->credentialsValue = {{"pvotym_html", page("An ad of thirty characters ...")}};
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  auto webView = adapter->webView();
  ASSERT_TRUE(webView);
  EXPECT_EQ(webView->frame(), platform::Rect(0, 0, 320, 50));
  EXPECT_EQ(webView->backgroundColor(), platform::Color::clear());
  EXPECT_FALSE(webView->isOpaque());
  EXPECT_TRUE(webView->clipsToBounds());
  EXPECT_FALSE(webView->scalesPageToFit());
  EXPECT_TRUE(webView->allowsInlineMediaPlayback());
  EXPECT_TRUE(webView->mediaPlaybackRequiresUserAction());
  EXPECT_EQ(webView->autoresizingMask(), platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
  EXPECT_EQ(webView->delegate(), adapter);
  EXPECT_TRUE(adapter->isCheckingRendering());
  env.advance(200ms);
  ASSERT_TRUE(webView->request() && webView->request()->url());
  EXPECT_EQ(webView->request()->url()->absoluteString(), kZUMMAdapterHTMLBaseURL);
  EXPECT_EQ(connector->log, Log{"view"});
  EXPECT_EQ(connector->views.at(0), webView);

  // A new request starts over in a new web view; the old one is let go of.
  adapter->getBannerWithSize(kZUMAdSizeBanner);
  EXPECT_NE(adapter->webView(), webView);
  EXPECT_EQ(webView->delegate(), nullptr);
}

TEST_F(ZUMMAdapterHTMLTest, DrawnContentOfOverATenthIsRenderedElseTheChecksStopSilentlyAfter101) {
  const struct {
    ZUMAdSize size;
    std::string html;
    bool rendered;
  } rows[] = {
      {kStrip, page(""), false},                       // all clear
      {kStrip, page("0123456789"), false},             // exactly 10 %
      {kStrip, page("0123456789A"), true},             // 11 %, at the start of each row
      {{{0, 0}, 0}, page("0123456789ABCDEF"), false},  // an empty snapshot
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.html);
    connector->log.clear();
    connector->credentialsValue = {{"pvotym_html", row.html}};
    auto rowAdapter = ZUMMAdapterHTML::create(connector);
    rowAdapter->getBannerWithSize(row.size);
    // Just before and just after each due time (the clock counts in binary fractions).
    env.advance(199ms);
    EXPECT_EQ(rowAdapter->checkRenderingCount(), 0u);
    env.advance(2ms);
    EXPECT_EQ(rowAdapter->checkRenderingCount(), 1u);
    EXPECT_EQ(connector->log, row.rendered ? Log{"view"} : Log{});
    EXPECT_EQ(rowAdapter->isCheckingRendering(), !row.rendered);
    env.advance(100 * 200ms - 50ms);
    EXPECT_EQ(rowAdapter->isCheckingRendering(), !row.rendered);
    env.advance(100ms);
    EXPECT_EQ(rowAdapter->checkRenderingCount(), row.rendered ? 1u : 101u);
    EXPECT_FALSE(rowAdapter->isCheckingRendering());
    env.advance(10s);
    EXPECT_EQ(rowAdapter->checkRenderingCount(), row.rendered ? 1u : 101u);
    EXPECT_EQ(connector->log, row.rendered ? Log{"view"} : Log{});
  }
}

TEST_F(ZUMMAdapterHTMLTest, PassbacksAreThePassbackSchemeOrThePassbackURLUpToOneTrailingSlash) {
  const struct {
    std::optional<std::string> passback;
    std::string url;
    bool isPassback;
  } rows[] = {
      {std::nullopt, "passback://none", true},
      {std::nullopt, "PASSBACK:gone", true},
      {std::nullopt, "https://pb.example/pb", false},
      {"https://pb.example/pb", "https://pb.example/pb", true},
      {"https://pb.example/pb", "https://pb.example/pb/", true},
      {"https://pb.example/pb", "https://pb.example/pb//", false},
      {"https://pb.example/pb/", "https://pb.example/pb", true},
      {"https://pb.example/pb", "https://PB.example/pb?q=1", true},
      {"https://pb.example/pb", "https://other.example/pb", false},
      {"https://pb.example/pb", "https://pb.example/pbx", false},
      {"https://pb.example/pb", "passback://x", true},
      {"https://pb.example", "https://pb.example/", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.passback.value_or("-") + " " + row.url);
    connector->log.clear();
    connector->credentialsValue = {{"pvotym_html", page("")}};
    if (row.passback) connector->credentialsValue["pvotym_passback_url"] = *row.passback;
    adapter->getBannerWithSize(kStrip);
    ASSERT_TRUE(adapter->webView());
    const platform::URLRequest request(*platform::URL::fromString(row.url));
    EXPECT_EQ(adapter->webViewShouldStartLoadWithRequest(*adapter->webView(), request,
                                                         platform::WebViewNavigationType::LinkClicked),
              !row.isPassback);
    EXPECT_EQ(connector->log, row.isPassback ? Log{"fail com.vantor.ads 1 Ad network returned no ad."} : Log{});
    EXPECT_EQ(adapter->isCheckingRendering(), !row.isPassback);
  }
  // Another web view's navigations, and requests without a URL, are refused unheard.
  auto other = platform::WebView::create({0, 0, 10, 10});
  adapter->getBannerWithSize(kStrip);
  connector->log.clear();
  EXPECT_FALSE(adapter->webViewShouldStartLoadWithRequest(
      *other, platform::URLRequest(*platform::URL::fromString("passback://x")),
      platform::WebViewNavigationType::Other));
  EXPECT_FALSE(adapter->webViewShouldStartLoadWithRequest(*adapter->webView(), platform::URLRequest(),
                                                          platform::WebViewNavigationType::Other));
  EXPECT_TRUE(connector->log.empty());
  EXPECT_TRUE(adapter->isCheckingRendering());
}

TEST_F(ZUMMAdapterHTMLTest, APageThatNavigatesToItsPassbackIsNoAdAndIsNeverDelivered) {
  const struct {
    std::string script;
  } rows[] = {
      {"location.href = 'passback://none';"},
      {"location.href = 'https://pb.example/house/';"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    connector->log.clear();
    connector->credentialsValue = {{"pvotym_html", page("0123456789ABCDEF<script>" + row.script + "</script>")},
                                   {"pvotym_passback_url", "https://pb.example/house"}};
    auto rowAdapter = ZUMMAdapterHTML::create(connector);
    rowAdapter->getBannerWithSize(kStrip);
    ASSERT_TRUE(env.runUntil([&] { return !connector->log.empty(); }));
    env.advance(30s);
    EXPECT_EQ(connector->log, Log{"fail com.vantor.ads 1 Ad network returned no ad."});
    EXPECT_EQ(rowAdapter->checkRenderingCount(), 0u);
  }
}

TEST_F(ZUMMAdapterHTMLTest, AfterStopBeingDelegateOrItsEndNoSnapshotIsTakenAndNothingIsHeard) {
  connector->credentialsValue = {{"pvotym_html", page("0123456789ABCDEF")}};
  adapter->getBannerWithSize(kStrip);
  auto webView = adapter->webView();
  adapter->stopBeingDelegate();
  EXPECT_EQ(webView->delegate(), nullptr);
  env.advance(30s);
  EXPECT_EQ(adapter->checkRenderingCount(), 0u);
  EXPECT_TRUE(connector->log.empty());

  adapter->getBannerWithSize(kStrip);
  adapter.reset();  // its checker's timer may still be due: it finds no one to tell
  env.advance(30s);
  EXPECT_TRUE(connector->log.empty());
}

// The checker's timer may outlive either end: it then checks nothing.
TEST_F(ZUMMAdapterHTMLTest, TheCheckerChecksNothingWithoutItsWebViewOrItsDelegate) {
  struct Heard : ZUMMWebViewRenderedCheckerDelegate {
    void webViewIsRendered(platform::View&, bool) override { ++calls; }
    int calls = 0;
  };
  auto view = platform::View::create({0, 0, 10, 10});
  auto heard = std::make_shared<Heard>();
  ZUMMWebViewRenderedChecker noDelegate(view, nullptr);
  noDelegate.checkIsContentRenderedInWebView();
  ZUMMWebViewRenderedChecker noView(nullptr, heard);
  noView.checkIsContentRenderedInWebView();
  EXPECT_EQ(heard->calls, 0);
  ZUMMWebViewRenderedChecker both(view, heard);
  both.checkIsContentRenderedInWebView();
  EXPECT_EQ(heard->calls, 1);
}

}  // namespace
