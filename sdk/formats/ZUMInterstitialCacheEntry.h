// One preloaded interstitial: a slot that starts loading as soon as the entry is made,
// so that an interstitial can later take a slot that is ready (or at least on its way).
// The entry's life (load or failure, then taken or discarded) goes out as exactly one
// CSI beacon of action "cache_rq": taken when an interstitial adopts the slot
// (slotDidMoveToPlacement), discarded when the entry goes without being taken.
//
// Made by its pool; owns its slot (and through it the ad view) until an interstitial
// takes it; is the slot's delegates until then. The slot is released on the main thread
// wherever the entry's last owner lets it go.
//
// Main thread only, but for the destructor (any thread).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "ZUMSlotAdLoadDelegate.h"
#include "ZUMSlotAdResponseDelegate.h"
#include "ZUMSlotDelegate.h"
#include "sdk/request/ZUMAdMediationDelegate.h"

class ZUMCSITimeRecorder;
class ZUMRequest;
class ZUMSlot;

inline constexpr const char* kZUMInterstitialCacheEntryAction = "cache_rq";

class ZUMInterstitialCacheEntry final : public ZUMSlotDelegate,
                                        public ZUMSlotAdLoadDelegate,
                                        public ZUMSlotAdResponseDelegate,
                                        public ZUMAdMediationDelegate,
                                        public std::enable_shared_from_this<ZUMInterstitialCacheEntry> {
 public:
  // Starts loading a copy of `request` (nullptr: an empty request) with the origin
  // "cache", for `adUnitID`.
  static std::shared_ptr<ZUMInterstitialCacheEntry> create(const std::shared_ptr<ZUMRequest>& request,
                                                           const std::string& adUnitID);
  ~ZUMInterstitialCacheEntry() override;
  ZUMInterstitialCacheEntry(const ZUMInterstitialCacheEntry&) = delete;
  ZUMInterstitialCacheEntry& operator=(const ZUMInterstitialCacheEntry&) = delete;

  const std::shared_ptr<ZUMSlot>& slot() const { return slot_; }
  // The slot finished loading, or failed with error(); both heard while the entry was
  // still the slot's delegate.
  bool isLoaded() const { return loaded_; }
  const platform::ErrorPtr& error() const { return error_; }

  // An interstitial adopted the slot: ends "cache:pop" and sends the beacon (once).
  void slotDidMoveToPlacement();

  // Sends one recorder's beacon with the default CSI configuration; nullptr: nothing.
  static void sendCSIPingForTimeRecorder(const std::shared_ptr<ZUMCSITimeRecorder>& recorder);

  // --- ZUMSlotDelegate -------------------------------------------------------------------
  std::optional<bool> slotShouldLoadRequest(ZUMSlot& slot, const std::shared_ptr<ZUMRequest>& request,
                                            platform::ErrorPtr* error) override;

  // --- ZUMSlotAdLoadDelegate -------------------------------------------------------------
  void slotFinishedLoadingAdContent(ZUMSlot& slot) override;
  void slotDidFailToLoadAdContentWithError(ZUMSlot& slot, const platform::ErrorPtr& error) override;

  // --- ZUMSlotAdResponseDelegate -----------------------------------------------------------
  // The interstitial's orientation veto (code 13).
  bool slotShouldProcessAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad, platform::ErrorPtr* error) override;
  // The entry becomes the mediation response's owner until an interstitial takes the slot.
  void slotWillProcessMediatedAdResponse(ZUMSlot& slot, const std::shared_ptr<ZUMAd>& ad) override;

  // --- ZUMAdMediationDelegate --------------------------------------------------------------
  // An interstitial connector for each network, as the interstitial makes.
  std::shared_ptr<ZUMMAdNetworkConnectorImpl> mediationConnectorForConfiguration(
      const std::shared_ptr<const ZUMMConfig>& config,
      const std::shared_ptr<ZUMMAdNetworkConfig>& networkConfig) override;

 private:
  ZUMInterstitialCacheEntry(std::shared_ptr<ZUMCSITimeRecorder> recorder, std::shared_ptr<ZUMSlot> slot);
  void load(const std::shared_ptr<ZUMRequest>& request);
  void didLoad();
  void didFail(const platform::ErrorPtr& error);
  // The recorder, once: whoever ends the entry's life first sends the beacon.
  std::shared_ptr<ZUMCSITimeRecorder> takeTimeRecorder();

  mutable std::mutex recorderMutex_;
  std::shared_ptr<ZUMCSITimeRecorder> timeRecorder_;  // under recorderMutex_
  std::shared_ptr<ZUMSlot> slot_;
  bool taken_ = false;
  bool loaded_ = false;
  platform::ErrorPtr error_;
};
