// Told by a native ad view policy when it begins tracking its view (every pass of the
// impression tracking that gets that far) and when it lets an ad go for another. The
// native ad itself is the policy's delegate.
//
// Main thread only.
#pragma once

namespace platform {
class View;
}  // namespace platform

class ZUMNativeAd;
class ZUMNativeAdViewPolicy;

class ZUMNativeAdViewPolicyDelegate {
 public:
  virtual ~ZUMNativeAdViewPolicyDelegate() = default;
  virtual void nativeAdViewPolicyDidBeginTrackingView(ZUMNativeAdViewPolicy& policy, platform::View& view) = 0;
  virtual void nativeAdViewPolicyDidUnloadNativeAd(ZUMNativeAdViewPolicy& policy, ZUMNativeAd& ad,
                                                   platform::View* view) = 0;
};
