// What the slot asks of mediation: its waterfall driver, the configuration of a
// mediation response, running the waterfall over it, stopping the waterfall, switching
// a mediated ad to a new ad type, naming the network that filled, telling it of an
// impression the host recorded, and taking over the connector another slot's waterfall
// filled with. The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): a slot has no mediation manager, a mediation
// response finds no adapter (code 8), nothing is stopped, a new ad type always needs a
// new request, a mediated ad names no network, a network hears of no manual impression,
// and a connector handed over is only kept by the slot.
//
// Called on the main thread, never from the slot's destructor.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdType;
class ZUMMConfig;
class ZUMMAdManager;
class ZUMMAdNetworkConnectorImpl;
class ZUMSlot;

class ZUMSlotMediation : public ZUMSharedInterface<ZUMSlotMediation> {
 public:
  virtual ~ZUMSlotMediation() = default;

  // The waterfall driver of a new slot, its slot set to `slot` (kept by the slot).
  virtual std::shared_ptr<ZUMMAdManager> makeMediationManager(ZUMSlot& slot) = 0;
  // The read-only configuration of a decoded mediation response for the slot's ad unit
  // `appKey`; nullptr with *error (code 7 for a malformed response) when refused.
  [[nodiscard]] virtual std::shared_ptr<const ZUMMConfig> makeConfiguration(const std::string& appKey,
                                                                            const nlohmann::ordered_json& response,
                                                                            platform::ErrorPtr* error) = 0;
  // Runs the slot's waterfall over `config` for `adType`; its outcome reaches the slot
  // through the slot's own calls (a slot without a manager fails with code 8).
  virtual void mediate(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType,
                       const std::shared_ptr<const ZUMMConfig>& config) = 0;
  // The configuration's refresh interval, in seconds (0: none).
  virtual double refreshInterval(const ZUMMConfig& config) = 0;
  // Stops the waterfall of the slot's mediation manager.
  virtual void cancelMediation(ZUMMAdManager& manager) = 0;
  // Whether the shown mediated ad took the new type without a new request.
  virtual bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) = 0;
  // The adapter class of the network whose ad the slot shows; std::nullopt without one.
  virtual std::optional<std::string> mediatedAdNetworkClassName(const ZUMSlot& slot) = 0;
  // The host recorded an impression of the slot's shown mediated ad by hand: the network
  // that filled it is told (its connector's reportManualImpression()).
  virtual void reportManualImpression(ZUMSlot& /*slot*/) {}
  // The connector of another slot's waterfall now serves `slot`: the other slot's shown
  // ad becomes this slot's, the connector this slot's waterfall's received network.
  virtual void adoptMediationConnector(ZUMSlot& /*slot*/,
                                       const std::shared_ptr<ZUMMAdNetworkConnectorImpl>& /*connector*/) {}
};
