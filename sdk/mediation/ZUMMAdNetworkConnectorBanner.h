// The connector of a banner waterfall: it asks its adapter for a banner of the entry's
// slot size (else the response's default, else the pass's), hands each view to the
// waterfall (wrapped when the owner takes mediated ads), watches it for the impression
// by the response's rule, relays the banner's full-screen and leave-application events
// to the slot, and forwards or queues the network's app events. Every view after the
// first counts as the network refreshing by itself.
//
// Owns its impression monitor. Main thread only, but for the adapter's reports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ZUMAdSize.h"
#include "sdk/mediation/ZUMMAdNetworkConnectorImpl.h"
#include "sdk/rendering/ZUMImpressionMonitor.h"

class ZUMMAdNetworkConnectorBanner final : public ZUMMAdNetworkConnectorImpl, public ZUMImpressionMonitorDelegate {
 public:
  // App events kept while the slot's owner takes none.
  static constexpr std::size_t kMaxQueuedAppEvents = 100;

  static std::shared_ptr<ZUMMAdNetworkConnectorBanner> create(std::shared_ptr<const ZUMMConfig> config,
                                                              std::shared_ptr<ZUMMAdNetworkConfig> networkConfig);

  // An interstitial type, or a size that does not validate, fails the attempt (code 11)
  // without asking the adapter.
  void getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) override;
  // {"name", "info"} dictionaries, oldest first.
  const std::vector<Json>& queuedAppEvents() const { return queuedAppEvents_; }
  // Hands the queue over (the mediated banner replays it) and empties it.
  std::vector<Json> takeQueuedAppEvents() { return std::exchange(queuedAppEvents_, {}); }
  const std::shared_ptr<ZUMImpressionMonitor>& impressionMonitor() const { return impressionMonitor_; }

  // --- ZUMImpressionMonitorDelegate ------------------------------------------------------
  void impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) override;

 protected:
  void handleDidFailAd(const platform::ErrorPtr& error) override;
  void handleDidReceiveAdView(const std::shared_ptr<platform::View>& view) override;
  void handleWillLeaveApplication() override { relayLeaveApplication(); }
  void handleWillPresentFullScreenModal() override;
  void handleWillDismissFullScreenModal() override;
  void handleDidDismissFullScreenModal() override;
  void handleDidReceiveAppEvent(const std::string& name, const std::string& info) override;
  std::string className() const override { return "ZUMMAdNetworkConnectorBanner"; }

 private:
  using ZUMMAdNetworkConnectorImpl::ZUMMAdNetworkConnectorImpl;
  std::shared_ptr<ZUMMAdNetworkConnectorBanner> self();
  // The size to ask for: the entry's first slot size, else the response's default, else
  // the type's.
  ZUMAdSize requestedSize(const ZUMAdType& adType) const;

  std::shared_ptr<ZUMImpressionMonitor> impressionMonitor_;
  bool didNetworkReturn_ = false;
  std::vector<Json> queuedAppEvents_;
};
