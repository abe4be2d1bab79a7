// What the mediated banner wrapper asks of the formats area, which stands above
// mediation: the publisher banner an ad loader delivers in place of another network's
// banner view. The formats area implements it and installs it once with setShared()
// when it registers.
//
// Unregistered (shared() is nullptr): a mediated banner becomes no loadable ad (the ad
// loader refuses it with code 11).
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdSize.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdLoader;
class ZUMLoadable;
class ZUMSlot;

class ZUMMediatedBannerFormats : public ZUMSharedInterface<ZUMMediatedBannerFormats> {
 public:
  // The banner as a loadable ad and its slot (both nullptr when none was made).
  struct Banner {
    std::shared_ptr<ZUMLoadable> ad;
    std::shared_ptr<ZUMSlot> slot;
  };

  virtual ~ZUMMediatedBannerFormats() = default;
  // A new publisher banner of `size` for `loader`: its ad unit, the loader's banner
  // options (manual impressions, app-event and ad-size delegates), the delegate's valid
  // banner sizes; `appEvents` ({"name", "info"}, in order) replayed to the app-event
  // delegate with the new banner.
  virtual Banner publisherBannerForAdLoader(ZUMAdLoader& loader, const ZUMAdSize& size,
                                            const std::vector<nlohmann::ordered_json>& appEvents) = 0;
};
