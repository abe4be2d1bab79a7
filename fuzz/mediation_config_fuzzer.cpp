// Mediation responses of any shape. The first line holds the two size headers (slot size
// and ad size, separated by a space); the rest is the response body. The body goes
// through a slot's mediation response processing, which must end the load with exactly
// one error, and into a configuration whose descriptions and filled ping templates are
// made. Nothing crashes, and only registered adapter classes are ever chosen.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMMAdapterClass.h"
#include "ZUMMAdNetworkAdapter.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ClassRegistry.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlot.h"

using json = nlohmann::ordered_json;

namespace {

struct Owner : ZUMSlotAdLoadDelegate, ZUMSlotAdResponseDelegate, ZUMAdMediationDelegate {
  void slotFinishedLoadingAdContent(ZUMSlot&) override { ++finished; }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr&) override { ++failed; }
  bool slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) override { return true; }
  void slotWillProcessMediatedAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&) override {}
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>&, const std::shared_ptr<ZUMMAdNetworkConfig>&) override {
    return nullptr;
  }
  int finished = 0;
  int failed = 0;
};

void registerClasses() {
  static const bool done = [] {
    ZUMRegisterMediation();
    ZUMMRegisterAdapterClass("FuzzAdapter", std::make_shared<ZUMMAdapterClass>(),
                             {.protocols = {kZUMMAdNetworkAdapterProtocol},
                              .operations = {kZUMMGetBannerWithSizeOperation}});
    ZUMMRegisterAdapterClass("FuzzOldAdapter", std::make_shared<ZUMMAdapterClass>(),
                             {.protocols = {kZUMMAdNetworkAdapterProtocol}});
    ZUMMRegisterAdapterClass("ZUMMAdapterCustomEvents", std::make_shared<ZUMMAdapterClass>(),
                             {.protocols = {kZUMMAdNetworkAdapterProtocol},
                              .operations = {kZUMMGetInterstitialOperation}});
    return true;
  }();
  (void)done;
}

void fillTemplates(const ZUMMConfig::Templates& templates, const ZUMMediationURLValues& values) {
  if (!templates) return;
  for (const auto& urlTemplate : *templates) (void)ZUMMUtilities::mediationURLFrom(urlTemplate, values);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzenv::setUpOnce("mediation-config-fuzzer");
  registerClasses();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = text.find('\n');
  const std::string_view sizes = text.substr(0, lineEnd);
  const std::string body(lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1));
  const std::size_t space = sizes.find(' ');
  json headers = {{"x-qyra-ad-slot-size", std::string(sizes.substr(0, space))}};
  if (space != std::string_view::npos) headers["x-qyra-ad-size"] = std::string(sizes.substr(space + 1));

  // Through a slot: one failure, whatever the body.
  auto owner = std::make_shared<Owner>();
  auto slot = ZUMSlot::create({0, 0, 320, 50});
  slot->setAdUnitID("unit-F");
  slot->setAdLoadDelegate(owner);
  slot->setAdResponseDelegate(owner);
  auto ad = ZUMAd::create();
  ad->setResponseType(2);
  ad->setAdHTML(body);
  ad->setResponseHeaders(headers);
  ad->setMediationDelegate(owner);
  slot->willFetchAdContent();
  ZUMSlotResponseProcessor::processMediationAdResponse(*slot, ad);
  fuzzenv::drainMainLoop();
  fuzzenv::check(owner->failed == 1 && owner->finished == 0);

  // The configuration itself, its descriptions and its filled templates.
  platform::ErrorPtr error;
  auto decoded = zum_decodedJSONObjectError(body, &error);
  if (!decoded) return 0;
  platform::ErrorPtr refused;
  auto config = ZUMMConfig::create("unit-F", *decoded, &refused);
  fuzzenv::check(!config == static_cast<bool>(refused));
  if (!config) return 0;
  (void)config->description();
  const ZUMMediationURLValues values{config->appKey(), true, "a", "n", config->qdata(), "s", "1", "0", "10", "1"};
  fillTemplates(config->impressionURLs(), values);
  fillTemplates(config->clickURLs(), values);
  fillTemplates(config->noFillURLs(), values);
  for (const auto& entry : config->adNetworkConfigs()) {
    if (entry->adapterClass()) fuzzenv::check(platform::ClassRegistry::shared().isRegistered(*entry->adapterClass()));
    (void)ZUMResolveAdapterClass(*entry);
    if (entry->adapterClass()) fuzzenv::check(platform::ClassRegistry::shared().isRegistered(*entry->adapterClass()));
    (void)entry->description();
    fillTemplates(entry->impressionURLs(), values);
    fillTemplates(entry->clickURLs(), values);
    fillTemplates(entry->fillURLs(), values);
  }
  fuzzenv::drainMainLoop();
  return 0;
}
