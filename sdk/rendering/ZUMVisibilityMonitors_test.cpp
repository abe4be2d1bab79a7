// The visibility monitors measured on the platform's view tree, sampling on virtual time,
// and a slot's active-view reports as a real measurement page receives them.
#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/AudioSession.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/web/WebTestSupport.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/rendering/ZUMActiveViewMonitor.h"
#include "sdk/rendering/ZUMActiveViewTestSupport.h"
#include "sdk/rendering/ZUMActiveViewWebView.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewReporter.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMImpressionMonitor.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/rendering/ZUMSlotEventHandler.h"
#include "sdk/rendering/ZUMUIKitWebView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using platform::Rect;
using platform::View;

double area(const Rect& rect) { return rect.isEmpty() ? 0 : rect.width() * rect.height(); }

struct Scene {
  std::shared_ptr<platform::Window> window;
  std::shared_ptr<View> container;
  std::shared_ptr<View> view;
};

Scene makeScene() {
  Scene scene;
  scene.window = platform::Window::create(Rect(0, 0, 375, 667));
  scene.window->makeKeyAndVisible();
  scene.container = View::create(Rect(0, 0, 375, 667));
  scene.window->addSubview(scene.container);
  scene.view = View::create(Rect(10, 100, 100, 50));
  scene.container->addSubview(scene.view);
  return scene;
}

struct Refreshes : ZUMViewMonitorDelegate, ZUMImpressionMonitorDelegate {
  void viewMonitorDidRefresh(ZUMViewMonitor&) override { ++count; }
  void impressionMonitorDidMonitorImpression(ZUMImpressionMonitor&) override { ++impressions; }
  int count = 0;
  int impressions = 0;
};

class ZUMVisibilityTest : public testenv::PlatformTest {};

TEST_F(ZUMVisibilityTest, TheFractionVisibleFollowsTheViewTree) {
  const struct {
    const char* name;
    std::function<void(Scene&)> change;
    double fraction;
  } rows[] = {
      {"fully on screen", [](Scene&) {}, 1.0},
      {"half clipped by its window", [](Scene& s) { s.view->setFrame(Rect(325, 100, 100, 50)); }, 0.5},
      {"moved half out by a transform",
       [](Scene& s) { s.container->setTransform(platform::AffineTransform::makeTranslation(-60, 0)); }, 0.5},
      {"shrunk to nothing by a transform",
       [](Scene& s) { s.view->setTransform(platform::AffineTransform::makeScale(0, 0)); }, 0.0},
      {"clipped by its container",
       [](Scene& s) {
         s.container->setFrame(Rect(0, 0, 60, 667));
         s.container->setClipsToBounds(true);
       },
       0.5},
      {"hidden", [](Scene& s) { s.view->setHidden(true); }, 0.0},
      {"in a hidden container", [](Scene& s) { s.container->setHidden(true); }, 0.0},
      {"alpha 0", [](Scene& s) { s.view->setAlpha(0); }, 0.0},
      {"in a container of alpha 0", [](Scene& s) { s.container->setAlpha(0); }, 0.0},
      {"alpha 0.5", [](Scene& s) { s.view->setAlpha(0.5); }, 1.0},
      {"in a window that is not key", [](Scene&) { platform::Window::create()->makeKeyAndVisible(); }, 1.0},
      {"in a hidden window", [](Scene& s) { s.window->setHidden(true); }, 0.0},
      {"in a window off screen", [](Scene& s) { s.window->setFrame(Rect(400, 0, 375, 667)); }, 0.0},
      {"in a window half off screen", [](Scene& s) { s.window->setFrame(Rect(-60, 0, 375, 667)); }, 0.5},
      {"out of any window", [](Scene& s) { s.view->removeFromSuperview(); }, 0.0},
      {"of zero size", [](Scene& s) { s.view->setFrame(Rect(10, 100, 0, 0)); }, 0.0},
      {"with the application in the background", [](Scene&) { testenv::AppControls::background(); }, 0.0},
  };
  for (const auto& row : rows) {
    Scene scene = makeScene();
    row.change(scene);
    auto monitor = ZUMViewMonitor::create(scene.view);
    monitor->sample();
    const Rect visible = monitor->monitoredViewVisibleBounds();
    const Rect whole = scene.view->convertRectToView(scene.view->bounds(), nullptr);
    const double fraction = area(whole) > 0 ? area(visible) / area(whole) : 0.0;
    EXPECT_DOUBLE_EQ(fraction, row.fraction) << row.name;
    EXPECT_EQ(monitor->monitoredViewVisible(), row.fraction > 0) << row.name;
    testenv::AppControls::foreground();
  }
}

TEST_F(ZUMVisibilityTest, AReleasedViewSamplesAsZeroAndStopsTheSchedule) {
  Scene scene = makeScene();
  auto monitor = ZUMViewMonitor::create(scene.view);
  auto refreshes = std::make_shared<Refreshes>();
  monitor->setDelegate(refreshes);
  monitor->startMonitoringWithSamplingInterval(0.5);
  env.advance(0.5);
  EXPECT_TRUE(monitor->monitoredViewVisible());
  scene.view->removeFromSuperview();
  scene.view.reset();
  env.advance(0.5);
  EXPECT_EQ(monitor->monitoredViewVisibleBounds(), Rect::zero());
  EXPECT_FALSE(monitor->isMonitoring());
  EXPECT_EQ(refreshes->count, 2);
  EXPECT_FALSE(ZUMViewMonitor::create(nullptr));
}

TEST_F(ZUMVisibilityTest, SamplingIntervalsNeverSpin) {
  const struct {
    double interval;
    int refreshes;  // in 0.95 s
  } rows[] = {
      {0.4, 2}, {0, 9}, {-1, 9}, {std::nan(""), 9}, {std::numeric_limits<double>::infinity(), 0},
  };
  for (const auto& row : rows) {
    Scene scene = makeScene();
    auto monitor = ZUMViewMonitor::create(scene.view);
    auto refreshes = std::make_shared<Refreshes>();
    monitor->setDelegate(refreshes);
    monitor->startMonitoringWithSamplingInterval(row.interval);
    monitor->startMonitoringWithSamplingInterval(0.1);  // a second start keeps the first schedule
    env.advance(0.95);
    EXPECT_EQ(refreshes->count, row.refreshes) << row.interval;
    monitor->stopMonitoring();
    env.advance(1.0);
    EXPECT_EQ(refreshes->count, row.refreshes) << row.interval;
  }
}

TEST_F(ZUMVisibilityTest, ImpressionsCountAtOnceOrOnFirstSightOnce) {
  const struct {
    std::int64_t definition;
    bool visibleAtStart;
    int atStart;
    int afterShown;
  } rows[] = {
      {0, false, 1, 1}, {1, true, 1, 1}, {1, false, 0, 1}, {2, true, 0, 0}, {-1, true, 0, 0},
  };
  for (const auto& row : rows) {
    Scene scene = makeScene();
    scene.view->setHidden(!row.visibleAtStart);
    auto refreshes = std::make_shared<Refreshes>();
    auto monitor = ZUMImpressionMonitor::create(scene.view, row.definition);
    monitor->setDelegate(refreshes);
    monitor->startMonitoring();
    EXPECT_EQ(refreshes->impressions, row.atStart) << row.definition << row.visibleAtStart;
    if (row.definition == 1 && row.visibleAtStart) {
      EXPECT_FALSE(monitor->viewMonitor()->isMonitoring());
    }
    env.advance(1.0);
    scene.view->setHidden(false);
    env.advance(0.4);
    env.advance(2.0);
    EXPECT_EQ(refreshes->impressions, row.afterShown) << row.definition << row.visibleAtStart;
    if (row.afterShown && monitor->viewMonitor()) {  // done: the view is no longer sampled for it
      EXPECT_FALSE(monitor->viewMonitor()->isMonitoring());
      EXPECT_FALSE(monitor->viewMonitor()->delegate());
    }
  }
}

TEST_F(ZUMVisibilityTest, TheActiveViewReportHasItsKeysInOrder) {
  Scene scene = makeScene();
  auto monitor = ZUMActiveViewMonitor::create(scene.view, "banner_mb", Json{{"cfg", 1}});
  monitor->sample();
  const Json report = monitor->activeViewStateWithID(7, true, false);
  ASSERT_EQ(report.size(), 1u);
  const Json& unit = report.at("units").at(0);
  std::vector<std::string> keys;
  for (const auto& item : unit.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"adBox", "globalVisibleBox", "viewBox", "screenDimension",
                                            "screenOrientation", "ad_type_mraid", "isSubViewOfVisibleWindow",
                                            "isVisible", "qyraVersion", "adFormat", "activeViewJSON", "timestamp",
                                            "hashCode", "appMuted", "appVolume", "deviceVolume"}));
  const Json box = {{"top", 100.0}, {"bottom", 150.0}, {"left", 10.0}, {"right", 110.0}};
  EXPECT_EQ(unit["adBox"], box);
  EXPECT_EQ(unit["globalVisibleBox"], box);
  EXPECT_EQ(unit["viewBox"], (Json{{"top", 0.0}, {"bottom", 667.0}, {"left", 0.0}, {"right", 375.0}}));
  EXPECT_EQ(unit["screenDimension"], (Json{{"top", 20.0}, {"bottom", 667.0}, {"left", 0.0}, {"right", 375.0}}));
  EXPECT_EQ(unit["screenOrientation"], 1);
  EXPECT_EQ(unit["ad_type_mraid"], "1");
  EXPECT_EQ(unit["isSubViewOfVisibleWindow"], "1");
  EXPECT_EQ(unit["isVisible"], "1");
  EXPECT_EQ(unit["qyraVersion"], ZUMRequest::sdkVersion());
  EXPECT_EQ(unit["adFormat"], "banner_mb");
  EXPECT_EQ(unit["activeViewJSON"], (Json{{"cfg", 1}}));
  EXPECT_EQ(unit["timestamp"], ZUMMonotonicTimeInMilliseconds());
  EXPECT_EQ(unit["hashCode"], 7);
  EXPECT_TRUE(unit["appMuted"].is_boolean());
  // The device's volume is read afresh for each report.
  platform::AudioSession::shared().setOutputVolume(0.25f);
  EXPECT_EQ(monitor->activeViewStateWithID(7, true, false)["units"][0]["deviceVolume"], 0.25f);

  scene.view->setHidden(true);
  monitor->sample();
  testenv::AppControls::background();
  const Json away = monitor->activeViewStateWithID(8, false, true).at("units").at(0);
  testenv::AppControls::foreground();
  EXPECT_EQ(away["globalVisibleBox"], (Json{{"top", 0.0}, {"bottom", 0.0}, {"left", 0.0}, {"right", 0.0}}));
  EXPECT_EQ(away["isVisible"], "0");
  EXPECT_EQ(away["isSubViewOfVisibleWindow"], "0");
  EXPECT_EQ(away["ad_type_mraid"], "0");
  EXPECT_EQ(away["doneReasonCode"], "u");

  const Json bare =
      ZUMActiveViewMonitor::create(scene.view, std::nullopt, std::nullopt)->activeViewStateWithID(1, false, false);
  EXPECT_FALSE(bare["units"][0].contains("adFormat"));
  EXPECT_FALSE(bare["units"][0].contains("activeViewJSON"));
  EXPECT_FALSE(bare["units"][0].contains("doneReasonCode"));
}

// --- A slot's active view ---------------------------------------------------------------------

// A lent SDK-core page that records what it is given.
using activeviewtest::LendingController;

class ZUMSlotActiveViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMSDKCoreController::setSharedInstance(controller);
    window = platform::Window::create(Rect(0, 0, 375, 667));
    window->makeKeyAndVisible();
    slot = ZUMSlot::create({0, 0, 320, 50});
    adView = std::dynamic_pointer_cast<ZUMAdView>(slot->adView());
    adView->loadHTMLString(platform::webtest::readPage("active_view.html"),
                           platform::URL::fromString("https://ads.example.com/a"));
    ASSERT_TRUE(env.runUntil([&] { return !adView->isLoading(); }));
    window->addSubview(adView);
    slot->setAd(ZUMAd::create());
    slot->setViewHasMadeImpression(true);
  }
  void TearDown() override {
    ZUMSlotRendering::setShared(nullptr);
    ZUMSDKCoreController::setSharedInstance(nullptr);
  }
  // What the creative's page has received, read back from the page.
  std::string evaluate(const std::string& script) {
    env.runUntilIdle();
    return std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())
        ->engine()
        ->stringByEvaluatingJavaScriptFromString(script);
  }
  int measured() { return std::stoi(evaluate("String(measured.length)")); }
  Json lastUnit() { return Json::parse(evaluate("lastUnit()")); }

  std::shared_ptr<LendingController> controller = std::make_shared<LendingController>();
  std::shared_ptr<platform::Window> window;
  std::shared_ptr<ZUMSlot> slot;
  std::shared_ptr<ZUMAdView> adView;
};

TEST_F(ZUMSlotActiveViewTest, TheCreativesPageIsMeasuredAtTheIntervalUntilInvalidation) {
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  EXPECT_FALSE(activeView->activeViewMonitor());  // no configuration, not MRAID: waits for the page
  adView->activeViewReporter().start();
  EXPECT_TRUE(adView->activeViewReporter().reporting());
  EXPECT_EQ(activeView->measurementReceivers(), ZUMSlotActiveView::kCreativeReceiver);
  EXPECT_EQ(measured(), 1);  // the first sample at once
  const Json unit = lastUnit();
  EXPECT_EQ(unit["isVisible"], "1");
  EXPECT_EQ(unit["adFormat"], "interstitial_mb");
  EXPECT_EQ(unit["hashCode"], activeView->activeViewID());
  EXPECT_FALSE(unit.contains("doneReasonCode"));
  env.advance(0.45);
  EXPECT_EQ(measured(), 1);
  env.advance(0.1);
  EXPECT_EQ(measured(), 2);
  env.advance(1.0);
  EXPECT_EQ(measured(), 4);

  testenv::AppControls::background();
  EXPECT_EQ(lastUnit()["isVisible"], "0");
  testenv::AppControls::foreground();

  EXPECT_TRUE(controller->page->commands.empty());  // the SDK-core page is no receiver
  EXPECT_EQ(controller->lent, 1);
  const int before = measured();
  slot->invalidate();
  EXPECT_EQ(measured(), before + 1);
  EXPECT_EQ(lastUnit()["doneReasonCode"], "u");
  EXPECT_EQ(controller->returned, 1);
  env.advance(2.0);
  EXPECT_EQ(measured(), before + 1);
}

TEST_F(ZUMSlotActiveViewTest, BothReceiversAndTheirStops) {
  auto ad = ZUMAd::create();
  ad->setActiveViewConfigurations(Json{{"cfg", "x"}});
  slot->setAd(ad);
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  activeView->startActiveViewReportingIfEnabled();
  EXPECT_EQ(activeView->measurementReceivers(), ZUMSlotActiveView::kSDKCoreReceiver);
  adView->activeViewReporter().start();
  EXPECT_EQ(activeView->measurementReceivers(), 3u);
  env.advance(0.5);
  EXPECT_EQ(controller->page->log.front(), "observe " + std::to_string(activeView->activeViewID()));
  EXPECT_EQ(controller->page->commands.size(), 3u);
  EXPECT_EQ(controller->page->commands.back().rfind("QYRA_updateActiveView({\n", 0), 0u);  // pretty JSON
  EXPECT_EQ(measured(), 2);  // the creative's page joined after the first sample
  EXPECT_EQ(lastUnit()["activeViewJSON"], (Json{{"cfg", "x"}}));

  adView->activeViewReporter().stop();
  env.advance(0.5);
  EXPECT_EQ(controller->page->commands.size(), 4u);
  EXPECT_EQ(measured(), 2);
  EXPECT_EQ(controller->returned, 0);

  activeView->activeViewMonitoringDidStop(ZUMSlotActiveView::kSDKCoreReceiver);
  EXPECT_EQ(controller->returned, 1);
  EXPECT_EQ(controller->page->log.back(), "remove " + std::to_string(activeView->activeViewID()));
  EXPECT_FALSE(activeView->activeViewMonitor());
  activeView->finishActiveViewReporting();
  EXPECT_EQ(controller->returned, 1);  // given back exactly once
  EXPECT_FALSE(activeView->activeViewMonitoringStarted(3));
}

TEST_F(ZUMSlotActiveViewTest, OwnerSignalsDriveTheSchedule) {
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  adView->removeFromSuperview();
  adView->activeViewReporter().start();
  EXPECT_EQ(measured(), 1);  // out of any window: one sample, no schedule
  env.advance(1.0);
  EXPECT_EQ(measured(), 1);
  activeView->interstitialViewWillAppear();
  env.advance(0.5);
  EXPECT_EQ(measured(), 2);
  activeView->interstitialViewWillDisappear();  // a last sample, then none
  EXPECT_EQ(measured(), 3);
  env.advance(1.0);
  EXPECT_EQ(measured(), 3);
  activeView->ownerViewDidMoveToWindow(window);
  env.advance(0.5);
  EXPECT_EQ(measured(), 4);
  int left = 0;
  auto& center = platform::NotificationCenter::defaultCenter();
  const auto token = center.addObserver(kZUMSlotDidLeaveWindowNotification, slot, nullptr,
                                        [&left](const platform::Notification&) { ++left; });
  activeView->ownerViewDidMoveToWindow(nullptr);
  center.removeObserver(token);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(measured(), 5);
  env.advance(1.0);
  EXPECT_EQ(measured(), 5);
}

TEST_F(ZUMSlotActiveViewTest, TheCreativesVisibilityReachesTheAdViewAndItsMRAIDPage) {
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  auto engine = std::dynamic_pointer_cast<ZUMUIKitWebView>(adView->webView())->engine();
  activeView->activeViewVisibilityChanged(true);
  EXPECT_TRUE(adView->visible());
  EXPECT_FALSE(slot->monitoredViewVisible());  // kept for MRAID ads only
  slot->ad()->setMRAIDEventHandler(ZUMSlotEventHandler::forSlot(*slot));
  const auto before = engine->evaluatedScripts().size();
  activeView->activeViewVisibilityChanged(true);
  EXPECT_TRUE(slot->monitoredViewVisible());
  env.runUntilIdle();
  ASSERT_GT(engine->evaluatedScripts().size(), before);
  EXPECT_NE(engine->evaluatedScripts().back().find("onAdVisibilityChanged"), std::string::npos);
}

TEST_F(ZUMSlotActiveViewTest, ABannersImpressionCountsOnFirstSightOnce) {
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  slot->setViewHasMadeImpression(false);
  slot->ad()->setImpressionDefinition(1);
  adView->setHidden(true);
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  activeView->startImpressionMonitoring();
  auto first = slot->impressionMonitor();
  ASSERT_TRUE(first);
  activeView->startImpressionMonitoring();  // a new start replaces the monitor
  EXPECT_NE(slot->impressionMonitor(), first);
  EXPECT_FALSE(first->delegate());
  env.advance(1.0);
  EXPECT_FALSE(slot->viewHasMadeImpression());
  adView->setHidden(false);
  env.advance(0.5);
  EXPECT_TRUE(slot->viewHasMadeImpression());
  EXPECT_FALSE(slot->impressionMonitor());
  // Without an ad the impression counts at once (definition 0), even unseen.
  slot->setAd(nullptr);
  slot->setViewHasMadeImpression(false);
  adView->setHidden(true);
  activeView->startImpressionMonitoring();
  EXPECT_TRUE(slot->viewHasMadeImpression());
  // An interstitial's impression is counted when it is shown, not by a monitor.
  slot->setViewHasMadeImpression(false);
  slot->setAdType(ZUMAdType::createForInterstitial(), false);
  activeView->startImpressionMonitoring();
  EXPECT_FALSE(slot->impressionMonitor());
  EXPECT_FALSE(slot->viewHasMadeImpression());
}

TEST_F(ZUMSlotActiveViewTest, MediatedAdsAndAdsWithoutImpressionNeverReport) {
  auto ad = ZUMAd::create();
  ad->setActiveViewConfigurations(Json{{"cfg", "x"}});
  ad->setResponseType(2);
  slot->setAd(ad);
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  EXPECT_FALSE(activeView->canEnableActiveViewMonitoring());
  adView->activeViewReporter().start();
  EXPECT_FALSE(activeView->activeViewMonitor());
  ad->setResponseType(1);
  slot->setViewHasMadeImpression(false);
  EXPECT_FALSE(activeView->canEnableActiveViewMonitoring());
  slot->setViewHasMadeImpression(true);
  EXPECT_TRUE(activeView->canEnableActiveViewMonitoring());
  EXPECT_EQ(measured(), 0);
  EXPECT_EQ(ZUMSlotActiveView::activeViewJSCommandWithParams(std::nullopt), std::nullopt);
  EXPECT_EQ(ZUMSlotActiveView::activeViewJSCommandWithParams(Json{{"a", "\xff"}}), std::nullopt);
}

}  // namespace
