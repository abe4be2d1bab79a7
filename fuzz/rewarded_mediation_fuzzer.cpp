// Rewarded mediation responses and application settings of any shape. The input's
// first lines up to an empty line are response headers ("name: value"), the rest the
// body. The response goes through the rewarded ad as an ad of the request: a mediation
// response runs its waterfall over three fuzz adapters (one fills, one has no fill, one
// fails its set-up), every other response fails as the ad's failure table says. Each
// load ends with exactly one outcome and nothing left running. The body is also read as
// application settings for the early set-up: every config that comes out names a
// registered adapter class.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ZUMExtras.h"
#include "ZUMMAdapterClass.h"
#include "ZUMMRewardBasedVideoAdNetworkAdapter.h"
#include "ZUMMRewardBasedVideoAdNetworkConnector.h"
#include "ZUMRequest.h"
#include "ZUMRewardBasedVideoAd.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/base/ASCIIString.h"
#include "platform/base/ClassRegistry.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMJSONAdditions.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMAdFetcher.h"

using Json = nlohmann::ordered_json;

namespace {

enum class Behaviour { kFill, kNoFill, kSetUpFails };

struct Adapter : ZUMMRewardBasedVideoAdNetworkAdapter {
  Adapter(std::weak_ptr<ZUMMRewardBasedVideoAdNetworkConnector> connector, Behaviour behaviour)
      : connector(std::move(connector)), behaviour(behaviour) {}
  void setUp() override {
    auto target = connector.lock();
    if (!target) return;
    if (behaviour == Behaviour::kSetUpFails) {
      target->adapterDidFailToSetUpRewardBasedVideoAdWithError(*this, ZUMMakeErrorWithCode(kZUMErrorInternalError));
    } else {
      target->adapterDidSetUpRewardBasedVideoAd(*this);
    }
  }
  void requestRewardBasedVideoAd() override {
    auto target = connector.lock();
    if (!target) return;
    if (behaviour == Behaviour::kFill) {
      target->adapterDidReceiveRewardBasedVideoAd(*this);
    } else {
      target->adapterDidFailToLoadRewardBasedVideoAdwithError(*this, ZUMMakeErrorWithCode(kZUMErrorNoFill));
    }
  }
  void presentRewardBasedVideoAdWithRootViewController(const std::shared_ptr<platform::ViewController>&) override {}
  void stopBeingDelegate() override { connector.reset(); }
  std::weak_ptr<ZUMMRewardBasedVideoAdNetworkConnector> connector;
  Behaviour behaviour;
};

struct AdapterClass : ZUMMAdapterClass {
  explicit AdapterClass(Behaviour behaviour) : behaviour(behaviour) {}
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector) const override {
    return std::make_shared<Adapter>(connector, behaviour);
  }
  std::shared_ptr<ZUMMRewardBasedVideoAdNetworkAdapter> initWithRewardBasedVideoAdNetworkConnector(
      const std::shared_ptr<ZUMMRewardBasedVideoAdNetworkConnector>& connector, const Json&) const override {
    return std::make_shared<Adapter>(connector, behaviour);
  }
  Behaviour behaviour;
};

struct Host : ZUMRewardBasedVideoAdDelegate {
  void rewardBasedVideoAdDidRewardUserWithReward(ZUMRewardBasedVideoAd&, const std::shared_ptr<ZUMAdReward>&) override {
  }
  ZUMImplemented rewardBasedVideoAdDidFailToLoadWithError(ZUMRewardBasedVideoAd&,
                                                          const ZUMRequestErrorPtr& e) override {
    ++outcomes;
    code = e->code();
    return kZUMImplemented;
  }
  ZUMImplemented rewardBasedVideoAdDidReceiveAd(ZUMRewardBasedVideoAd&) override {
    ++outcomes;
    received = true;
    return kZUMImplemented;
  }
  int outcomes = 0;
  bool received = false;
  std::int64_t code = -1;
};

const std::set<std::string>& adapterNames() {
  static const std::set<std::string> names{"FuzzFill", "FuzzNoFill", "FuzzSetUpFails"};
  return names;
}

void setUpOnce() {
  static const bool done = [] {
    fuzzenv::setUpOnce("rewarded-mediation-fuzzer");
    ZUMRegisterAdFetcher();
    // No mediation click tracking is registered: pings are dropped with a log line
    // instead of reaching the network.
    const platform::ClassDescriptor descriptor{
        .protocols = {kZUMMRewardBasedVideoAdNetworkAdapterProtocol},
        .initialisers = {kZUMMInitWithRewardBasedVideoAdNetworkConnector,
                         kZUMMInitWithRewardBasedVideoAdNetworkConnectorCredentials}};
    ZUMMRegisterAdapterClass("FuzzFill", std::make_shared<AdapterClass>(Behaviour::kFill), descriptor);
    ZUMMRegisterAdapterClass("FuzzNoFill", std::make_shared<AdapterClass>(Behaviour::kNoFill), descriptor);
    ZUMMRegisterAdapterClass("FuzzSetUpFails", std::make_shared<AdapterClass>(Behaviour::kSetUpFails), descriptor);
    return true;
  }();
  (void)done;
}

// The outcomes a rewarded load may end with, by the ad's and the waterfall's tables.
bool expectedFailure(std::int64_t code) {
  switch (code) {
    case kZUMErrorInvalidMediationResponse:  // no usable configuration
    case kZUMErrorNoFillFromAnyNetwork:      // every network failed
    case kZUMErrorInternalError:             // response types 0, 3 and 4
    case kZUMErrorInvalidResponse:           // JSON that is no dictionary
    case kZUMErrorServerError:               // headers that make an invalid response
    case 3840:                               // the JSON decoder's own error
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  setUpOnce();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find("\n\n");
  const std::string_view headerText = text.substr(0, split);
  const std::string body(split == std::string_view::npos ? std::string_view() : text.substr(split + 2));
  Json headers = Json::object();
  for (const auto& [name, value] : fuzzenv::pairsFromLines(headerText, ':', true)) headers[name] = value;

  // The early set-up's reading of settings.
  if (auto settings = zum_decodedJSONObjectError(body, nullptr)) {
    for (const auto& config : ZUMRewardBasedVideoAd::rewardedNetworkConfigsFromSettings(*settings)) {
      fuzzenv::check(config->adapterClass() && adapterNames().contains(*config->adapterClass()));
    }
  }

  // A standard response would render a page: only the other kinds are loaded here.
  Json lowercased = Json::object();
  for (const auto& [name, value] : headers.items()) lowercased[platform::asciiLowercased(name)] = value;
  if (ZUMAdFetcher::adResponseTypeFromHeaders(lowercased, nullptr) == kZUMStandardResponseType) return 0;

  auto rewarded = ZUMRewardBasedVideoAd::sharedInstance();
  auto host = std::make_shared<Host>();
  rewarded->setDelegate(host);
  auto extras = ZUMExtras::create();
  extras->setAdditionalParameters(Json{
      {"_ad", {{"ad_html", body.empty() ? std::string(" ") : body}, {"ad_base_url", "https://ads.adnetwork.example/"}}},
      {"_adHeaders", headers}});
  auto request = ZUMRequest::create();
  request->registerAdNetworkExtras(extras);
  rewarded->loadRequest(request, "unit-F");
  fuzzenv::drainMainLoop();
  fuzzenv::check(host->outcomes == 1 && !rewarded->isRequestInProgress());
  fuzzenv::check(host->received ? rewarded->adNetworkClassName() == "FuzzFill" : expectedFailure(host->code));
  return 0;
}
