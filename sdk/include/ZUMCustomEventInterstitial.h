// A custom event that serves interstitials, and the delegate it reports to (the SDK's
// custom events adapter). The delegate is held weakly; reports may come on any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ZUMCustomEvent.h"
#include "platform/base/Error.h"

namespace platform {
class ViewController;
}
class ZUMCustomEventInterstitial;
class ZUMCustomEventRequest;

class ZUMCustomEventInterstitialDelegate {
 public:
  virtual ~ZUMCustomEventInterstitialDelegate() = default;
  virtual void customEventInterstitialDidReceiveAd(ZUMCustomEventInterstitial& interstitial) = 0;
  // The older form, with the network's interstitial object.
  virtual void customEventInterstitialDidReceiveAdObject(ZUMCustomEventInterstitial& interstitial,
                                                         const std::shared_ptr<void>& ad) = 0;
  virtual void customEventInterstitialDidFailAd(ZUMCustomEventInterstitial& interstitial,
                                                const platform::ErrorPtr& error) = 0;
  virtual void customEventInterstitialWasClicked(ZUMCustomEventInterstitial& interstitial) = 0;
  virtual void customEventInterstitialWillPresent(ZUMCustomEventInterstitial& interstitial) = 0;
  virtual void customEventInterstitialWillDismiss(ZUMCustomEventInterstitial& interstitial) = 0;
  virtual void customEventInterstitialDidDismiss(ZUMCustomEventInterstitial& interstitial) = 0;
  virtual void customEventInterstitialWillLeaveApplication(ZUMCustomEventInterstitial& interstitial) = 0;
};

class ZUMCustomEventInterstitial : public virtual ZUMCustomEvent {
 public:
  // `parameter` and `label`: the network entry's credentials of those names.
  virtual void requestInterstitialAdWithParameter(const std::optional<std::string>& parameter,
                                                  const std::optional<std::string>& label,
                                                  const std::shared_ptr<ZUMCustomEventRequest>& request) = 0;
  virtual void presentFromRootViewController(const std::shared_ptr<platform::ViewController>& controller) = 0;
  virtual std::weak_ptr<ZUMCustomEventInterstitialDelegate> delegate() const = 0;
  virtual void setDelegate(std::weak_ptr<ZUMCustomEventInterstitialDelegate> delegate) = 0;
};
