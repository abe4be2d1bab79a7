// The protocol of a slot's owner (a banner view, an interstitial, an ad loader, native
// media content): the load gate, the consent to auto-refresh, the owner's geometry and
// sizes, and the notices the slot sends about its ad view. Every operation is optional:
// its default answers std::nullopt, which the slot reads as "not implemented" (an
// override of a notice answers kZUMImplemented).
//
// The slot holds its delegate weakly and calls it on the main thread only.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdSize.h"
#include "ZUMImplemented.h"
#include "platform/base/Error.h"
#include "platform/ui/Geometry.h"

namespace platform {
class View;
class ViewController;
}  // namespace platform

class ZUMAd;
class ZUMAudioVideoManager;
class ZUMRequest;
class ZUMSlot;

class ZUMSlotDelegate {
 public:
  virtual ~ZUMSlotDelegate() = default;

  // The owner's gate. false refuses the load; the error given (or none) is reported.
  [[nodiscard]] virtual std::optional<bool> slotShouldLoadRequest(ZUMSlot& /*slot*/,
                                                                  const std::shared_ptr<ZUMRequest>& /*request*/,
                                                                  platform::ErrorPtr* /*error*/) {
    return std::nullopt;
  }
  // The owner's consent to an auto-refresh.
  virtual std::optional<bool> slotShouldReloadCurrentRequest(ZUMSlot& /*slot*/) { return std::nullopt; }
  // Whether a new load may replace one in progress.
  virtual std::optional<bool> slotShouldPreemptInProgressRequest(ZUMSlot& /*slot*/) { return std::nullopt; }

  // The owner's geometry.
  virtual std::optional<platform::Rect> frame() { return std::nullopt; }
  virtual std::optional<platform::Rect> frameInInterface() { return std::nullopt; }
  virtual std::optional<platform::Rect> bounds() { return std::nullopt; }
  // The controller to present modal screens from (nullptr: none).
  virtual std::optional<std::shared_ptr<platform::ViewController>> rootViewController() { return std::nullopt; }

  // The ad view to show (nullptr: none).
  virtual ZUMImplemented slotDidReceiveAdView(ZUMSlot& /*slot*/, const std::shared_ptr<platform::View>& /*view*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented slotContentSizeDidChange(ZUMSlot& /*slot*/, const platform::Size& /*size*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented setAdSize(const ZUMAdSize& /*adSize*/, bool /*reload*/) { return std::nullopt; }
  virtual ZUMImplemented layoutSubviewsIfNeeded() { return std::nullopt; }
  virtual std::optional<ZUMAdSize> adSize() { return std::nullopt; }
  // Boxed ad sizes (ZUMValueFromAdSize); other elements are skipped by readers.
  virtual std::optional<std::vector<std::any>> validAdSizes() { return std::nullopt; }

  virtual ZUMImplemented slotDidLoadMRAIDAd(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual ZUMImplemented slotWillResizeToAdSize(ZUMSlot& /*slot*/, const ZUMAdSize& /*adSize*/) { return std::nullopt; }
  virtual ZUMImplemented slotDidReceiveAppEvent(ZUMSlot& /*slot*/, const std::string& /*name*/,
                                                const std::optional<std::string>& /*info*/) {
    return std::nullopt;
  }
  [[nodiscard]] virtual std::optional<bool> slotNotifyPublisherToRenderCustomRenderingAd(
      ZUMSlot& /*slot*/, const std::shared_ptr<ZUMAd>& /*ad*/, platform::ErrorPtr* /*error*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented slotWillLoadAdWithRequest(ZUMSlot& /*slot*/, const std::shared_ptr<ZUMRequest>& /*request*/) {
    return std::nullopt;
  }
  virtual ZUMImplemented slotDidReceiveAdClick(ZUMSlot& /*slot*/) { return std::nullopt; }
  virtual std::optional<bool> slotShouldChangeAudioSessionCategoryTo(ZUMSlot& /*slot*/,
                                                                     const std::string& /*category*/) {
    return std::nullopt;
  }
  virtual std::optional<bool> slotShouldDisableVideoEventReportToAudioVideoManager(
      ZUMSlot& /*slot*/, const std::shared_ptr<ZUMAudioVideoManager>& /*manager*/) {
    return std::nullopt;
  }
};
