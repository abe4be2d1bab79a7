// What the slot asks of the formats: which public ad class its owner is. The area
// implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr): every owner counts as neither (0).
//
// Called on the main thread.
#pragma once

#include <cstdint>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMSlotDelegate;

class ZUMSlotFormats : public ZUMSharedInterface<ZUMSlotFormats> {
 public:
  virtual ~ZUMSlotFormats() = default;

  // 1 when the owner is a banner view, 2 when it is an interstitial, else 0.
  virtual std::int64_t requestedAdTypeForOwner(const ZUMSlotDelegate& owner) = 0;
};
