// Told of a native ad's screens, of the user leaving the application for it, and of the
// impression and clicks the ad recorded. Every operation is optional: its default
// answers std::nullopt ("not implemented"). Held weakly by the ad; called on the main
// thread.
#pragma once

#include "ZUMImplemented.h"

class ZUMNativeAd;

class ZUMNativeAdDelegate {
 public:
  virtual ~ZUMNativeAdDelegate() = default;
  virtual ZUMImplemented nativeAdWillPresentScreen(ZUMNativeAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented nativeAdWillDismissScreen(ZUMNativeAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented nativeAdDidDismissScreen(ZUMNativeAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented nativeAdWillLeaveApplication(ZUMNativeAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented nativeAdDidRecordImpression(ZUMNativeAd& /*ad*/) { return std::nullopt; }
  virtual ZUMImplemented nativeAdDidRecordClick(ZUMNativeAd& /*ad*/) { return std::nullopt; }
};
