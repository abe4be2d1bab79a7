#include "sdk/request/ZUMSlot.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/View.h"
#include "sdk/csi/ZUMCSI.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/csi/ZUMCSITimeRecorder.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/foundation/ZUMStatisticDictionary.h"
#include "sdk/network/ZUMMRAIDInterceptor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSDKCoreController.h"
#include "sdk/request/ZUMSlotEvents.h"
#include "sdk/request/ZUMSlotMediation.h"
#include "sdk/request/ZUMSlotPlacement.h"
#include "sdk/request/ZUMSlotRendering.h"
#include "sdk/request/ZUMSlotResponseProcessing.h"
#include "sdk/request/ZUMSlotTelemetry.h"
#include "testing/AppControls.h"
#include "testing/LoopbackServer.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

struct FakeController : ZUMSDKCoreController {
  void buildAdURL(const std::shared_ptr<ZUMSDKCoreControllerDelegate>& requester) override {
    requesters.push_back(requester);
  }
  void executeJavaScriptFromBlockWhenReady(ZUMSDKCoreScriptBlock, ZUMSDKCoreCompletionBlock) override {}
  void executeExportedJavaScriptCommand(const std::string&, const std::optional<Json>&,
                                        ZUMSDKCoreCompletionBlock) override {}
  void postJavaScriptNotification(const std::string&, const std::optional<Json>&) override {}
  std::shared_ptr<ZUMSDKCoreWebView> activeSDKCoreWebView() override { return nullptr; }
  // Weak here, so that a test's slot dies when the test drops it.
  std::vector<std::weak_ptr<ZUMSDKCoreControllerDelegate>> requesters;
};

// The ad view's area as the tests watch it.
struct Rendering : ZUMSlotRendering {
  AdViewParts makeAdView(ZUMSlot& made, const platform::Rect& frame) override {
    EXPECT_NE(made.weak_from_this().lock(), nullptr);
    return {platform::View::create(frame), nullptr};
  }
  void adViewDidMoveToPlacement(platform::View&, const std::shared_ptr<ZUMSlotPlacement>& placement) override {
    placements.push_back(placement);
  }
  void pauseVideo(platform::View&) override { ++pauses; }
  void clearTouched(platform::View&) override { ++touchesCleared; }
  void detachAdView(platform::View& view) override { detached.push_back(&view); }
  std::vector<std::shared_ptr<ZUMSlotPlacement>> placements;
  int touchesCleared = 0;
  int pauses = 0;
  std::vector<platform::View*> detached;
};

struct Mediation : ZUMSlotMediation {
  std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot&) override { return nullptr; }
  std::shared_ptr<const ZUMMConfig> makeConfiguration(const std::string&, const Json&, platform::ErrorPtr*) override {
    return nullptr;
  }
  void mediate(ZUMSlot&, const std::shared_ptr<ZUMAdType>&, const std::shared_ptr<const ZUMMConfig>&) override {}
  double refreshInterval(const ZUMMConfig&) override { return 0; }
  void cancelMediation(ZUMMAdManager&) override {}
  bool changeMediatedAdType(ZUMSlot&, const std::shared_ptr<ZUMAdType>&) override {
    ++asked;
    return takesNewType;
  }
  std::optional<std::string> mediatedAdNetworkClassName(const ZUMSlot&) override { return std::nullopt; }
  int asked = 0;
  bool takesNewType = true;
};

// Response processing and events as the tests watch them.
struct Processing : ZUMSlotResponseProcessing {
  void processAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) override { processed.push_back(ad); }
  void loadAdNetworkJavaScriptRequest(ZUMSlot&, const std::shared_ptr<ZUMAd>&) override {}
  void finishedLoadingAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override { slot.setAd(ad); }
  void renderPendingCustomRenderingAd(ZUMSlot&) override {}
  std::vector<std::shared_ptr<ZUMAd>> processed;
};

struct Events : ZUMSlotEvents {
  void logEvent(ZUMSlot&, const std::string& name, const Json&) override { names.push_back(name); }
  void MRAIDAdDidUnload(const std::shared_ptr<ZUMAd>& ad) override { unloaded.push_back(ad); }
  void startImpressionMonitoring(ZUMSlot&) override { ++impressionStarts; }
  void postVolumeNotification(ZUMSlot&) override { ++volumeNotices; }
  int volumeNotices = 0;
  int impressionStarts = 0;
  std::vector<std::string> names;
  std::vector<std::shared_ptr<ZUMAd>> unloaded;
};

struct FakeFetcher : ZUMAdFetcher {
  bool fetchRemainingContentForAd(const std::shared_ptr<ZUMAd>& fetched, const std::optional<Json>& givenHeaders,
                                  const std::shared_ptr<ZUMAdFetcherDelegate>& givenDelegate,
                                  platform::ErrorPtr*) override {
    ad = fetched;
    headers = givenHeaders;
    delegate = givenDelegate;
    if (auto slot = std::dynamic_pointer_cast<ZUMSlot>(givenDelegate)) stateAtFetch = slot->state();
    return starts;
  }
  void cancel() override { cancelled = true; }
  std::shared_ptr<ZUMAd> ad;
  std::optional<Json> headers;
  std::weak_ptr<ZUMAdFetcherDelegate> delegate;
  std::optional<ZUMSlot::State> stateAtFetch;
  bool cancelled = false;
  bool starts = true;  // false: refuses without telling the delegate
};

struct Owner : ZUMSlotDelegate {
  std::optional<bool> slotShouldLoadRequest(ZUMSlot&, const std::shared_ptr<ZUMRequest>&,
                                            platform::ErrorPtr* error) override {
    if (!gate) return std::nullopt;
    if (!*gate && error) *error = gateError;
    return gate;
  }
  std::optional<bool> slotShouldReloadCurrentRequest(ZUMSlot&) override { return reloadConsent; }
  std::optional<bool> slotShouldPreemptInProgressRequest(ZUMSlot&) override { return preempt; }
  ZUMImplemented slotWillLoadAdWithRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>&) override {
    statesAtWillLoad.push_back(slot.state());
    return kZUMImplemented;
  }
  std::optional<bool> gate;
  platform::ErrorPtr gateError;
  std::optional<bool> reloadConsent;
  std::optional<bool> preempt;
  std::vector<ZUMSlot::State> statesAtWillLoad;
};

struct LoadDelegate : ZUMSlotAdLoadDelegate {
  void slotFinishedLoadingAdContent(ZUMSlot&) override { ++successes; }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    errors.push_back(error);
  }
  int successes = 0;
  std::vector<platform::ErrorPtr> errors;
};

class ZUMSlotTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    env.runUntilIdle();
    ZUMSDKCoreController::setSharedInstance(controller);
    ZUMAdFetcher::setFactory([this] {
      auto fetcher = std::make_shared<FakeFetcher>();
      fetcher->starts = fetchesStart;
      fetchers.push_back(fetcher);
      return fetcher;
    });
    ZUMSlotResponseProcessing::setShared(processing);
    ZUMSlotEvents::setShared(eventLog);
    slot = ZUMSlot::create({{0, 0}, {320, 50}});
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(loadDelegate);
  }
  void TearDown() override {
    slot.reset();
    env.runUntilIdle();
    ZUMSDKCoreController::setSharedInstance(nullptr);
    ZUMAdFetcher::setFactory(nullptr);
    ZUMSlotResponseProcessing::setShared(nullptr);
    ZUMSlotEvents::setShared(nullptr);
    ZUMSlotRendering::setShared(nullptr);
    ZUMSlotTelemetry::setShared(nullptr);
    ZUMSlotMediation::setShared(nullptr);
  }

  // A load through the SDK-core controller, answered with an ad URL: the slot is fetching.
  void loadUntilFetching() {
    slot->loadRequest(ZUMRequest::create());
    ASSERT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
    slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"}});
    ASSERT_EQ(slot->state(), ZUMSlot::State::kFetching);
  }
  std::shared_ptr<ZUMRequest> requestWithExtras(const Json& parameters) {
    auto request = ZUMRequest::create();
    auto extras = ZUMExtras::create();
    extras->setAdditionalParameters(parameters);
    request->registerAdNetworkExtras(extras);
    return request;
  }
  std::int64_t lastErrorCode() const { return loadDelegate->errors.empty() ? -1 : loadDelegate->errors.back()->code(); }

  std::shared_ptr<FakeController> controller = std::make_shared<FakeController>();
  std::vector<std::shared_ptr<FakeFetcher>> fetchers;
  bool fetchesStart = true;
  std::shared_ptr<Processing> processing = std::make_shared<Processing>();
  std::shared_ptr<Events> eventLog = std::make_shared<Events>();
  std::vector<std::shared_ptr<ZUMAd>>& processed = processing->processed;
  std::vector<std::string>& events = eventLog->names;
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  std::shared_ptr<LoadDelegate> loadDelegate = std::make_shared<LoadDelegate>();
  std::shared_ptr<ZUMSlot> slot;
};

TEST_F(ZUMSlotTest, LoadThroughTheSDKCoreWalksTheStatesToAValidAd) {
  slot->setAdUnitID("unit/1");

  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  EXPECT_TRUE(slot->isMakingRequest());
  ASSERT_EQ(controller->requesters.size(), 1u);
  EXPECT_EQ(controller->requesters[0].lock().get(), slot.get());
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 1);
  EXPECT_EQ(ZUMApplication::sharedInstance()->configuration()->objectForKey("last_requested_ad_unit_id"),
            Json("unit/1"));

  slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"},
                                     {"interstitial_size_width", "320"},
                                     {"interstitial_size_height", 480},
                                     {"cropped_content_threshold", 12.5}});
  ASSERT_EQ(fetchers.size(), 1u);
  auto& fetcher = *fetchers[0];
  EXPECT_EQ(fetcher.stateAtFetch, ZUMSlot::State::kFetching);
  EXPECT_EQ(fetcher.ad->adURL()->absoluteString(), "https://ads.example/ad");
  EXPECT_EQ(fetcher.ad->size().width, 320);
  EXPECT_EQ(fetcher.ad->size().height, 480);
  EXPECT_DOUBLE_EQ(fetcher.ad->croppedContentThreshold(), 12.5);
  EXPECT_TRUE(fetcher.ad->statistics()->objectForKey("tfetch").has_value());
  // The request time is the hub's, taken when the load started.
  EXPECT_EQ(fetcher.ad->statistics()->objectForKey("treq"), slot->applicationStatistics()["currts"]);
  EXPECT_EQ(fetcher.ad->adUnitID(), "unit/1");
  EXPECT_EQ(fetcher.ad->statistics()->objectForKey("slotid"), Json("unit/1"));
  EXPECT_EQ(slot->loadingAd(), fetcher.ad);

  slot->adFetcherDidFetchAd(fetcher, fetcher.ad);
  ASSERT_EQ(processed.size(), 1u);
  slot->willLoadAdHTMLInWebView();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kRendering);
  slot->didReceiveValidAd();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_FALSE(slot->isMakingRequest());
  slot->didLoadAdHTMLInWebView();
  EXPECT_EQ(slot->ad(), fetcher.ad);
  EXPECT_TRUE(fetcher.ad->statistics()->objectForKey("tload").has_value());
  slot->adFinishedLoadingContent();
  EXPECT_EQ(loadDelegate->successes, 1);
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 0);
  EXPECT_EQ(events,
            (std::vector<std::string>{"loading_started", "url_build_request_started", "url_build_request_completed",
                                      "url_fetching_started", "url_fetching_succeeded", "loading_succeeded"}));
}

TEST_F(ZUMSlotTest, SDKCoreAnswersThatEndTheLoad) {
  slot->loadRequest(ZUMRequest::create());
  slot->failedJavaScriptFile();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kSDKCoreFailed);  // not through 7
  EXPECT_EQ(lastErrorCode(), kZUMErrorNetworkError);

  slot->loadRequest(ZUMRequest::create());
  slot->invalidJavaScriptRequest();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInvalidRequest);

  slot->loadRequest(ZUMRequest::create());
  slot->loadAdURLWithParameters(Json{{"errors", Json::array({"bad"})}, {"url", "https://ads.example/ad"}});
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInvalidRequest);
  EXPECT_TRUE(fetchers.empty());
  EXPECT_EQ(loadDelegate->errors.size(), 3u);

  // A lost request fails with the controller's code.
  slot->loadRequest(ZUMRequest::create());
  slot->SDKCoreRequestDidFailWithError(ZUMMakeErrorWithCode(kZUMErrorTimeout));
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorTimeout);
  EXPECT_EQ(loadDelegate->errors.size(), 4u);

  // A late answer to a load that already ended changes nothing.
  slot->SDKCoreRequestDidFailWithError(ZUMMakeErrorWithCode(kZUMErrorTimeout));
  slot->failedJavaScriptFile();
  slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"}});
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_TRUE(fetchers.empty());
  EXPECT_EQ(loadDelegate->errors.size(), 4u);
}

TEST_F(ZUMSlotTest, RequestScenarioUpdatesTheHubStatistics) {
  auto statistics = ZUMApplication::sharedInstance()->statistics();
  // The hub outlives each test: start the counters from zero.
  for (const char* key : {"oar", "bas_on", "bas_off"}) statistics->setObject(0, key);
  for (const char* scenario : {"online_request", "offline_buffer", "online_buffer", "offline_empty"}) {
    slot->cancelLoad();
    slot->loadRequest(ZUMRequest::create());
    slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"}, {"request_scenario", scenario}});
    if (std::string(scenario) == "online_request") {
      EXPECT_EQ(statistics->objectForKey("oar"), Json(0));
      EXPECT_EQ(statistics->objectForKey("bas_on"), Json(0));
    }
  }
  EXPECT_EQ(statistics->objectForKey("oar"), Json(2));
  EXPECT_EQ(statistics->objectForKey("bas_off"), Json(1));
  EXPECT_EQ(statistics->objectForKey("bas_on"), Json(1));
  // "losn": the hub's sequence number of the last offline answer's request.
  EXPECT_EQ(statistics->objectForKey("losn"), statistics->objectForKey("seq_num"));
  EXPECT_TRUE(statistics->objectForKey("losn").has_value());
  // A fetched ad zeroes the counters.
  slot->adFetcherDidFetchAd(*fetchers.back(), fetchers.back()->ad);
  EXPECT_EQ(statistics->objectForKey("oar"), Json(0));
  EXPECT_EQ(statistics->objectForKey("bas_off"), Json(0));
}

TEST_F(ZUMSlotTest, GatesRefuseWithoutChangingTheState) {
  // The owner's gate with its own error (a used interstitial), from idle and from a valid ad.
  owner->gate = false;
  owner->gateError = ZUMMakeErrorWithCode(kZUMErrorInterstitialAlreadyUsed);
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kIdle);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInterstitialAlreadyUsed);
  EXPECT_TRUE(slot->slotHasAttemptedAnAdRequestAtLeastOnce());
  EXPECT_EQ(std::find(events.begin(), events.end(), "loading_failed") != events.end(), true);

  owner->gate.reset();
  loadUntilFetching();
  slot->willStartAdRendering();
  slot->didReceiveValidAd();
  owner->gate = false;
  owner->gateError = nullptr;
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInvalidRequest);

  // In the background without background loading: code 11, state kept.
  owner->gate.reset();
  testenv::AppControls::background();
  env.runUntilIdle();
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInternalError);
  EXPECT_EQ(loadDelegate->errors.back()->localizedDescription(),
            "App is in background and background loading is disabled. Ignoring request.");
  ZUMApplication::sharedInstance()->setBackgroundLoadingEnabled(true);
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  ZUMApplication::sharedInstance()->setBackgroundLoadingEnabled(false);
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 1);
}

TEST_F(ZUMSlotTest, ALoadInProgressIsReplacedOnlyWithTheOwnersConsent) {
  loadUntilFetching();
  auto first = fetchers[0];
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFetching);
  EXPECT_EQ(controller->requesters.size(), 1u);
  EXPECT_TRUE(loadDelegate->errors.empty());

  owner->preempt = true;
  slot->loadRequest(ZUMRequest::create());
  EXPECT_TRUE(first->cancelled);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  EXPECT_EQ(controller->requesters.size(), 2u);
  // The cancelled fetch's late answer is ignored.
  slot->adFetcherDidFetchAd(*first, first->ad);
  EXPECT_TRUE(processed.empty());
}

TEST_F(ZUMSlotTest, InvalidatedSlotIsFinal) {
  loadUntilFetching();
  auto view = slot->adView();
  auto superview = platform::View::create({{0, 0}, {320, 480}});
  superview->addSubview(view);
  slot->invalidate();
  env.runUntilIdle();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_EQ(slot->adView(), nullptr);
  EXPECT_EQ(view->superview(), nullptr);

  slot->resetState();
  slot->willRequestAdURL();
  slot->didFailToReceiveAdWithError(nullptr, false);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_TRUE(loadDelegate->errors.empty());  // an invalidated slot tells nobody
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_EQ(controller->requesters.size(), 1u);
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 0);
}

// After invalidation no refresh may reach the owner, not even when the application
// becomes active again.
TEST_F(ZUMSlotTest, InvalidationEndsRefreshes) {
  slot->setReloadable(true);
  owner->reloadConsent = true;
  loadUntilFetching();
  slot->scheduleAdReloadTimer();
  slot->invalidate();
  EXPECT_FALSE(slot->hasReloadTimer());
  testenv::AppControls::resignActive();
  testenv::AppControls::becomeActive();
  env.advance(120);
  EXPECT_FALSE(slot->hasReloadTimer());
  EXPECT_EQ(controller->requesters.size(), 1u);
  EXPECT_TRUE(loadDelegate->errors.empty());
}

TEST_F(ZUMSlotTest, CancellingPendingAndFutureActionsEndsRefreshesAndTheOwner) {
  slot->setReloadable(true);
  loadUntilFetching();
  slot->scheduleAdReloadTimer();
  EXPECT_TRUE(slot->hasReloadTimer());
  slot->cancelPendingAndFutureActions();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
  EXPECT_TRUE(fetchers[0]->cancelled);
  EXPECT_FALSE(slot->hasReloadTimer());
  EXPECT_EQ(slot->slotDelegate(), nullptr);
  EXPECT_FALSE(slot->reloadable());
  slot->cancelLoad();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
}

TEST_F(ZUMSlotTest, AFailureIsAcceptedInAnyState) {
  // The controller never answers: the slot's failure path still ends the load, and the
  // statistics it took go back to the hub.
  slot->loadRequest(ZUMRequest::create());
  auto taken = ZUMAdStatistics::create(Json{{"ad", 1}});
  slot->setPendingAdStatistics({taken});
  slot->didFailToReceiveAdWithError(nullptr, false);
  auto pending = ZUMApplication::sharedInstance()->pendingAdStatistics();
  EXPECT_NE(std::find(pending.begin(), pending.end(), taken), pending.end());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInternalError);
  EXPECT_EQ(ZUMApplication::sharedInstance()->currentAdRequestCount(), 0);
  EXPECT_EQ(slot->loadingAd(), nullptr);
  // A later load is not dropped as "in progress".
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);

  slot->cancelLoad();
  slot->didFailToReceiveAdWithError(ZUMMakeErrorWithCode(kZUMErrorNoFill), true);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorNoFill);
}

TEST_F(ZUMSlotTest, MissingSeamsFailTheLoadInsteadOfHanging) {
  fetchesStart = false;  // a fetch that silently cannot start
  slot->loadRequest(ZUMRequest::create());
  slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"}});
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInternalError);

  ZUMSDKCoreController::setSharedInstance(nullptr);
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(lastErrorCode(), kZUMErrorInternalError);

  ZUMSDKCoreController::setSharedInstance(controller);
  ZUMAdFetcher::setFactory(nullptr);
  slot->loadRequest(ZUMRequest::create());
  slot->loadAdURLWithParameters(Json{{"url", "https://ads.example/ad"}});
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
  EXPECT_EQ(loadDelegate->errors.size(), 3u);

  // Without response processing a loaded page's ad simply becomes the shown one.
  ZUMSlotResponseProcessing::setShared(nullptr);
  auto loaded = ZUMAd::create();
  slot->setLoadingAd(loaded);
  slot->didLoadAdHTMLInWebView();
  EXPECT_EQ(slot->ad(), loaded);
  EXPECT_EQ(slot->loadingAd(), nullptr);
}

TEST_F(ZUMSlotTest, LoadFromAnotherThreadRunsOnTheMainQueue) {
  std::thread other([&] { slot->loadNextRequestWithAutoRefresh(false); });
  other.join();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kIdle);
  EXPECT_TRUE(controller->requesters.empty());
  env.runUntilIdle();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);

  slot->cancelLoad();
  std::thread again([&] { slot->loadRequest(ZUMRequest::create()); });
  again.join();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kIdle);
  env.runUntilIdle();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  EXPECT_EQ(controller->requesters.size(), 2u);
}

TEST_F(ZUMSlotTest, DirectLoadsNeverAskTheSDKCore) {
  owner->gate.reset();
  ZUMMRAIDInterceptor::sharedInstance()->setEnabled(false);  // it outlives each test
  slot->loadRequest(requestWithExtras(Json{{"_requestUrl", "https://ads.example/direct"}, {"_orientation", "l"}}));
  EXPECT_EQ(owner->statesAtWillLoad, std::vector{ZUMSlot::State::kBuildingAdURL});
  ASSERT_EQ(fetchers.size(), 1u);
  EXPECT_EQ(fetchers[0]->stateAtFetch, ZUMSlot::State::kFetching);
  EXPECT_EQ(fetchers[0]->ad->adURL()->absoluteString(), "https://ads.example/direct");
  EXPECT_EQ(fetchers[0]->ad->supportedOrientations(), 24u);
  EXPECT_FALSE(fetchers[0]->headers.has_value());
  env.runUntilIdle();
  EXPECT_TRUE(ZUMMRAIDInterceptor::sharedInstance()->canRedirect());

  // A banner slot makes a banner ad from "_ad"; its refresh rate becomes the interval.
  slot->cancelLoad();
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  slot->loadRequest(requestWithExtras(Json{{"_ad",
                                            {{"ad_html", "<p>ad</p>"},
                                             {"ad_base_url", "https://ads.example/"},
                                             {"ad_size", "320x50"},
                                             {"refresh_rate", 30}}},
                                           {"_adHeaders", {{"x-qyra-refresh-rate", "30"}}},
                                           {"_orientation", "sideways"}}));
  ASSERT_EQ(fetchers.size(), 2u);
  auto banner = std::dynamic_pointer_cast<ZUMBannerAd>(fetchers[1]->ad);
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->adHTML(), "<p>ad</p>");
  EXPECT_EQ(banner->supportedOrientations(), 30u);
  EXPECT_EQ(fetchers[1]->headers, (Json{{"x-qyra-refresh-rate", "30"}}));
  EXPECT_DOUBLE_EQ(slot->reloadInterval(), 30.0);
  EXPECT_EQ(slot->newAdSize().size.width, 320);

  // An interstitial slot makes an interstitial ad; an ad object is used as it is.
  slot->cancelLoad();
  slot->setAdType(ZUMAdType::createForInterstitial(), false);
  slot->loadRequest(requestWithExtras(Json{{"_ad", {{"ad_url", "https://ads.example/i"}}}, {"_orientation", "p"}}));
  ASSERT_EQ(fetchers.size(), 3u);
  EXPECT_NE(std::dynamic_pointer_cast<ZUMInterstitialAd>(fetchers[2]->ad), nullptr);
  EXPECT_EQ(fetchers[2]->ad->supportedOrientations(), 6u);

  slot->cancelLoad();
  auto request = ZUMRequest::create();
  auto extras = ZUMExtras::create();
  auto object = ZUMAd::create();
  extras->setAd(object);
  request->registerAdNetworkExtras(extras);
  slot->loadRequest(request);
  ASSERT_EQ(fetchers.size(), 4u);
  EXPECT_EQ(fetchers[3]->ad, object);

  EXPECT_TRUE(controller->requesters.empty());
  EXPECT_EQ(std::count(events.begin(), events.end(), "direct_loading_from_ad"), 3);
  EXPECT_EQ(std::count(events.begin(), events.end(), "direct_loading_from_url"), 1);
}

TEST_F(ZUMSlotTest, ReloadTimerAsksTheOwnerEveryInterval) {
  slot->setReloadable(true);
  slot->scheduleAdReloadTimer();
  EXPECT_FALSE(slot->hasReloadTimer());  // no load attempted yet
  loadUntilFetching();
  slot->didFailToReceiveAdWithError(nullptr, false);

  // No consent: the timer re-arms every 60 s and nothing loads.
  slot->scheduleAdReloadTimer();
  env.advance(150);
  EXPECT_EQ(controller->requesters.size(), 1u);
  EXPECT_TRUE(slot->hasReloadTimer());

  owner->reloadConsent = true;
  slot->scheduleAdReloadTimer();
  env.advance(59);
  EXPECT_EQ(controller->requesters.size(), 1u);
  env.advance(1);
  EXPECT_EQ(controller->requesters.size(), 2u);
  EXPECT_TRUE(slot->hasAutoRefreshed());
  EXPECT_FALSE(slot->hasReloadTimer());  // the slot does not re-arm until a response
}

TEST_F(ZUMSlotTest, ReloadTimerFollowsTheApplicationAndFullScreens) {
  slot->setReloadable(true);
  owner->reloadConsent = true;
  loadUntilFetching();
  slot->cancelLoad();
  slot->setReloadInterval(10);
  slot->scheduleAdReloadTimer();
  testenv::AppControls::resignActive();
  env.runUntilIdle();
  EXPECT_FALSE(slot->hasReloadTimer());
  testenv::AppControls::becomeActive();
  env.runUntilIdle();
  EXPECT_TRUE(slot->hasReloadTimer());
  auto& center = platform::NotificationCenter::defaultCenter();
  center.post("kAdModalViewControllerWillPresentFullScreen");
  env.runUntilIdle();
  EXPECT_FALSE(slot->hasReloadTimer());
  env.advance(20);
  EXPECT_EQ(controller->requesters.size(), 1u);
  center.post("kAdModalViewControllerDidDismissFullScreen");
  env.advance(10);
  EXPECT_EQ(controller->requesters.size(), 2u);

  // Not reloadable: reloading does nothing.
  slot->cancelLoad();
  slot->scheduleAdReloadTimer();
  slot->setReloadable(false);
  env.advance(10);
  EXPECT_EQ(controller->requesters.size(), 2u);
}

TEST_F(ZUMSlotTest, ReloadIntervalsUnderOneSecondSwitchRefreshOff) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [given, stored] :
       std::vector<std::pair<double, double>>{{0.5, 0}, {1.0, 1.0}, {-5, 0}, {nan, 0}, {inf, 0}, {-inf, 0}, {45, 45}}) {
    slot->setReloadInterval(given);
    EXPECT_EQ(slot->reloadInterval(), stored) << given;
  }
  slot->setReloadable(true);
  loadUntilFetching();
  slot->setReloadInterval(0.5);
  slot->scheduleAdReloadTimer();
  EXPECT_FALSE(slot->hasReloadTimer());
}

TEST_F(ZUMSlotTest, FetchFailureAdoptsTheAdsIntervalWithTheFloor) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto [adInterval, stored] : std::vector<std::pair<double, double>>{{0.5, 0}, {nan, 0}, {30, 30}}) {
    slot->setReloadInterval(60);
    loadUntilFetching();
    auto& fetcher = *fetchers.back();
    fetcher.ad->setReloadInterval(adInterval);
    slot->adFetcherDidFailToFetchAd(fetcher, fetcher.ad, ZUMMakeErrorWithCode(kZUMErrorNoFill), 204);
    EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
    EXPECT_EQ(slot->reloadInterval(), stored) << adInterval;
    EXPECT_EQ(lastErrorCode(), kZUMErrorNoFill);
  }
  // An invalid response keeps the slot's interval.
  slot->setReloadInterval(60);
  loadUntilFetching();
  fetchers.back()->ad->setReloadInterval(5);
  slot->adFetcherDidFailToFetchAd(*fetchers.back(), fetchers.back()->ad, ZUMMakeErrorWithCode(kZUMErrorInvalidResponse),
                                  200);
  EXPECT_EQ(slot->reloadInterval(), 60);
  EXPECT_EQ(std::count(events.begin(), events.end(), "url_fetching_failed"), 4);
}

TEST_F(ZUMSlotTest, ChangingTheAdTypeReloadsAfterAnAttempt) {
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), true);
  EXPECT_TRUE(controller->requesters.empty());  // never attempted
  loadUntilFetching();
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), true);  // the same type
  EXPECT_EQ(fetchers.size(), 1u);
  EXPECT_FALSE(fetchers[0]->cancelled);
  slot->setAdType(ZUMAdType::create(kZUMAdSizeMediumRectangle), true);
  EXPECT_TRUE(fetchers[0]->cancelled);
  EXPECT_TRUE(slot->adView()->isHidden());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  EXPECT_EQ(controller->requesters.size(), 2u);
}

TEST_F(ZUMSlotTest, HostileAnswersNeverCrash) {
  for (const Json& parameters :
       {Json(nullptr), Json::array({1, 2}), Json("text"),
        Json{{"url", 5},
             {"interstitial_size_width", "nan"},
             {"interstitial_size_height", "inf"},
             {"cropped_content_threshold", Json::array()},
             {"request_scenario", 3}},
        Json{{"url", "::not a url"}, {"interstitial_size_width", -10}, {"interstitial_size_height", 5}},
        Json{{"errors", nullptr}, {"url", "https://ads.example/x"}}}) {
    slot->cancelLoad();
    slot->loadRequest(ZUMRequest::create());
    slot->loadAdURLWithParameters(parameters);
    ASSERT_FALSE(fetchers.empty());
    EXPECT_EQ(fetchers.back()->ad->size().width, 0) << parameters.dump();
  }
  slot->cancelLoad();
  slot->loadRequest(requestWithExtras(Json{{"_ad", "not an ad"}, {"_requestUrl", 7}, {"_orientation", 1}}));
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);  // falls through to the SDK core
  slot->cancelLoad();
  slot->loadAd(nullptr, std::nullopt);  // not waiting: ignored
  slot->loadRequest(ZUMRequest::create());
  slot->loadAd(nullptr, std::nullopt);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kFailed);
}

// A refresh on its way when the slot is invalidated never reaches the owner's gate; a
// load the host asks for still does, so a used interstitial's refusal reaches it.
TEST_F(ZUMSlotTest, AfterInvalidationOnlyTheHostsLoadsMeetTheGate) {
  owner->gate = false;
  owner->gateError = ZUMMakeErrorWithCode(kZUMErrorInvalidRequest);
  std::thread other([&] { slot->loadNextRequestWithAutoRefresh(true); });
  other.join();
  slot->invalidate();
  env.runUntilIdle();
  EXPECT_TRUE(loadDelegate->errors.empty());

  slot->loadRequest(ZUMRequest::create());
  env.runUntilIdle();
  ASSERT_EQ(loadDelegate->errors.size(), 1u);
  EXPECT_EQ(loadDelegate->errors[0], owner->gateError);
  EXPECT_EQ(slot->state(), ZUMSlot::State::kInvalidated);
}

// A use-once direct load is not replayed by the refreshes that follow it.
TEST_F(ZUMSlotTest, RefreshAfterAUseOnceLoadAsksTheSDKCore) {
  slot->setReloadable(true);
  owner->reloadConsent = true;
  // {use once, direct loads after the refresh, requests to the SDK core after it}
  for (auto [useOnce, direct, asked] : std::vector<std::tuple<bool, size_t, size_t>>{{false, 2, 0}, {true, 1, 1}}) {
    fetchers.clear();
    controller->requesters.clear();
    slot->loadRequest(requestWithExtras(Json{{"_ad", {{"ad_url", "https://ads.example/d"}}}, {"_useOnce", useOnce}}));
    ASSERT_EQ(fetchers.size(), 1u);
    slot->adFetcherDidFailToFetchAd(*fetchers[0], nullptr, ZUMMakeErrorWithCode(kZUMErrorNoFill), 204);
    slot->scheduleAdReloadTimer();
    env.advance(60);
    EXPECT_EQ(fetchers.size(), direct) << useOnce;
    EXPECT_EQ(controller->requesters.size(), asked) << useOnce;
    slot->cancelLoad();
  }
}

// A delegate that implements nothing answers "not implemented" to every operation.
TEST_F(ZUMSlotTest, OptionalOperationsAnswerNotImplemented) {
  ZUMSlotDelegate none;
  ZUMSlotAdEventDelegate noEvents;
  ZUMSlot& s = *slot;
  const std::vector<std::pair<const char*, bool>> answers = {
      {"setAdSize", none.setAdSize(kZUMAdSizeBanner, false).has_value()},
      {"appEvent", none.slotDidReceiveAppEvent(s, "e", std::nullopt).has_value()},
      {"adView", none.slotDidReceiveAdView(s, nullptr).has_value()},
      {"contentSize", none.slotContentSizeDidChange(s, {1, 1}).has_value()},
      {"layout", none.layoutSubviewsIfNeeded().has_value()},
      {"MRAID", none.slotDidLoadMRAIDAd(s).has_value()},
      {"resize", none.slotWillResizeToAdSize(s, kZUMAdSizeBanner).has_value()},
      {"willLoad", none.slotWillLoadAdWithRequest(s, nullptr).has_value()},
      {"click", none.slotDidReceiveAdClick(s).has_value()},
      {"root", none.rootViewController().has_value()},
      {"audio", none.slotShouldDisableVideoEventReportToAudioVideoManager(s, nullptr).has_value()},
      {"present", noEvents.slotWillPresentScreen(s).has_value()},
      {"willDismiss", noEvents.slotWillDismissScreen(s).has_value()},
      {"didDismiss", noEvents.slotDidDismissScreen(s).has_value()},
      {"leave", noEvents.slotWillLeaveApplication(s).has_value()},
      {"video", noEvents.slotDidLoadVideoWithSize(s, {1, 1}).has_value()},
      {"impression", noEvents.slotDidRecordImpression(s).has_value()},
      {"recordClick", noEvents.slotDidRecordClick(s).has_value()},
  };
  for (const auto& [name, answered] : answers) EXPECT_FALSE(answered) << name;
}

// The teardown tells the areas what they need without the slot, which can no longer be
// shared then.
TEST_F(ZUMSlotTest, TeardownHandsTheAreasOnlyWhatTheyNeed) {
  struct Telemetry : ZUMSlotTelemetry {
    std::shared_ptr<ZUMCSITimeRecorder> makeTimeRecorder(const std::string&) override { return recorder; }
    void reportTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& reported) override {
      reports.push_back(reported);
    }
    std::optional<std::string> contentFingerprint() override { return std::nullopt; }
    bool crashReportingEnabled() override { return false; }
    bool addAnalyticsIdentifiers(Json&) override { return false; }
    void logAnalyticsEvent(const std::string&, const std::string&) override {}
    std::shared_ptr<ZUMCSITimeRecorder> recorder = ZUMCSITimeRecorder::create("load_ad_ios");
    std::vector<std::shared_ptr<ZUMCSITimeRecorder>> reports;
  };
  auto rendering = std::make_shared<Rendering>();
  auto telemetry = std::make_shared<Telemetry>();
  ZUMSlotRendering::setShared(rendering);
  ZUMSlotTelemetry::setShared(telemetry);
  auto doomed = ZUMSlot::create({{0, 0}, {320, 50}});
  auto view = doomed->adView();
  auto csi = doomed->CSI();
  auto shown = ZUMAd::create();
  shown->setBRVQueryID("q-1");
  doomed->setAd(shown);
  doomed->loadRequest(ZUMRequest::create());
  doomed.reset();
  env.runUntilIdle();
  EXPECT_EQ(eventLog->unloaded, std::vector{shown});
  EXPECT_EQ(rendering->detached, std::vector{view.get()});
  ASSERT_FALSE(telemetry->reports.empty());
  EXPECT_EQ(telemetry->recorder->customizedParameters()["bqi"], "q-1");
  EXPECT_EQ(csi->BRVQueryID(), "q-1");
}

// The slot's own CSI registry stamps the view's creation and sends its timings when the
// slot goes, with the shown ad's query id.
TEST_F(ZUMSlotTest, TheSlotsCSIReportsAtTeardown) {
  testenv::LoopbackServer server;
  server.route("/csi", {.status = 204});
  platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", server.port());
  EXPECT_TRUE(platform::UserDefaults::standard().setObject(Json("1"), "/vantor/ads/csi_reporting_probability"));
  env.advance(2);
  auto doomed = ZUMSlot::create();
  auto csi = doomed->CSI();
  EXPECT_EQ(csi->timestampForLabel("native:view_create"), 1'800'000'002'000);
  auto recorder = csi->timeRecorderForAction("load_med");
  recorder->startTimingVariableWithName("med");
  env.advance(0.5);
  recorder->endTimingVariableWithName("med");
  auto shown = ZUMAd::create();
  shown->setBRVQueryID("q-2");
  doomed->setAd(shown);
  doomed.reset();
  ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1 && ZUMCSIReporter::beaconsInFlight() == 0; }));
  EXPECT_EQ(csi->BRVQueryID(), "q-2");
  EXPECT_NE(server.requests("/csi")[0].query.value_or("").find("it=med.500"), std::string::npos);
  platform::URLLoading::removeHostMappingsForTesting();
}

// The ad view's area hears of placements and finished pages while the slot has its
// view, and nothing once the view is gone.
TEST_F(ZUMSlotTest, TheAdViewAreaFollowsTheSlotUntilInvalidation) {
  auto rendering = std::make_shared<Rendering>();
  ZUMSlotRendering::setShared(rendering);
  auto viewed = ZUMSlot::create({{0, 0}, {320, 50}});
  auto placement = std::make_shared<ZUMSlotPlacement>();
  viewed->setPlacement(placement);
  viewed->didLoadAdHTMLInWebView();
  viewed->adFinishedLoadingContent();
  EXPECT_EQ(rendering->touchesCleared, 1);
  EXPECT_EQ(eventLog->volumeNotices, 1);
  EXPECT_EQ(eventLog->impressionStarts, 1);
  // A view outside any window has no video playing to pause.
  platform::NotificationCenter::defaultCenter().post("kAdModalViewControllerWillPresentFullScreen");
  env.runUntilIdle();
  EXPECT_EQ(rendering->pauses, 0);

  // A new ad replaces the shown one, which unloads first.
  auto shown = ZUMAd::create();
  viewed->setAd(shown);
  viewed->loadRequest(ZUMRequest::create());
  viewed->loadAd(ZUMAd::create(), std::nullopt);
  EXPECT_EQ(viewed->ad(), nullptr);
  EXPECT_EQ(eventLog->unloaded, std::vector{shown});

  viewed->invalidate();
  viewed->setPlacement(nullptr);
  viewed->didLoadAdHTMLInWebView();
  EXPECT_EQ(rendering->placements, std::vector{placement});
  EXPECT_EQ(rendering->touchesCleared, 1);
}

TEST_F(ZUMSlotTest, AMediatedAdMayTakeANewBannerTypeWithoutARequest) {
  auto mediation = std::make_shared<Mediation>();
  ZUMSlotMediation::setShared(mediation);
  slot->setAdType(ZUMAdType::create(kZUMAdSizeBanner), false);
  loadUntilFetching();
  auto mediated = ZUMAd::create();
  mediated->setResponseType(2);
  slot->setAd(mediated);
  slot->setAdType(ZUMAdType::create(kZUMAdSizeMediumRectangle), true);
  EXPECT_EQ(mediation->asked, 1);
  EXPECT_EQ(controller->requesters.size(), 1u);  // taken without a new request

  // To or from an interstitial it is never asked, and takes a new request.
  slot->setAdType(ZUMAdType::createForInterstitial(), true);
  EXPECT_EQ(mediation->asked, 1);
  EXPECT_EQ(controller->requesters.size(), 2u);
}

#ifndef NDEBUG
// The slot's main-thread entry points check their thread: a call from another queue
// stops at the check instead of changing the state from the wrong thread.
TEST_F(ZUMSlotTest, AMainThreadEntryPointCalledFromAnotherQueueFailsAtTheCheck) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  loadUntilFetching();
  auto queue = platform::DispatchQueue::serial("com.vantor.morvane.test");
  const struct {
    const char* entryPoint;
    std::function<void()> call;
  } rows[] = {
      {"cancelLoad", [this] { slot->cancelLoad(); }},
      {"didFailToReceiveAdWithError", [this] { slot->didFailToReceiveAdWithError(nullptr, false); }},
      {"invalidate", [this] { slot->invalidate(); }},
  };
  for (const auto& row : rows) {
    EXPECT_DEATH(
        {
          queue->async(row.call);
          env.runUntilIdle();
        },
        std::string(row.entryPoint) + ".*called off the main thread")
        << row.entryPoint;
  }
  // From the main queue the same calls pass.
  platform::DispatchQueue::main()->async([this] { slot->cancelLoad(); });
  env.runUntilIdle();
  EXPECT_EQ(slot->state(), ZUMSlot::State::kIdle);
}
#endif

}  // namespace
