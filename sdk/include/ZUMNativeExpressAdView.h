// A view for native express ads: ads the ad network renders from a native template into
// a banner-like view.
//
//   auto view = ZUMNativeExpressAdView::create(ZUMAdSizeFromSize({320, 150}));
//   view->setAdUnitID("unit-N");
//   view->setRootViewController(controller);
//   view->setDelegate(delegate);
//   window->addSubview(view);
//   view->loadRequest(ZUMRequest::create());
//
// It wraps one ZUMBannerView, centred in it at its own size, that does all loading and
// rendering; its requests go out as native express requests, and the banner's callbacks
// reach the host under this view's names. A mediated response is asked of each network
// through a native express connector: the network's native ad becomes asset JSON that
// the entry's HTML template shows (ZUMMAdNetworkConnectorNativeExpressAd).
//
// Its "native_express_adview" event goes to the logger of the banner's slot's tree each
// time that logger changes (every load makes a new one).
//
// Holds its banner strongly; its delegate weakly. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "ZUMAdLoaderOptions.h"
#include "ZUMAdSize.h"
#include "ZUMBannerViewDelegate.h"
#include "ZUMNativeExpressAdViewDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/View.h"
#include "sdk/request/ZUMAdMediationDelegate.h"

namespace platform {
class Coder;
class ViewController;
}  // namespace platform

class ZUMBannerView;
class ZUMRequest;
class ZUMVideoController;

// The event the view reports to its tree's logger.
inline constexpr const char* kZUMNativeExpressAdViewEventName = "native_express_adview";

class ZUMNativeExpressAdView : public platform::View,
                               public ZUMBannerViewDelegate,
                               public ZUMAdMediationDelegate,
                               public ZUMSlotAdResponseDelegate {
 public:
  // The frame's size as the ad size.
  static std::shared_ptr<ZUMNativeExpressAdView> create(const platform::Rect& frame);
  // At (0, 0), or at `origin`, with the frame the banner takes for the size.
  static std::shared_ptr<ZUMNativeExpressAdView> create(const ZUMAdSize& adSize);
  static std::shared_ptr<ZUMNativeExpressAdView> create(const ZUMAdSize& adSize, platform::Point origin);
  static std::shared_ptr<ZUMNativeExpressAdView> create(const platform::Rect& frame, const ZUMAdSize& adSize);
  // From an archive (platform/ui/Coder.h): the banner inside is a plain one (the zero
  // frame and its size). nullptr without a usable frame.
  static std::shared_ptr<ZUMNativeExpressAdView> create(const platform::Coder& coder);
  // Registers the archive class "ZUMNativeExpressAdView".
  static void registerClass();
  ~ZUMNativeExpressAdView() override;

  // --- The host's calls -----------------------------------------------------------------------
  // The banner loads a copy with native express on; nullptr stays nullptr.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request);
  void setAdOptions(const std::vector<std::shared_ptr<ZUMAdLoaderOptions>>& options);
  std::shared_ptr<ZUMNativeExpressAdViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMNativeExpressAdViewDelegate>& delegate) { delegate_ = delegate; }

  // --- The banner's properties ------------------------------------------------------------------
  const std::string& adUnitID() const;
  void setAdUnitID(std::string adUnitID);
  std::shared_ptr<platform::ViewController> rootViewController() const;
  void setRootViewController(const std::shared_ptr<platform::ViewController>& controller);
  // The zero size without a banner.
  ZUMAdSize adSize() const;
  void setAdSize(const ZUMAdSize& adSize);
  bool isAutoloadEnabled() const;
  void setAutoloadEnabled(bool enabled);
  std::optional<std::string> adNetworkClassName() const;
  const std::shared_ptr<ZUMVideoController>& videoController() const;
  platform::Size intrinsicContentSize() const override;
  const std::shared_ptr<ZUMBannerView>& bannerView() const { return bannerView_; }

  // --- ZUMBannerViewDelegate: each renamed for the host's delegate, when it answers -------------
  ZUMImplemented adViewDidReceiveAd(ZUMBannerView& view) override;
  ZUMImplemented adViewDidFailToReceiveAdWithError(ZUMBannerView& view, const ZUMRequestErrorPtr& error) override;
  ZUMImplemented adViewWillPresentScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewDidDismissScreen(ZUMBannerView& view) override;
  ZUMImplemented adViewWillLeaveApplication(ZUMBannerView& view) override;

  // --- ZUMSlotAdResponseDelegate ------------------------------------------------------------------
  bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) override;
  // This view mediates the ad.
  void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;

  // --- ZUMAdMediationDelegate ---------------------------------------------------------------------
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;
  // The entry's template ids as ad types with one image option, as
  // ZUMMAdNetworkConnectorNativeExpressAd::adLoaderConfigurationForNetworkConfig makes it.
  // Holds nullptr when the ids give no configuration.
  std::optional<std::shared_ptr<ZUMAdLoaderConfiguration>> adLoaderConfigurationForAd(
      const std::shared_ptr<ZUMAd>& ad, const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;

 private:
  explicit ZUMNativeExpressAdView(const platform::Rect& frame);
  std::shared_ptr<ZUMNativeExpressAdView> self();
  void commonInitWithBannerView(const std::shared_ptr<ZUMBannerView>& banner);
  // Calls `call` with the delegate, when there is one, and answers what it answered.
  ZUMImplemented tellDelegate(const std::function<ZUMImplemented(ZUMNativeExpressAdViewDelegate&)>& call);

  // --- Logging --------------------------------------------------------------------------------------
  void createdBannerView(const std::shared_ptr<ZUMBannerView>& banner);
  void rootObjectLoggerChanged();

  std::shared_ptr<ZUMBannerView> bannerView_;
  std::weak_ptr<ZUMNativeExpressAdViewDelegate> delegate_;
  platform::NotificationCenter::Token rootLoggerObserver_;
};
