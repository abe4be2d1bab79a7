// What every public ad object may ask of its host's delegate, whatever its format.
// Optional: the default answers std::nullopt ("not implemented").
#pragma once

#include <optional>
#include <string>

class ZUMAdDelegate {
 public:
  virtual ~ZUMAdDelegate() = default;
  // Whether the ad may switch the application's audio session to `category` while it
  // plays. `ad` is the public ad object asking (a ZUMInterstitial, a banner view, ...).
  virtual std::optional<bool> adShouldChangeAudioSessionToCategory(const void* /*ad*/,
                                                                   const std::string& /*category*/) {
    return std::nullopt;
  }
};
