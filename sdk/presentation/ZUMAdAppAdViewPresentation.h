// The presentation area's side of ZUMAdViewPresentation: an ad view shown by an ad-app
// controller (ZUMAdOrientationControlling) has that controller's forced orientation;
// any other controller forces none. A wiggle's debug dialog is a
// ZUMDebugOptionsViewController behind an overlay proxy bound to the opener's slot.
//
// Main thread only.
#pragma once

#include "sdk/rendering/ZUMAdViewPresentation.h"

class ZUMAdAppAdViewPresentation final : public ZUMAdViewPresentation {
 public:
  platform::InterfaceOrientation forcedAdOrientation(const platform::ViewController& controller) override;
  void presentDebugOptionsForAdView(ZUMAdView& adView) override;
};
