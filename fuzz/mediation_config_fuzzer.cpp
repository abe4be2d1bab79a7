// Mediation responses of any shape. The first line holds the two size headers (slot size
// and ad size, separated by a space); the rest is the response body. The body goes
// through a slot's mediation response processing, which must end the load with exactly
// one error, and into a configuration whose descriptions and filled ping templates are
// made. Nothing crashes, only registered adapter classes are ever chosen, and no
// configuration holds more than kZUMMMaximumAdNetworks entries. Each entry's connector
// (banner, interstitial and native in turn) answers every question an adapter may ask;
// the inlined ad's numbers, taken from the size header's text (which may read "nan" or
// "inf"), never reach its text unless finite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMMAdapterClass.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ClassRegistry.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorNativeAd.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/mediation/ZUMMUtilities.h"
#include "sdk/mediation/ZUMMediation.h"
#include "sdk/network/ZUMClickTrackerMediation.h"
#include "sdk/rendering/ZUMSlotResponseProcessor.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlot.h"

using json = nlohmann::ordered_json;

namespace {

struct Owner : ZUMSlotAdLoadDelegate, ZUMSlotAdResponseDelegate, ZUMAdMediationDelegate {
  void slotFinishedLoadingAdContent(ZUMSlot&) override { ++finished; }
  void slotDidFailToLoadAdContentWithError(ZUMSlot&, const platform::ErrorPtr&) override { ++failed; }
  bool slotShouldProcessAdResponse(ZUMSlot&, const std::shared_ptr<ZUMAd>&, platform::ErrorPtr*) override {
    return true;
  }
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
    // The slot's waterfall pings no fill: dropped with a log line instead of sent.
    ZUMClickTrackerMediation::setShared(nullptr);
    ZUMMRegisterAdapterClass(
        "FuzzAdapter", std::make_shared<ZUMMAdapterClass>(),
        {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetBannerWithSizeOperation}});
    ZUMMRegisterAdapterClass("FuzzOldAdapter", std::make_shared<ZUMMAdapterClass>(),
                             {.protocols = {kZUMMAdNetworkAdapterProtocol}});
    ZUMMRegisterAdapterClass(
        "ZUMMAdapterCustomEvents", std::make_shared<ZUMMAdapterClass>(),
        {.protocols = {kZUMMAdNetworkAdapterProtocol}, .operations = {kZUMMGetInterstitialOperation}});
    return true;
  }();
  (void)done;
}

// The waterfall the connectors report to: it only names the slot.
struct Waterfall : ZUMMConnectorDelegate {
  void adRequestReturnsFromConnectorWithView(Connector&, const std::shared_ptr<platform::View>&) override {}
  void adRequestReturnsFromConnectorWithInterstitial(Connector&, const std::shared_ptr<void>&) override {}
  void adRequestReturnsFromConnectorWithMediatedAd(Connector&, const std::shared_ptr<ZUMMediatedAd>&) override {}
  void adRequestFailedFromConnectorWithError(Connector&, const platform::ErrorPtr&) override {}
  bool connectorShouldReturnMediatedAd(Connector&) override { return false; }
  std::shared_ptr<ZUMSlot> slot() const override { return theSlot; }
  std::shared_ptr<ZUMSlot> theSlot;
};

std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeConnector(std::size_t index,
                                                          const std::shared_ptr<const ZUMMConfig>& config,
                                                          const std::shared_ptr<ZUMMAdNetworkConfig>& entry) {
  switch (index % 3) {
    case 0:
      return ZUMMAdNetworkConnectorBanner::create(config, entry);
    case 1:
      return ZUMMAdNetworkConnectorInterstitial::create(config, entry);
    default:
      return ZUMMAdNetworkConnectorNativeAd::create(config, entry);
  }
}

void askEverything(ZUMMAdNetworkConnectorImpl& connector) {
  (void)connector.publisherId();
  (void)connector.credentials().dump();
  (void)connector.testMode();
  (void)connector.networkExtras();
  (void)connector.childDirectedTreatment();
  (void)connector.userGender();
  (void)connector.userBirthday();
  (void)connector.userLatitude();
  (void)connector.userLongitude();
  (void)connector.userLocationAccuracyInMeters();
  (void)connector.userLocationDescription();
  (void)connector.userKeywords();
  (void)connector.extras();
  (void)connector.adapterNames();
  (void)connector.currentAdapterName();
  (void)connector.userRequestAgent();
  (void)connector.adapterVersion();
  (void)connector.adVolume();
  (void)connector.adMuted();
  (void)connector.viewControllerForPresentingModalView();
  (void)connector.inlineAdNativeFields();
  fuzzenv::check(!connector.credentials().contains("pentwick_share_location"));
  fuzzenv::check(!connector.userHasLocation() || connector.isLocationShared());
  const auto inlined = connector.inlineAd();
  fuzzenv::check(inlined.has_value() == (connector.networkConfig()->ad() != nullptr));
  if (!inlined) return;
  for (const char* key :
       {"_native_interstitial_size_width", "_native_interstitial_size_height", "_native_cropped_content_threshold"}) {
    // A key the server's own ad carries stays as the server wrote it.
    if (!inlined->contains(key) || connector.networkConfig()->ad()->contains(key)) continue;
    const std::string text = (*inlined)[key].get<std::string>();
    fuzzenv::check(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos);
  }
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
  fuzzenv::check(config->adNetworkConfigs().size() <= kZUMMMaximumAdNetworks);
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
  // Every entry's connector, over the slot and its ad with the header's numbers.
  const std::string sizeText(sizes.substr(0, space));
  ad->setSize({std::strtod(sizeText.c_str(), nullptr), 50});
  ad->setCroppedContentThreshold(
      std::strtod(std::string(space == std::string_view::npos ? "" : sizes.substr(space + 1)).c_str(), nullptr));
  slot->setAd(ad);
  auto waterfall = std::make_shared<Waterfall>();
  waterfall->theSlot = slot;
  std::size_t index = 0;
  for (const auto& entry : config->adNetworkConfigs()) {
    auto connector = makeConnector(index++, config, entry);
    connector->setAdManager(waterfall);
    connector->setUpAdapter();
    askEverything(*connector);
  }
  fuzzenv::drainMainLoop();
  return 0;
}
