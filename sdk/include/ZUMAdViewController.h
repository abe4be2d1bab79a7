// A container view controller a host puts around its own content view to get a banner
// docked at the bottom (or top) of the screen:
//
//   auto controller = ZUMAdViewController::create();
//   controller->setView(hostView);
//   controller->setAdViewAdUnitID("unit-A");
//   window->setRootViewController(controller);
//
// Once the view is loaded and an ad unit is set it makes the banner (a PXRBannerView for
// a PXRRequest, else a ZUMBannerView) and loads request(). The banner stays out of sight
// until its first ad; then the host view ends the banner's height short of the docked
// edge. A right swipe on the banner, while hiding is allowed, puts it away and reloads
// after 5 seconds; setAdViewHidden(true) puts it away until cleared. Turning between
// portrait and landscape hides the banner before the rotation and gives it the smart-
// banner size of the new orientation after it (which reloads it). Changes of visibility
// animate over 0.5 seconds unless animatesVisibility() is off.
//
// A position other than bottom/top (vertical) or leading/centre/trailing (horizontal)
// docks the banner at the default place, with a log line.
//
// Holds its banner, content view and request strongly; it is the banner's delegate and
// root view controller (the banner holds it weakly). Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ZUMAdSize.h"
#include "ZUMBannerViewDelegate.h"
#include "platform/ui/ViewController.h"

namespace platform {
class Coder;
class GestureRecognizer;
class LayoutConstraint;
class SwipeGestureRecognizer;
class View;
}  // namespace platform

class ZUMBannerView;
class ZUMRequest;

class ZUMAdViewController : public platform::ViewController, public ZUMBannerViewDelegate {
 public:
  enum PositionVertical : std::int64_t { kPositionBottom = 0, kPositionTop = 1 };
  enum PositionHorizontal : std::int64_t { kPositionLeading = 0, kPositionCenter = 1, kPositionTrailing = 2 };
  // How long a swipe keeps the banner away before it reloads, and how long the banner
  // takes to move in or out.
  static constexpr double kSwipePauseSeconds = 5.0;
  static constexpr double kVisibilityAnimationSeconds = 0.5;

  static std::shared_ptr<ZUMAdViewController> create();
  // From an archive (platform/ui/Coder.h), as a plain controller is; nullptr when the
  // archive holds no usable view.
  static std::shared_ptr<ZUMAdViewController> create(const platform::Coder& coder);
  // Registers the archive class "ZUMAdViewController".
  static void registerClass();
  ~ZUMAdViewController() override;

  // The host's view: it goes into the controller's own content view, which becomes the
  // controller's view, with its edges pinned there (its top below the top layout guide).
  // Hides the base's setView on purpose: the host's view is never the controller's view.
  void setView(const std::shared_ptr<platform::View>& view);
  const std::shared_ptr<platform::View>& originalContentView() const { return originalContentView_; }
  void loadView() override;
  void viewDidLoad() override;

  // --- What the banner loads ---------------------------------------------------------------
  const std::string& adViewAdUnitID() const { return adViewAdUnitID_; }
  void setAdViewAdUnitID(std::string adUnitID);
  const std::shared_ptr<ZUMRequest>& request() const { return request_; }
  // Kept for the next load; a publisher request after a plain one (or none) replaces the
  // banner by a publisher banner, which loads it at once.
  void setRequest(const std::shared_ptr<ZUMRequest>& request);
  // The size of a banner made later.
  ZUMAdSize adSize() const { return adSize_; }
  void setAdSize(const ZUMAdSize& adSize) { adSize_ = adSize; }
  // The banner, once made; nullptr before (no ad unit, view not loaded).
  const std::shared_ptr<ZUMBannerView>& bannerView() const { return bannerView_; }

  // --- Where and whether the banner shows -----------------------------------------------------
  std::int64_t adViewPositionVertical() const { return adViewPositionVertical_; }
  void setAdViewPositionVertical(std::int64_t position);
  std::int64_t adViewPositionHorizontal() const { return adViewPositionHorizontal_; }
  void setAdViewPositionHorizontal(std::int64_t position);
  bool isAdViewHidden() const { return adViewHidden_; }
  // Hiding puts the banner away; showing again reloads it (it comes back with the ad).
  void setAdViewHidden(bool hidden);
  bool allowsHidingAds() const { return allowsHidingAds_; }
  // Adds (or removes) the right-swipe recognizer on the banner.
  void setAllowsHidingAds(bool allows);
  bool animatesVisibility() const { return animatesVisibility_; }
  void setAnimatesVisibility(bool animates) { animatesVisibility_ = animates; }

  // --- Rotation ------------------------------------------------------------------------------
  void willRotateToInterfaceOrientation(platform::InterfaceOrientation orientation, double duration) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;

  // --- ZUMBannerViewDelegate ----------------------------------------------------------------
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& view) override;

 protected:
  ZUMAdViewController();

 private:
  std::shared_ptr<ZUMAdViewController> self();
  void setUpBannerViewIfNeeded();
  void setUpPositionConstraints();
  // Moves the content and the banner for `hidden`: the content gives the banner its room
  // at the docked edge, or takes it back while the banner waits beyond that edge.
  void updateAdViewHidden(bool hidden);
  void updateLayout();
  void resetContentViewConstraints();
  void bannerPositionUpdated();
  void bannerSwiped(platform::GestureRecognizer& recognizer);
  void swipePauseEnded();
  // The positions in use: what the host set, or the default for a value without a place.
  PositionVertical effectiveVerticalPosition() const;
  PositionHorizontal effectiveHorizontalPosition() const;
  // Runs `block` with animatesVisibility off.
  template <class F>
  void withoutVisibilityAnimation(F&& block);

  std::shared_ptr<platform::LayoutConstraint> bannerPositionConstraintVertical_;
  std::shared_ptr<platform::LayoutConstraint> bannerPositionConstraintHorizontal_;
  std::shared_ptr<platform::LayoutConstraint> topConstraint_;
  std::shared_ptr<platform::LayoutConstraint> bottomConstraint_;
  std::shared_ptr<platform::LayoutConstraint> leadingConstraint_;
  std::shared_ptr<platform::LayoutConstraint> trailingConstraint_;
  std::shared_ptr<platform::View> contentView_;
  std::shared_ptr<platform::SwipeGestureRecognizer> swipeRecognizer_;
  bool handlingSwipe_ = false;
  bool hasReceivedValidAd_ = false;
  std::shared_ptr<ZUMBannerView> bannerView_;
  bool animatesVisibility_ = true;
  bool adViewHidden_ = false;
  bool allowsHidingAds_ = false;
  std::shared_ptr<platform::View> originalContentView_;
  std::string adViewAdUnitID_;
  std::shared_ptr<ZUMRequest> request_;
  std::int64_t adViewPositionVertical_ = kPositionBottom;
  std::int64_t adViewPositionHorizontal_ = kPositionCenter;
  ZUMAdSize adSize_ = kZUMAdSizeSmartBannerPortrait;
  bool madeFromArchive_ = false;
};
