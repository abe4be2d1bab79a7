#include "sdk/sdkcore/ZUMSDKCorePageController.h"

#include <cmath>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMRequest.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/ApplicationDelegate.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMConfiguration.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSDKConstants.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/request/ZUMSlotEvents.h"
#include "sdk/request/ZUMSlotResponseProcessing.h"
#include "sdk/sdkcore/ZUMSDKCoreTOLMHandler.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/AppControls.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;
using sdkcoretest::Requester;

// What one completion heard, in order.
struct Completions {
  ZUMSDKCoreCompletionBlock block() {
    return [this](const std::optional<Json>& result, const platform::ErrorPtr& error) {
      calls.push_back(
          {result.value_or(Json()), error ? error->code() : -1, error ? error->localizedDescription() : std::string()});
    };
  }
  struct Call {
    Json result;
    std::int64_t code;
    std::string text;
  };
  std::vector<Call> calls;
};

class ZUMSDKCorePageControllerTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    testenv::AppControls::launch(std::make_shared<platform::ApplicationDelegate>());
    env.runUntilIdle();
    ZUMRegisterAdFetcher();
    controller = ZUMSDKCorePageController::create();
    ZUMSDKCoreController::setSharedInstance(controller);
  }
  void TearDown() override {
    ZUMSDKCoreController::setSharedInstance(nullptr);
    ZUMAdFetcher::setFactory(nullptr);
    env.runUntilIdle();
  }
  ZUMSDKCoreWebView& page() { return *controller->activeSDKCoreWebView(); }
  // Runs until `done` holds, the page's real I/O included.
  void runUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(env.runUntil(done));
    env.runUntilIdle();
  }
  void loadPage() {
    controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("1"); },
                                                    {});
    runUntil([&] { return page().state() == ZUMSDKCoreWebView::kLoaded; });
  }
  // A script that makes the page answer `id` with a "result" message.
  static ZUMSDKCoreScriptBlock answering(const std::string& extra) {
    return [extra](const std::string& id) -> std::optional<std::string> {
      return "send('result', {request_id: '" + id + "'" + extra + "});";
    };
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<ZUMSDKCorePageController> controller;
};

TEST_F(ZUMSDKCorePageControllerTest, FirstRequestLoadsThePageThenSendsUpdateAndRequestsInOrderWithSharedIdentifiers) {
  EXPECT_TRUE(
      platform::UserDefaults::standard().setObject(Json{{"version", 1}, {"requests", "4"}}, kZUMSDKCoreStateKey));
  auto first = std::make_shared<Requester>();
  auto second = std::make_shared<Requester>();
  // A waterfall entry of this network: the page fetches the ad itself.
  second->parameters = {{"request_param", {{"format", "interstitial_mb"}}},
                        {"data", {{"slotname", "unit-A"}}},
                        {"vantor-ad-url-mediation", "1"}};
  hosts.server.route("/ad", {.body = "<html><body>Mediated</body></html>"});
  std::vector<std::string> blockIDs;
  controller->buildAdURL(first);
  controller->executeJavaScriptFromBlockWhenReady(
      [&](const std::string& id) {
        blockIDs.push_back(id);
        return std::optional<std::string>("var fromBlock = 1;");
      },
      {});
  controller->buildAdURL(second);
  runUntil([&] { return first->log.size() == 1 && second->log.size() == 1; });

  EXPECT_EQ(hosts.pageLoads(), 1u);
  EXPECT_EQ(blockIDs, std::vector<std::string>{"1"});
  EXPECT_EQ(first->requestIDs, std::vector<std::string>{"2"});
  EXPECT_EQ(second->requestIDs, std::vector<std::string>{"3"});
  EXPECT_EQ(first->log[0], "url https://ads.adnetwork.example/ad?unit=unit-A&format=interstitial&request_id=2");
  EXPECT_EQ(second->log[0], "ad");
  ASSERT_TRUE(second->loaded && second->loaded->adHTML());
  EXPECT_EQ(*second->loaded->adHTML(), "<html><body>Mediated</body></html>");
  const auto asked = hosts.server.requests("/ad");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].query.value_or(""), "unit=unit-A&format=interstitial&request_id=3&mediation=1");

  // The plain ad-view delegate's orientation first, as at every finished load; then the
  // saved state and the constants request, then the block, then the requests.
  const auto& scripts = sdkcoretest::evaluatedScripts(page());
  std::vector<std::string> heads;
  for (const auto& script : scripts) heads.push_back(script.substr(0, script.find('(')));
  const std::vector<std::string> expected{"window.__defineGetter__",
                                          "QYRA_reloadSavedState",
                                          "QYRA_getSdkConstants",
                                          "var fromBlock = 1;",
                                          "QYRA_getAd",
                                          "QYRA_getAdapterLessMediationAd"};
  ASSERT_GE(heads.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(heads.begin(), heads.begin() + 6), expected);
  EXPECT_NE(scripts[1].find("\"is_refresh\":0"), std::string::npos);
  EXPECT_EQ(sdkcoretest::evaluate(page(), "savedState.requests"), "6");  // the page counted both
  EXPECT_TRUE(controller->SDKCoreUpdateHandled());
}

// A page that takes requests and answers only when the test makes it.
constexpr const char* kSilentRequests = "QYRA_getAd = function (r) { lastRequest = r; };";

TEST_F(ZUMSDKCorePageControllerTest, PageAnswersReachTheirRequesterOnceByIdentifier) {
  hosts.servePage(sdkcoretest::pageWith(kSilentRequests));
  struct Row {
    std::string answer;  // "@" stands for the request's identifier
    std::string heard;
  };
  const std::vector<Row> rows = {
      {"send('loadAdURL', {request_id: '@', url: 'https://ads.adnetwork.example/x'})",
       "url https://ads.adnetwork.example/x"},
      {"send('invalidRequest', {request_id: '@', errors: 'bad'})", "invalid"},
      {"send('loadAd', {request_id: '@', fetched_ad: JSON.stringify({is_mediation: '1'})})", "ad"},
  };
  for (const auto& row : rows) {
    auto requester = std::make_shared<Requester>();
    controller->buildAdURL(requester);
    runUntil([&] { return sdkcoretest::evaluate(page(), "typeof lastRequest") == "object"; });
    std::string answer = row.answer;
    answer.replace(answer.find('@'), 1, requester->requestIDs.at(0));
    sdkcoretest::evaluate(page(), answer);
    sdkcoretest::evaluate(page(), answer);  // a second answer finds nobody
    sdkcoretest::evaluate(page(), "send('loadAdURL', {url: 'https://ads.adnetwork.example/z'}); lastRequest = 0");
    env.runUntilIdle();
    EXPECT_EQ(requester->log, std::vector<std::string>{row.heard}) << row.answer;
  }
}

TEST_F(ZUMSDKCorePageControllerTest, DeliveredAdsTakeTheRequestedClassAndMediationHeaders) {
  hosts.servePage(sdkcoretest::pageWith(kSilentRequests));
  for (std::int64_t type : {0, 1, 2, 5}) {
    auto requester = std::make_shared<Requester>();
    requester->adType = type;
    controller->buildAdURL(requester);
    runUntil([&] { return !requester->requestIDs.empty(); });
    env.runUntilIdle();
    sdkcoretest::evaluate(page(), "send('loadAd', {request_id: '" + requester->requestIDs[0] +
                                      "', fetched_ad: JSON.stringify({is_mediation: true})})");
    env.runUntilIdle();
    ASSERT_EQ(requester->log.size(), 1u);
    if (type == 5) {
      EXPECT_EQ(requester->log[0], "no ad");
      continue;
    }
    auto& ad = *requester->loaded;
    EXPECT_EQ(type == 1, dynamic_cast<ZUMBannerAd*>(&ad) != nullptr);
    EXPECT_EQ(type == 2, dynamic_cast<ZUMInterstitialAd*>(&ad) != nullptr);
    EXPECT_EQ(ad.responseType(), 2u);
    EXPECT_EQ(ad.responseHeaders().value_or(Json())["x-qyra-mediation"], 1);
    EXPECT_EQ(ad.responseHeaders().value_or(Json())["Content-Type"], "application/json");
  }
}

TEST_F(ZUMSDKCorePageControllerTest, EveryCompletionFiresExactlyOnceOnTheMainThread) {
  loadPage();
  Completions result, failed, silent, empty, timedByConstant;
  controller->executeJavaScriptFromBlockWhenReady(answering(", result: JSON.stringify({a: 1})"), result.block());
  controller->executeJavaScriptFromBlockWhenReady(answering(", result: '[2]', fail: '2', fail_reason: 'no'"),
                                                  failed.block());
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("0"); },
                                                  silent.block());
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::nullopt; }, empty.block());
  env.runUntilIdle();
  ASSERT_EQ(result.calls.size(), 1u);
  EXPECT_EQ(result.calls[0].result, (Json{{"a", 1}}));
  EXPECT_EQ(result.calls[0].code, -1);
  ASSERT_EQ(failed.calls.size(), 1u);
  EXPECT_EQ(failed.calls[0].result, Json::array({2}));
  EXPECT_EQ(failed.calls[0].code, kZUMErrorInternalError);
  EXPECT_EQ(failed.calls[0].text, "no");
  ASSERT_EQ(empty.calls.size(), 1u);
  EXPECT_EQ(empty.calls[0].text, "Empty or invalid JavaScript command returned.");
  EXPECT_TRUE(silent.calls.empty());
  env.advance(9.9);
  EXPECT_TRUE(silent.calls.empty());
  env.advance(0.2);
  ASSERT_EQ(silent.calls.size(), 1u);
  EXPECT_EQ(silent.calls[0].code, kZUMErrorTimeout);
  EXPECT_EQ(silent.calls[0].text, "Completion block execution timed out.");

  // The page's constants set the time-out and become the switches, and the update is told.
  int updates = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      "ZUMSDKCoreDidUpdateConstants", controller, nullptr, [&](const platform::Notification&) { ++updates; });
  sdkcoretest::evaluate(
      page(), "send('loadSdkConstants', {'zum:javascript_completion_timeout': '2', 'as_domains': 'a.example'})");
  env.runUntilIdle();
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(controller->SDKCoreJavaScriptCompletionBlockTimeoutInterval(), 2);
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("/vantor/ads/as_domains"), "a.example");
  EXPECT_EQ(updates, 1);
  EXPECT_TRUE(controller->SDKCoreUpdateHandled());
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("0"); },
                                                  timedByConstant.block());
  env.advance(2.1);
  EXPECT_EQ(timedByConstant.calls.size(), 1u);
  env.advance(60);
  for (auto* completions : {&result, &failed, &silent, &empty, &timedByConstant}) {
    EXPECT_EQ(completions->calls.size(), 1u);
  }
}

TEST_F(ZUMSDKCorePageControllerTest, ConstantDeliveriesRunWhatTheAreasAboveRegistered) {
  int refreshes = 0;
  ZUMSDKConstantsTargets::registerTargets(
      [&](ZUMSDKConstantsTargets& targets) { targets.updateCharacterSets = [&] { ++refreshes; }; });
  std::shared_ptr<void> object;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kZUMSDKCoreDidUpdateConstantsNotification, nullptr, nullptr,
      [&](const platform::Notification& notification) { object = notification.object(); });
  loadPage();
  runUntil([&] { return refreshes == 1; });  // the page answers every load's request
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(object, std::static_pointer_cast<void>(std::shared_ptr<ZUMSDKCoreController>(controller)));
}

TEST_F(ZUMSDKCorePageControllerTest, LostAdRequestsFailAfterTheTimeOut) {
  hosts.servePage(sdkcoretest::pageWith(kSilentRequests));
  auto requester = std::make_shared<Requester>();
  controller->buildAdURL(requester);
  runUntil([&] { return !requester->requestIDs.empty(); });
  env.advance(9.9);
  EXPECT_TRUE(requester->log.empty());
  env.advance(0.2);
  EXPECT_EQ(requester->log, std::vector<std::string>{"lost 5"});
  sdkcoretest::evaluate(
      page(), "send('loadAdURL', {request_id: '" + requester->requestIDs[0] + "', url: 'https://a.example/'})");
  env.runUntilIdle();
  EXPECT_EQ(requester->log.size(), 1u);
}

// The only test that reads the SDK's millisecond clock across an hour: it first moves
// past any time an earlier test of the binary reached, since that clock never goes back.
TEST_F(ZUMSDKCorePageControllerTest, AnHourOldPageIsRefreshedAndTheRefreshCancelsWhatWaits) {
  // Whole seconds, so the millisecond counts below are exact.
  env.advance(std::ceil(static_cast<double>(ZUMMonotonicTimeInMilliseconds()) / 1000 + env.now()) + 1 - env.now());
  hosts.servePage(sdkcoretest::pageWith(kSilentRequests));
  loadPage();
  ASSERT_EQ(hosts.pageLoads(), 1u);
  controller->setSDKCoreJavaScriptCompletionBlockTimeoutInterval(1e7);  // after the page's own constant
  Completions waiting;
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("0"); },
                                                  waiting.block());
  auto waitingRequester = std::make_shared<Requester>();
  controller->buildAdURL(waitingRequester);
  env.runUntilIdle();

  env.advance(3600);  // exactly 3,600,000 ms
  auto second = std::make_shared<Requester>();
  controller->buildAdURL(second);
  env.runUntilIdle();
  EXPECT_EQ(hosts.pageLoads(), 1u);
  EXPECT_TRUE(waiting.calls.empty());

  // Paused by the page, the old page still serves.
  env.advance(0.0015);  // 3,600,001 ms, whatever the rounding of the half
  sdkcoretest::evaluate(page(), "send('sdkCoreRefresh', {refresh: 'pause', request_id: '1'})");
  controller->buildAdURL(std::make_shared<Requester>());
  env.runUntilIdle();
  EXPECT_EQ(hosts.pageLoads(), 1u);

  sdkcoretest::evaluate(page(), "send('sdkCoreRefresh', {refresh: 'cancel'})");  // resuming refreshes
  runUntil([&] { return hosts.pageLoads() == 2u && page().state() == ZUMSDKCoreWebView::kLoaded; });
  ASSERT_EQ(waiting.calls.size(), 1u);
  EXPECT_EQ(waiting.calls[0].code, kZUMErrorInternalError);
  EXPECT_EQ(waiting.calls[0].text, "SDKCore refreshed. All pending blocks are cancelled.");
  EXPECT_EQ(waitingRequester->log, std::vector<std::string>{"lost 11"});
}

TEST_F(ZUMSDKCorePageControllerTest, APageThatNeverLoadsFailsEachWaitingRequesterOnce) {
  hosts.servePage(std::string(ZUMSDKCorePageHTML()), /*held=*/true);
  std::vector<std::shared_ptr<Requester>> requesters;
  for (int i = 0; i < 3; ++i) {
    requesters.push_back(std::make_shared<Requester>());
    controller->buildAdURL(requesters.back());
  }
  Completions block;
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("0"); },
                                                  block.block());
  env.runUntilIdle();
  EXPECT_EQ(page().state(), ZUMSDKCoreWebView::kLoading);
  env.advance(kZUMSDKCorePageLoadTimeout);
  EXPECT_EQ(page().state(), ZUMSDKCoreWebView::kFailed);
  for (const auto& requester : requesters) {
    EXPECT_EQ(requester->log, std::vector<std::string>{"page failed"});
    EXPECT_TRUE(requester->requestIDs.empty());
  }
  EXPECT_TRUE(block.calls.empty());  // it waits for a page that loads, but not for ever
  env.advance(kZUMSDKCoreDefaultCompletionTimeout);
  ASSERT_EQ(block.calls.size(), 1u);
  EXPECT_EQ(block.calls[0].code, kZUMErrorTimeout);
  // A page that loads later does not run the block that timed out.
  hosts.server.release(sdkcoretest::kPagePath);
  controller->executeJavaScriptFromBlockWhenReady([](const std::string&) { return std::optional<std::string>("1"); },
                                                  {});
  runUntil([&] { return page().state() == ZUMSDKCoreWebView::kLoaded; });
  for (const auto& script : sdkcoretest::evaluatedScripts(page())) EXPECT_NE(script, "0");
}

TEST_F(ZUMSDKCorePageControllerTest, ExportedCommandsAndNotificationsReachThePageAsCalls) {
  loadPage();
  const auto before = sdkcoretest::evaluatedScripts(page()).size();
  Completions answered, refused;
  controller->executeExportedJavaScriptCommand("QYRA_Echo", Json{{"k", "<v>"}}, answered.block());
  controller->executeExportedJavaScriptCommand("QYRA_Echo", std::nullopt, {});
  controller->executeExportedJavaScriptCommand("alert('x');f", Json::object(), refused.block());
  controller->postJavaScriptNotification("navigationBlocked", Json{{"debugDialog", "1"}});
  controller->postJavaScriptNotification("bad'name", std::nullopt);
  env.runUntilIdle();
  const auto& scripts = sdkcoretest::evaluatedScripts(page());
  const std::vector<std::string> sent(scripts.begin() + static_cast<std::ptrdiff_t>(before), scripts.end());
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_NE(sent[0].find(R"(QYRA_Echo({"args":{"k":"\u003cv\u003e"},"request_id":")"), std::string::npos) << sent[0];
  EXPECT_EQ(sent[1], "QYRA_Echo({})");
  EXPECT_EQ(sent[2], R"(QYRA_ReceiveMessage('navigationBlocked', {"debugDialog":"1"});)");
  ASSERT_EQ(refused.calls.size(), 1u);
  EXPECT_EQ(refused.calls[0].code, kZUMErrorInternalError);
}

TEST_F(ZUMSDKCorePageControllerTest, RequestsAreTimedAndCarryTheirExperimentIDs) {
  hosts.servePage(sdkcoretest::pageWith(kSilentRequests));
  auto timed = std::make_shared<Requester>();
  timed->recorder = ZUMCSITimeRecorder::create("load_ad_ios");
  timed->parameters["eid"] = "e1,e2";
  auto refused = std::make_shared<Requester>();
  refused->recorder = ZUMCSITimeRecorder::create("load_ad_ios");
  controller->buildAdURL(timed);
  controller->buildAdURL(refused);
  runUntil([&] { return refused->requestIDs.size() == 1; });
  EXPECT_EQ(sdkcoretest::timingKeys(refused->recorder->ongoingVariables()), std::vector<std::string>{"rur_ios"});
  sdkcoretest::evaluate(page(), "send('loadAdURL', {request_id: '" + timed->requestIDs[0] +
                                    "', url: 'https://a.example/'});"
                                    "send('invalidRequest', {request_id: '" +
                                    refused->requestIDs[0] + "'})");
  env.runUntilIdle();
  EXPECT_EQ(sdkcoretest::timingKeys(timed->recorder->completedVariables()), std::vector<std::string>{"rur_ios"});
  EXPECT_EQ(sdkcoretest::timingKeys(timed->recorder->ongoingVariables()), std::vector<std::string>{"nwl_ios"});
  EXPECT_EQ(timed->recorder->experimentIDs(), (std::vector<std::string>{"e1", "e2"}));
  EXPECT_TRUE(refused->recorder->ongoingVariables().empty()) << "cancelled";
  EXPECT_TRUE(refused->recorder->completedVariables().empty()) << "cancelled";
  EXPECT_TRUE(refused->recorder->experimentIDs().empty());
}

// The hub's settings request: the page fetches the settings through the SDK and hands
// them back for merging; a failed fetch is reported as a failure.
TEST_F(ZUMSDKCorePageControllerTest, ThePageFetchesApplicationSettingsForTheHub) {
  // The hub's settings outlive a test in this binary: a key of this run's own.
  static int run = 0;
  const std::string key = "settings-test-" + std::to_string(++run);
  hosts.server.route("/app_settings",
                     testenv::ScriptedResponse{.status = 200, .body = Json{{"status", 1}, {key, "on"}}.dump()});
  loadPage();
  sdkcoretest::evaluate(page(),
                        "QYRA_fetchAppSettings({app_id: 'app-1', pn: 'com.example', sdk_version: 'v', is_init: 1})");
  runUntil([&] { return ZUMApplication::sharedInstance()->configuration()->objectForKey(key) == Json("on"); });
  const auto requests = hosts.server.requests("/app_settings");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].query, "app_id=app-1&pn=com.example&sdk_version=v&is_init=1");
}

// The road of one interstitial: the slot asks the controller, the real page turns the
// request into an ad URL on the ad server, and the slot fetches it from there.
TEST_F(ZUMSDKCorePageControllerTest, ASlotsInterstitialRequestGoesThroughThePageToTheAdServer) {
  struct Events : ZUMSlotEvents {
    void logEvent(ZUMSlot& slot, const std::string& name, const Json&) override {
      states.push_back(name + " " + std::to_string(static_cast<int>(slot.state())));
    }
    void MRAIDAdDidUnload(const std::shared_ptr<ZUMAd>&) override {}
    void startImpressionMonitoring(ZUMSlot&) override {}
    void postVolumeNotification(ZUMSlot&) override {}
    std::vector<std::string> states;
  };
  struct Processing : ZUMSlotResponseProcessing {
    void processAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) override { processed.push_back(ad); }
    void loadAdNetworkJavaScriptRequest(ZUMSlot&, const std::shared_ptr<ZUMAd>&) override {}
    void finishedLoadingAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&) override {}
    void renderPendingCustomRenderingAd(ZUMSlot&) override {}
    std::vector<std::shared_ptr<ZUMAd>> processed;
  };
  auto events = std::make_shared<Events>();
  auto processing = std::make_shared<Processing>();
  ZUMSlotEvents::setShared(events);
  ZUMSlotResponseProcessing::setShared(processing);
  hosts.server.route("/ad", testenv::ScriptedResponse{.status = 200, .body = "<html>an ad</html>"});

  auto slot = ZUMSlot::create({{0, 0}, {320, 480}});
  slot->setAdType(ZUMAdType::createForInterstitial(), false);
  slot->setAdUnitID("unit-A");
  slot->loadRequest(ZUMRequest::create());
  EXPECT_EQ(slot->state(), ZUMSlot::State::kBuildingAdURL);
  runUntil([&] { return !processing->processed.empty(); });

  const auto adRequests = hosts.server.requests("/ad");
  ASSERT_EQ(adRequests.size(), 1u);
  EXPECT_EQ(adRequests[0].query.value_or("").substr(0, 30), "unit=unit-A&format=interstitia");
  EXPECT_NE(adRequests[0].query.value_or("").find("request_id=" + slot->requestID().value_or("?")), std::string::npos);
  // The answer moved the slot to 3 (ad URL received) and on to 4 (fetching).
  EXPECT_EQ(events->states, (std::vector<std::string>{"loading_started 0", "url_build_request_started 2",
                                                      "url_build_request_completed 2", "url_fetching_started 4",
                                                      "url_fetching_succeeded 4"}));
  EXPECT_EQ(processing->processed[0]->adHTML(), "<html>an ad</html>");
  ZUMSlotEvents::setShared(nullptr);
  ZUMSlotResponseProcessing::setShared(nullptr);
}

}  // namespace
