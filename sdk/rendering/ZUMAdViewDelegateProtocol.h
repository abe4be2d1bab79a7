// What an ad view (ZUMAdView) tells its delegate: the navigation question, the page's
// loading, its move to a placement, content-size and video-size changes, recorded
// impressions and clicks. The usual delegate is a ZUMAdViewDelegate (the class of the
// handler chain and navigation policy); the SDK-core web view implements this protocol
// itself.
//
// Every operation is optional. The navigation question answers std::nullopt when not
// implemented, which allows the load; the others do nothing.
//
// Called on the main thread.
#pragma once

#include <memory>
#include <optional>

#include "platform/base/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Geometry.h"
#include "platform/web/WebViewDelegate.h"

class ZUMAdView;
class ZUMSlotPlacement;

class ZUMAdViewDelegateProtocol {
 public:
  virtual ~ZUMAdViewDelegateProtocol() = default;

  virtual std::optional<bool> adViewShouldStartLoadWithRequest(ZUMAdView& adView, const platform::URLRequest& request,
                                                               platform::WebViewNavigationType navigationType);
  virtual void adViewDidStartLoad(ZUMAdView& adView);
  virtual void adViewDidFinishLoad(ZUMAdView& adView);
  virtual void adViewDidFailLoadWithError(ZUMAdView& adView, const platform::ErrorPtr& error);
  // The public ad object that now shows the ad view's slot (nullptr: none).
  virtual void adViewDidMoveToPlacement(ZUMAdView& adView, const std::shared_ptr<ZUMSlotPlacement>& placement);
  virtual void adViewContentSizeDidChange(ZUMAdView& adView, platform::Size size);
  virtual void adViewDidLoadVideoWithSize(ZUMAdView& adView, platform::Size size);
  virtual void adViewDidRecordImpression(ZUMAdView& adView);
  virtual void adViewDidRecordClick(ZUMAdView& adView);
};
