// The connector as a banner, interstitial or native adapter sees it: questions about the
// request and the presentation, and the reports of the adapter's ad. Each report names
// the reporting adapter first; a connector takes load results only from its own adapter.
//
// Implemented by the SDK's connectors (their class is ZUMMAdNetworkConnectorImpl).
// Adapters call it on the main thread.
#pragma once

#include <memory>
#include <string>

#include "ZUMMediationAdRequest.h"
#include "platform/base/Error.h"

namespace platform {
class View;
class ViewController;
}

class ZUMMAdNetworkAdapter;
class ZUMMediatedNativeAd;

class ZUMMAdNetworkConnector : public virtual ZUMMediationAdRequest {
 public:
  // --- Questions ------------------------------------------------------------------------
  virtual std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView() const = 0;
  virtual float adVolume() const = 0;
  virtual bool adMuted() const = 0;

  // --- Reports --------------------------------------------------------------------------
  virtual void adapterDidFailAd(ZUMMAdNetworkAdapter& adapter, const platform::ErrorPtr& error) = 0;
  virtual void adapterDidReceiveAdView(ZUMMAdNetworkAdapter& adapter, const std::shared_ptr<platform::View>& view) = 0;
  virtual void adapterDidReceiveInterstitial(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterDidReceiveMediatedNativeAd(ZUMMAdNetworkAdapter& adapter,
                                                 const std::shared_ptr<ZUMMediatedNativeAd>& ad) = 0;
  virtual void adapterDidGetAdClick(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterWillLeaveApplication(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterWillPresentFullScreenModal(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterWillDismissFullScreenModal(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterDidDismissFullScreenModal(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterWillPresentInterstitial(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterWillDismissInterstitial(ZUMMAdNetworkAdapter& adapter) = 0;
  virtual void adapterDidDismissInterstitial(ZUMMAdNetworkAdapter& adapter) = 0;
  // Older forms of adapterDidReceiveInterstitial, adapterDidGetAdClick and adapterDidFailAd.
  virtual void adapterDidReceiveInterstitialObject(ZUMMAdNetworkAdapter& adapter,
                                                   const std::shared_ptr<void>& interstitial) = 0;
  virtual void adapterClickDidOccurInBanner(ZUMMAdNetworkAdapter& adapter,
                                            const std::shared_ptr<platform::View>& view) = 0;
  virtual void adapterDidFailInterstitial(ZUMMAdNetworkAdapter& adapter, const platform::ErrorPtr& error) = 0;
};
