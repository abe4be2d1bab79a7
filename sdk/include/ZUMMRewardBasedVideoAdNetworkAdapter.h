// The contract of a rewarded-video adapter of another ad network: set up, load, present,
// stop. It is made with its connector by ZUMMAdapterClass (one of its rewarded
// initialisers) and reports to ZUMMRewardBasedVideoAdNetworkConnector.
//
// Held strongly by its connector; main thread.
#pragma once

#include <memory>
#include <string>

namespace platform {
class ViewController;
}

inline constexpr const char* kZUMMRewardBasedVideoAdNetworkAdapterProtocol = "ZUMMRewardBasedVideoAdNetworkAdapter";
// Optional operation names for the class descriptor.
inline constexpr const char* kZUMMSetUpWithUserIDOperation = "setUpWithUserID:";

class ZUMMRewardBasedVideoAdNetworkAdapter {
 public:
  virtual ~ZUMMRewardBasedVideoAdNetworkAdapter() = default;

  virtual void setUp() = 0;
  virtual void requestRewardBasedVideoAd() = 0;
  virtual void presentRewardBasedVideoAdWithRootViewController(
      const std::shared_ptr<platform::ViewController>& controller) = 0;
  virtual void stopBeingDelegate() = 0;

  // --- Optional -------------------------------------------------------------------------
  // Set up for a user; false: not implemented.
  virtual bool setUpWithUserID(const std::string& /*userID*/) { return false; }
};
