// What the ad view's opener and navigation policy need from the areas that carry out
// clicks (leaving the application, the composers) and record them (the slot's click
// and click-URL rewrite). Click handling registers one implementation at start-up; until
// then the opener logs each action it cannot carry out and the click rule keeps the URL
// as it is.
//
// Called on the main thread.
#pragma once

#include <memory>

#include "platform/base/URL.h"

class ZUMOpener;
class ZUMSlot;

class ZUMClickHandling {
 public:
  virtual ~ZUMClickHandling() = default;

  // Opens the URL outside the ad (another application, a deep link).
  virtual void openApp(ZUMOpener& opener, const platform::URL& url) = 0;
  virtual void openEmailComposer(ZUMOpener& opener, const platform::URL& url) = 0;
  virtual void openSmsComposer(ZUMOpener& opener, const platform::URL& url) = 0;
  // The slot counts a click on its ad.
  virtual void adWasClicked(ZUMSlot& slot) = 0;
  // The slot's click URL for a tapped URL (with the click signal added).
  virtual platform::URL gestureClickURLWithURL(ZUMSlot& slot, const platform::URL& url) = 0;
};

// The registered implementation (nullptr: none). Any thread.
std::shared_ptr<ZUMClickHandling> ZUMCurrentClickHandling();
// Replaces the registered implementation (nullptr removes it). Any thread.
void ZUMRegisterClickHandling(std::shared_ptr<ZUMClickHandling> clickHandling);
