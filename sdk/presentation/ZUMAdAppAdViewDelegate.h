// The ad-view delegate of a full-screen ad controller's ad view: the base delegate
// (handlers, navigation policy) whose opener acts for the controller's slot, which also
// pings the slot's click URLs when the user follows a link in the page, and times the
// landing page in the ad's statistics ("tlanding_page_load_start" once,
// "tlanding_page_load_end" at every load).
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/rendering/ZUMAdViewDelegate.h"

class ZUMAdAppViewController;

class ZUMAdAppAdViewDelegate : public ZUMAdViewDelegate {
 public:
  static std::shared_ptr<ZUMAdAppAdViewDelegate> create(const std::shared_ptr<ZUMAdAppViewController>& controller);

  // Held weakly.
  std::shared_ptr<ZUMAdAppViewController> adAppViewController() const { return controller_.lock(); }

  // A link click pings the slot's click URLs on a later turn of the main queue, unless
  // "/vantor/ads/disable_interstitial_click_ping_on_click_navigation" is "1". The answer
  // is the base policy's.
  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  void adViewDidStartLoad(ZUMAdView& adView) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;

 private:
  explicit ZUMAdAppAdViewDelegate(const std::shared_ptr<ZUMAdAppViewController>& controller);

  const std::weak_ptr<ZUMAdAppViewController> controller_;
};
