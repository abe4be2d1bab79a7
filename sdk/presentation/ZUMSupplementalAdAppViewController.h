// The full-screen controller of the second page of a two-part MRAID expand. It keeps
// both pages told: its own page becomes ready and "expanded", the banner's page (the
// slot's ad view) "expanded" while it is up and "default" when it has left; its own
// page hears its visibility.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/presentation/ZUMAdAppViewController.h"

class ZUMSupplementalAdAppViewController : public ZUMAdAppViewController {
 public:
  static std::shared_ptr<ZUMSupplementalAdAppViewController> create(std::shared_ptr<ZUMAdView> adView = nullptr);

  void finishAppearing() override;
  // With the modal presenter it runs twice; the banner's page hears "default" each time.
  void finishDismissal() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;

 private:
  using ZUMAdAppViewController::ZUMAdAppViewController;
};
