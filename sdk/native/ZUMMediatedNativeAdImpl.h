// A network's native ad object as a mediated ad: the object itself, whether the network
// records clicks and impressions itself, whether the publisher may render the
// attribution, and the view the ad is rendered in. The native connector makes it and
// sets its fields; the SDK's native ad that wraps it (loadableAdForAdLoader) reports the
// user's clicks and impressions and the views it is shown in, which reach the connector's
// handlers and the network ad's delegate by the rules below.
//
// Holds the network's object strongly and the rendered view weakly; a view still alive
// when the wrapper goes away is untracked. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sdk/native/ZUMMediatedAd.h"

namespace platform {
class View;
class ViewController;
}  // namespace platform

class ZUMMediatedNativeAd;
class ZUMMediatedNativeAdDelegate;

class ZUMMediatedNativeAdImpl final : public ZUMMediatedAd,
                                      public std::enable_shared_from_this<ZUMMediatedNativeAdImpl> {
 public:
  static std::shared_ptr<ZUMMediatedNativeAdImpl> create() {
    return std::shared_ptr<ZUMMediatedNativeAdImpl>(new ZUMMediatedNativeAdImpl());
  }
  ~ZUMMediatedNativeAdImpl() override;

  // The loadable class name of the SDK's native ad for the network's object (app install,
  // content, custom template, by the protocol it adopts); std::nullopt for none.
  std::optional<std::string> nativeAdClass() const;
  // The SDK's native ad for the loader: the network's object itself when it already is
  // one of the SDK's (the first-party network), else a new ad of the class wrapping this.
  std::shared_ptr<ZUMLoadable> loadableAdForAdLoader(ZUMAdLoader& loader) override;

  // --- Reporting -------------------------------------------------------------------------
  // Unless the adapter records impressions itself: the handlers, then the network ad's
  // delegate.
  void reportImpression() override;
  // Unless the adapter records clicks itself: the handlers, then the network ad's delegate.
  void reportClickOnAssetWithName(const std::string& assetName, const std::shared_ptr<platform::View>& view,
                                  const std::shared_ptr<platform::ViewController>& viewController);
  // The network recorded the event itself: the handlers, only when the adapter says it
  // records it.
  void reportAdNetworkImpression();
  void reportAdNetworkClick();
  // A new view untracks the one before, then the network ad renders in it; the same view
  // again does nothing.
  void reportMediatedAdRenderedInView(const std::shared_ptr<platform::View>& view,
                                      const std::shared_ptr<platform::ViewController>& viewController);
  // Only the rendered view is untracked.
  void reportMediatedAdShouldUntrackView(const std::shared_ptr<platform::View>& view);

  // --- Fields ----------------------------------------------------------------------------
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
  // The network ad's delegate, read again for each call; nullptr without one.
  std::shared_ptr<ZUMMediatedNativeAdDelegate> networkDelegate() const;
  void untrack(const std::shared_ptr<platform::View>& view);

  std::shared_ptr<ZUMMediatedNativeAd> ad_;
  bool adapterHandlesUserClicks_ = false;
  bool adapterHandlesUserImpressions_ = false;
  bool allowPublisherRenderedAttribution_ = false;
  std::weak_ptr<platform::View> renderedView_;
};
