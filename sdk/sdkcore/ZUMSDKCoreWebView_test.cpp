#include "sdk/sdkcore/ZUMSDKCoreWebView.h"

#include <gtest/gtest.h>

#include "platform/base/NotificationCenter.h"
#include "platform/base/URL.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLRequest.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMAdViewActiveViewMonitoring.h"
#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandlerDelegate.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct Observer : ZUMSDKCoreWebViewNotification {
  void didFinishLoadingSDKCoreInSDKCoreWebView(ZUMSDKCoreWebView& webView) override {
    states.push_back(webView.state());
  }
  std::vector<std::int64_t> states;
};

struct Reloads : ZUMSDKCoreTOLMHandlerDelegate {
  void SDKCoreTOLMHandlerLoadAdURLWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string&, const Json&) override {}
  void SDKCoreTOLMHandlerLoadAdWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string&, const Json&) override {}
  void SDKCoreTOLMHandlerDidReceiveInvalidAdWithRequestID(ZUMSDKCoreTOLMHandler&, const std::optional<std::string>&,
                                                          const Json&) override {}
  void SDKCoreTOLMHandlerDidLoadSDKConstants(ZUMSDKCoreTOLMHandler&, const Json&) override {}
  void SDKCoreTOLMHandlerDidReceiveSDKCoreUpdateNotification(ZUMSDKCoreTOLMHandler&) override { ++count; }
  void SDKCoreTOLMHandlerDidReceiveResultActionWithRequestID(ZUMSDKCoreTOLMHandler&, const std::string&,
                                                             const Json&) override {}
  void SDKCoreTOLMHandlerDidReceivePauseSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) override {}
  void SDKCoreTOLMHandlerDidReceiveResumeSDKCoreRefreshAction(ZUMSDKCoreTOLMHandler&) override {}
  int count = 0;
};

class ZUMSDKCoreWebViewTest : public testenv::PlatformTest {
 protected:
  bool navigate(const std::string& url) {
    const bool allowed = *webView->adViewShouldStartLoadWithRequest(
        *webView->adView(), platform::URLRequest(*platform::URL::fromString(url)),
        platform::WebViewNavigationType::Other);
    env.runUntilIdle();
    return allowed;
  }
  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<ZUMSDKCoreWebView> webView = ZUMSDKCoreWebView::create();
};

TEST_F(ZUMSDKCoreWebViewTest, TheQueueKeepsTheNewestFiftyAndRunsThemInOrderOnceLoaded) {
  // The page's answer waits until the queue has been checked, however quick the load.
  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  for (int i = 1; i <= 51; ++i) {
    webView->enqueueJavaScriptCommand("seen = (typeof seen === 'undefined' ? '' : seen) + '" + std::to_string(i) +
                                      ",';");
  }
  auto first = std::make_shared<Observer>();
  auto second = std::make_shared<Observer>();
  webView->refreshSDKCoreAndNotifyObserver(first);
  webView->refreshSDKCoreAndNotifyObserver(second);  // no second load
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount(sdkcoretest::kPagePath) == 1; }));
  env.runUntilIdle();
  EXPECT_EQ(webView->pendingJavaScriptCommandCount(), 50u);
  EXPECT_TRUE(first->states.empty() && second->states.empty());
  hosts.server.release(sdkcoretest::kPagePath);
  ASSERT_TRUE(env.runUntil([&] { return !second->states.empty(); }));
  env.runUntilIdle();
  EXPECT_EQ(hosts.pageLoads(), 1u);
  EXPECT_EQ(first->states, std::vector<std::int64_t>{ZUMSDKCoreWebView::kLoaded});
  EXPECT_EQ(second->states, std::vector<std::int64_t>{ZUMSDKCoreWebView::kLoaded});
  std::string expected;
  for (int i = 2; i <= 51; ++i) expected += std::to_string(i) + ",";
  EXPECT_EQ(sdkcoretest::evaluate(*webView, "seen"), expected);
  EXPECT_TRUE(webView->hasSDKCoreLoadedAtLeastOnce());

  // An observer added to a loaded page hears at once.
  auto late = std::make_shared<Observer>();
  webView->addObserverForOneTimeNotification(late);
  env.runUntilIdle();
  EXPECT_EQ(late->states.size(), 1u);
}

TEST_F(ZUMSDKCoreWebViewTest, APageThatNeverLoadsFailsAfterTheTimeOutAndDropsLaterCommands) {
  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  auto observer = std::make_shared<Observer>();
  webView->refreshSDKCoreAndNotifyObserver(observer);
  ASSERT_TRUE(env.runUntil([&] { return webView->state() == ZUMSDKCoreWebView::kLoading; }));
  env.advance(kZUMSDKCorePageLoadTimeout - 0.1);
  EXPECT_TRUE(observer->states.empty());
  env.advance(0.2);
  EXPECT_EQ(observer->states, std::vector<std::int64_t>{ZUMSDKCoreWebView::kFailed});
  EXPECT_FALSE(webView->hasSDKCoreLoadedAtLeastOnce());
  webView->enqueueJavaScriptCommand("dropped = 1;");
  env.runUntilIdle();
  EXPECT_EQ(webView->pendingJavaScriptCommandCount(), 0u);
  hosts.server.release(sdkcoretest::kPagePath);
}

TEST_F(ZUMSDKCoreWebViewTest, NavigationPolicyByState) {
  auto reloads = std::make_shared<Reloads>();
  webView->SDKCoreTOLMHandler()->setDelegate(reloads);
  const std::string message = "tolm://sdkcore/requestReload";
  struct Row {
    std::int64_t state;
    std::string url;
    bool allowed;
    std::int64_t stateAfter;
    int reloads;
  };
  const std::vector<Row> rows = {
      {ZUMSDKCoreWebView::kNeverLoaded, ZUMSDKCorePageURLString, true, ZUMSDKCoreWebView::kLoading, 0},
      {ZUMSDKCoreWebView::kLoading, message, false, ZUMSDKCoreWebView::kLoading, 0},  // lost while loading
      {ZUMSDKCoreWebView::kLoading, ZUMSDKCorePageURLString, false, ZUMSDKCoreWebView::kLoading, 0},
      {ZUMSDKCoreWebView::kLoadRequested, message, false, ZUMSDKCoreWebView::kLoadRequested, 0},
      {ZUMSDKCoreWebView::kLoaded, message, false, ZUMSDKCoreWebView::kLoaded, 1},
      {ZUMSDKCoreWebView::kLoaded, "TOLM://x/requestReload", false, ZUMSDKCoreWebView::kLoaded, 1},
      {ZUMSDKCoreWebView::kLoaded, "tolm://sdkcore/noSuchMessage", false, ZUMSDKCoreWebView::kLoaded, 0},
      {ZUMSDKCoreWebView::kLoaded, "https://elsewhere.example/", false, ZUMSDKCoreWebView::kLoaded, 0},
      {ZUMSDKCoreWebView::kFailed, ZUMSDKCorePageURLString, true, ZUMSDKCoreWebView::kLoading, 0},
  };
  for (const auto& row : rows) {
    reloads->count = 0;
    webView->setState(row.state);
    EXPECT_EQ(navigate(row.url), row.allowed) << row.state << " " << row.url;
    EXPECT_EQ(webView->state(), row.stateAfter) << row.state << " " << row.url;
    EXPECT_EQ(reloads->count, row.reloads) << row.state << " " << row.url;
  }
}

// A handler that claims `name` and answers the page with `answer` (the message's "x").
struct Answering : ZUMTOLMHandler {
  Answering(std::string name, std::string answer) {
    table[std::move(name)] = [answer = std::move(answer)](ZUMTOLMHandler&, ZUMAdView& adView, const Json& p) {
      adView.executeJavaScriptAsynchronouslyFromString(answer + " = '" + p.value("x", "") + "';");
    };
  }
  const ActionTable* actionBlockDictionary() const override { return &table; }
  ActionTable table;
};

// Messages the SDK-core handler does not claim go to the active-view handler, then to
// the plain ad-view delegate's chain; what nothing claims becomes a notification.
TEST_F(ZUMSDKCoreWebViewTest, UnclaimedPageMessagesReachTheActiveViewHandlerThenThePlainDelegate) {
  ZUMRegisterTOLMHandlerMaker(ZUMTOLMHandlerPlace::Analytics,
                              [](ZUMAdViewDelegate&) { return std::make_shared<Answering>("probe", "chained"); });
  webView = ZUMSDKCoreWebView::create();  // its plain delegate takes the registered handler
  webView->setActiveViewTOLMHandler(std::make_shared<Answering>("trackActiveViewUnit", "tracked"));
  std::vector<std::string> posted;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      "unclaimed", webView->adView(), nullptr,
      [&](const platform::Notification& n) { posted.push_back(n.userInfo().value("x", "")); });
  webView->refreshSDKCoreAndNotifyObserver(nullptr);
  ASSERT_TRUE(env.runUntil([&] { return webView->state() == ZUMSDKCoreWebView::kLoaded; }));
  sdkcoretest::evaluate(*webView,
                        "send('trackActiveViewUnit', {x: 'a'}); send('probe', {x: 'b'});"
                        "send('unclaimed', {x: 'c'}); arrived = 1;");
  ASSERT_TRUE(env.runUntil([&] { return !posted.empty(); }));
  env.runUntilIdle();
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(sdkcoretest::evaluate(*webView, "tracked + ' ' + chained + ' ' + arrived"), "a b 1");
  EXPECT_EQ(posted, std::vector<std::string>{"c"});

  // Without a plain delegate such messages are refused and go nowhere.
  webView->setAdViewDelegate(nullptr);
  EXPECT_FALSE(navigate("tolm://sdkcore/probe?x=d"));
  EXPECT_FALSE(navigate("tolm://sdkcore/trackActiveViewUnit?x=e"));
  EXPECT_EQ(sdkcoretest::evaluate(*webView, "tracked + ' ' + chained"), "e b");
}

// The plain delegate hears every finished and failed load; a failure wakes the waiting
// observers unless a load is under way.
TEST_F(ZUMSDKCoreWebViewTest, LoadsAndFailuresOfSubResourcesReachThePlainDelegate) {
  struct Recording : ZUMAdViewDelegateProtocol {
    void adViewDidFinishLoad(ZUMAdView&) override { log.push_back("finish"); }
    void adViewDidFailLoadWithError(ZUMAdView&, const platform::ErrorPtr& error) override {
      log.push_back("fail " + error->userInfoString(platform::kErrorFailingURLStringKey).value_or("-"));
    }
    std::vector<std::string> log;
  };
  auto recording = std::make_shared<Recording>();
  webView->setAdViewDelegate(recording);
  const std::string script = "https://elsewhere.example/x.js";
  const auto failure = platform::Error::create("test", -1, Json{{platform::kErrorFailingURLStringKey, script}});
  const struct {
    std::int64_t state;
    bool woken;
  } rows[] = {
      {ZUMSDKCoreWebView::kNeverLoaded, true},
      {ZUMSDKCoreWebView::kLoadRequested, false},
      {ZUMSDKCoreWebView::kLoading, false},
      {ZUMSDKCoreWebView::kFailed, true},
  };
  for (const auto& row : rows) {
    webView->setState(row.state);
    auto observer = std::make_shared<Observer>();
    webView->addObserverForOneTimeNotification(observer);
    env.runUntilIdle();
    recording->log.clear();
    webView->adViewDidFailLoadWithError(*webView->adView(), failure);
    env.runUntilIdle();
    EXPECT_EQ(recording->log, std::vector<std::string>{"fail " + script}) << row.state;
    EXPECT_EQ(observer->states.size(), row.woken ? 1u : 0u) << row.state;
    EXPECT_EQ(webView->state(), row.state) << row.state;
    webView->removeObserver(observer);
  }
  webView->adViewDidFinishLoad(*webView->adView());
  EXPECT_EQ(recording->log.back(), "finish");
}

TEST_F(ZUMSDKCoreWebViewTest, OnlyAFailureOfThePageItselfFailsALoadedPage) {
  auto failure = [](std::optional<std::string> url) {
    Json info = Json::object();
    if (url) info[platform::kErrorFailingURLStringKey] = *url;
    return platform::Error::create("test", -1, info);
  };
  webView->setState(ZUMSDKCoreWebView::kLoaded);
  webView->adViewDidFailLoadWithError(*webView->adView(), failure("https://elsewhere.example/x.js"));
  webView->adViewDidFailLoadWithError(*webView->adView(), failure(std::nullopt));
  EXPECT_EQ(webView->state(), ZUMSDKCoreWebView::kLoaded);
  webView->adViewDidFailLoadWithError(*webView->adView(), failure(ZUMSDKCorePageURLString));
  EXPECT_EQ(webView->state(), ZUMSDKCoreWebView::kFailed);
  // While its own load runs, a failure that names no address is the page's.
  webView->setState(ZUMSDKCoreWebView::kLoading);
  webView->adViewDidFailLoadWithError(*webView->adView(), failure(std::nullopt));
  EXPECT_EQ(webView->state(), ZUMSDKCoreWebView::kFailed);
  // A loaded page whose content process ended is gone, whatever address it names.
  webView->setState(ZUMSDKCoreWebView::kLoaded);
  webView->adViewDidFailLoadWithError(*webView->adView(), platform::makeWebContentProcessTerminatedError("crashed"));
  EXPECT_EQ(webView->state(), ZUMSDKCoreWebView::kFailed);
}

// The page's loads are timed in the web view's own CSI registry: a refresh reports the
// earlier load before it starts the next; a failed or timed-out load is not timed; the
// web view's release reports what is left.
TEST_F(ZUMSDKCoreWebViewTest, PageLoadsAreTimedAndReportedAtRefreshAndRelease) {
  hosts.server.route("/csi", {.status = 204});
  platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", hosts.server.port());
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(Json("1"), "/vantor/ads/csi_reporting_probability"));
  auto beacons = [&] { return hosts.server.requests("/csi"); };
  env.advance(1);
  auto timed = ZUMSDKCoreWebView::create();
  auto recorder = timed->CSI()->timeRecorderForAction("load_ad_ios");
  auto observer = std::make_shared<Observer>();
  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  timed->refreshSDKCoreAndNotifyObserver(observer);
  ASSERT_TRUE(env.runUntil([&] { return timed->state() == ZUMSDKCoreWebView::kLoading; }));
  env.advance(0.3);
  hosts.server.release(sdkcoretest::kPagePath);
  ASSERT_TRUE(env.runUntil([&] { return !observer->states.empty(); }));
  EXPECT_EQ(sdkcoretest::timingKeys(recorder->completedVariables()), std::vector<std::string>{"jsf_ios"});

  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  timed->refreshSDKCoreAndNotifyObserver(nullptr);
  ASSERT_TRUE(env.runUntil([&] { return timed->state() == ZUMSDKCoreWebView::kLoading && beacons().size() == 1; }));
  const auto query = beacons()[0].query.value_or("");
  EXPECT_NE(query.find("action=load_ad_ios"), std::string::npos) << query;
  EXPECT_NE(query.find("it=jsf_ios.300"), std::string::npos) << query;
  EXPECT_EQ(sdkcoretest::timingKeys(recorder->ongoingVariables()), std::vector<std::string>{"jsf_ios"});
  const auto failure =
      platform::Error::create("test", -1, Json{{platform::kErrorFailingURLStringKey, ZUMSDKCorePageURLString}});
  timed->adViewDidFailLoadWithError(*timed->adView(), failure);
  EXPECT_TRUE(recorder->ongoingVariables().empty());
  EXPECT_TRUE(recorder->completedVariables().empty());
  hosts.server.release(sdkcoretest::kPagePath);
  ASSERT_TRUE(env.runUntil([&] { return hosts.server.heldCount(sdkcoretest::kPagePath) == 0; }));

  // Nor is a load that times out.
  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  timed->refreshSDKCoreAndNotifyObserver(nullptr);
  ASSERT_TRUE(env.runUntil([&] { return !recorder->ongoingVariables().empty(); }));
  env.advance(kZUMSDKCorePageLoadTimeout + 0.1);
  EXPECT_EQ(timed->state(), ZUMSDKCoreWebView::kFailed);
  EXPECT_TRUE(recorder->ongoingVariables().empty());
  hosts.server.release(sdkcoretest::kPagePath);

  recorder->startTimingVariableWithName("later");
  env.advance(0.25);
  recorder->endTimingVariableWithName("later");
  timed.reset();
  ASSERT_TRUE(env.runUntil([&] { return beacons().size() == 2 && ZUMCSIReporter::beaconsInFlight() == 0; }));
  EXPECT_NE(beacons()[1].query.value_or("").find("it=later.250"), std::string::npos);
  platform::URLLoading::removeHostMappingsForTesting();
}

}  // namespace

namespace {

struct Monitor : ZUMAdViewActiveViewMonitoring {
  void activeViewVisibilityChanged(bool visible) override { log.push_back(visible ? "visible" : "hidden"); }
  bool activeViewMonitoringStarted(std::uint64_t) override { return true; }
  void activeViewMonitoringDidStop(std::uint64_t reason) override { log.push_back("stop " + std::to_string(reason)); }
  std::vector<std::string> log;
};

TEST_F(ZUMSDKCoreWebViewTest, ActiveViewObserversByIdentifier) {
  auto first = std::make_shared<Monitor>();
  auto second = std::make_shared<Monitor>();
  webView->setActiveViewObserver(first, 7);
  webView->setActiveViewObserver(second, 7);  // the first registration stays
  webView->setActiveViewObserver(second, 8);
  webView->activeViewDidReceiveVisibilityNotification(true, 7);
  webView->activeViewDidReceiveVisibilityNotification(false, 9);  // nobody
  env.runUntilIdle();
  EXPECT_EQ(first->log, std::vector<std::string>{"visible"});

  // The page's untrack ends a registered measurement and tells its observer.
  auto third = std::make_shared<Monitor>();
  webView->setActiveViewObserver(third, 9);
  webView->activeViewDidReceiveUntrackNotification(9);
  env.runUntilIdle();
  EXPECT_EQ(third->log, std::vector<std::string>{"stop 1"});

  webView->removeActiveViewObserverForActiveViewID(7);
  EXPECT_TRUE(webView->isActiveViewRunning());  // until the page untracks it
  webView->activeViewDidReceiveUntrackNotification(7);
  EXPECT_TRUE(webView->isActiveViewRunning());  // 8 still runs
  webView->clearAllActiveViewInstances();
  env.runUntilIdle();
  EXPECT_FALSE(webView->isActiveViewRunning());
  EXPECT_EQ(first->log, std::vector<std::string>{"visible"});
  EXPECT_EQ(second->log, std::vector<std::string>{"stop 1"});
}

}  // namespace
