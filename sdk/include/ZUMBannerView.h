// A banner: a view the host places in its layout, gives an ad unit, a root view
// controller and an ad size, and asks to load:
//
//   auto banner = ZUMBannerView::create(kZUMAdSizeBanner);
//   banner->setAdUnitID("unit-A");
//   banner->setRootViewController(controller);
//   banner->setDelegate(delegate);
//   window->addSubview(banner);
//   banner->loadRequest(ZUMRequest::create());
//
// It owns one reloadable slot configured for banners and shows the slot's ad view (or a
// mediated network's view) as its only content. It keeps its ad size, its frame and the
// slot's ad type in step: an outside change of any of them settles in one pass, and a
// size that is not a sane number (NaN, infinite, negative, beyond any screen) is refused
// with "Unable to set adSize property. ..." and the old size kept. After the first ad,
// the slot's refresh timer reloads only while the banner is in a visible window and the
// application may load. Slot events become ZUMBannerViewDelegate callbacks on the main
// thread; the ad's video is controlled through videoController().
//
// Holds its slot, shown view and video controller strongly; its delegates and root view
// controller weakly. Main thread only; bannerKey and the view-hierarchy record may be
// read from any thread.
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
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotAdKeyDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/View.h"
#include "sdk/formats/ZUMBannerViewSlotOwner.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlotPlacement.h"

namespace platform {
class Coder;
class DispatchQueue;
class ViewController;
}  // namespace platform

class ZUMAdConfiguration;
class ZUMAdExposureMonitor;
class ZUMAdSizeDelegate;
class ZUMBufferedFennickLogger;
class ZUMFennickLogger;
class ZUMInAppPurchaseDelegate;
class ZUMRequest;
class ZUMSlot;
class ZUMVideoController;

class ZUMBannerView : public platform::View,
                      public ZUMBannerViewSlotOwner,
                      public ZUMSlotAdEventDelegate,
                      public ZUMSlotAdLoadDelegate,
                      public ZUMSlotAdResponseDelegate,
                      public ZUMSlotAdKeyDelegate,
                      public ZUMSlotPlacement,
                      public ZUMAdMediationDelegate {
 public:
  // The zero frame and a custom size of it.
  static std::shared_ptr<ZUMBannerView> create();
  // The frame's size as an ad size: the standard size of those dimensions, else custom.
  static std::shared_ptr<ZUMBannerView> create(const platform::Rect& frame);
  // A frame of the ad size at (0, 0), or at `origin`.
  static std::shared_ptr<ZUMBannerView> create(const ZUMAdSize& adSize);
  static std::shared_ptr<ZUMBannerView> create(const ZUMAdSize& adSize, platform::Point origin);
  static std::shared_ptr<ZUMBannerView> create(const platform::Rect& frame, const ZUMAdSize& adSize);
  // From an archive (platform/ui/Coder.h); the ad size is its frame's size. nullptr
  // without a usable frame.
  static std::shared_ptr<ZUMBannerView> create(const platform::Coder& coder);
  // Registers the archive class "ZUMBannerView".
  static void registerClass();
  ~ZUMBannerView() override;

  // --- Loading ---------------------------------------------------------------------------
  // Loads a copy of `request` carrying the ad options' parameters (nullptr stays nullptr:
  // the slot loads an empty request).
  virtual void loadRequest(const std::shared_ptr<ZUMRequest>& request);
  // One option per class; a second of a class and an entry that is no option (nullptr)
  // are logged and ignored.
  void setAdOptions(const std::vector<std::shared_ptr<ZUMAdLoaderOptions>>& options);
  const std::shared_ptr<ZUMAdConfiguration>& adConfiguration() const { return adConfiguration_; }
  const std::string& adUnitID() const { return adUnitID_; }
  // Passed to the slot; starts a new exposure monitor for the unit unless mediated.
  virtual void setAdUnitID(std::string adUnitID);
  // Turning it on loads (nullptr request) on a later turn of the main queue.
  bool isAutoloadEnabled() const { return autoloadEnabled_; }
  void setAutoloadEnabled(bool enabled);
  // The slot's parameters for `request`.
  nlohmann::ordered_json requestParametersForRequest(const std::shared_ptr<ZUMRequest>& request);

  // --- Delegates and presentation ----------------------------------------------------------
  std::shared_ptr<ZUMBannerViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMBannerViewDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<ZUMAdSizeDelegate> adSizeDelegate() const { return adSizeDelegate_.lock(); }
  void setAdSizeDelegate(const std::shared_ptr<ZUMAdSizeDelegate>& delegate) { adSizeDelegate_ = delegate; }
  // Stored only.
  std::shared_ptr<ZUMInAppPurchaseDelegate> inAppPurchaseDelegate() const { return inAppPurchaseDelegate_.lock(); }
  void setInAppPurchaseDelegate(const std::shared_ptr<ZUMInAppPurchaseDelegate>& d) { inAppPurchaseDelegate_ = d; }
  // Clicks present from it. The slot's ad view (and a banner shown inside) gets it too.
  // The slot reads it through ZUMSlotDelegate, hence the hidden overload.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
  std::shared_ptr<platform::ViewController> rootViewController() const { return rootViewController_.lock(); }
  // The slot's ad type's size.
  ZUMAdSize adSize() const;
#pragma GCC diagnostic pop
  void setRootViewController(const std::shared_ptr<platform::ViewController>& controller);
  // The one video controller of the banner; its inner controller follows the ad shown.
  const std::shared_ptr<ZUMVideoController>& videoController() const { return videoController_; }
  std::optional<std::string> adNetworkClassName() const;
  bool hasAutoRefreshed() const;
  // The shown view while the slot mediates, else nullptr.
  std::shared_ptr<platform::View> mediatedAdView() const;

  // --- Size ------------------------------------------------------------------------------
  // Takes the size, reloading when its rounded size changed (not for fluid sizes) or its
  // flags changed with a side that rounds to 0. Fluid (0, 0) takes the bounds' size.
  void setAdSize(ZUMAdSize adSize);
  // A frame of a new size changes the ad size instead (keeping the origin).
  void setFrame(const platform::Rect& frame) override;
  void setBounds(const platform::Rect& bounds) override;
  // 0 stays 0; any other value shows the ad fully (1).
  void setAlpha(double alpha) override;
  platform::Size intrinsicContentSize() const override;
  using platform::View::bounds;
  using platform::View::frame;

  // --- For the SDK's own formats and adapters ------------------------------------------------
  // A mediation adapter hosts this banner: no exposure monitor for it.
  void setMediated() { isMediated_ = true; }
  bool isMediated() const { return isMediated_; }
  // The exposure monitor of the ad unit (nullptr: none).
  const std::shared_ptr<ZUMAdExposureMonitor>& adExposureMonitor() const { return adExposureMonitor_; }
  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }
  // The slot's ad view.
  std::shared_ptr<platform::View> adView() const;
  const std::shared_ptr<platform::View>& rootAdView() const { return rootAdView_; }
  void setRootAdView(const std::shared_ptr<platform::View>& view);
  // The key of a banner cache (copied; any thread).
  std::optional<nlohmann::ordered_json> bannerKey() const;
  void setBannerKey(const nlohmann::ordered_json& key);
  // Within the view's window on the main screen, turned to the interface orientation;
  // the zero rectangle elsewhere.
  std::optional<platform::Rect> frameInInterface() override;

  // --- View hooks ------------------------------------------------------------------------
  void layoutSubviews() override;
  void didMoveToWindow() override;

  // --- ZUMSlotDelegate ---------------------------------------------------------------------
  [[nodiscard]] std::optional<bool> slotShouldLoadRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>& request,
                                                          platform::ErrorPtr* error) override;
  std::optional<bool> slotShouldReloadCurrentRequest(ZUMSlot& slot) override;
  ZUMImplemented slotDidReceiveAdView(ZUMSlot& slot, const std::shared_ptr<platform::View>& view) override;
  ZUMImplemented slotContentSizeDidChange(ZUMSlot& slot, const platform::Size& size) override;
  // setAdSize:andReload: of the banner: the one place the size, frame and ad type change.
  ZUMImplemented setAdSize(const ZUMAdSize& adSize, bool reload) override;
  ZUMImplemented layoutSubviewsIfNeeded() override;
  std::optional<bool> slotShouldChangeAudioSessionCategoryTo(ZUMSlot& slot, const std::string& category) override;

  // --- ZUMSlotAdResponseDelegate -------------------------------------------------------------
  bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) override;
  void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;

  // --- ZUMAdMediationDelegate ----------------------------------------------------------------
  // None until the banner connector exists.
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;

  // --- ZUMSlotAdLoadDelegate and ZUMSlotAdEventDelegate: the host's callbacks ----------------
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override;
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;
  ZUMImplemented slotWillPresentScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotDidDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillLeaveApplication(ZUMSlot& slot) override;

  // --- ZUMSlotAdKeyDelegate ------------------------------------------------------------------
  // Records up to "/vantor/ads/ad_key_parent_view_count" (20) ancestors of the banner.
  void cacheViewHierarchyInformationForSlot(ZUMSlot& slot) override;
  std::optional<nlohmann::ordered_json> viewHierarchyInformationForSlot(ZUMSlot& slot) override;

 protected:
  explicit ZUMBannerView(const platform::Rect& frame);
  // The second step of every create(): the slot needs the banner already shared.
  void commonInitWithAdSize(const ZUMAdSize& adSize);
  std::shared_ptr<ZUMBannerView> self();

  platform::Rect ownerFrame() const override { return frame(); }
  platform::Rect ownerBounds() const override { return bounds(); }
  ZUMAdSize ownerAdSize() const override { return adSize(); }
  std::shared_ptr<platform::ViewController> ownerRootViewController() const override { return rootViewController(); }

 private:
  // The size from a frame or bounds set from outside (fluid sizes keep their height).
  void setAdSizeFromExternalCGSize(platform::Size size);
  // Places the slot's ad view: its response size centred, else the whole bounds.
  void layoutRootAdView();
  // Gives the video controller the shown view's controller and the host's video options.
  void resetVideoController();
  // Calls `call` with the delegate on the main thread, when there is one then.
  void tellDelegate(std::function<void(ZUMBannerViewDelegate&, ZUMBannerView&)> call);

  // --- Event logging: "bannerview" events through the slot's tree (ZUMBannerView+Logging.cpp) ---
  void bannerCreatedSlot(const std::shared_ptr<ZUMSlot>& slot);
  void rootObjectLoggerChanged();
  void bannerAdLoadStarted();
  void bannerAdLoadSucceeded();
  void bannerAdLoadFailedWithError(const platform::ErrorPtr& error);
  void reportEvent(const std::string& name, const std::optional<nlohmann::ordered_json>& value);
  void stopLogging();
  // The class name hosts and logs see ("ZUMBannerView", or a subclass's).
  std::string className() const;

  bool hasLoadedAd_ = false;
  bool hasInitialized_ = false;
  bool isMediated_ = false;
  // What crosses threads, touched only on lockQueue_; the queue's blocks hold it, not the
  // banner, so the banner always ends on the main thread.
  struct Locked {
    std::shared_ptr<const nlohmann::ordered_json> viewHierarchy;
    std::shared_ptr<const nlohmann::ordered_json> bannerKey;
  };
  std::shared_ptr<Locked> locked_ = std::make_shared<Locked>();
  std::shared_ptr<platform::DispatchQueue> lockQueue_;
  bool setAdSizeAndReloadWasCalled_ = false;
  std::weak_ptr<ZUMFennickLogger> logger_;
  std::shared_ptr<ZUMBufferedFennickLogger> bufferedLogger_;
  std::shared_ptr<ZUMAdExposureMonitor> adExposureMonitor_;
  std::shared_ptr<ZUMAdConfiguration> adConfiguration_;
  std::string adUnitID_;
  bool autoloadEnabled_ = false;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::weak_ptr<ZUMBannerViewDelegate> delegate_;
  std::weak_ptr<ZUMAdSizeDelegate> adSizeDelegate_;
  std::weak_ptr<ZUMInAppPurchaseDelegate> inAppPurchaseDelegate_;
  std::shared_ptr<ZUMVideoController> videoController_;
  std::shared_ptr<platform::View> rootAdView_;
  std::shared_ptr<ZUMSlot> slot_;
  platform::NotificationCenter::Token rootLoggerObserver_;
};
