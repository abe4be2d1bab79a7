#include "sdk/presentation/ZUMBrowserViewController.h"

#include <nlohmann/json.hpp>

#include "platform/net/URLLoading.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Device.h"
#include "platform/ui/Image.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/presentation/ZUMBrowserAdViewDelegate.h"
#include "sdk/presentation/ZUMPresentationTestSupport.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "testing/LoopbackServer.h"

namespace {

using presentation_testing::Log;
using platform::URL;
using Json = nlohmann::ordered_json;

class ZUMBrowserViewControllerTest : public presentation_testing::PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    platform::URLLoading::mapHostForTesting("landing.example.com", "127.0.0.1", server.port());
    for (const char* path : {"/one", "/two"}) server.route(path, {.status = 200, .body = "<p>landing</p>"});
    slot->setAd(ad);
    browser->setSlot(slot);
  }
  void TearDown() override {
    if (browser->intermission()) {
      browser->doneButtonPressed();
      env.advance(1);
    }
    PresentationTest::TearDown();
  }
  void show() {
    browser->presentFromViewController(host, nullptr);
    env.advance(1);
  }
  bool loaded() {
    return env.runUntil([&] { return !browser->adView()->isLoading(); });
  }
  std::vector<std::string> toolbarLabels() const {
    std::vector<std::string> labels;
    for (const auto& item : browser->toolbar()->items()) {
      if (item->isSpace()) continue;
      labels.push_back(item->accessibilityLabel().value_or("?") + (item->isEnabled() ? "" : " (off)"));
    }
    return labels;
  }
  std::optional<Json> statistic(const std::string& key) { return ad->statistics()->objectForKey(key); }

  testenv::LoopbackServer server;
  std::shared_ptr<ZUMAd> ad = ZUMAd::create();
  std::shared_ptr<ZUMBrowserViewController> browser = ZUMBrowserViewController::create();
};

TEST_F(ZUMBrowserViewControllerTest, AURLGivenBeforeTheFirstAppearanceLoadsThenOnceWithTheReferrersHostOnly) {
  server.route("/one", {.status = 200, .body = "<p>landing</p>", .held = true});
  browser->load(URL::fromString("https://landing.example.com/one"),
                URL::fromString("https://ads.example.com/creative/page.html?secret=1#top"));
  EXPECT_EQ(server.requestCount(), 0u);
  show();
  ASSERT_TRUE(env.runUntil([&] { return server.heldCount("/one") == 1; }));
  EXPECT_EQ(server.requests("/one")[0].header("Referer"), "ads.example.com");
  EXPECT_EQ(toolbarLabels(),
            (std::vector<std::string>{"Back (off)", "Forward (off)", "Spinner", "View in Safari (off)", "Done"}));
  EXPECT_TRUE(browser->spinner()->isAnimating());
  server.release("/one");
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  EXPECT_EQ(toolbarLabels(),
            (std::vector<std::string>{"Back (off)", "Forward (off)", "Reload", "View in Safari", "Done"}));
  EXPECT_FALSE(browser->spinner()->isAnimating());
  EXPECT_EQ(server.requests("/one").size(), 1u);
  env.advance(1);  // a second appearance makes nothing anew
  EXPECT_EQ(server.requests("/one").size(), 1u);
}

TEST_F(ZUMBrowserViewControllerTest, TheToolbarFollowsThePagesHistoryAndTheStatisticsKeepFirstStartAndLastEnd) {
  show();
  browser->load(URL::fromString("https://landing.example.com/one"), std::nullopt);
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  const auto firstStart = statistic("tlanding_page_load_start");
  const auto firstEnd = statistic("tlanding_page_load_end");
  ASSERT_TRUE(firstStart && firstEnd);
  EXPECT_FALSE(server.requests("/one")[0].header("Referer"));
  env.advance(2);
  browser->load(URL::fromString("https://landing.example.com/two"), std::nullopt);
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  EXPECT_TRUE(browser->backButton()->isEnabled());
  EXPECT_FALSE(browser->forwardButton()->isEnabled());
  EXPECT_EQ(statistic("tlanding_page_load_start"), firstStart);
  EXPECT_GT(statistic("tlanding_page_load_end")->get<std::int64_t>(), firstEnd->get<std::int64_t>());
  ASSERT_TRUE(browser->backButton()->sendAction());
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  EXPECT_FALSE(browser->backButton()->isEnabled());
  EXPECT_TRUE(browser->forwardButton()->isEnabled());
  EXPECT_EQ(browser->adView()->URL()->absoluteString(), "https://landing.example.com/one");
  ASSERT_TRUE(browser->forwardButton()->sendAction());
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  EXPECT_EQ(browser->adView()->URL()->absoluteString(), "https://landing.example.com/two");
  browser->forward();  // nothing ahead: stays
  env.runUntilIdle();
  EXPECT_EQ(browser->adView()->URL()->absoluteString(), "https://landing.example.com/two");
  const auto loads = server.requests("/two").size();
  ASSERT_TRUE(browser->reloadButton()->sendAction());
  ASSERT_TRUE(loaded());
  EXPECT_GT(server.requests("/two").size(), loads);
}

TEST_F(ZUMBrowserViewControllerTest, OnlyLinkAndFormNavigationsCountTowardsTheLandingPageStatisticsAndNoneIsAClick) {
  show();
  auto& delegate = *browser->adView()->delegate();
  const struct {
    const char* url;
    platform::WebViewNavigationType type;
  } rows[] = {
      {"http://landing.example.com/a", platform::WebViewNavigationType::LinkClicked},
      {"HTTPS://landing.example.com/b", platform::WebViewNavigationType::FormSubmitted},
      {"https://landing.example.com/c", platform::WebViewNavigationType::LinkClicked},
      {"https://landing.example.com/d", platform::WebViewNavigationType::Reload},
      {"https://landing.example.com/e", platform::WebViewNavigationType::BackForward},
      {"https://landing.example.com/f", platform::WebViewNavigationType::Other},
  };
  for (const auto& row : rows) {
    browser->adView()->setTouched(true);
    EXPECT_EQ(delegate.adViewShouldStartLoadWithRequest(*browser->adView(),
                                                        platform::URLRequest(*URL::fromString(row.url)), row.type),
              true)
        << row.url;
  }
  env.runUntilIdle();
  EXPECT_EQ(statistic("plpnc"), Json(1));
  EXPECT_EQ(statistic("plpsnc"), Json(2));
  EXPECT_FALSE(statistic("pcc"));
  EXPECT_FALSE(ZUMBrowserAdViewDelegate::browserControllerForAdView(*ZUMAdView::create()));
}

TEST_F(ZUMBrowserViewControllerTest, ViewInSafariOpensThePageOutsideReportsTheLeaveAndDoneRestoresTheHost) {
  show();
  browser->load(URL::fromString("https://landing.example.com/one"), std::nullopt);
  ASSERT_TRUE(loaded());
  env.runUntilIdle();
  log->clear();
  const auto before = platform::Application::shared().openedURLs().size();
  ASSERT_TRUE(browser->safariButton()->sendAction());
  env.runUntilIdle();
  ASSERT_EQ(platform::Application::shared().openedURLs().size(), before + 1);
  EXPECT_EQ(platform::Application::shared().openedURLs().back().absoluteString(), "https://landing.example.com/one");
  EXPECT_EQ(statistic("pcbo"), Json(true));
  EXPECT_EQ(statistic("pcc"), Json(1));
  // The opener made for the button is gone by now; the leave is reported all the same.
  EXPECT_EQ(statistic("pclb"), Json(true));

  ASSERT_TRUE(browser->doneButton()->sendAction());
  env.advance(1);
  EXPECT_EQ(*log, (Log{"slot.willDismiss", "didDismiss", "slot.didDismiss"}));
  EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(ZUMBrowserViewControllerTest, TheToolbarIsLowOnAPhoneInLandscapeAndThePageOnePointTaller) {
  const struct {
    platform::Device::UserInterfaceIdiom idiom;
    platform::InterfaceOrientation orientation;
    double toolbarHeight;
  } rows[] = {
      {platform::Device::UserInterfaceIdiom::Phone, platform::kInterfaceOrientationPortrait, 44},
      {platform::Device::UserInterfaceIdiom::Phone, platform::kInterfaceOrientationLandscapeLeft, 30},
      {platform::Device::UserInterfaceIdiom::Pad, platform::kInterfaceOrientationLandscapeLeft, 44},
  };
  for (const auto& row : rows) {
    platform::Device::current().setUserInterfaceIdiom(row.idiom);
    testenv::AppControls::rotate(row.orientation);
    env.runUntilIdle();
    auto shown = ZUMBrowserViewController::create();
    shown->setSlot(slot);
    shown->presentFromViewController(host, nullptr);
    env.advance(1);
    const double height = shown->view()->bounds().size.height;
    const auto toolbar = shown->toolbar()->frame();
    EXPECT_EQ(toolbar, (platform::Rect{0, height - row.toolbarHeight + 1, shown->view()->bounds().size.width,
                                       row.toolbarHeight}))
        << row.toolbarHeight;
    EXPECT_EQ(shown->toolbar()->superview(), shown->view());
    EXPECT_EQ(shown->adView()->autoresizingMask(),
              platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    EXPECT_EQ(shown->adView()->frame().size.height, height - row.toolbarHeight + 1) << row.toolbarHeight;
    shown->doneButtonPressed();
    env.advance(1);
  }
  platform::Device::current().setUserInterfaceIdiom(platform::Device::UserInterfaceIdiom::Phone);
}

TEST(ZUMBrowserToolbarImageTest, TheArrowsAreOppositeTrianglesOf27PointsAtScale2) {
  testenv::TestEnvironment env;
  const auto left = ZUMBrowserToolbarImageA(), right = ZUMBrowserToolbarImageB();
  ASSERT_TRUE(left && right);
  EXPECT_EQ(left->size(), (platform::Size{27, 27}));
  EXPECT_EQ(left->scale(), 2.0);
  EXPECT_NE(left, ZUMBrowserToolbarImageA()) << "each call makes a new image";
  // The point of the left arrow is near the left edge; the right arrow mirrors it.
  const auto& a = left->bitmap();
  const auto& b = right->bitmap();
  int drawn = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      EXPECT_EQ(a.pixel(x, y).a, b.pixel(a.width() - 1 - x, y).a);
      drawn += a.pixel(x, y).a != 0;
    }
  }
  EXPECT_GT(drawn, 200);
  EXPECT_NE(a.pixel(16, 27).a, 0);
  EXPECT_EQ(a.pixel(16, 10).a, 0);
}

}  // namespace
