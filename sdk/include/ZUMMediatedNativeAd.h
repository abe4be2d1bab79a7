// A native ad object of another ad network, as its adapter hands it over
// (ZUMMAdNetworkConnector::adapterDidReceiveMediatedNativeAd). It names its kind by
// adopting one of ZUMMediatedNativeAppInstallAd, ZUMMediatedNativeContentAd or
// ZUMMediatedNativeCustomTemplateAd (a dynamic_cast tells which). The SDK's wrapper
// of it is the class ZUMMediatedNativeAdImpl.
//
// Owned by the adapter and the SDK's wrapper; main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace platform {
class View;
class ViewController;
}

class ZUMMediatedNativeAd;

// What the network's native ad tells of the user's actions on it. Each operation is
// optional: false means "not implemented".
class ZUMMediatedNativeAdDelegate {
 public:
  virtual ~ZUMMediatedNativeAdDelegate() = default;
  virtual bool mediatedNativeAdDidRecordImpression(ZUMMediatedNativeAd&) { return false; }
  virtual bool mediatedNativeAdDidRecordClickOnAssetWithName(ZUMMediatedNativeAd&, const std::string& /*assetName*/,
                                                             const std::shared_ptr<platform::View>&,
                                                             const std::shared_ptr<platform::ViewController>&) {
    return false;
  }
  virtual bool mediatedNativeAdDidRenderInView(ZUMMediatedNativeAd&, const std::shared_ptr<platform::View>&,
                                               const std::shared_ptr<platform::ViewController>&) {
    return false;
  }
  virtual bool mediatedNativeAdDidUntrackView(ZUMMediatedNativeAd&, const std::shared_ptr<platform::View>&) {
    return false;
  }
};

class ZUMMediatedNativeAd {
 public:
  virtual ~ZUMMediatedNativeAd() = default;
  // The receiver of the ad's user events (nullptr: none).
  virtual std::shared_ptr<ZUMMediatedNativeAdDelegate> mediatedNativeAdDelegate() = 0;
  // Assets beyond the kind's own, as a dictionary (std::nullopt: none). The SDK's native
  // ads answer the same operation, so one of them can stand for a network's ad.
  virtual std::optional<nlohmann::ordered_json> extraAssets() const = 0;
};
