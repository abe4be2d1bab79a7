// The ad-view delegate a slot gives the ad view of its web ads. It binds the base
// delegate to the slot (its opener acts for the slot), appends the slot-bound handlers
// (app events, ad-app, page-load delay), holds the load while the page asks for a delay,
// turns the finished load in state 5 into the slot's valid ad and a load failure into
// the slot's failure (network error, code 2), and passes content-size, video-size,
// impression and click notices on to the slot.
//
// The appended handlers' classes live above rendering; their makers are registered with
// ZUMRegisterBannerTOLMHandlerMaker (a place left empty gets no handler).
//
// Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "sdk/rendering/ZUMAdViewDelegate.h"
#include "sdk/rendering/ZUMDelayLoadDelegate.h"

class ZUMSlot;
class ZUMBannerAdViewDelegate;

// The places of the handlers a banner delegate appends after the base's, in order.
enum class ZUMBannerTOLMHandlerPlace : std::size_t {
  AppEvent,  // with the slot
  AdApp,
  DelayPageLoad,  // the banner delegate is its ZUMDelayLoadDelegate
  Count,
};

using ZUMBannerTOLMHandlerMaker = std::function<std::shared_ptr<ZUMTOLMHandler>(ZUMBannerAdViewDelegate& delegate)>;
// Registers the handler class of a place (an empty maker leaves it empty). Any thread.
void ZUMRegisterBannerTOLMHandlerMaker(ZUMBannerTOLMHandlerPlace place, ZUMBannerTOLMHandlerMaker maker);

class ZUMBannerAdViewDelegate : public ZUMAdViewDelegate, public ZUMDelayLoadDelegate {
 public:
  static std::shared_ptr<ZUMBannerAdViewDelegate> create(const std::shared_ptr<ZUMSlot>& slot);

  // Held weakly.
  std::shared_ptr<ZUMSlot> slot() const { return slot_.lock(); }
  // True while the page holds the load back.
  bool isLoadDelayed() const { return loadDelayed_; }
  // True once the ad view reported a finished load.
  bool isLoadFinished() const { return loadFinished_; }

  // --- ZUMAdViewDelegateProtocol ------------------------------------------------------
  // For a slot that is not an interstitial's, the opener first takes the ad view's view
  // controller; then the base policy decides.
  std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                       platform::WebViewNavigationType navigationType) override;
  void adViewDidFinishLoad(ZUMAdView& adView) override;
  // The slot fails with the network error (code 2) unless its load is over; the error
  // given does not reach the slot. A page whose content process ended is pageDidEnd().
  void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error) override;
  // The ad's page died (`error` is the platform's termination error, its failure reason
  // why): a load in progress fails with an error that says so (code 11), and so does an
  // ad already shown, once, as any failed ad of its format; both with a log line giving
  // the reason. Whoever delegates for the slot's ad view (a full-screen controller
  // while the ad is shown) hands the termination here.
  void pageDidEnd(ZUMSlot& slot, const platform::ErrorPtr& error);
  void adViewContentSizeDidChange(ZUMAdView& adView, platform::Size size) override;
  void adViewDidLoadVideoWithSize(ZUMAdView& adView, platform::Size size) override;
  void adViewDidRecordImpression(ZUMAdView& adView) override;
  void adViewDidRecordClick(ZUMAdView& adView) override;
  // The slot's registry.
  std::shared_ptr<ZUMCSI> CSIForTOLMHandler(ZUMTOLMHandler& handler) override;

  // --- ZUMDelayLoadDelegate -----------------------------------------------------------
  // 0 -> n holds the load; n -> 0 releases it and, when the page has finished, reports
  // the finished load (the banner's own steps, whatever a subclass does on finish).
  void loadHandlerDidChangeDelay(ZUMTOLMHandler& handler, std::int64_t from, std::int64_t to) override;
  void loadHandlerDidCancel(ZUMTOLMHandler& handler) override;

 protected:
  explicit ZUMBannerAdViewDelegate(const std::shared_ptr<ZUMSlot>& slot);
  // Registers the base's handlers, binds the opener to the slot, appends the banner's.
  void setUpForSlot(const std::shared_ptr<ZUMSlot>& slot);
  // The banner's finished-load steps.
  void finishLoad(ZUMAdView& adView);

 private:
  const std::weak_ptr<ZUMSlot> slot_;
  bool loadDelayed_ = false;
  bool loadFinished_ = false;
};
