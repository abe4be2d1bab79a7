#include "sdk/native/ZUMNativeAdViewPolicy.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "testing/TestEnvironment.h"

namespace {

using platform::Color;
using platform::Point;
using platform::Rect;
using platform::View;

class ZUMNativeAdViewPolicyTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    window = platform::Window::create(Rect(0, 0, 375, 667));
    window->makeKeyAndVisible();
    adView = View::create(Rect(10, 100, 300, 250));
    window->addSubview(adView);
    headline = platform::Label::create(Rect(20, 30, 200, 40));
    adView->addSubview(headline);
  }
  std::shared_ptr<ZUMNativeAdViewPolicy> appInstallPolicy(bool publisherOwned) {
    auto policy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", publisherOwned);
    policy->setAssetViews({{"2001", headline}});
    return policy;
  }

  std::shared_ptr<platform::Window> window;
  std::shared_ptr<View> adView;
  std::shared_ptr<platform::Label> headline;
};

TEST_F(ZUMNativeAdViewPolicyTest, TapsHitTheShownAssetViewElseTheBackground) {
  EXPECT_EQ(ZUMNativeAdViewPolicy::create(nullptr, "2009", "2010", "2099", false), nullptr);
  headline->setUserInteractionEnabled(true);
  auto policy = appInstallPolicy(false);
  EXPECT_FALSE(headline->isUserInteractionEnabled());  // taps fall through to the ad view

  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}), std::make_pair(std::shared_ptr<View>(headline), std::string("2001")));
  EXPECT_EQ(policy->clickTargetAtLocation(Point{250, 35}).second, "2099");
  headline->setHidden(true);
  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}), std::make_pair(adView, std::string("2099")));

  const auto environment = policy->tapHandlingEnvironment(Point{25, 35}, "2001");
  EXPECT_EQ(environment["click_signal"].dump(),
            R"({"asset_id":"2001","click_point":{"x":25.0,"y":35.0,"relative_to":"ad_view"}})");
  EXPECT_TRUE(environment.contains("asset_view_signal"));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto untrusted = policy->tapHandlingEnvironment(Point{nan, INFINITY}, "2001")["click_signal"]["click_point"];
  EXPECT_EQ(untrusted["x"], 0.0);
  EXPECT_EQ(untrusted["y"], 0.0);
}

TEST_F(ZUMNativeAdViewPolicyTest, AttributionIconAndTextInsideTheAdChoicesViewAreHit) {
  for (const auto& [icon, text, background, adChoices] :
       {std::tuple{"2009", "2010", "2099", "2012"}, std::tuple{"1007", "1008", "1099", "1010"}}) {
    auto choices = View::create(Rect(200, 0, 100, 30));
    adView->addSubview(choices);
    auto attribution = ZUMNativeAdAttributionView::create(Rect(0, 0, 100, 30));
    choices->addSubview(View::create(Rect(0, 0, 1, 1)));  // only the attribution view counts
    choices->addSubview(attribution);
    attribution->iconView()->setFrame(Rect(80, 0, 20, 30));
    attribution->setHidden(false);
    auto policy = ZUMNativeAdViewPolicy::create(adView, icon, text, background, true);
    policy->setAssetViews({{"2001", headline}, {adChoices, choices}});

    EXPECT_EQ(policy->clickTargetAtLocation(Point{290, 10}).second, icon);
    EXPECT_EQ(policy->clickTargetAtLocation(Point{210, 10}).second, text);
    const auto assets = policy->nativeAdSignalDictionary()["asset_view_signal"];
    EXPECT_TRUE(assets.contains(icon) && assets.contains(text) && !assets.contains(adChoices));
    attribution->setHidden(true);  // a hidden attribution is neither hit nor reported
    EXPECT_EQ(policy->clickTargetAtLocation(Point{290, 10}).second, background);
    EXPECT_FALSE(policy->nativeAdSignalDictionary()["asset_view_signal"].contains(icon));
    choices->removeFromSuperview();
  }
}

TEST_F(ZUMNativeAdViewPolicyTest, SignalDictionaryDescribesTheViewsGeometryAndLook) {
  headline->setFont(platform::Font::systemFont(14));
  headline->setTextColor(Color::red());
  headline->setText("Ad headline");
  headline->setBackgroundColor(Color::rgb(0, 0, 1, 0.5));
  auto policy = appInstallPolicy(false);
  auto signal = policy->nativeAdSignalDictionary();
  EXPECT_EQ(signal["ad_view_signal"]["frame"].dump(),
            R"({"x":10.0,"y":100.0,"width":300.0,"height":250.0,"relative_to":"window"})");
  const auto asset = signal["asset_view_signal"]["2001"];
  EXPECT_EQ(asset["font_size"], "14");
  EXPECT_EQ(asset["text"], "Ad headline");
  EXPECT_EQ(asset["text_color"], 0xFF0000FFu);
  EXPECT_EQ(asset["background_color"], 0x0000FF7Fu);
  EXPECT_EQ(asset["frame"].dump(), R"({"x":20.0,"y":30.0,"width":200.0,"height":40.0,"relative_to":"ad_view"})");
  EXPECT_EQ(asset["visible_bounds"].dump(), R"({"x":0.0,"y":0.0,"width":200.0,"height":40.0,"relative_to":"self"})");
  EXPECT_EQ(signal["scroll_view_signal"].dump(), R"({"contained_in_scroll_view":0})");

  // In a scroll view that has scrolled the ad view out of sight.
  auto scrollView = platform::ScrollView::create(Rect(0, 0, 375, 400));
  scrollView->setContentSize({375, 2000});
  window->addSubview(scrollView);
  scrollView->addSubview(adView);
  scrollView->setContentOffset(Point{0, 1000});
  signal = policy->nativeAdSignalDictionary();
  EXPECT_EQ(signal["scroll_view_signal"].dump(),
            R"({"contained_in_scroll_view":1,"scroll_view_size":{"width":375.0,"height":400.0},)"
            R"("content_size":{"width":375.0,"height":2000.0}})");
  EXPECT_EQ(signal["asset_view_signal"]["2001"]["visible_bounds"].dump(),
            R"({"x":20.0,"y":30.0,"width":0.0,"height":0.0,"relative_to":"ad_view"})");
}

TEST(ZUMNativeAdViewPolicyValues, ColourNumbersClampComponentsAndFontSizesDropTrailingZeros) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(ZUMNativeColorNumber(Color::white()), 0xFFFFFFFFu);
  EXPECT_EQ(ZUMNativeColorNumber(Color::black()), 0x000000FFu);
  EXPECT_EQ(ZUMNativeColorNumber(Color::rgb(0.5, 1, 0, 1)), 0x7FFF00FFu);
  EXPECT_EQ(ZUMNativeColorNumber(Color::rgb(nan, INFINITY, -INFINITY, 1)), 0x00FF00FFu);
  EXPECT_EQ(ZUMNativeColorNumber(Color::rgb(-0.5, 1.5, 2, 1)), 0x00FFFFFFu);
  for (const auto& [size, text] : {std::pair{14.0, "14"}, std::pair{14.5, "14.5"}, std::pair{0.1234567, "0.123457"},
                                   std::pair{100.0, "100"}, std::pair{nan, "0"}}) {
    EXPECT_EQ(ZUMNativeFontSizeString(size), text) << size;
  }
}

}  // namespace
