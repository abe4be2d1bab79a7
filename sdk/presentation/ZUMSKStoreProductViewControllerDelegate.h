// The one delegate of every store product sheet the SDK shows: when the user is done,
// it gives the screen back through the sheet's overlay proxy (so the slot's full-screen
// session hears of it), or, for a sheet shown without one, has the presenting
// controller dismiss it and take first responder.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/StoreProductViewController.h"

class ZUMSKStoreProductViewControllerDelegate final : public platform::StoreProductViewControllerDelegate {
 public:
  static std::shared_ptr<ZUMSKStoreProductViewControllerDelegate> sharedInstance();

  void productViewControllerDidFinish(platform::StoreProductViewController& controller) override;
};
