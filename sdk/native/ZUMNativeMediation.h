// What the native area asks of mediation: the type of a network entry's response and the
// native-ad connector of an entry. (The SDK ad a mediated ad becomes for an ad loader is
// the mediated ad's own answer: the wrappers stand in this area or derive from its base.)
// The mediation area implements it and installs it once with setShared() when it
// registers.
//
// Unregistered (shared() is nullptr): an entry has no response type and no native-ad
// connector (the waterfall then fails the load with its own error).
//
// Called on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/foundation/ZUMRegistrationPoint.h"

class ZUMMAdNetworkConfig;
class ZUMMAdNetworkConnectorImpl;
class ZUMMConfig;

class ZUMNativeMediation : public ZUMSharedInterface<ZUMNativeMediation> {
 public:
  virtual ~ZUMNativeMediation() = default;

  // The entry's response type ("banner", "native"); std::nullopt when it has none.
  virtual std::optional<std::string> responseType(const ZUMMAdNetworkConfig& networkConfig) = 0;
  // A new native-ad connector for the entry; nullptr when none can be made.
  virtual std::shared_ptr<ZUMMAdNetworkConnectorImpl> makeNativeAdConnector(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) = 0;
};
