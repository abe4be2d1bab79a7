// The ad loader end to end on the loopback server and the native-ads page, with test
// kinds in the class tables: the order of delivery whatever order the assets finish in,
// the final result and the no-fill that follows a short response, the failures of a load
// and where they are called back, a loader released mid-load, and clicks on two ads of
// one response.
#include "ZUMAdLoader.h"

#include <algorithm>
#include <chrono>

#include "ZUMMultipleAdsAdLoaderOptions.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "platform/net/URLLoading.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/native/ZUMMediatedAd.h"
#include "sdk/native/ZUMNativeMediation.h"
#include "sdk/native/ZUMNativePageTestSupport.h"
#include "sdk/native/ZUMNativeTestSupport.h"
#include "sdk/request/ZUMAd.h"

namespace {

using namespace std::chrono_literals;
using nativetest::Json;
using nativetest::Log;

// What the host hears: "ad <headline> final|more", "failed <code> <text>", "finished";
// "!" marks a call inside loadRequest or off the main thread.
struct LoaderDelegate : nativetest::TestAdLoaderDelegate {
  void adLoaderDidReceiveTestAd(ZUMAdLoader& loader, const std::shared_ptr<nativetest::TestAd>& ad) override {
    ads.push_back(ad);
    note("ad " + ad->adConfiguration()->value("headline", "?") + (loader.isLoading() ? " more" : " final"));
  }
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr& error) override {
    note("failed " + std::to_string(error->code()) + " " + error->localizedDescription());
  }
  ZUMImplemented adLoaderDidFinishLoading(ZUMAdLoader&) override {
    note("finished");
    return kZUMImplemented;
  }
  void note(const std::string& what) { log.push_back(what + (insideLoad || !platform::isMainThread() ? "!" : "")); }
  Log log;
  bool insideLoad = false;
  std::vector<std::shared_ptr<nativetest::TestAd>> ads;
};

struct PlainDelegate : ZUMAdLoaderDelegate {
  void adLoaderDidFailToReceiveAdWithError(ZUMAdLoader&, const ZUMRequestErrorPtr&) override {}
};

Json ad(const std::string& headline, int templateID = 1, Json assets = Json::array()) {
  return Json{{"type", "native"},
              {"template_id", templateID},
              {"headline", headline},
              {"assets", std::move(assets)},
              {"tracking_urls_and_actions",
               {{"vantor_click_tracking_url", "https://track.example/click-" + headline},
                {"click_actions", {{{"url", "https://landing.example/" + headline}}}}}}};
}

ZUMAdConfiguration::Options count(std::int64_t n) {
  auto option = ZUMMultipleAdsAdLoaderOptions::create();
  option->setNumberOfAds(n);
  return {option};
}

class ZUMAdLoaderTest : public testenv::PlatformTest {
 protected:
  ZUMAdLoaderTest() {
    ZUMMobileAds::load();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
  }
  std::shared_ptr<ZUMAdLoader> makeLoader(const std::vector<std::string>& types,
                                          const ZUMAdConfiguration::Options& options) {
    auto loader = ZUMAdLoader::create("unit-A", host, types, options);
    loader->setDelegate(delegate);
    return loader;
  }
  void serve(const Json& body, int status = 200) {
    hosts.server.route("/native", {.status = status, .headers = {{"x-qyra-ad-format", "native"}}, .body = body.dump()});
  }
  // Starts a load of the ads served at "/native"; nothing is called back inside it.
  void load(ZUMAdLoader& loader) {
    delegate->insideLoad = true;
    loader.loadRequest(nativetest::pageRequest("https://ads.adnetwork.example/native"));
    delegate->insideLoad = false;
  }
  bool waitForLog(std::size_t size) {
    return env.runUntil([&] { return delegate->log.size() >= size; });
  }
  // Finishes the named asset of every ad the content kind made, in the order given.
  void finishAsset(std::size_t adIndex, const std::string& asset, bool failed = false) {
    auto made = kinds.content->made.at(adIndex).lock();
    ASSERT_NE(made, nullptr);
    if (failed) {
      made->failedToLoadAssetWithName(asset);
    } else {
      made->finishedLoadingAssetWithName(asset);
    }
  }
  bool waitForAds(std::size_t n) {
    return env.runUntil([&] { return kinds.content->made.size() >= n; });
  }

  nativetest::NativeHosts hosts;
  nativetest::TestKinds kinds;
  std::shared_ptr<LoaderDelegate> delegate = std::make_shared<LoaderDelegate>();
  std::shared_ptr<platform::Window> window = platform::Window::create();
  std::shared_ptr<platform::ViewController> host = platform::ViewController::create();
};

TEST_F(ZUMAdLoaderTest, AdsArriveInResponseOrderWhateverOrderTheirAssetsFinishIn) {
  serve(Json{{"ads", {ad("a", 1, {"img"}), ad("b", 1, {"img"}), ad("c", 1, {"img"})}}});
  auto loader = makeLoader({"1"}, count(3));
  load(*loader);
  EXPECT_TRUE(loader->isLoading());
  ASSERT_TRUE(waitForAds(3));
  env.runUntilIdle();
  finishAsset(2, "img");
  env.runUntilIdle();
  EXPECT_TRUE(delegate->log.empty());
  finishAsset(0, "img");
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, Log{"ad a more"});
  finishAsset(1, "img");
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, (Log{"ad a more", "ad b more", "ad c final", "finished"}));
  EXPECT_FALSE(loader->isLoading());
  // Each ad knows its unit and its slot, the one the page preprocessed on.
  ASSERT_EQ(delegate->ads.size(), 3u);
  EXPECT_EQ(delegate->ads[0]->adUnitID(), "unit-A");
  EXPECT_EQ(delegate->ads[0]->slot(), delegate->ads[2]->slot());
  EXPECT_NE(delegate->ads[0]->slot(), nullptr);
}

TEST_F(ZUMAdLoaderTest, ShortAndLongResponses) {
  const struct {
    const char* name;
    std::int64_t requested;
    Json ads;
    Log expected;
  } rows[] = {
      {"two of three",
       3,
       {ad("a"), ad("b")},
       {"ad a more", "ad b more", "failed 1 Request Error: No ad to show.", "finished"}},
      {"three of two", 2, {ad("a"), ad("b"), ad("c")}, {"ad a more", "ad b more", "ad c final", "finished"}},
      {"none", 1, Json::array(), {"failed 1 Request Error: No ad to show.", "finished"}},
      {"an unrequested kind",
       2,
       {ad("a", 2), ad("c")},
       {"failed 13 Request Error: Received invalid response.", "ad c final", "finished"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    delegate->log.clear();
    serve(Json{{"ads", row.ads}});
    auto loader = makeLoader({"1"}, count(row.requested));
    load(*loader);
    ASSERT_TRUE(waitForLog(row.expected.size()));
    env.advance(1s);
    EXPECT_EQ(delegate->log, row.expected);
    EXPECT_FALSE(loader->isLoading());
  }
}

TEST_F(ZUMAdLoaderTest, ResponsesWithoutAdsEndWithNoFill) {
  const struct {
    const char* name;
    std::string body;
    std::string page;
  } rows[] = {
      {"no ads array", R"({"native": []})", ""},
      {"body not JSON", "<html>", ""},
      {"page answers garbage", R"({"ads": []})",
       nativetest::pageWith("vantor.qyra.nativeAds.preProcessJsonTolm = function () {"
                            " send('nativeAdPreProcess', {success: 'not json'}); };")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    delegate->log.clear();
    hosts.servePage(row.page.empty() ? std::string(ZUMNativeAdsPageHTML()) : row.page);
    hosts.server.route("/native", {.headers = {{"x-qyra-ad-format", "native"}}, .body = row.body});
    platform::SystemLog::Capture capture(true);
    auto loader = makeLoader({"1"}, {});
    load(*loader);
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(delegate->log, (Log{"failed 1 Request Error: No ad to show.", "finished"}));
    env.runUntilIdle();
    EXPECT_TRUE(capture.contains("The native ad response holds no ads."));
  }
}

TEST_F(ZUMAdLoaderTest, AResponseOfMoreAdsThanALoadMayAskForGivesOnlyThoseWithOneLogLine) {
  // The page's answer is posted as its message would be: no page parses 100,000 ads here.
  auto rendering = nativepagetest::RecordingSlotRendering::install();
  platform::URLLoading::setOffline(true);
  auto loader = makeLoader({"1"}, count(100000));
  load(*loader);
  const auto page = rendering->takeOverResponse(*loader);
  platform::SystemLog::Capture capture(true);
  const auto most = static_cast<std::size_t>(ZUMMultipleAdsAdLoaderOptions::kMaximumNumberOfAds);
  std::vector<Json> ads(100000, Json(0));  // past the first ads, entries that would each fail
  std::fill_n(ads.begin(), most, Json{{"type", "native"}, {"template_id", 1}, {"headline", "n"}});
  platform::NotificationCenter::defaultCenter().post("nativeAdPreProcess", page,
                                                     Json{{"success", Json{{"ads", ads}}.dump()}});
  env.runUntilIdle();
  EXPECT_EQ(kinds.content->made.size(), most);
  ASSERT_EQ(delegate->log.size(), most + 1);
  EXPECT_EQ(delegate->log[most - 1], "ad n final");
  const auto messages = capture.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(),
                       "The native ad response holds 100000 ads; all but the first 100 are dropped."),
            1);
}

TEST_F(ZUMAdLoaderTest, AFailedAssetFailsItsIndexOnly) {
  serve(Json{{"ads", {ad("a", 1, {"img"}), ad("b", 1, {"img"})}}});
  auto loader = makeLoader({"1"}, count(2));
  load(*loader);
  ASSERT_TRUE(waitForAds(2));
  env.runUntilIdle();
  kinds.content->made[0].lock()->required = {"img"};
  finishAsset(0, "img", true);
  finishAsset(1, "img");
  ASSERT_TRUE(waitForLog(3));
  EXPECT_EQ(delegate->log, (Log{"failed 11 Error loading native ad assets.", "ad b final", "finished"}));
  // A loader kept for the next load keeps no ad whose failure it reported.
  EXPECT_EQ(kinds.content->made[0].lock(), nullptr);
}

TEST_F(ZUMAdLoaderTest, FailuresFoundAtTheStartComeOnALaterTurn) {
  auto refusing = std::make_shared<nativetest::TestAdClass>(kZUMNativeAppInstallAdClassName, "2");
  refusing->refusal = ZUMMakeErrorWithDescription(kZUMErrorInvalidArgument, "Not today.");
  ZUMRegisterLoadableClass(kZUMNativeAppInstallAdClassName, refusing);
  const struct {
    std::vector<std::string> types;
    ZUMAdConfiguration::Options options;
    std::string expected;
  } rows[] = {
      {{"1", "9"}, {}, "failed 0 Must specify at least one ad type."},
      {{}, {}, "failed 0 Must specify at least one ad type."},
      {{"1", "2"}, {}, "failed 0 Not today."},
      {{"1"}, count(0), "failed 0 Requested ad count must be positive."},
      {{"1"}, count(-4), "failed 0 Requested ad count must be positive."},
  };
  for (const auto& row : rows) {
    delegate->log.clear();
    auto loader = ZUMAdLoader::create("unit-A", host, row.types, row.options);
    loader->setDelegate(delegate);
    load(*loader);
    EXPECT_TRUE(delegate->log.empty());
    env.runUntilIdle();
    EXPECT_EQ(delegate->log, (Log{row.expected, "finished"}));
    EXPECT_FALSE(loader->isLoading());
  }
}

TEST_F(ZUMAdLoaderTest, ARequestCarriesEachClassesParametersAndTheOptions) {
  serve(Json{{"ads", {ad("a")}}});
  auto loader = makeLoader({"2", "1", "2"}, count(4));
  load(*loader);
  auto sent = loader->slot()->loadingRequest();
  ASSERT_NE(sent, nullptr);
  EXPECT_EQ(sent->responseType(), 3);
  EXPECT_EQ(sent->formatParameters(), (Json{{{"format", 2}, {"allowed_response_types", {"ina"}}},
                                            {{"format", 1}, {"allowed_response_types", {"ina"}}}}));
  EXPECT_EQ(sent->adConfigurationParameters(), (Json{{"max_num_ads", 4}}));
  EXPECT_EQ(loader->adLoaderConfiguration()->adClassRequestParameters().size(), 2u);
}

TEST_F(ZUMAdLoaderTest, ASecondLoadDuringALoadOnlyLogsAndOneAfterItStartsAgain) {
  serve(Json{{"ads", {ad("a")}}});
  auto loader = makeLoader({"1"}, {});
  load(*loader);
  platform::SystemLog::Capture capture(true);
  load(*loader);
  env.runUntilIdle();
  EXPECT_TRUE(capture.contains("Another request already in progress. Ignoring new request."));
  ASSERT_TRUE(waitForLog(2));
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, (Log{"ad a final", "finished"}));
  serve(Json{{"ads", {ad("b")}}});
  load(*loader);
  ASSERT_TRUE(waitForLog(4));
  EXPECT_EQ(delegate->log, (Log{"ad a final", "finished", "ad b final", "finished"}));
}

TEST_F(ZUMAdLoaderTest, ADelegateWithoutTheKindsProtocolIsRefused) {
  auto loader = makeLoader({"1"}, {});
  platform::SystemLog::Capture capture(true);
  loader->setDelegate(std::make_shared<PlainDelegate>());
  env.runUntilIdle();
  EXPECT_EQ(loader->delegate(), delegate);
  EXPECT_TRUE(capture.contains(
      "Delegate does not conform to the required protocol, TestAdLoaderDelegate. Add TestAdLoaderDelegate to"));
  loader->setDelegate(nullptr);
  EXPECT_EQ(loader->delegate(), nullptr);
}

TEST_F(ZUMAdLoaderTest, TheSlotsFailureIsFinal) {
  serve(Json::object(), 500);
  auto loader = makeLoader({"1"}, {});
  load(*loader);
  ASSERT_TRUE(waitForLog(2));
  EXPECT_EQ(delegate->log.size(), 2u);
  EXPECT_EQ(delegate->log.back(), "finished");
  EXPECT_EQ(delegate->log.front().rfind("failed ", 0), 0u);
  EXPECT_FALSE(loader->isLoading());
}

TEST_F(ZUMAdLoaderTest, ALoaderReleasedMidLoadEndsQuietly) {
  serve(Json{{"ads", {ad("a", 1, {"img"}), ad("b", 1, {"img"})}}});
  auto loader = makeLoader({"1"}, count(2));
  load(*loader);
  ASSERT_TRUE(waitForAds(2));
  env.runUntilIdle();
  finishAsset(0, "img");
  loader.reset();
  env.advance(10s);
  EXPECT_TRUE(delegate->log.empty());
  for (const auto& made : kinds.content->made) EXPECT_EQ(made.lock(), nullptr);
}

TEST_F(ZUMAdLoaderTest, TwoAdsOfOneResponseClickedInTurnTellTheirOwnDelegates) {
  hosts.server.route("/click-a", {.status = 200});
  hosts.server.route("/click-b", {.status = 200});
  serve(Json{{"ads", {ad("a"), ad("b")}}});
  auto loader = makeLoader({"1"}, count(2));
  load(*loader);
  ASSERT_TRUE(waitForLog(3));
  ASSERT_EQ(delegate->ads.size(), 2u);
  auto first = std::make_shared<nativetest::AdDelegate>("a:");
  auto second = std::make_shared<nativetest::AdDelegate>("b:");
  delegate->ads[0]->setDelegate(first);
  delegate->ads[1]->setDelegate(second);
  delegate->ads[0]->performClickOnView(nullptr, "headline", Json::object());
  ASSERT_TRUE(env.runUntil([&] { return first->log.size() >= 2 && hosts.hits("/click-a") > 0; }));
  env.advance(1s);
  delegate->ads[1]->performClickOnView(nullptr, "headline", Json::object());
  ASSERT_TRUE(env.runUntil([&] { return second->log.size() >= 2 && hosts.hits("/click-b") > 0; }));
  env.advance(1s);
  EXPECT_EQ(first->log, (Log{"a:click", "a:leave"}));
  EXPECT_EQ(second->log, (Log{"b:click", "b:leave"}));
}

// Mediation as the loader sees it: entries without a response type, and a mediated ad
// that becomes the test's loadable ad.
struct FakeMediatedAd : ZUMMediatedAd {
  std::shared_ptr<ZUMLoadable> loadableAdForAdLoader(ZUMAdLoader&) override { return loadable; }
  std::shared_ptr<ZUMLoadable> loadable;
};
struct FakeMediation : ZUMNativeMediation {
  std::optional<std::string> responseType(const ZUMMAdNetworkConfig&) override { return std::nullopt; }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeNativeAdConnector(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) override {
    ++connectors;
    return nullptr;
  }
  int connectors = 0;
};

TEST_F(ZUMAdLoaderTest, AMediatedAdIsCheckedThenDeliveredAsTheFinalResult) {
  auto loader = makeLoader({"1"}, {});
  auto mediated = std::make_shared<FakeMediatedAd>();
  auto mediation = std::make_shared<FakeMediation>();
  const struct {
    const char* name;
    bool installed;
    std::string className;
    std::string completion;
    Log heard;
  } rows[] = {
      {"no mediation", false, "", "11 The mediated ad cannot be loaded by an ad loader.", {}},
      {"no ad", true, "", "11 The mediated ad cannot be loaded by an ad loader.", {}},
      {"a kind the delegate lacks",
       true,
       "PXRBannerView",
       "12 Delegate does not conform to the required protocol, PXRBannerAdLoaderDelegate.",
       {}},
      {"a kind the delegate has", true, kZUMNativeContentAdClassName, "ok", {"ad m final", "finished"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    delegate->log.clear();
    ZUMNativeMediation::setShared(row.installed ? mediation : nullptr);
    mediated->loadable = row.className.empty()
                             ? nullptr
                             : nativetest::DeliveredTestAd::create(Json{{"headline", "m"}}, {}, row.className);
    std::string completion;
    loader->adProcessMediatedAd(nullptr, mediated, [&](const platform::ErrorPtr& error) {
      completion = error ? std::to_string(error->code()) + " " + error->localizedDescription() : "ok";
    });
    env.runUntilIdle();
    EXPECT_EQ(completion.substr(0, row.completion.size()), row.completion);
    EXPECT_EQ(delegate->log, row.heard);
  }
  // The loader keeps the ad alive while its assets load.
  delegate->log.clear();
  mediated->loadable = nativetest::DeliveredTestAd::create(Json{{"headline", "k"}}, {}, kZUMNativeContentAdClassName);
  loader->adProcessMediatedAd(nullptr, mediated, [](const platform::ErrorPtr&) {});
  mediated->loadable = nullptr;
  env.runUntilIdle();
  EXPECT_EQ(delegate->log, (Log{"ad k final", "finished"}));
  // ... and lets it go once its assets failed.
  auto failing = nativetest::DeliveredTestAd::create(Json{{"headline", "f"}}, {}, kZUMNativeContentAdClassName);
  failing->assets = {"img"};
  failing->required = {"img"};
  const std::weak_ptr<nativetest::DeliveredTestAd> failed = failing;
  mediated->loadable = std::exchange(failing, nullptr);
  std::string outcome;
  loader->adProcessMediatedAd(nullptr, mediated,
                              [&](const platform::ErrorPtr& error) { outcome = error ? "failed" : "ok"; });
  mediated->loadable = nullptr;
  failed.lock()->failedToLoadAssetWithName("img");
  env.runUntilIdle();
  EXPECT_EQ(outcome, "failed");
  EXPECT_TRUE(failed.expired());
  // The loader owns the mediated responses of its slot.
  auto response = ZUMAd::create();
  loader->slotWillProcessMediatedAdResponse(*loader->slot(), response);
  EXPECT_EQ(response->mediationDelegate(), loader);
  // An entry without a response type gets mediation's native connector.
  EXPECT_EQ(loader->mediationConnectorForConfiguration(nullptr, nullptr), nullptr);
  EXPECT_EQ(mediation->connectors, 1);
  EXPECT_TRUE(loader->processesMediatedAds());
  EXPECT_EQ(loader->adLoaderConfigurationForAd(nullptr, nullptr), loader->adLoaderConfiguration());
}

}  // namespace
