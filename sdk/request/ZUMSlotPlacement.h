// The public ad object that shows a slot (a banner view, an interstitial, an ad loader).
// The slot holds it weakly; to the slot and its ad view only its presence matters.
#pragma once

class ZUMSlotPlacement {
 public:
  virtual ~ZUMSlotPlacement() = default;
};
