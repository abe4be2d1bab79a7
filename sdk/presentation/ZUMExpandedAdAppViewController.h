// The full-screen controller of an MRAID expand of a banner's own ad view: it takes the
// banner's ad view full screen, leaves a snapshot of it in its place, and gives it back
// to the banner (where it was, with its delegate and controller) when it relinquishes.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/presentation/ZUMAdAppViewController.h"

namespace platform {
class ImageView;
}

class ZUMExpandedAdAppViewController : public ZUMAdAppViewController {
 public:
  // nullptr without an ad view.
  static std::shared_ptr<ZUMExpandedAdAppViewController> create(std::shared_ptr<ZUMAdView> adView);
  ~ZUMExpandedAdAppViewController() override;

  // The banner's page is already there.
  bool isLoaded() const override { return true; }
  // Saves the ad view's place, leaves the snapshot there, then hosts the ad view.
  void configureView() override;
  // Puts the ad view back while it is still this controller's.
  void relinquishScreenWithCompletion(std::function<void()> completion) override;
  const std::shared_ptr<platform::ImageView>& renderedBanner() const { return renderedBanner_; }

 private:
  using ZUMAdAppViewController::ZUMAdAppViewController;

  std::shared_ptr<platform::ImageView> renderedBanner_;
};
