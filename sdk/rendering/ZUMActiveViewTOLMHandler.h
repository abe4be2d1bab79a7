// The page's active-view messages: "trackActiveViewUnit" starts the ad view's active-view
// reporter; "untrackActiveViewUnit" stops it while it reports, else tells the delegate
// the page untracked the unit "hashCode"; "visibilityChanged" tells the delegate whether
// the unit "hashCode" is visible ("isVisible" exactly "1"). A "hashCode" that is not a
// non-negative whole number names no unit: the message is logged and dropped.
//
// The delegate is held weakly. Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMActiveViewTOLMHandlerDelegate.h"
#include "sdk/rendering/ZUMTOLMHandler.h"

class ZUMActiveViewTOLMHandler final : public ZUMTOLMHandler {
 public:
  static std::shared_ptr<ZUMActiveViewTOLMHandler> create();

  std::shared_ptr<ZUMActiveViewTOLMHandlerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMActiveViewTOLMHandlerDelegate>& delegate) { delegate_ = delegate; }

  const ActionTable* actionBlockDictionary() const override;

 private:
  ZUMActiveViewTOLMHandler() = default;
  void trackActiveViewUnit(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void untrackActiveViewUnit(ZUMAdView& adView, const nlohmann::ordered_json& parameters);
  void visibilityChanged(ZUMAdView& adView, const nlohmann::ordered_json& parameters);

  std::weak_ptr<ZUMActiveViewTOLMHandlerDelegate> delegate_;
};
