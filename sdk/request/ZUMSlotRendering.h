// What the slot asks of the rendering area (the ad view and its delegate). The rendering
// area implements it and the SDK's load entry installs it once with setShared().
//
// Unregistered (shared() is nullptr), a new slot gets a plain platform view with no
// delegate, and every other operation is skipped.
//
// Called on the main thread. No operation is given the slot from its destructor; those
// that run there (detachAdView) receive only the ad view.
#pragma once

#include <memory>

#include "platform/ui/Geometry.h"
#include "sdk/foundation/ZUMRegistrationPoint.h"

namespace platform {
class View;
}

class ZUMBannerAdViewDelegate;
class ZUMSlot;
class ZUMSlotPlacement;

class ZUMSlotRendering : public ZUMSharedInterface<ZUMSlotRendering> {
 public:
  struct AdViewParts {
    std::shared_ptr<platform::View> adView;
    // Owned by the slot; may be nullptr.
    std::shared_ptr<ZUMBannerAdViewDelegate> adViewDelegate;
  };

  virtual ~ZUMSlotRendering() = default;

  // The ad view of a new slot with `frame`, its banner ad-view delegate made with the
  // slot, and the slot as the observer of its active-view reporter. The slot is fully
  // made (shared_from_this() works); a nullptr view gets a plain view instead.
  virtual AdViewParts makeAdView(ZUMSlot& slot, const platform::Rect& frame) = 0;
  // The slot's placement changed (nullptr: none): the ad view's didMoveToPlacement.
  virtual void adViewDidMoveToPlacement(platform::View& adView, const std::shared_ptr<ZUMSlotPlacement>& placement) = 0;
  // A full screen is about to cover the host: pause the ad view's video.
  virtual void pauseVideo(platform::View& adView) = 0;
  // The ad's page has loaded: clear the ad view's touched flag.
  virtual void clearTouched(platform::View& adView) = 0;
  // The slot is invalidated (also from its destructor): clear the ad view's delegate.
  virtual void detachAdView(platform::View& adView) = 0;
};
