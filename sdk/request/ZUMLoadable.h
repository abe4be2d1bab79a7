// What every ad class an ad loader can produce offers. The instance side loads the
// ad's assets and hands the ad to the loader's delegate; the class side (a class object
// registered by name, ZUMLoadableClass) names the delegate protocol the loader's
// delegate must adopt, adds the class's request parameters, says whether it can serve a
// loader now, and makes the mediation connector for a network entry.
//
// Ad classes register their class object in the class registry under their name at
// start-up (ZUMRegisterLoadableClass); the ad-type tables (ZUMAdLoaderConfiguration.h)
// find them there. Main thread, but for the class objects' lookup (any thread).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdSize.h"
#include "platform/base/Error.h"

class ZUMAdLoader;
class ZUMAdLoaderDelegate;
class ZUMMAdNetworkConfig;
class ZUMMAdNetworkConnectorImpl;
class ZUMMConfig;

class ZUMLoadable {
 public:
  virtual ~ZUMLoadable() = default;
  // Loads what the ad needs before delivery; the completion runs on the main thread
  // with nullptr or the failure.
  virtual void loadAssetsWithCompletionHandler(std::function<void(const platform::ErrorPtr&)> completion) = 0;
  // Hands the ad to the loader's delegate through the class's delegate protocol.
  virtual void adLoaderDidReceiveAd(ZUMAdLoader& loader) = 0;
  // The name of the ad's loadable class (ZUMRegisterLoadableClass); std::nullopt when
  // the ad does not tell.
  virtual std::optional<std::string> loadableClassName() const { return std::nullopt; }
};

class ZUMLoadableClass {
 public:
  virtual ~ZUMLoadableClass() = default;
  // The delegate protocol the loader's delegate must adopt.
  virtual std::string requiredDelegateProtocol() const = 0;
  // Whether `delegate` adopts that protocol (a dynamic_cast to its interface). A class
  // that cannot tell accepts no delegate.
  virtual bool delegateConformsToRequiredProtocol(const ZUMAdLoaderDelegate& /*delegate*/) const { return false; }
  // The dictionary this class adds to the request's format parameters; std::nullopt or
  // an empty one adds nothing.
  virtual std::optional<nlohmann::ordered_json> requestParametersForAdLoader(ZUMAdLoader& loader) const = 0;
  // The ad sizes behind the "sz_array" of those parameters, as the class has them (a
  // fluid or smart-banner size has no "WxH" text to be read back from); none by default.
  virtual std::vector<ZUMAdSize> validAdSizesForAdLoader(ZUMAdLoader& /*loader*/) const { return {}; }
  // Whether the class can serve the loader now; false with *error when it cannot.
  [[nodiscard]] virtual bool canInitWithAdLoader(ZUMAdLoader& loader, platform::ErrorPtr* error) const = 0;
  // The mediation connector for the entry, or nullptr.
  virtual std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) const = 0;
};

// Registers (or replaces) the loadable class `name`; an empty name or no class object
// is ignored.
void ZUMRegisterLoadableClass(std::string name, std::shared_ptr<ZUMLoadableClass> classObject);
// The class object registered under `name` as a loadable class, or nullptr.
std::shared_ptr<ZUMLoadableClass> ZUMLoadableClassNamed(std::string_view name);
