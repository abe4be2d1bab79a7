// The owner of an ad being mediated (banner view, interstitial and its cache entry, ad
// loader, native ad, native express view): it makes the connector of its format for
// each network entry, and may turn a mediated ad into its own ad object. The owner
// sets itself as the ad's mediationDelegate before the response is run.
//
// Held weakly by the ad; main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/base/Error.h"

class ZUMAd;
class ZUMAdLoaderConfiguration;
class ZUMMAdNetworkConfig;
class ZUMMAdNetworkConnectorImpl;
class ZUMMConfig;
class ZUMMediatedAd;

class ZUMAdMediationDelegate {
 public:
  virtual ~ZUMAdMediationDelegate() = default;

  // The connector for the entry; nullptr when the owner has none.
  virtual std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) = 0;

  // --- Optional -------------------------------------------------------------------------
  // The ad loader configuration to give the connector; std::nullopt: not implemented.
  virtual std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> adLoaderConfigurationForAd(
      const std::shared_ptr<ZUMAd>& /*ad*/, const std::shared_ptr<ZUMMAdNetworkConfig>& /*networkConfig*/) {
    return std::nullopt;
  }
  // Whether the owner turns mediated ads into its own (adProcessMediatedAd is called).
  virtual bool processesMediatedAds() const { return false; }
  // Turns the mediated ad into the owner's ad object; the completion gets nullptr on
  // success or the error of a rejection.
  virtual void adProcessMediatedAd(const std::shared_ptr<ZUMAd>& /*ad*/,
                                   const std::shared_ptr<ZUMMediatedAd>& /*mediatedAd*/,
                                   std::function<void(const platform::ErrorPtr&)> /*completion*/) {}
};
