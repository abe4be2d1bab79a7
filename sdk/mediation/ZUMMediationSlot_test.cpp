// A mediation response fetched by a real slot from the loopback server becomes a
// configuration, or fails the load with the configuration's error.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMRequest.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/net/URLLoading.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/rendering/ZUMAdViewSlotRendering.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlot.h"
#include "testing/LoopbackServer.h"
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
  void SetUp() override {
    ZUMSlotRendering::setShared(std::make_shared<ZUMAdViewSlotRendering>());
    ZUMSlotResponseProcessing::setShared(std::make_shared<ZUMSlotResponseProcessor>());
    ZUMRegisterAdFetcher();
    ZUMRegisterMediation();
    platform::URLLoading::mapHostForTesting("ads.example.com", "127.0.0.1", server.port());
  }
  // The code the load of `body` fails with.
  std::int64_t loadFails(const std::string& body) {
    // A path per response: the connection keeps mediation responses in its memory cache.
    const std::string path = "/mediation/" + std::to_string(++loads);
    server.route(path, {.headers = {{"X-Qyra-Mediation", "1"}}, .body = body,
                                .contentType = "application/json"});
    auto slot = ZUMSlot::create({0, 0, 320, 50});
    slot->setAdUnitID("unit-A");
    slot->setSlotDelegate(owner);
    slot->setAdLoadDelegate(owner);
    slot->setAdResponseDelegate(owner);
    auto request = ZUMRequest::create();
    auto extras = ZUMExtras::create();
    extras->setAdditionalParameters(Json{{"_requestUrl", "https://ads.example.com" + path}});
    request->registerAdNetworkExtras(extras);
    owner->errors.clear();
    slot->loadRequest(request);
    EXPECT_TRUE(env.runUntil([&] { return slot->state() == ZUMSlot::State::kFailed; })) << body;
    env.runUntilIdle();
    return owner->errors.size() == 1 ? owner->errors[0]->code() : -1;
  }

  testenv::LoopbackServer server;
  std::shared_ptr<Owner> owner = std::make_shared<Owner>();
  int loads = 0;
};

TEST_F(ZUMMediationSlotTest, AResponseBecomesAConfigurationOrFailsWithItsError) {
  EXPECT_EQ(loadFails(R"({"ad_networks": "one"})"), kZUMErrorInvalidMediationResponse);
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"name": "no id"}]})"), kZUMErrorInvalidMediationResponse);
  // A valid configuration: no waterfall runs it yet.
  EXPECT_EQ(loadFails(R"({"ad_networks": [{"id": 1, "adapters": ["Missing"]}], "settings": {"refresh": 60}})"),
            kZUMErrorNoMediationAdapter);
}

}  // namespace
