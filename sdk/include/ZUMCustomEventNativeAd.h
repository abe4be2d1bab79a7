// A custom event that serves native ads, and the delegate it reports to (the SDK's
// custom events adapter). The delegate is held weakly; reports may come on any thread.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMCustomEvent.h"
#include "platform/base/Error.h"

namespace platform {
class ViewController;
}
class ZUMCustomEventNativeAd;
class ZUMCustomEventRequest;
class ZUMMediatedNativeAd;

// The name the adapter's message gives the request operation.
inline constexpr const char* kZUMCustomEventRequestNativeAdOperation =
    "requestNativeAdWithParameter:request:adTypes:options:rootViewController:";

class ZUMCustomEventNativeAdDelegate {
 public:
  virtual ~ZUMCustomEventNativeAdDelegate() = default;
  virtual void customEventNativeAdDidReceiveMediatedNativeAd(ZUMCustomEventNativeAd& nativeAd,
                                                             const std::shared_ptr<ZUMMediatedNativeAd>& ad) = 0;
  virtual void customEventNativeAdDidFailToLoadWithError(ZUMCustomEventNativeAd& nativeAd,
                                                         const platform::ErrorPtr& error) = 0;
};

class ZUMCustomEventNativeAd : public virtual ZUMCustomEvent {
 public:
  // `adTypes`: the loader's ad types; `options`: its option objects.
  virtual void requestNativeAdWithParameter(const std::optional<std::string>& parameter,
                                            const std::shared_ptr<ZUMCustomEventRequest>& request,
                                            const std::vector<std::string>& adTypes,
                                            const std::vector<std::any>& options,
                                            const std::shared_ptr<platform::ViewController>& rootViewController) = 0;
  // Whether the custom event records clicks (impressions) itself.
  virtual bool handlesUserClicks() = 0;
  virtual bool handlesUserImpressions() = 0;
  virtual std::weak_ptr<ZUMCustomEventNativeAdDelegate> delegate() const = 0;
  virtual void setDelegate(std::weak_ptr<ZUMCustomEventNativeAdDelegate> delegate) = 0;
};
