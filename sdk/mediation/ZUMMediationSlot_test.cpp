// A mediation response that a real slot fetches from the loopback server, at the ad URL
// the SDK-core page gives, becomes a configuration (or fails the load with the
// configuration's error) that the slot's own waterfall runs: scripted adapters answer
// on virtual time, a banner slot takes the configuration's refresh interval and the
// response's ad size, the slot names the network shown, and the pass's "load_med"
// timings leave in the slot's CSI beacon.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/UserDefaults.h"
#include "platform/ui/View.h"
#include "sdk/csi/ZUMCSIReporter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorTestSupport.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/network/ZUMClickTrackerCollection.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// The slot's owner: it mediates the responses it is told of, as the formats do.
struct Owner : ZUMSlotDelegate,
               ZUMSlotAdLoadDelegate,
               ZUMSlotAdResponseDelegate,
               ZUMAdMediationDelegate,
               std::enable_shared_from_this<Owner> {
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override {
    errors.push_back(error);
  }
  bool slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) override {
    return true;
  }
  void slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) override {
    ad->setMediationDelegate(shared_from_this());
  }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& entry) override {
    if (kind == Kind::kNone) return nullptr;
    if (kind == Kind::kInterstitial) return ZUMMAdNetworkConnectorInterstitial::create(config, entry);
    return ZUMMAdNetworkConnectorBanner::create(config, entry);
  }
  void slotFinishedLoadingAdContent(ZUMSlot&) override { ++loads; }
  std::optional<bool> slotShouldReloadCurrentRequest(ZUMSlot&) override { return true; }
  ZUMImplemented slotDidReceiveAdView(ZUMSlot&, const std::shared_ptr<platform::View>& view) override {
    shownView = view;
    return kZUMImplemented;
  }
  enum class Kind { kNone, kBanner, kInterstitial } kind = Kind::kNone;
  std::vector<platform::ErrorPtr> errors;
  int loads = 0;
  std::shared_ptr<platform::View> shownView;
};

class ZUMMediationSlotTest : public testenv::PlatformTest {
 protected:
  void SetUp() override {
    ZUMMobileAds::load();
    // The default no-fill ping's host.
    platform::URLLoading::mapHostForTesting("mediation.adnetwork.example", "127.0.0.1", hosts.server.port());
  }
  void TearDown() override {
    EXPECT_TRUE(env.runUntil([] { return ZUMClickTrackerCollection::sharedInstance()->activeTrackerCount() == 0; }));
  }
  // The code the load of `body` fails with.
  std::int64_t loadFails(const std::string& body, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("X-Qyra-Mediation", "1");
    hosts.server.route("/ad", {.headers = std::move(headers), .body = body, .contentType = "application/json"});
    auto installed = ZUMSlotMediation::shared();
    if (madeBeforeMediation) ZUMSlotMediation::setShared(nullptr);
    auto slot = ZUMSlot::create({0, 0, 320, 50});
    ZUMSlotMediation::setShared(installed);
    slot->setAdUnitID("unit-A");
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    slot->setAdResponseDelegate(owner);
    owner->errors.clear();
    slot->loadRequest(ZUMRequest::create());
    EXPECT_TRUE(env.runUntil([&] { return slot->state() == ZUMSlot::State::kFailed; })) << body;
    env.runUntilIdle();
    return owner->errors.size() == 1 ? owner->errors[0]->code() : -1;
  }

  sdkcoretest::NetworkHosts hosts;
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  bool madeBeforeMediation = false;  // the slot has no waterfall
};

TEST_F(ZUMMediationSlotTest, AResponseBecomesAConfigurationOrFailsWithItsError) {
  EXPECT_EQ(loadFails(R"({"ad_networks": "one"})"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails(R"(["ad_networks"])"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails("{not json"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"name": "no id"}]})"), kZUMErrorInvalidMediationResponse);
  // A valid configuration runs: its one network has no adapter, so none fills.
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}], "settings": {"refresh": 60}})"),
            kZUMErrorNoFillFromAnyNetwork);
  madeBeforeMediation = true;  // no waterfall to run it: no network can be asked
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}]})"), kZUMErrorNoMediationAdapter);
  madeBeforeMediation = false;
  ZUMSlotMediation::setShared(nullptr);  // no mediation area at all: likewise
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}]})"), kZUMErrorNoMediationAdapter);
}

// Mediation as built, keeping the responses it is given.
struct RecordingMediation : ZUMSlotMediation {
  std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot& slot) override {
    return built.makeMediationManager(slot);
  }
  std::shared_ptr<const ZUMMConfig> makeConfiguration(const std::string& appKey, const Json& response,
                                                      platform::ErrorPtr* error) override {
    responses.push_back(response);
    return built.makeConfiguration(appKey, response, error);
  }
  void mediate(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& type,
               const std::shared_ptr<const ZUMMConfig>& config) override {
    built.mediate(slot, type, config);
  }
  double refreshInterval(const ZUMMConfig& config) override { return built.refreshInterval(config); }
  void cancelMediation(ZUMMAdManager& manager) override { built.cancelMediation(manager); }
  bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& type) override {
    return built.changeMediatedAdType(slot, type);
  }
  std::optional<std::string> mediatedAdNetworkClassName(const ZUMSlot& slot) override {
    return built.mediatedAdNetworkClassName(slot);
  }
  ZUMMediationSlotMediation built;
  std::vector<Json> responses;
};

TEST_F(ZUMMediationSlotTest, SizeHeadersFillOnlyTheDefaultSizesTheResponseLacks) {
  auto mediation = std::make_shared<RecordingMediation>();
  ZUMSlotMediation::setShared(mediation);
  EXPECT_EQ(loadFails(R"({"ad_networks": [], "default_ad_sz": "728x90"})",
                      {{"X-Qyra-Ad-Slot-Size", "320x50"}, {"X-Qyra-Ad-Size", "300x250"}}),
            kZUMErrorNoFillFromAnyNetwork);
  EXPECT_EQ(loadFails(R"({"ad_networks": [], "default_slot_sz": "728x90"})",
                      {{"X-Qyra-Ad-Slot-Size", "320x50"}, {"X-Qyra-Ad-Size", "300x250"}}),
            kZUMErrorNoFillFromAnyNetwork);
  ASSERT_EQ(mediation->responses.size(), 2u);
  EXPECT_EQ(mediation->responses[0].value("default_slot_sz", ""), "320x50");
  EXPECT_EQ(mediation->responses[0].value("default_ad_sz", ""), "728x90");
  EXPECT_EQ(mediation->responses[1].value("default_slot_sz", ""), "728x90");
  EXPECT_EQ(mediation->responses[1].value("default_ad_sz", ""), "300x250");
}

// --- The slot's own waterfall ---------------------------------------------------------------

using connectortest::Adapter;
using Log = std::vector<std::string>;
using namespace std::chrono_literals;

class ZUMMediationHandOffTest : public ZUMMediationSlotTest {
 protected:
  void SetUp() override {
    ZUMMediationSlotTest::SetUp();
    for (const char* name : {"HoA", "HoB"}) classes[name] = connectortest::registerAdapter(name, board);
    classes["HoS"] = connectortest::registerSizingAdapter("HoS", board);
    owner->kind = Owner::Kind::kBanner;
  }
  void makeSlot(const std::shared_ptr<ZUMAdType>& type) {
    slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setAdUnitID("unit-H");
    slot->setAdType(type, false);
    slot->setReloadable(true);
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    slot->setAdResponseDelegate(owner);
  }
  // A response over the adapters (entry ids "n1", "n2", ...).
  void serve(const std::vector<std::string>& adapters, Json settings = Json::object(),
             std::vector<std::pair<std::string, std::string>> headers = {}) {
    Json networks = Json::array();
    for (const auto& name : adapters)
      networks.push_back({{"id", "n" + std::to_string(networks.size() + 1)}, {"adapters", {name}}});
    headers.emplace_back("X-Qyra-Mediation", "1");
    hosts.server.route("/ad", {.headers = std::move(headers),
                               .body = Json{{"ad_networks", networks}, {"settings", settings}}.dump(),
                               .contentType = "application/json"});
  }
  // Waits until the board holds `line` `times` times.
  void waitFor(const std::string& line, long times = 1) {
    EXPECT_TRUE(env.runUntil([&] { return std::count(board->log.begin(), board->log.end(), line) >= times; })) << line;
  }
  void answer(const std::string& name, const platform::ErrorPtr& error = nullptr) {
    auto view = platform::View::create({0, 0, 300, 250});
    classes[name]->adapters->back()->report([&](ZUMMAdNetworkConnector& c, Adapter& a) {
      if (error) return c.adapterDidFailAd(a, error);
      if (owner->kind == Owner::Kind::kInterstitial) return c.adapterDidReceiveInterstitial(a);
      c.adapterDidReceiveAdView(a, view);
    });
    env.runUntilIdle();
  }
  std::size_t adRequests() const { return hosts.server.requests("/ad").size(); }

  std::shared_ptr<connectortest::Board> board = std::make_shared<connectortest::Board>();
  std::map<std::string, std::shared_ptr<connectortest::AdapterClass>> classes;
  std::shared_ptr<ZUMSlot> slot;
};

TEST_F(ZUMMediationHandOffTest, ABannerSlotShowsItsNetworkAndReloadsAfterTheConfigurationsRefresh) {
  makeSlot(ZUMAdType::create(kZUMAdSizeBanner));
  serve({"HoA"}, {{"refresh", 30}}, {{"X-Qyra-Ad-Size", "300x250"}});
  slot->loadRequest(ZUMRequest::create());
  waitFor("HoA banner 300x250");  // the response's size, not the slot's
  ASSERT_TRUE(slot->ad());
  EXPECT_EQ(slot->ad()->responseType(), kZUMMediationResponseType);
  EXPECT_EQ(slot->reloadInterval(), 30);
  answer("HoA");
  EXPECT_EQ(slot->state(), ZUMSlot::State::kValidAd);
  EXPECT_EQ(owner->loads, 1);
  ASSERT_TRUE(owner->shownView);
  EXPECT_EQ(owner->shownView->frame().size.width, 300);
  EXPECT_EQ(slot->adNetworkClassName(), "HoA");

  env.advance(29s);
  EXPECT_EQ(adRequests(), 1u);
  env.advance(1s);
  waitFor("HoA banner 300x250", 2);
  EXPECT_EQ(adRequests(), 2u);
  EXPECT_EQ(slot->adNetworkClassName(), std::nullopt) << "none while the next pass asks";
  ASSERT_GE(board->log.size(), 3u);
  EXPECT_EQ(board->log[1], "HoA stop") << "the shown network stops before the next pass asks";
}

TEST_F(ZUMMediationHandOffTest, ANewBannerSizeGoesToTheShownNetworkOrTakesANewRequest) {
  const struct {
    const char* adapter;
    std::size_t requests;  // of the slot, after the size change
    std::string last;      // the board's last line
  } rows[] = {{"HoS", 1, "HoS size 320x100"}, {"HoA", 2, "HoA banner 320x100"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.adapter);
    board->log.clear();
    const auto earlier = adRequests();
    makeSlot(ZUMAdType::create(kZUMAdSizeBanner));
    serve({row.adapter});
    slot->loadRequest(ZUMRequest::create());
    waitFor(std::string(row.adapter) + " banner 320x50");
    answer(row.adapter);
    slot->setAdType(ZUMAdType::create(kZUMAdSizeLargeBanner), true);
    if (row.requests == 2) waitFor(row.last);
    env.runUntilIdle();
    EXPECT_EQ(adRequests() - earlier, row.requests);
    EXPECT_EQ(board->log.back(), row.last);
  }
}

TEST_F(ZUMMediationHandOffTest, AnInterstitialSlotKeepsItsTypeAndItsReloadInterval) {
  owner->kind = Owner::Kind::kInterstitial;
  makeSlot(ZUMAdType::createForInterstitial());
  const double before = slot->reloadInterval();
  serve({"HoA"}, {{"refresh", 30}}, {{"X-Qyra-Ad-Size", "300x250"}});
  slot->loadRequest(ZUMRequest::create());
  waitFor("HoA interstitial");
  answer("HoA");
  EXPECT_EQ(owner->loads, 1);
  EXPECT_EQ(slot->reloadInterval(), before);
}

TEST_F(ZUMMediationHandOffTest, ThePassTimingsLeaveInTheSlotsCSIBeacon) {
  ASSERT_TRUE(platform::UserDefaults::standard().setObject(Json("1"), "/vantor/ads/csi_reporting_probability"));
  platform::URLLoading::mapHostForTesting("csi.adnetwork.example", "127.0.0.1", hosts.server.port());
  hosts.server.route("/csi", {.status = 204});
  makeSlot(ZUMAdType::create(kZUMAdSizeBanner));
  serve({"HoA", "HoB"});
  slot->loadRequest(ZUMRequest::create());
  waitFor("HoA banner 320x50");
  env.advance(120ms);
  answer("HoA", ZUMMakeErrorWithCode(kZUMErrorNoFill));
  waitFor("HoB banner 320x50");
  env.advance(80ms);
  answer("HoB");
  slot.reset();
  std::string beacon;
  ASSERT_TRUE(env.runUntil([&] {
    for (const auto& request : hosts.server.requests("/csi")) {
      const auto query = request.query.value_or("");
      if (query.find("action=load_med") != std::string::npos) beacon = query;
    }
    return !beacon.empty() && ZUMCSIReporter::beaconsInFlight() == 0;
  }));
  EXPECT_NE(beacon.find("mediation_networks_fail=HoA.120"), std::string::npos) << beacon;
  EXPECT_NE(beacon.find("mediation_network_succeed=HoB.80"), std::string::npos) << beacon;
}

}  // namespace
