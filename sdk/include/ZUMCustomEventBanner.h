// A custom event that serves banners, and the delegate it reports to (the SDK's custom
// events adapter). The delegate is held weakly; reports may come on any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ZUMAdSize.h"
#include "ZUMCustomEvent.h"
#include "platform/base/Error.h"

namespace platform {
class View;
class ViewController;
}  // namespace platform
class ZUMCustomEventBanner;
class ZUMCustomEventRequest;

class ZUMCustomEventBannerDelegate {
 public:
  virtual ~ZUMCustomEventBannerDelegate() = default;
  virtual void customEventBannerDidReceiveAd(ZUMCustomEventBanner& banner,
                                             const std::shared_ptr<platform::View>& view) = 0;
  virtual void customEventBannerDidFailAd(ZUMCustomEventBanner& banner, const platform::ErrorPtr& error) = 0;
  virtual void customEventBannerWasClicked(ZUMCustomEventBanner& banner) = 0;
  virtual void customEventBannerClickDidOccurInAd(ZUMCustomEventBanner& banner,
                                                  const std::shared_ptr<platform::View>& view) = 0;
  virtual void customEventBannerWillPresentModal(ZUMCustomEventBanner& banner) = 0;
  virtual void customEventBannerWillDismissModal(ZUMCustomEventBanner& banner) = 0;
  virtual void customEventBannerDidDismissModal(ZUMCustomEventBanner& banner) = 0;
  virtual void customEventBannerWillLeaveApplication(ZUMCustomEventBanner& banner) = 0;
  // The controller to present full-screen content from.
  virtual std::shared_ptr<platform::ViewController> viewControllerForPresentingModalView() = 0;
};

class ZUMCustomEventBanner : public virtual ZUMCustomEvent {
 public:
  // `parameter` and `label`: the network entry's credentials of those names.
  virtual void requestBannerAd(const ZUMAdSize& adSize, const std::optional<std::string>& parameter,
                               const std::optional<std::string>& label,
                               const std::shared_ptr<ZUMCustomEventRequest>& request) = 0;
  virtual std::weak_ptr<ZUMCustomEventBannerDelegate> delegate() const = 0;
  virtual void setDelegate(std::weak_ptr<ZUMCustomEventBannerDelegate> delegate) = 0;
};
