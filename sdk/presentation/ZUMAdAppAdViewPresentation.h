// The presentation area's side of ZUMAdViewPresentation: an ad view shown by an ad-app
// controller (ZUMAdOrientationControlling) has that controller's forced orientation;
// any other controller forces none.
//
// Main thread only.
#pragma once

#include "sdk/rendering/ZUMAdViewPresentation.h"

class ZUMAdAppAdViewPresentation final : public ZUMAdViewPresentation {
 public:
  platform::InterfaceOrientation forcedAdOrientation(const platform::ViewController& controller) override;
};
