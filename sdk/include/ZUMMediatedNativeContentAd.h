// A mediated native ad of the content kind: what the SDK's content ad copies from it and
// what the native express connector puts into its assets.
// Main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMMediatedNativeAd.h"

class ZUMNativeAdImage;

class ZUMMediatedNativeContentAd : public virtual ZUMMediatedNativeAd {
 public:
  virtual std::optional<std::string> headline() const = 0;
  virtual std::optional<std::string> body() const = 0;
  virtual std::vector<std::shared_ptr<ZUMNativeAdImage>> images() const = 0;
  virtual std::shared_ptr<ZUMNativeAdImage> logo() const = 0;
  virtual std::optional<std::string> callToAction() const = 0;
  virtual std::optional<std::string> advertiser() const = 0;
  // Optional: the network's own AdChoices view (nullptr: none).
  virtual std::shared_ptr<platform::View> adChoicesView() const { return nullptr; }
  // Optional: the view showing the network's media (nullptr: none).
  virtual std::shared_ptr<platform::View> mediaView() const { return nullptr; }
  // Optional: whether the ad has video (std::nullopt: the ad does not tell, taken as none).
  virtual std::optional<bool> hasVideoContent() const { return std::nullopt; }
};
