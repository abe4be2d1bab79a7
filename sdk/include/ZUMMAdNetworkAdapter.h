// The contract of a banner, interstitial or native adapter of another ad network. The
// adapter is made with its connector (ZUMMAdapterClass::initWithZUMMAdNetworkConnector),
// asks the connector all it needs, and reports every event back to it; it never sees
// the waterfall. Optional operations answer std::nullopt (or false) when the adapter
// does not implement them.
//
// Held strongly by its connector; the adapter holds the connector weakly. Main thread.
#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMAdSize.h"

namespace platform {
class ViewController;
}

// The protocol's name in class descriptors (platform::ClassDescriptor::protocols).
inline constexpr const char* kZUMMAdNetworkAdapterProtocol = "ZUMMAdNetworkAdapter";
// Operation names an adapter class lists in its descriptor's operations for what its
// objects answer. A class that answers neither getBannerWithSize nor getInterstitial
// (and is no rewarded adapter) is written against an older contract.
inline constexpr const char* kZUMMGetBannerWithSizeOperation = "getBannerWithSize:";
inline constexpr const char* kZUMMGetInterstitialOperation = "getInterstitial";
inline constexpr const char* kZUMMGetNativeAdOperation = "getNativeAdWithAdTypes:options:";
inline constexpr const char* kZUMMHandlesUserClicksOperation = "handlesUserClicks";
inline constexpr const char* kZUMMHandlesUserImpressionsOperation = "handlesUserImpressions";
inline constexpr const char* kZUMMChangeAdSizeOperation = "changeAdSizeTo:";

class ZUMMAdNetworkAdapter {
 public:
  virtual ~ZUMMAdNetworkAdapter() = default;

  virtual void getBannerWithSize(const ZUMAdSize& size) = 0;
  virtual void getInterstitial() = 0;
  // Drops every link back to the connector: no callback follows.
  virtual void stopBeingDelegate() = 0;
  virtual bool isBannerAnimationOK(std::int64_t animationType) = 0;
  virtual void presentInterstitialFromRootViewController(
      const std::shared_ptr<platform::ViewController>& controller) = 0;

  // --- Optional -------------------------------------------------------------------------
  // Ad types ("1" app install, ...) and ad loader option objects; false: not implemented.
  virtual bool getNativeAdWithAdTypes(const std::vector<std::string>& /*adTypes*/,
                                      const std::vector<std::any>& /*options*/) {
    return false;
  }
  // Whether the network records clicks (impressions) on native ads itself.
  virtual std::optional<bool> handlesUserClicks() { return std::nullopt; }
  virtual std::optional<bool> handlesUserImpressions() { return std::nullopt; }
  // The banner size changed; false: not implemented.
  virtual bool changeAdSizeTo(const ZUMAdSize& /*size*/) { return false; }
};
