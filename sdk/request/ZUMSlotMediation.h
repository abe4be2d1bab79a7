// What the slot asks of mediation: its waterfall driver, the configuration of a
// mediation response, stopping the waterfall, and switching a mediated ad to a new ad
// type. The area implements it and the SDK's load entry installs
// it once with setShared().
//
// Unregistered (shared() is nullptr): a slot has no mediation manager, a mediation
// response finds no adapter (code 8), nothing is stopped, and a new ad type always
// needs a new request.
//
// Called on the main thread, never from the slot's destructor.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdType;
class ZUMMConfig;
class ZUMMAdManager;
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
  // Stops the waterfall of the slot's mediation manager.
  virtual void cancelMediation(ZUMMAdManager& manager) = 0;
  // Whether the shown mediated ad took the new type without a new request.
  virtual bool changeMediatedAdType(ZUMSlot& slot, const std::shared_ptr<ZUMAdType>& adType) = 0;
};
