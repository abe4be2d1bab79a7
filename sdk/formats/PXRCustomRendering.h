// The publisher formats' side of an ad the host draws itself: hands a custom-rendering
// response to the host as a PXRCustomRenderedAd, and passes the host's reports (drawn,
// impression, click) on to the slot only while the slot still holds that ad: drawn while
// it waits in rendering, impressions and clicks once the load completed. Reports of an
// ad the slot no longer holds (it loaded another, failed or was invalidated) would count
// for something else and are dropped.
//
// One per publisher format object (PXRBannerView, PXRInterstitial); holds the handed-off
// ad weakly. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/base/Error.h"

class PXRCustomRenderedAd;
class PXRCustomRenderedAdEventHandler;
class ZUMAd;
class ZUMSlot;

class PXRCustomRendering {
 public:
  using Deliver = std::function<void(const std::shared_ptr<PXRCustomRenderedAd>&)>;

  // Makes the host's ad of `ad` (its HTML, and "/" of its base URL) reporting to
  // `handler`, tells the slot the rendering starts, then gives the ad to `deliver`.
  void handOff(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad,
               std::shared_ptr<PXRCustomRenderedAdEventHandler> handler, const Deliver& deliver);

  // Completes the load once; later calls change nothing.
  void finishedRendering(const std::shared_ptr<ZUMSlot>& slot) const;
  // The slot counts one impression per ad; the ad's manual-tracking URLs are pinged.
  void recordImpression(const std::shared_ptr<ZUMSlot>& slot) const;
  // Every click is pinged.
  void recordClick(const std::shared_ptr<ZUMSlot>& slot) const;

  // Code 12, "Ignoring delegate callback. Delegate does not conform to <protocolName>.\n
  // <ownerLabel>: <owner>\nDelegate: <delegate>".
  static platform::ErrorPtr delegateDoesNotConformError(const std::string& protocolName, const std::string& ownerLabel,
                                                        const std::string& owner, const void* delegate);
  // "<className: address>", or "(null)" for none.
  static std::string objectDescription(const std::string& className, const void* object);

 private:
  std::weak_ptr<ZUMAd> ad_;
};
