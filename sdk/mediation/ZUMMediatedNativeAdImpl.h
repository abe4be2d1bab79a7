// A network's native ad object as a mediated ad: the object itself, whether the
// network records clicks and impressions itself, whether the publisher may render the
// attribution, and the view the ad is rendered in (held weakly). The native connector
// makes it and sets its fields.
//
// Main thread only.
#pragma once

#include <memory>

#include "sdk/mediation/ZUMMediatedAd.h"

namespace platform {
class View;
}

class ZUMMediatedNativeAd;

class ZUMMediatedNativeAdImpl final : public ZUMMediatedAd {
 public:
  static std::shared_ptr<ZUMMediatedNativeAdImpl> create() {
    return std::shared_ptr<ZUMMediatedNativeAdImpl>(new ZUMMediatedNativeAdImpl());
  }

  // The network's object (the protocol ZUMMediatedNativeAd).
  const std::shared_ptr<ZUMMediatedNativeAd>& ad() const { return ad_; }
  void setAd(std::shared_ptr<ZUMMediatedNativeAd> ad) { ad_ = std::move(ad); }
  bool adapterHandlesUserClicks() const { return adapterHandlesUserClicks_; }
  void setAdapterHandlesUserClicks(bool handles) { adapterHandlesUserClicks_ = handles; }
  bool adapterHandlesUserImpressions() const { return adapterHandlesUserImpressions_; }
  void setAdapterHandlesUserImpressions(bool handles) { adapterHandlesUserImpressions_ = handles; }
  bool allowPublisherRenderedAttribution() const { return allowPublisherRenderedAttribution_; }
  void setAllowPublisherRenderedAttribution(bool allow) { allowPublisherRenderedAttribution_ = allow; }
  std::shared_ptr<platform::View> renderedView() const { return renderedView_.lock(); }

 private:
  ZUMMediatedNativeAdImpl() = default;

  std::shared_ptr<ZUMMediatedNativeAd> ad_;
  bool adapterHandlesUserClicks_ = false;
  bool adapterHandlesUserImpressions_ = false;
  bool allowPublisherRenderedAttribution_ = false;
  std::weak_ptr<platform::View> renderedView_;
};
