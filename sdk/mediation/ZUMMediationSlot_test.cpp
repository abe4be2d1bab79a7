// A mediation response that a real slot fetches from the loopback server, at the ad URL
// the SDK-core page gives, becomes a configuration, or fails the load with the
// configuration's error.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMMobileAds.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlot.h"
#include "sdk/sdkcore/ZUMSDKCoreTestSupport.h"
#include "testing/TestEnvironment.h"

namespace {

using Json = nlohmann::ordered_json;

// The slot's owner: it mediates the responses it is told of, as the formats do.
struct Owner : ZUMSlotDelegate, ZUMSlotAdLoadDelegate, ZUMSlotAdResponseDelegate, ZUMAdMediationDelegate,
               std::enable_shared_from_this<Owner> {
  void slotFinishedLoadingAdContent(ZUMSlot&) override {}
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr& error) override { errors.push_back(error); }
  bool slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) override { return true; }
  void slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>& ad) override {
    ad->setMediationDelegate(shared_from_this());
  }
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) override {
    return nullptr;
  }
  std::vector<platform::ErrorPtr> errors;
};

class ZUMMediationSlotTest : public testenv::PlatformTest {
 protected:
  void SetUp() override { ZUMMobileAds::load(); }
  // The code the load of `body` fails with.
  std::int64_t loadFails(const std::string& body, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("X-Qyra-Mediation", "1");
    hosts.server.route("/ad", {.headers = std::move(headers), .body = body,
                                .contentType = "application/json"});
    auto slot = ZUMSlot::create({0, 0, 320, 50});
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
};

TEST_F(ZUMMediationSlotTest, AResponseBecomesAConfigurationOrFailsWithItsError) {
  EXPECT_EQ(loadFails(R"({"ad_networks": "one"})"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails(R"(["ad_networks"])"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails("{not json"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"name": "no id"}]})"), kZUMErrorInvalidMediationResponse);
  // A valid configuration: no waterfall runs it yet.
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}], "settings": {"refresh": 60}})"),
            kZUMErrorNoMediationAdapter);
}

// Mediation as built, keeping the responses it is given.
struct RecordingMediation : ZUMSlotMediation {
  std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot& slot) override { return built.makeMediationManager(slot); }
  std::shared_ptr<const ZUMMConfig> makeConfiguration(const std::string& appKey, const Json& response,
                                                      platform::ErrorPtr* error) override {
    responses.push_back(response);
    return built.makeConfiguration(appKey, response, error);
  }
  void cancelMediation(ZUMMAdManager& manager) override { built.cancelMediation(manager); }
  bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& type) override {
    return built.changeMediatedAdType(slot, type);
  }
  ZUMMediationSlotMediation built;
  std::vector<Json> responses;
};

TEST_F(ZUMMediationSlotTest, SizeHeadersFillOnlyTheDefaultSizesTheResponseLacks) {
  auto mediation = std::make_shared<RecordingMediation>();
  ZUMSlotMediation::setShared(mediation);
  EXPECT_EQ(loadFails(R"({"ad_networks": [], "default_ad_sz": "728x90"})",
                      {{"X-Qyra-Ad-Slot-Size", "320x50"}, {"X-Qyra-Ad-Size", "300x250"}}),
            kZUMErrorNoMediationAdapter);
  ASSERT_EQ(mediation->responses.size(), 1u);
  EXPECT_EQ(mediation->responses[0].value("default_slot_sz", ""), "320x50");
  EXPECT_EQ(mediation->responses[0].value("default_ad_sz", ""), "728x90");
}

}  // namespace
