// A full-screen ad. Load it with a request, wait for interstitialDidReceiveAd, then
// present it once from the host's view controller:
//
//   auto interstitial = ZUMInterstitial::create("unit-A");
//   interstitial->setDelegate(delegate);
//   interstitial->loadRequest(ZUMRequest::create());
//   ...
//   if (interstitial->isReady()) interstitial->presentFromRootViewController(root);
//
// One object serves one ad: once presented it is used, and a later load fails with code
// 6. While on screen the interstitial keeps itself alive, so the host may drop it.
//
// It owns one slot (made at the first load), answers the slot's delegate protocols and
// turns the slot's callbacks into ZUMInterstitialDelegate callbacks on the main thread.
// The delegate is held weakly and read again for each callback.
//
// Public calls are made on the main thread; loadRequest() may be called from any.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ZUMInterstitialDelegate.h"
#include "ZUMSlotAdEventDelegate.h"
#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/rendering/ZUMRewardBasedVideoAdTOLMHandlerDelegate.h"
#include "sdk/request/ZUMAdMediationDelegate.h"
#include "sdk/request/ZUMSlotPlacement.h"

namespace platform {
class ViewController;
}

class ZUMAdUnitExposure;
class ZUMBufferedFennickLogger;
class ZUMFennickLogger;
class ZUMInAppPurchaseDelegate;
class ZUMInterstitialCacheEntry;
class ZUMInterstitialOwner;
class ZUMInterstitialViewController;
class ZUMRequest;
class ZUMSlot;

class ZUMInterstitial : public ZUMSlotDelegate,
                        public ZUMSlotAdEventDelegate,
                        public ZUMSlotAdLoadDelegate,
                        public ZUMSlotAdResponseDelegate,
                        public ZUMSlotPlacement,
                        public ZUMRewardBasedVideoAdTOLMHandlerDelegate,
                        public ZUMAdMediationDelegate,
                        public std::enable_shared_from_this<ZUMInterstitial> {
 public:
  static std::shared_ptr<ZUMInterstitial> create(std::string adUnitID = "");
  ~ZUMInterstitial() override;
  ZUMInterstitial(const ZUMInterstitial&) = delete;
  ZUMInterstitial& operator=(const ZUMInterstitial&) = delete;

  // --- Public ---------------------------------------------------------------------------
  const std::string& adUnitID() const { return adUnitID_; }
  // Also passed to the slot, when there is one.
  void setAdUnitID(std::string adUnitID);
  // Loads `request` (nullptr: an empty request) with a copy taken now; the rest of the
  // load runs on the main queue. Any thread.
  void loadRequest(const std::shared_ptr<ZUMRequest>& request);
  // Shows the loaded ad once (a mediated one through its network). A used or unready
  // interstitial only logs; one that cannot be shown full screen tells its delegate
  // (interstitialDidFailToPresentScreen, or a short show when the delegate lacks it).
  virtual void presentFromRootViewController(const std::shared_ptr<platform::ViewController>& root);
  // The slot holds a loaded ad.
  bool isReady() const;
  bool hasBeenUsed() const { return hasBeenUsed_; }
  void setHasBeenUsed(bool used) { hasBeenUsed_ = used; }
  // The class name of the network that filled the ad (the slot's).
  std::optional<std::string> adNetworkClassName() const;
  std::shared_ptr<ZUMInterstitialDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUMInterstitialDelegate>& delegate) { delegate_ = delegate; }
  // Stored only.
  std::shared_ptr<ZUMInAppPurchaseDelegate> inAppPurchaseDelegate() const { return inAppPurchaseDelegate_.lock(); }
  void setInAppPurchaseDelegate(const std::shared_ptr<ZUMInAppPurchaseDelegate>& d) { inAppPurchaseDelegate_ = d; }
  // Cancels the slot's pending and future actions.
  void cancel();

  // --- For the SDK's own formats and adapters --------------------------------------------
  // A mediation adapter or the rewarded ad owns this interstitial. Any thread.
  void setMediated();
  bool isMediated() const { return isMediated_; }
  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }
  const std::shared_ptr<ZUMInterstitialViewController>& viewController() const { return viewController_; }
  void setViewController(std::shared_ptr<ZUMInterstitialViewController> controller);
  // Makes the slot (once): an interstitial ad view of the portrait screen's size.
  void createSlot();
  // Takes the slot a pool entry loaded ahead (only when no slot exists), then tells the
  // delegate what the entry heard: its error, its ad, or nothing yet (the slot's own
  // outcome comes later).
  void loadSlotFromCacheEntry(const std::shared_ptr<ZUMInterstitialCacheEntry>& entry);
  // Whether the ad may be shown full screen now (orientation and split-screen checks).
  bool canPresentFullScreen() const;
  // Whether an ad of `adSize` fits a window of `windowSize` either way round, each side
  // within `threshold` points.
  static bool canFitAdSize(platform::Size adSize, platform::Size windowSize, double threshold);
  // Tells the delegate the ad could not be shown, on a later turn of the main queue.
  void adPresentationDidFail();
  // Tears an interstitial's slot down on the main thread (at once when called there) and
  // lets it go. Any thread.
  static void releaseSlot(std::shared_ptr<ZUMSlot> slot);
  // The veto of responses before rendering: false, with code 13 in `error`, for an ad
  // whose orientations the application does not support, when the user default asks for
  // that check and split screen is off.
  static bool canProcessAdResponse(const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error);

  // --- ZUMSlotDelegate ---------------------------------------------------------------------
  [[nodiscard]] std::optional<bool> slotShouldLoadRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>& request,
                                                          platform::ErrorPtr* error) override;
  std::optional<bool> slotShouldReloadCurrentRequest(ZUMSlot& slot) override;
  ZUMImplemented slotDidLoadMRAIDAd(ZUMSlot& slot) override;
  std::optional<bool> slotShouldChangeAudioSessionCategoryTo(ZUMSlot& slot, const std::string& category) override;
  std::optional<bool> slotShouldDisableVideoEventReportToAudioVideoManager(
      ZUMSlot& slot, const std::shared_ptr<ZUMAudioVideoManager>& manager) override;
  ZUMImplemented slotDidReceiveAdClick(ZUMSlot& slot) override;

  // --- ZUMSlotAdResponseDelegate -----------------------------------------------------------
  // Vetoes (code 13) a response whose orientations the application does not support,
  // when the user default asks for that and split screen is off.
  bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) override;
  // The interstitial becomes the mediation response's owner.
  void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;

  // --- ZUMAdMediationDelegate ----------------------------------------------------------------
  // An interstitial connector for each network.
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;

  // --- ZUMSlotAdLoadDelegate -------------------------------------------------------------
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override;
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;

  // --- ZUMSlotAdEventDelegate ------------------------------------------------------------
  ZUMImplemented slotWillPresentScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotDidDismissScreen(ZUMSlot& slot) override;
  ZUMImplemented slotWillLeaveApplication(ZUMSlot& slot) override;

  // --- ZUMRewardBasedVideoAdTOLMHandlerDelegate --------------------------------------------
  void rewardBasedVideoAdTOLMHandlerDidReceiveRewardNotificationWithRewardItem(
      const std::shared_ptr<ZUMAdReward>& rewardItem) override;
  void rewardBasedVideoAdTOLMHandlerDidReceiveStartVideoNotification() override;

 protected:
  explicit ZUMInterstitial(std::string adUnitID);
  // The second step of every create(): the owner needs the object already shared.
  void finishCreation();

 private:
  // Makes this the slot's owner and delegates (and the owner of its mediated ad); the one
  // path every slot of this object takes, whether made here or taken ready from a pool.
  void adoptSlot(std::shared_ptr<ZUMSlot> slot);
  void continueLoad(const std::shared_ptr<ZUMRequest>& request);
  void applyAdOrientations();
  // The analytics exposure of the ad unit while the ad is on screen; none when mediated.
  void beginAdUnitExposure();
  // After dismissal: the exposure ends and the ad view is no longer measured.
  void endShowing();
  // Calls `call` with the delegate on the main thread, when there is one then.
  void tellDelegate(std::function<void(ZUMInterstitialDelegate&, ZUMInterstitial&)> call);

  // --- Event logging: through the logger of the slot's tree (ZUMInterstitial+Logging.cpp) ---
  // Links this object below the slot and follows the slot's logger as it is renewed.
  void interstitialCreatedSlot(const std::shared_ptr<ZUMSlot>& slot);
  // Takes the tree's logger when it changed: tells it of this object and hands it the
  // events buffered so far.
  void rootObjectLoggerChanged();
  // {"interstitial": {key: 1}} or {"interstitial": {name: value}} to the logger.
  void reportCountEvent(const std::string& key);
  void reportValueEvent(const std::string& name, const std::optional<nlohmann::ordered_json>& value);
  void stopLogging();

  std::string adUnitID_;
  std::shared_ptr<ZUMInterstitialOwner> interstitialOwner_;
  std::shared_ptr<ZUMSlot> slot_;
  bool isMediated_ = false;
  bool hasBeenUsed_ = false;
  platform::ErrorPtr alreadyUsedError_;
  std::weak_ptr<ZUMInterstitialDelegate> delegate_;
  std::unique_ptr<ZUMAdUnitExposure> adUnitExposure_;  // main thread; ends when dropped
  std::shared_ptr<ZUMInterstitialViewController> viewController_;
  std::weak_ptr<ZUMInAppPurchaseDelegate> inAppPurchaseDelegate_;
  // Holds events until a logger exists (nullptr with logging off); the logger is the
  // slot's, held weakly.
  std::shared_ptr<ZUMBufferedFennickLogger> bufferedLogger_;
  std::weak_ptr<ZUMFennickLogger> logger_;
  platform::NotificationCenter::Token rootLoggerObserver_;
};
