// The SDK-core controller's lending of pages for active-view measurement, its sampling
// interval and experiment, and a slot's measurements as the lent SDK-core page receives
// them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/base/UserDefaults.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Window.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSIConfiguration.h"
#include "sdk/rendering/ZUMActiveViewTOLMHandler.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMCSITOLMHandler.h"
#include "sdk/rendering/ZUMNotification.h"
#include "sdk/rendering/ZUMSlotActiveView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCorePageController.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct Observer : ZUMAdViewActiveViewMonitoring {
  void activeViewVisibilityChanged(bool visible) override { log.push_back(visible ? "visible" : "hidden"); }
  bool activeViewMonitoringStarted(std::uint64_t) override { return true; }
  void activeViewMonitoringDidStop(std::uint64_t receiver) override {
    log.push_back("stopped " + std::to_string(receiver));
  }
  std::vector<std::string> log;
};

class ZUMSDKCoreActiveViewTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    env.runUntilIdle();
    controller = ZUMSDKCorePageController::create();
    ZUMSDKCoreController::setSharedInstance(controller);
  }
  void TearDown() override { ZUMSDKCoreController::setSharedInstance(nullptr); }
  std::shared_ptr<ZUMSDKCoreWebView> lend() {
    return std::dynamic_pointer_cast<ZUMSDKCoreWebView>(controller->SDKCoreWebViewForActiveViewProcessing());
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<ZUMSDKCorePageController> controller;
};

TEST_F(ZUMSDKCoreActiveViewTest, SharedPagesAreLentUntilThePageAsksForAReload) {
  auto first = lend();
  ASSERT_TRUE(first);
  EXPECT_EQ(lend(), first);
  EXPECT_NE(first, controller->activeSDKCoreWebView());  // requests never go to lent pages
  controller->SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(
      *controller->activeSDKCoreWebView()->SDKCoreTOLMHandler());
  auto second = lend();
  EXPECT_NE(second, first);
  EXPECT_EQ(lend(), second);
  ASSERT_TRUE(env.runUntil([&] { return second->state() == ZUMSDKCoreWebView::kLoaded; }));

  controller->setUseNewWebViewsForActiveViewProcessing(true);
  auto fresh = lend();
  EXPECT_NE(fresh, second);
  EXPECT_NE(lend(), fresh);
  env.runUntilIdle();
  EXPECT_NE(fresh->state(), ZUMSDKCoreWebView::kNeverLoaded);  // each fresh page is loading
}

TEST_F(ZUMSDKCoreActiveViewTest, RunningPagesGivenBackAreKeptUpToTheCap) {
  controller->setUseNewWebViewsForActiveViewProcessing(true);
  auto observer = std::make_shared<Observer>();
  std::vector<std::shared_ptr<ZUMSDKCoreWebView>> pages;
  for (std::uint64_t id = 1; id <= 4; ++id) {
    pages.push_back(lend());
    pages.back()->setActiveViewObserver(observer, id);
    env.runUntilIdle();
    controller->finishedUsingSDKCoreWebViewForActiveViewProcessing(pages.back());
  }
  env.runUntilIdle();
  EXPECT_EQ(controller->activeViewSDKCoreWebViews(), (std::vector{pages[1], pages[2], pages[3]}));
  EXPECT_FALSE(pages[0]->isActiveViewRunning());
  EXPECT_EQ(observer->log, std::vector<std::string>{"stopped 1"});

  auto ended = lend();
  controller->finishedUsingSDKCoreWebViewForActiveViewProcessing(ended);  // nothing runs in it
  env.runUntilIdle();
  EXPECT_EQ(controller->activeViewSDKCoreWebViews().size(), 3u);

  // The page untracks its unit: that page is done and goes at the next clean-up.
  pages[2]->activeViewDidReceiveUntrackNotification(3);
  controller->removeFinishedActiveViewWebViews();
  EXPECT_EQ(controller->activeViewSDKCoreWebViews(), (std::vector{pages[1], pages[3]}));
  controller->setActiveViewUnloadCacheMaxSize(1);
  controller->setActiveViewUnloadCacheMaxSize(0);  // refused
  controller->removeFinishedActiveViewWebViews();
  EXPECT_EQ(controller->activeViewSDKCoreWebViews(), (std::vector{pages[3]}));
}

TEST_F(ZUMSDKCoreActiveViewTest, SamplingIntervalsFromConstantsNeverSpin) {
  EXPECT_DOUBLE_EQ(controller->activeViewSamplingInterval(), kZUMDefaultActiveViewSamplingInterval);
  const struct {
    const char* value;
    double interval;
  } rows[] = {{"0.25", 0.25}, {"0", 0.25}, {"-3", 0.25}, {"nan", 0.25}, {"abc", 0.25}, {"2", 2.0}};
  for (const auto& row : rows) {
    const Json intervals = {{"active_view_sampling_interval", row.value}};
    controller->SDKCoreTOLMHandlerDidLoadSDKConstants(*controller->activeSDKCoreWebView()->SDKCoreTOLMHandler(),
                                                      Json{{"refresh_intervals", intervals.dump()}});
    env.runUntilIdle();
    EXPECT_DOUBLE_EQ(controller->activeViewSamplingInterval(), row.interval) << row.value;
  }
  controller->setActiveViewSamplingInterval(0);
  controller->setActiveViewSamplingInterval(std::nan(""));
  EXPECT_DOUBLE_EQ(controller->activeViewSamplingInterval(), 2.0);
}

TEST_F(ZUMSDKCoreActiveViewTest, AFullFractionAlwaysJoinsTheWebViewExperiment) {
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_TRUE(defaults.setObject("1.0", "/vantor/ads/zums:sdk_core_wv_experiment:fraction"));
  EXPECT_TRUE(defaults.setObject("exp-1", "/vantor/ads/zums:sdk_core_wv_experiment:experiment"));
  EXPECT_TRUE(defaults.setObject("ctl-1", "/vantor/ads/zums:sdk_core_wv_experiment:control"));
  for (int draw = 0; draw < 8; ++draw) {
    auto joined = ZUMSDKCorePageController::create();
    const auto id = joined->SDKCoreWebViewExperimentID();
    ASSERT_TRUE(id);
    EXPECT_EQ(joined->webViewConfiguration().webViewClassKey(), *id == "exp-1" ? "wk" : "ui") << *id;
    EXPECT_TRUE(*id == "exp-1" || *id == "ctl-1") << *id;
  }
  EXPECT_TRUE(defaults.setObject("0", "/vantor/ads/zums:sdk_core_wv_experiment:fraction"));
  int joined = 0;
  for (int draw = 0; draw < 20; ++draw)
    joined += ZUMSDKCorePageController::create()->SDKCoreWebViewExperimentID() ? 1 : 0;
  EXPECT_LE(joined, 1);  // only the draw 0
}

TEST_F(ZUMSDKCoreActiveViewTest, ThePagesActiveViewMessagesReachTheirObservers) {
  auto page = lend();
  auto observer = std::make_shared<Observer>();
  page->setActiveViewObserver(observer, 5);
  env.runUntilIdle();
  auto handler = page->activeViewTOLMHandler();
  ASSERT_TRUE(handler);
  auto message = [](const char* text) {
    return ZUMNotification::createWithNotificationURL(*platform::URL::fromString(std::string("tolm://page/") + text));
  };
  EXPECT_TRUE(handler->handleNotification(message("visibilityChanged?hashCode=5&isVisible=1"), page->adView()));
  EXPECT_TRUE(handler->handleNotification(message("visibilityChanged?hashCode=6&isVisible=1"), page->adView()));
  EXPECT_TRUE(handler->handleNotification(message("untrackActiveViewUnit?hashCode=5"), page->adView()));
  env.runUntilIdle();
  EXPECT_EQ(observer->log, (std::vector<std::string>{"visible", "stopped 1"}));
  EXPECT_FALSE(page->isActiveViewRunning());
}

TEST_F(ZUMSDKCoreActiveViewTest, TheLentSDKCorePageReceivesASlotsMeasurements) {
  hosts.servePage(sdkcoretest::pageWith("var measured = []; function QYRA_updateActiveView(s) { measured.push(s); }"));
  ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
  auto window = platform::Window::create(platform::Rect(0, 0, 375, 667));
  window->makeKeyAndVisible();
  auto slot = ZUMSlot::create({0, 0, 320, 50});
  window->addSubview(slot->adView());
  auto ad = ZUMAd::create();
  ad->setActiveViewConfigurations(Json{{"unit", "u-1"}});
  slot->setAd(ad);
  slot->setViewHasMadeImpression(true);
  auto activeView = ZUMSlotActiveView::forSlot(*slot);
  activeView->startActiveViewReportingIfEnabled();
  auto page = std::dynamic_pointer_cast<ZUMSDKCoreWebView>(activeView->SDKCoreWebView());
  ASSERT_TRUE(page);
  ASSERT_TRUE(env.runUntil([&] { return page->state() == ZUMSDKCoreWebView::kLoaded; }));
  env.runUntilIdle();
  EXPECT_EQ(sdkcoretest::evaluate(*page, "String(measured.length)"), "1");
  env.advance(0.4);
  EXPECT_EQ(sdkcoretest::evaluate(*page, "String(measured.length)"), "2");
  const Json unit = Json::parse(sdkcoretest::evaluate(*page, "JSON.stringify(measured[1].units[0])"));
  EXPECT_EQ(unit["activeViewJSON"], (Json{{"unit", "u-1"}}));
  EXPECT_EQ(unit["hashCode"], activeView->activeViewID());
  EXPECT_EQ(unit["isVisible"], "1");
  // The page runs its measurement, so the page given back at invalidation is kept.
  slot->invalidate();
  env.runUntilIdle();
  EXPECT_EQ(sdkcoretest::evaluate(*page, "measured[2].units[0].doneReasonCode"), "u");
  EXPECT_EQ(controller->activeViewSDKCoreWebViews(), std::vector{page});
  ZUMSlotRendering::setShared(nullptr);
}

TEST_F(ZUMSDKCoreActiveViewTest, ScriptCallsWaitForThePageAndKeepTheirOrder) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(Json{{"version", 2}}, kZUMSDKCoreStateKey));
  controller->postJavaScriptNotification("first", std::nullopt);
  controller->executeExportedJavaScriptCommand("QYRA_Echo", Json{{"n", 1}}, {});
  controller->postJavaScriptNotification("second", Json{{"n", 2}});
  auto page = controller->activeSDKCoreWebView();
  // The index of the first script the page ran that begins with `start` (-1: none).
  auto position = [&](const std::string& start) {
    const auto& scripts = sdkcoretest::evaluatedScripts(*page);
    for (std::size_t at = 0; at < scripts.size(); ++at) {
      if (scripts[at].rfind(start, 0) == 0) return static_cast<int>(at);
    }
    return -1;
  };
  ASSERT_TRUE(env.runUntil([&] { return position("QYRA_ReceiveMessage('second'") >= 0; }));
  const int state = position("QYRA_reloadSavedState(");
  EXPECT_GE(state, 0);
  EXPECT_LT(state, position("QYRA_getSdkConstants("));
  EXPECT_LT(position("QYRA_getSdkConstants("), position("QYRA_ReceiveMessage('first');"));
  EXPECT_LT(position("QYRA_ReceiveMessage('first');"), position("QYRA_Echo({\"args\":{\"n\":1}})"));
  EXPECT_LT(position("QYRA_Echo("), position("QYRA_ReceiveMessage('second', {\"n\":2});"));
  EXPECT_NE(sdkcoretest::evaluatedScripts(*page)[static_cast<std::size_t>(state)].find("\"is_refresh\":0"),
            std::string::npos);
}

TEST_F(ZUMSDKCoreActiveViewTest, ThePagesTimingMessagesWriteToItsOwnRegistry) {
  EXPECT_TRUE(platform::UserDefaults::standard().setObject("1", kZUMCSIReportingProbabilityKey));
  ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::CSI, [](ZUMAdViewDelegate&) -> std::shared_ptr<ZUMTOLMHandler> {
    return ZUMCSITOLMHandler::create();
  });
  auto page = ZUMSDKCoreWebView::create();
  auto delegate = std::dynamic_pointer_cast<ZUMAdViewDelegate>(page->adViewDelegate());
  ASSERT_TRUE(delegate);
  ASSERT_EQ(delegate->TOLMHandlers().size(), 1u);
  auto tick = ZUMNotification::createWithNotificationURL(
      *platform::URL::fromString("tolm://page/instrument?action=tick&label=page_tick&timestamp=42"));
  EXPECT_TRUE(delegate->TOLMHandlers()[0]->handleNotification(tick, page->adView()));
  EXPECT_EQ(page->CSI()->timestampForLabel("page_tick"), 42);
  ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::CSI, {});
}

}  // namespace
