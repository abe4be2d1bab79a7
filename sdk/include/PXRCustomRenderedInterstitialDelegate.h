// The host's receiver of custom-rendered interstitials: with one set, a response the
// server allows to be custom rendered is handed to the host, which draws the ad itself
// (PXRCustomRenderedAd) instead of presenting the interstitial. Held weakly; called on
// the main thread.
#pragma once

#include <memory>

class PXRCustomRenderedAd;
class PXRInterstitial;

class PXRCustomRenderedInterstitialDelegate {
 public:
  virtual ~PXRCustomRenderedInterstitialDelegate() = default;
  virtual void interstitialDidReceiveCustomRenderedAd(PXRInterstitial& interstitial,
                                                      const std::shared_ptr<PXRCustomRenderedAd>& ad) = 0;
};
