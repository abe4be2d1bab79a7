// The app's own ad code in a waterfall: a custom event is an app class that the network
// entry names in its credential "class_name". The app registers each such class once;
// the SDK makes a new object of it for every request and asks it for a banner
// (ZUMCustomEventBanner), an interstitial (ZUMCustomEventInterstitial) or native ads
// (ZUMCustomEventNativeAd), whichever of them the object implements:
//
//   ZUMRegisterCustomEventClass("MyBannerEvent", [] { return std::make_shared<MyBannerEvent>(); });
//
// Any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/base/ClassRegistry.h"

// What every custom-event object is; the app's class adds one or more of the custom-event
// interfaces.
class ZUMCustomEvent {
 public:
  virtual ~ZUMCustomEvent() = default;
};

// Protocol names for the class's descriptor.
inline constexpr const char* kZUMCustomEventBannerProtocol = "ZUMCustomEventBanner";
inline constexpr const char* kZUMCustomEventInterstitialProtocol = "ZUMCustomEventInterstitial";
inline constexpr const char* kZUMCustomEventNativeAdProtocol = "ZUMCustomEventNativeAd";

// Registers (or replaces) the custom-event class `name` in the process-wide class
// registry. An empty name or factory is ignored.
inline void ZUMRegisterCustomEventClass(std::string name, std::function<std::shared_ptr<ZUMCustomEvent>()> factory,
                                        platform::ClassDescriptor descriptor = {}) {
  platform::ClassRegistry::shared().registerClass<ZUMCustomEvent>(std::move(name), std::move(factory),
                                                                  std::move(descriptor));
}
