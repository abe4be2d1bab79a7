// The presenter of an MRAID resize: a transparent overlay (ZUMTransparentOverlayPresenter)
// whose controller's view keeps the size and offset the page asked for, measured from a
// reference view (the banner the ad came from), and stays valid across rotations: it is
// shifted back on screen where the page did not allow off-screen, and closed with a
// page error when it no longer fits.
//
// Properties are checked when set and when presenting; the last valid ones are kept.
// Page errors go to the ad's MRAID event sink. Holds its reference view and properties
// strongly, the event sink weakly. Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "sdk/presentation/ZUMTransparentOverlayPresenter.h"
#include "sdk/rendering/ZUMMRAIDResizeProperties.h"

namespace platform {
class View;
}

class ZUMMRAIDEventHandling;

class ZUMMRAIDResizeOverlayPresenter final : public ZUMTransparentOverlayPresenter {
 public:
  // nullptr without a reference view.
  static std::shared_ptr<ZUMMRAIDResizeOverlayPresenter> create(std::shared_ptr<platform::View> referenceView);

  const std::shared_ptr<platform::View>& referenceView() const { return referenceView_; }
  void setReferenceView(std::shared_ptr<platform::View> view) { referenceView_ = std::move(view); }
  // Whether the page hears its default state when the overlay goes; the opener clears
  // it when something else takes over the ad.
  bool dismissToDefaultState() const { return dismissToDefaultState_; }
  void setDismissToDefaultState(bool value) { dismissToDefaultState_ = value; }
  const std::optional<ZUMMRAIDResizeProperties>& resizeProperties() const { return resizeProperties_; }
  // Kept when valid relative to the reference view; otherwise the previous ones stay
  // and the page hears "Received invalid resize properties ..." ("setResizeProperties").
  // Whether they were kept.
  bool setResizeProperties(const std::optional<ZUMMRAIDResizeProperties>& properties);
  std::shared_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler() const { return MRAIDEventHandler_.lock(); }
  void setMRAIDEventHandler(const std::shared_ptr<ZUMMRAIDEventHandling>& handler) { MRAIDEventHandler_ = handler; }

  // The properties' frame against the application frame in `view`'s coordinates: valid
  // as it stands, or, without off-screen permission, once shifted inside.
  static bool resizePropertiesAreValid(const ZUMMRAIDResizeProperties& properties, const platform::View* view);
  // The frame moved (never resized) so that it lies inside the bounds where it can:
  // horizontally first, then vertically.
  static platform::Rect adjustedContentFrame(const platform::Rect& frame, const platform::Rect& bounds);
  // The resized ad's frame in the crop view's coordinates.
  platform::Rect contentFrame() const;
  // Puts the controller's view at contentFrame() and checks it once it has settled; a
  // frame that is no longer valid closes the overlay with a page error.
  void repositionContentIfNeeded();

  // --- ZUMTransparentOverlayPresenter ---------------------------------------------------------
  // Without valid properties: no (and a page error when the kept ones became invalid).
  bool isReadyToPresent() const override;
  void composeTransparentInterstitialViewsForPresentation() override;
  void updateTransparentInterstitialOrientation() override;

 private:
  explicit ZUMMRAIDResizeOverlayPresenter(std::shared_ptr<platform::View> referenceView)
      : referenceView_(std::move(referenceView)) {}
  void reportError(const std::string& message, const std::string& action) const;
  void reposition(int settleChecksLeft);

  std::shared_ptr<platform::View> referenceView_;
  bool dismissToDefaultState_ = true;
  std::optional<ZUMMRAIDResizeProperties> resizeProperties_;
  std::weak_ptr<ZUMMRAIDEventHandling> MRAIDEventHandler_;
};
