// The class object of a native ad kind: a loadable class (ZUMLoadable.h) that also makes
// the kind's ads from the entries of a preprocessed response and from other networks'
// native ads. The kinds register theirs
// with ZUMRegisterLoadableClass; the ad loader finds it through the class tables.
//
// Immutable; any thread (the ads it makes are main-thread objects).
#pragma once

#include <memory>

#include <nlohmann/json_fwd.hpp>

#include "sdk/request/ZUMAdConfiguration.h"
#include "sdk/request/ZUMLoadable.h"

class ZUMMediatedNativeAdImpl;
class ZUMNativeAd;

class ZUMNativeAdClass : public ZUMLoadableClass {
 public:
  // An ad of the kind made from one "ads" entry and the loader's options; nullptr when
  // the entry cannot make one.
  virtual std::shared_ptr<ZUMNativeAd> adWithDictionary(const nlohmann::ordered_json& dictionary,
                                                        const ZUMAdConfiguration::Options& options) const = 0;
  // An ad of the kind standing for another network's ad (its wrapper); nullptr when the
  // kind cannot stand for it.
  virtual std::shared_ptr<ZUMNativeAd> adWithMediatedNativeAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& /*ad*/,
                                                              const ZUMAdConfiguration::Options& /*options*/) const {
    return nullptr;
  }
  // Every native kind: a network entry whose response is native gets a native-ad
  // connector (none without mediation).
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) const override;
};
