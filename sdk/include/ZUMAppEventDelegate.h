// The host's listener for app events: named messages (with optional text) that an ad's
// page sends to the application. Every operation is optional: the default answers
// std::nullopt ("not implemented"). Held weakly; called on the main thread.
#pragma once

#include <optional>
#include <string>

#include "ZUMImplemented.h"

class ZUMBannerView;
class ZUMInterstitial;

class ZUMAppEventDelegate {
 public:
  virtual ~ZUMAppEventDelegate() = default;
  virtual ZUMImplemented interstitialDidReceiveAppEvent(ZUMInterstitial& /*interstitial*/, const std::string& /*name*/,
                                                        const std::optional<std::string>& /*info*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented adViewDidReceiveAppEvent(ZUMBannerView& /*banner*/, const std::string& /*name*/,
                                                  const std::optional<std::string>& /*info*/) {
    return std::nullopt;
  }
};
