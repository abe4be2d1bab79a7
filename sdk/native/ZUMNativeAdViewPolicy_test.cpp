#include "sdk/native/ZUMNativeAdViewPolicy.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "ZUMAdChoicesView.h"
#include "ZUMMediaView.h"
#include "ZUMNativeAdViewAdOptions.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "sdk/native/ZUMNativeAdAttributionView.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/native/ZUMOverlayView.h"
#include "sdk/rendering/ZUMActiveViewTestSupport.h"
#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/rendering/ZUMNativeAdVideoClickTOLMHandler.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"
#include "testing/TouchControls.h"

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

  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}),
            std::make_pair(std::shared_ptr<View>(headline), std::string("2001")));
  EXPECT_EQ(policy->clickTargetAtLocation(Point{250, 35}).second, "2099");
  headline->setHidden(true);
  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}), std::make_pair(adView, std::string("2099")));

  // A host that names one view twice: the later name is the view's only one.
  headline->setHidden(false);
  policy->setAssetViews({{"2001", headline}, {"2004", headline}});
  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}).second, "2004");

  const auto environment = policy->tapHandlingEnvironment(Point{25, 35}, "2001");
  EXPECT_EQ(environment["click_signal"].dump(),
            R"({"asset_id":"2001","click_point":{"x":25.0,"y":35.0,"relative_to":"ad_view"}})");
  EXPECT_TRUE(environment.contains("asset_view_signal"));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto untrusted = policy->tapHandlingEnvironment(Point{nan, INFINITY}, "2001")["click_signal"]["click_point"];
  EXPECT_EQ(untrusted["x"], 0.0);
  EXPECT_EQ(untrusted["y"], 0.0);
}

// The centre of `view` in the ad view's coordinates.
Point centreIn(const View& adView, const std::shared_ptr<View>& view) {
  const Rect frame = adView.convertRectFromView(view->bounds(), view.get());
  EXPECT_GT(frame.width() * frame.height(), 0) << "laid out to a size";
  return {frame.midX(), frame.midY()};
}

TEST_F(ZUMNativeAdViewPolicyTest, AttributionIconAndTextInsideTheAdChoicesViewAreHit) {
  for (const auto& [icon, text, background, adChoices] :
       {std::tuple{"2009", "2010", "2099", "2012"}, std::tuple{"1007", "1008", "1099", "1010"}}) {
    auto choices = ZUMAdChoicesView::create(Rect(200, 0, 100, 30));
    adView->addSubview(choices);
    auto attribution = nativetest::attributionBadge(env, {20, 30});
    choices->addSubview(View::create(Rect(0, 0, 1, 1)));  // only the attribution view counts
    choices->setAdChoicesContentView(attribution);
    env.runUntilIdle();  // the window's layout pass
    auto policy = ZUMNativeAdViewPolicy::create(adView, icon, text, background, true);
    policy->setAssetViews({{"2001", headline}, {adChoices, choices}});

    const Point onIcon = centreIn(*adView, attribution->iconView());
    EXPECT_EQ(policy->clickTargetAtLocation(onIcon).second, icon);
    EXPECT_EQ(policy->clickTargetAtLocation(centreIn(*adView, attribution->textView())).second, text);
    const auto assets = policy->nativeAdSignalDictionary()["asset_view_signal"];
    EXPECT_TRUE(assets.contains(icon) && assets.contains(text) && !assets.contains(adChoices));
    attribution->setHidden(true);  // a hidden attribution is neither hit nor reported
    EXPECT_EQ(policy->clickTargetAtLocation(onIcon).second, background);
    EXPECT_FALSE(policy->nativeAdSignalDictionary()["asset_view_signal"].contains(icon));
    choices->removeFromSuperview();
  }
}

TEST_F(ZUMNativeAdViewPolicyTest, ReplacedAssetViewsAndAdChoicesViewsTakeNoMoreTaps) {
  // A template view's setter gives the headline a new view: the old one is no asset now.
  auto policy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", false);
  std::weak_ptr<View> field;
  policy->replaceAssetWithName("2001", headline, &field);
  auto moved = platform::Label::create(Rect(20, 150, 200, 40));
  adView->addSubview(moved);
  policy->replaceAssetWithName("2001", moved, &field);
  EXPECT_EQ(field.lock(), moved);
  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 35}).second, "2099");
  EXPECT_EQ(policy->clickTargetAtLocation(Point{25, 155}).second, "2001");

  // A host registers its views again with another AdChoices view: its attribution is hit.
  std::shared_ptr<ZUMNativeAdAttributionView> attribution;
  auto choicesAt = [&](const Rect& frame) {
    auto choices = ZUMAdChoicesView::create(frame);
    adView->addSubview(choices);
    attribution = nativetest::attributionBadge(env, {20, 30});
    choices->setAdChoicesContentView(attribution);
    env.runUntilIdle();
    return choices;
  };
  auto hostPolicy = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", true);
  auto first = choicesAt(Rect(200, 0, 100, 30));
  hostPolicy->setAssetViews({{"2012", first}});
  EXPECT_EQ(hostPolicy->clickTargetAtLocation(centreIn(*adView, attribution->iconView())).second, "2009");
  first->removeFromSuperview();
  hostPolicy->setAssetViews({{"2012", choicesAt(Rect(200, 200, 100, 30))}});
  EXPECT_EQ(hostPolicy->clickTargetAtLocation(centreIn(*adView, attribution->iconView())).second, "2009");
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

// Taps on the ad view, through the platform's touches, become the right ad's clicks.
class ZUMNativeAdViewPolicyTapTest : public ZUMNativeAdViewPolicyTest {
 protected:
  static nativetest::Json adDictionary(const std::string& id, bool publisherClicks = false) {
    return {{"template_id", 2}, {"id", id}, {"allow_pub_event_reporting", {{"click_reporting", publisherClicks}}}};
  }
  // The native-ads script calls of the page since the last look.
  std::vector<std::string> newCalls() {
    env.runUntilIdle();
    auto calls = nativetest::nativeCalls(*slot);
    std::vector<std::string> fresh(calls.begin() + static_cast<std::ptrdiff_t>(seen), calls.end());
    seen = calls.size();
    return fresh;
  }
  std::vector<std::string> newClicks() {
    auto calls = newCalls();
    std::erase_if(calls, [](const std::string& call) { return call.find("handleClickTolm") == std::string::npos; });
    return calls;
  }
  void tap(platform::Point inWindow) {
    testenv::TouchControls::tap(window, inWindow);
    env.runUntilIdle();
  }

  bool sdkLoaded = (ZUMMobileAds::load(), true);
  nativetest::NativeHosts hosts;
  std::shared_ptr<ZUMSlot> slot = nativetest::loadedPageSlot(env);
  std::size_t seen = 0;
};

TEST_F(ZUMNativeAdViewPolicyTapTest, TapsBecomeClicksOfTheViewsOwnAd) {
  auto policy = appInstallPolicy(false);
  auto ad = nativetest::TestAd::create(adDictionary("first"));
  ad->setSlot(slot);
  policy->setNativeAd(ad);
  policy.reset();  // the ad view's recognizer keeps it

  // A second template view shows the second ad of the same response.
  auto otherView = View::create(Rect(10, 400, 300, 200));
  window->addSubview(otherView);
  auto other = ZUMNativeAdViewPolicy::create(otherView, "2009", "2010", "2099", false);
  auto otherAd = nativetest::TestAd::create(adDictionary("second"));
  otherAd->setSlot(slot);
  other->setNativeAd(otherAd);

  tap({10 + 25, 100 + 35});  // on the headline
  tap({10 + 5, 400 + 5});    // on the other view's background
  const auto calls = newClicks();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].find(R"("click_signal":{"asset_id":"2001","click_point":{"x":25.0,"y":35.0)"), std::string::npos);
  EXPECT_NE(calls[0].find(R"("id":"first")"), std::string::npos);
  EXPECT_NE(calls[1].find(R"("asset_id":"2099")"), std::string::npos);
  EXPECT_NE(calls[1].find(R"("id":"second")"), std::string::npos);

  // A new policy on the first view takes the old one's recognizers off.
  auto replacement = ZUMNativeAdViewPolicy::create(adView, "2009", "2010", "2099", false);
  EXPECT_EQ(adView->gestureRecognizers().size(), 2u);
  tap({10 + 25, 100 + 35});
  EXPECT_TRUE(newClicks().empty());  // the replacement has no ad yet

  // A host that reports its own clicks gets none from taps.
  replacement->setNativeAd(nativetest::TestAd::create(adDictionary("third", true)));
  tap({10 + 25, 100 + 35});
  EXPECT_TRUE(newClicks().empty());
}

TEST_F(ZUMNativeAdViewPolicyTapTest, VideoClicksCountOnlyFromTheAdsOwnMediaView) {
  auto policy = appInstallPolicy(false);
  auto ad = nativetest::TestAd::create(adDictionary("first"));
  ad->setSlot(slot);
  policy->setNativeAd(ad);
  // Without video the media view's taps are the policy's, under the media asset name.
  auto media = ZUMMediaView::create(Rect(20, 100, 200, 100));
  media->setUserInteractionEnabled(false);
  adView->addSubview(media);
  policy->setAssetViews({{"2001", headline}, {"2011", media}});
  EXPECT_TRUE(media->isUserInteractionEnabled());  // it plays and reports its own clicks
  tap({10 + 30, 100 + 150});
  const auto clicks = newClicks();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_NE(clicks[0].find(R"("asset_id":"2011")"), std::string::npos);
  // The ad has no video: a page's video click from anywhere is not its click.
  platform::NotificationCenter::defaultCenter().post(platform::Notification(
      kZUMNativeAdVideoClickNotification, nullptr, nativetest::Json{{"touchX", "1"}, {"touchY", "2"}}));
  EXPECT_TRUE(newClicks().empty());
}

struct PolicyDelegate : ZUMNativeAdViewPolicyDelegate {
  void nativeAdViewPolicyDidBeginTrackingView(ZUMNativeAdViewPolicy&, View&) override { log.push_back("tracking"); }
  void nativeAdViewPolicyDidUnloadNativeAd(ZUMNativeAdViewPolicy&, ZUMNativeAd& ad, View*) override {
    log.push_back("unload " + ad.adConfiguration()->value("id", ""));
  }
  std::vector<std::string> log;
};

TEST_F(ZUMNativeAdViewPolicyTapTest, ImpressionsCountAtTheFirstCheckOrWhenFirstSeen) {
  auto impressions = [&] {
    const auto calls = newCalls();
    return std::count_if(calls.begin(), calls.end(), [](const std::string& call) {
      return call.find("handleImpressionPing") != std::string::npos;
    });
  };
  // A template view in a visible window: at the first check, with the signal dictionary.
  auto policy = appInstallPolicy(false);
  auto delegate = std::make_shared<PolicyDelegate>();
  policy->setDelegate(delegate);
  auto ad = nativetest::TestAd::create(adDictionary("first"));
  ad->setSlot(slot);
  policy->setNativeAd(ad);
  EXPECT_FALSE(ad->hasRecordedImpression());  // not before the main queue's turn
  env.runUntilIdle();
  EXPECT_TRUE(ad->hasRecordedImpression());
  EXPECT_NE(nativetest::nativeCalls(*slot).back().find(R"("asset_view_signal":{"2001")"), std::string::npos);
  EXPECT_EQ(impressions(), 1);
  EXPECT_EQ(delegate->log, std::vector<std::string>{"tracking"});
  auto second = nativetest::TestAd::create(adDictionary("second"));
  second->setSlot(slot);
  policy->setNativeAd(second);
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"tracking", "unload first", "tracking"}));
  EXPECT_EQ(impressions(), 1);

  // A template view without a superview is not tracked; a host's own view is, off screen.
  for (const bool publisherOwned : {false, true}) {
    auto offScreen = View::create(Rect(0, 0, 100, 100));
    auto offPolicy = ZUMNativeAdViewPolicy::create(offScreen, "2009", "2010", "2099", publisherOwned);
    auto offAd = nativetest::TestAd::create(adDictionary("off"));
    offAd->setSlot(slot);
    offPolicy->setNativeAd(offAd);
    env.runUntilIdle();
    EXPECT_EQ(offPolicy->isMonitoringImpression(), publisherOwned);
    window->addSubview(offScreen);
    env.advance(std::chrono::seconds(2));
    env.runUntilIdle();
    EXPECT_EQ(offAd->hasRecordedImpression(), publisherOwned);
    EXPECT_FALSE(offPolicy->isMonitoringImpression());
  }
  EXPECT_EQ(impressions(), 1);

  // A host that reports its own impressions gets none from the policy.
  auto hostReported =
      nativetest::TestAd::create({{"id", "host"}, {"allow_pub_event_reporting", {{"impression_reporting", true}}}});
  hostReported->setSlot(slot);
  auto hostPolicy = ZUMNativeAdViewPolicy::create(View::create(Rect(0, 0, 50, 50)), "2009", "2010", "2099", true);
  window->addSubview(hostPolicy->adView());
  hostPolicy->setNativeAd(hostReported);
  env.runUntilIdle();
  hostPolicy->adViewDidMoveToSuperview();
  EXPECT_FALSE(hostReported->hasRecordedImpression());
  EXPECT_FALSE(hostPolicy->isMonitoringImpression());
}

// An ad with an AdChoices content view and an overlay, for the template views to place.
class PlacedAd : public nativetest::TestAd {
 public:
  static std::shared_ptr<PlacedAd> create(std::int64_t corner, bool publisherRendering = false) {
    auto options = ZUMNativeAdViewAdOptions::create();
    options->setPreferredAdChoicesPosition(corner);
    return std::shared_ptr<PlacedAd>(new PlacedAd({{"attribution", {{"allow_pub_rendering", publisherRendering}}}},
                                                  {ZUMAdLoaderOptions::create(), options}));
  }
  std::shared_ptr<View> adChoicesContentView() const override { return choices; }
  std::shared_ptr<ZUMOverlayView> overlayView() const override { return overlay; }

  std::shared_ptr<View> choices = ZUMNativeAdAttributionView::create(Rect(0, 0, 60, 15));
  std::shared_ptr<ZUMOverlayView> overlay = ZUMOverlayView::create();

 private:
  using TestAd::TestAd;
};

TEST_F(ZUMNativeAdViewPolicyTest, AdChoicesSitsInItsCornerUnderTheOverlay) {
  using Attribute = platform::LayoutConstraint::Attribute;
  using Pins = std::vector<std::pair<Attribute, Attribute>>;
  const Rect area = adView->bounds();
  const struct {
    std::int64_t corner;
    Pins pins;
    Point tap;  // in the corner: the icon on the right, the padding before the text on the left
    const char* asset;
  } corners[] = {
      {0, {{Attribute::Top, Attribute::Top}, {Attribute::Right, Attribute::Right}}, {area.maxX() - 1, 1}, "2009"},
      {1, {{Attribute::Top, Attribute::Top}, {Attribute::Left, Attribute::Left}}, {1, 1}, "2010"},
      {2,
       {{Attribute::Bottom, Attribute::Bottom}, {Attribute::Right, Attribute::Right}},
       {area.maxX() - 1, area.maxY() - 1},
       "2009"},
      {3, {{Attribute::Bottom, Attribute::Bottom}, {Attribute::Left, Attribute::Left}}, {1, area.maxY() - 1}, "2010"},
      {5, {}, {area.maxX() - 1, 1}, "2099"},
  };
  auto policy = appInstallPolicy(false);
  for (const auto& [corner, pins, tap, asset] : corners) {
    auto ad = PlacedAd::create(corner);
    ad->choices = nativetest::attributionBadge(env, {15, 15});
    policy->setNativeAd(ad);
    Pins placed;
    for (const auto& constraint : policy->adChoicesViewConstraints()) {
      EXPECT_EQ(constraint->firstItem(), ad->choices);
      EXPECT_EQ(constraint->secondItem(), adView);
      EXPECT_NE(std::find(adView->constraints().begin(), adView->constraints().end(), constraint),
                adView->constraints().end());
      placed.emplace_back(constraint->firstAttribute(), constraint->secondAttribute());
    }
    EXPECT_EQ(placed, pins) << corner;
    EXPECT_EQ(adView->constraints().size(), pins.size() + 4) << corner;  // and the overlay's four
    const auto& subviews = adView->subviews();
    ASSERT_GE(subviews.size(), 3u);
    EXPECT_EQ(subviews.back(), ad->overlay);
    EXPECT_EQ(subviews[subviews.size() - 2], ad->choices);
    env.runUntilIdle();  // laid out on the window's pass
    const Rect badge = ad->choices->frame();
    EXPECT_GT(badge.width(), 15) << corner << ": the text and the icon";
    EXPECT_EQ(badge.height(), 15) << corner;
    EXPECT_EQ(policy->clickTargetAtLocation(tap).second, asset) << corner;
  }

  // A subview added later goes under the overlay and the AdChoices view again.
  auto ad = std::dynamic_pointer_cast<PlacedAd>(policy->nativeAd());
  adView->addSubview(View::create(Rect(0, 0, 10, 10)));
  policy->adViewDidLayoutSubviews();
  EXPECT_EQ(adView->subviews().back(), ad->overlay);
  EXPECT_EQ(adView->subviews()[adView->subviews().size() - 2], ad->choices);
  EXPECT_EQ(ad->overlay->frame(), adView->bounds());
}

TEST_F(ZUMNativeAdViewPolicyTest, AnAdSetOnceTheAdViewIsGonePlacesNothing) {
  auto policy = appInstallPolicy(false);
  adView->removeFromSuperview();
  adView.reset();
  ASSERT_EQ(policy->adView(), nullptr);
  auto ad = PlacedAd::create(0);
  policy->setNativeAd(ad);
  env.runUntilIdle();
  EXPECT_EQ(ad->overlay->superview(), nullptr);
  EXPECT_EQ(ad->choices->superview(), nullptr);
  EXPECT_FALSE(ad->hasRecordedImpression());
}

TEST_F(ZUMNativeAdViewPolicyTest, TheHostsAdChoicesViewShowsTheContentWhenAllowed) {
  auto policy = appInstallPolicy(false);
  auto hostChoices = ZUMAdChoicesView::create(Rect(0, 0, 60, 15));
  adView->addSubview(hostChoices);
  std::weak_ptr<View> field;
  hostChoices->setUserInteractionEnabled(true);
  policy->replaceAssetWithName("2012", hostChoices, &field);
  EXPECT_EQ(field.lock(), hostChoices);
  EXPECT_FALSE(hostChoices->isUserInteractionEnabled());
  auto ad = PlacedAd::create(0, true);
  policy->setNativeAd(ad);
  EXPECT_TRUE(policy->shouldAllowPublisherRenderAdChoices());
  EXPECT_EQ(ad->choices->superview(), hostChoices);
  EXPECT_TRUE(policy->adChoicesViewConstraints().empty());
  adView->addSubview(View::create(Rect(0, 0, 10, 10)));
  policy->adViewDidMoveToSuperview();
  EXPECT_EQ(adView->subviews().back(), ad->overlay);

  // Asset views set anew without it: the next ad's AdChoices goes in the corner.
  policy->setAssetViews({{"2001", headline}});
  auto next = PlacedAd::create(0, true);
  policy->setNativeAd(next);
  EXPECT_FALSE(policy->shouldAllowPublisherRenderAdChoices());
  EXPECT_EQ(next->choices->superview(), adView);
}

// An SDK-core controller that lends a page recording what it is given.
using activeviewtest::LendingController;

TEST_F(ZUMNativeAdViewPolicyTapTest, ActiveViewIsReportedAfterTheImpressionUntilTheSDKCorePageStopsIt) {
  auto controller = std::make_shared<LendingController>();
  ZUMSDKCoreController::setSharedInstance(controller);
  // Given back even when an assertion ends the test early.
  const std::shared_ptr<void> restore(nullptr, [](void*) { ZUMSDKCoreController::setSharedInstance(nullptr); });
  auto& commands = controller->page->commands;
  auto view = View::create(Rect(0, 0, 100, 100));
  auto policy = ZUMNativeAdViewPolicy::create(view, "2009", "2010", "2099", true);
  auto ad = nativetest::TestAd::create({{"tracking_urls_and_actions", {{"active_view", {{"mode", 1}}}}}});
  ad->setSlot(slot);
  policy->setNativeAd(ad);
  env.runUntilIdle();
  env.advance(std::chrono::seconds(1));
  EXPECT_EQ(controller->lent, 0);  // nothing before the impression
  EXPECT_TRUE(commands.empty());

  window->addSubview(view);
  env.advance(std::chrono::seconds(1));
  env.runUntilIdle();
  ASSERT_TRUE(ad->hasRecordedImpression());
  EXPECT_EQ(controller->lent, 1);
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back().rfind("QYRA_updateActiveView({", 0), 0u);
  EXPECT_NE(commands.back().find(R"("adFormat":"native_advanced")"), std::string::npos);
  EXPECT_EQ(commands.back().find("doneReasonCode"), std::string::npos);

  // One report per sampling interval, and one for each application state change.
  auto before = commands.size();
  env.advance(std::chrono::milliseconds(500));
  env.runUntilIdle();
  EXPECT_EQ(commands.size(), before + 1);
  before = commands.size();
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillResignActiveNotification);
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationDidBecomeActiveNotification);
  env.runUntilIdle();
  EXPECT_EQ(commands.size(), before + 2);

  // Leaving the window takes one last sample and ends the sampling.
  view->removeFromSuperview();
  before = commands.size();
  policy->adViewDidMoveToSuperview();
  env.runUntilIdle();
  EXPECT_EQ(commands.size(), before + 1);
  env.advance(std::chrono::seconds(1));
  env.runUntilIdle();
  EXPECT_EQ(commands.size(), before + 1);

  // Other stop reasons do nothing; reason 1 ends with an unloaded report and returns the page.
  const auto observer = controller->page->observer.lock();
  ASSERT_EQ(observer, policy);
  EXPECT_FALSE(observer->activeViewMonitoringStarted(2));
  observer->activeViewMonitoringDidStop(2);
  EXPECT_TRUE(policy->isReportingActiveView());
  observer->activeViewMonitoringDidStop(1);
  EXPECT_FALSE(policy->isReportingActiveView());
  EXPECT_NE(commands.back().find(R"("doneReasonCode":"u")"), std::string::npos);
  EXPECT_EQ(controller->returned, 1);
  before = commands.size();
  env.advance(std::chrono::seconds(2));
  env.runUntilIdle();
  EXPECT_EQ(commands.size(), before);
}

TEST_F(ZUMNativeAdViewPolicyTapTest, UnregisteringFinishesActiveViewOnTheNextTurnEvenWithoutTheAdView) {
  auto controller = std::make_shared<LendingController>();
  ZUMSDKCoreController::setSharedInstance(controller);
  const std::shared_ptr<void> restore(nullptr, [](void*) { ZUMSDKCoreController::setSharedInstance(nullptr); });
  const auto& page = *controller->page;
  for (const bool viewGone : {false, true}) {
    auto view = View::create(Rect(0, 0, 100, 100));
    window->addSubview(view);
    auto policy = ZUMNativeAdViewPolicy::create(view, "2009", "2010", "2099", true);
    auto ad = nativetest::TestAd::create({{"tracking_urls_and_actions", {{"active_view", {{"mode", 1}}}}}});
    ad->setSlot(slot);
    policy->setNativeAd(ad);
    env.runUntilIdle();
    ASSERT_TRUE(policy->isReportingActiveView()) << viewGone;
    if (viewGone) {
      view->removeFromSuperview();
      view.reset();
    }
    const auto reports = page.commands.size();
    policy->unregisterAdView();
    EXPECT_TRUE(!view || view->gestureRecognizers().empty());
    EXPECT_TRUE(policy->isReportingActiveView());  // not within the call
    EXPECT_EQ(page.commands.size(), reports);
    env.runUntilIdle();
    EXPECT_FALSE(policy->isReportingActiveView()) << viewGone;
    ASSERT_EQ(page.commands.size(), reports + 1) << viewGone;
    EXPECT_NE(page.commands.back().find(R"("doneReasonCode":"u")"), std::string::npos);
    EXPECT_EQ(page.log.back().rfind("remove ", 0), 0u);
    EXPECT_EQ(controller->returned, viewGone ? 2 : 1);
  }
}

// The SDK-core page as built, with a recorder of its measurements and a way to untrack a
// unit as its own measurement does.
TEST_F(ZUMNativeAdViewPolicyTapTest, TheSDKCorePageReceivesTheMeasurementsUntilItUntracksTheUnit) {
  hosts.server.route(sdkcoretest::kPagePath,
                     {.status = 200,
                      .body = sdkcoretest::pageWith(
                          "var measured = []; function QYRA_updateActiveView(s) { measured.push(s); }\n"
                          "function untrack(id) { tolmSend('sdkcore', 'untrackActiveViewUnit', {hashCode: id}); }")});
  platform::URLLoading::mapHostForTesting("static.adnetwork.example", "127.0.0.1", hosts.server.port());
  auto controller = ZUMSDKCorePageController::create();
  ZUMSDKCoreController::setSharedInstance(controller);
  const std::shared_ptr<void> restore(nullptr, [](void*) { ZUMSDKCoreController::setSharedInstance(nullptr); });
  auto view = View::create(Rect(0, 0, 100, 100));
  auto policy = ZUMNativeAdViewPolicy::create(view, "2009", "2010", "2099", true);
  const nativetest::Json unit = {{"unit", "u-7"}};
  auto ad = nativetest::TestAd::create({{"tracking_urls_and_actions", {{"active_view", unit}}}});
  ad->setSlot(slot);
  policy->setNativeAd(ad);
  env.runUntilIdle();
  ASSERT_TRUE(policy->isMonitoringImpression());
  window->addSubview(view);
  env.advance(std::chrono::seconds(1));
  ASSERT_TRUE(ad->hasRecordedImpression());
  auto page = std::dynamic_pointer_cast<ZUMSDKCoreWebView>(controller->SDKCoreWebViewForActiveViewProcessing());
  ASSERT_TRUE(page);  // the shared page, the one the policy borrowed
  ASSERT_TRUE(env.runUntil([&] { return page->state() == ZUMSDKCoreWebView::kLoaded; }));
  env.runUntilIdle();
  auto measured = [&] {
    env.runUntilIdle();
    return nativetest::Json::parse(sdkcoretest::evaluate(*page, "JSON.stringify(measured)"));
  };
  auto first = measured();
  ASSERT_FALSE(first.empty());
  const auto& firstUnit = first[0]["units"][0];
  EXPECT_EQ(firstUnit["adFormat"], "native_advanced");
  EXPECT_EQ(firstUnit["activeViewJSON"], unit);
  EXPECT_EQ(firstUnit["isVisible"], "1");
  EXPECT_FALSE(firstUnit.contains("doneReasonCode"));
  const auto id = firstUnit["hashCode"].get<std::uint64_t>();

  // One measurement per sampling interval, one at each application state change.
  const auto interval = std::chrono::duration<double>(controller->activeViewSamplingInterval());
  auto count = measured().size();
  env.advance(interval);
  EXPECT_EQ(measured().size(), count + 1);
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillResignActiveNotification);
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationDidBecomeActiveNotification);
  EXPECT_EQ(measured().size(), count + 3);

  // The page untracks the unit: one last measurement, unloaded, and no more.
  sdkcoretest::evaluate(*page, "untrack(" + std::to_string(id) + ")");
  auto last = measured();
  EXPECT_FALSE(policy->isReportingActiveView());
  EXPECT_EQ(last.back()["units"][0]["doneReasonCode"], "u");
  count = last.size();
  env.advance(interval * 4);
  last = measured();
  EXPECT_EQ(last.size(), count);
  for (const auto& report : last) EXPECT_EQ(report["units"][0]["hashCode"], id);
}

TEST_F(ZUMNativeAdViewPolicyTest, RecognizesAlongOnlyWithTheAdViewsRecognizersUnlessTheDefaultSaysAny) {
  auto policy = appInstallPolicy(false);
  ASSERT_EQ(adView->gestureRecognizers().size(), 2u);
  auto& tap = *adView->gestureRecognizers()[0];
  auto& touch = *adView->gestureRecognizers()[1];
  auto elsewhere = platform::TapGestureRecognizer::create();
  window->addGestureRecognizer(elsewhere);
  EXPECT_TRUE(policy->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(tap, touch));
  EXPECT_FALSE(policy->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(tap, *elsewhere));
  for (const auto& [value, any] : {std::pair{nativetest::Json("1"), true}, std::pair{nativetest::Json("no"), false},
                                   std::pair{nativetest::Json(true), true}}) {
    ASSERT_TRUE(platform::UserDefaults::standard().setObject(value, kZUMNativeIndiscriminateRecognitionKey));
    EXPECT_EQ(policy->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(touch, *elsewhere), any)
        << value;
  }
}

}  // namespace
