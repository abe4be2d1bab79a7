// What the native area asks of mediation: the type of a network entry's response, the
// native-ad connector of an entry, and the SDK ad a mediated ad becomes for an ad
// loader. The mediation area implements it and installs it once with setShared() when it
// registers.
//
// Unregistered (shared() is nullptr): an entry has no response type and no native-ad
// connector (the waterfall then fails the load with its own error), and a mediated ad
// becomes no loadable ad (the loader refuses it with code 11).
//
// Called on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMAdLoader;
class ZUMLoadable;
class ZUMMAdNetworkConfig;
class ZUMMAdNetworkConnectorImpl;
class ZUMMConfig;
class ZUMMediatedAd;

class ZUMNativeMediation : public ZUMSharedInterface<ZUMNativeMediation> {
 public:
  virtual ~ZUMNativeMediation() = default;

  // The entry's response type ("banner", "native"); std::nullopt when it has none.
  virtual std::optional<std::string> responseType(const ZUMMAdNetworkConfig& networkConfig) = 0;
  // A new native-ad connector for the entry; nullptr when none can be made.
  virtual std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeNativeAdConnector(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) = 0;
  // The SDK ad the mediated ad becomes for `loader`; nullptr when none.
  virtual std::shared_ptr<ZUMLoadable> loadableAdForAdLoader(ZUMMediatedAd& ad, ZUMAdLoader& loader) = 0;
};
