// The ad-view delegate of a full-screen ad controller's ad view: the base delegate
// (handlers, navigation policy) whose opener acts for the controller's slot, which also
// pings the slot's click URLs when the user follows a link in the page, and times the
// landing page in the ad's statistics ("tlanding_page_load_start" once,
// "tlanding_page_load_end" at every load).
//
// After the base's handlers it appends the full-screen ones (ad-app, then app events for
// an interstitial's slot), whose makers are registered with
// ZUMRegisterAdAppTOLMHandlerMaker (a place left empty gets no handler).
//
// Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "sdk/rendering/ZUMAdViewDelegate.h"

class ZUMAdAppAdViewDelegate;
class ZUMAdAppViewController;

// The places of the handlers a full-screen ad's delegate appends after the base's, in
// order.
enum class ZUMAdAppTOLMHandlerPlace : std::size_t {
  AdApp,
  AppEvent,  // with the controller's slot; only when that slot's ad type is an interstitial's
  Count,
};

using ZUMAdAppTOLMHandlerMaker = std::function<std::shared_ptr<ZUMTOLMHandler>(ZUMAdAppAdViewDelegate& delegate)>;
// Registers the handler class of a place (an empty maker leaves it empty). Delegates
// made afterwards use it. Any thread.
void ZUMRegisterAdAppTOLMHandlerMaker(ZUMAdAppTOLMHandlerPlace place, ZUMAdAppTOLMHandlerMaker maker);

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
  // The slot's own ad view losing its page (its content process ended) is the slot's
  // news: it goes to the slot's ad-view delegate (see ZUMBannerAdViewDelegate::pageDidEnd).
  void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) override;

 private:
  explicit ZUMAdAppAdViewDelegate(const std::shared_ptr<ZUMAdAppViewController>& controller);
  void appendAdAppHandlers();

  const std::weak_ptr<ZUMAdAppViewController> controller_;
};
