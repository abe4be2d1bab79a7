// A mediated native ad of a custom template: its template id and named assets, text or
// image, that the SDK's custom template ad offers to the app.
// Main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZUMMediatedNativeAd.h"

class ZUMNativeAdImage;

class ZUMMediatedNativeCustomTemplateAd : public virtual ZUMMediatedNativeAd {
 public:
  virtual std::string templateID() const = 0;
  virtual std::vector<std::string> availableAssetKeys() const = 0;
  virtual std::optional<std::string> stringForKey(const std::string& key) const = 0;
  virtual std::shared_ptr<ZUMNativeAdImage> imageForKey(const std::string& key) const = 0;
  // The user clicked the asset; the network records it.
  virtual void performClickOnAssetWithKey(const std::string& key) = 0;
};
