#include "sdk/mediation/ZUMMAdNetworkConnectorBanner.h"

#include "ZUMMAdNetworkAdapter.h"
#include "ZUMSlotDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/mediation/ZUMMAdNetworkConfig.h"
#include "sdk/mediation/ZUMMConfig.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/mediation/ZUMMediatedBannerAd.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMMAdNetworkConnectorBanner> ZUMMAdNetworkConnectorBanner::create(
    std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  if (!config || !networkConfig) return nullptr;
  return std::shared_ptr<ZUMMAdNetworkConnectorBanner>(
      new ZUMMAdNetworkConnectorBanner(std::move(config), std::move(networkConfig)));
}

std::shared_ptr<ZUMMAdNetworkConnectorBanner> ZUMMAdNetworkConnectorBanner::self() {
  return std::static_pointer_cast<ZUMMAdNetworkConnectorBanner>(shared_from_this());
}

ZUMAdSize ZUMMAdNetworkConnectorBanner::requestedSize(const ZUMAdType& adType) const {
  const auto& slotSizes = networkConfig()->slotSizes();
  platform::Size size = ZUMAdSizeFromString(
      slotSizes && !slotSizes->empty() ? std::optional<std::string_view>(slotSizes->front()) : std::nullopt);
  if (size.width == 0 && size.height == 0) size = ZUMAdSizeFromString(mediationConfig()->defaultSlotSize());
  if (size.width == 0 && size.height == 0) return adType.adSize();
  return ZUMAdSizeFromSize(size);
}

void ZUMMAdNetworkConnectorBanner::getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) {
  platform::assertMainThread();
  if (!adType || adType->isInterstitial()) {
    return failAttempt(ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                                   "Connector " + className() + " doesn't support interstitial"));
  }
  const ZUMAdSize size = requestedSize(*adType);
  platform::ErrorPtr invalid;
  if (!ZUMValidateAdSize(size, &invalid)) {
    return failAttempt(ZUMMakeErrorWithDescription(kZUMErrorInternalError, "Banner adType requested is invalid."));
  }
  queuedAppEvents_.clear();
  if (adapter()) adapter()->getBannerWithSize(size);
}

void ZUMMAdNetworkConnectorBanner::handleDidReceiveAdView(const std::shared_ptr<platform::View>& view) {
  setDidNetworkRefresh(didNetworkReturn_);
  didNetworkReturn_ = true;
  setClicked(false);
  if (auto manager = adManager()) {
    if (manager->connectorShouldReturnMediatedAd(*this)) {
      manager->adRequestReturnsFromConnectorWithMediatedAd(*this, ZUMMediatedBannerAd::create(view, self()));
    } else {
      manager->adRequestReturnsFromConnectorWithView(*this, view);
    }
  }
  if (impressionMonitor_) impressionMonitor_->setDelegate(nullptr);
  impressionMonitor_ = ZUMImpressionMonitor::create(view, mediationConfig()->impressionDefinition());
  impressionMonitor_->setDelegate(self());
  impressionMonitor_->startMonitoring();
}

void ZUMMAdNetworkConnectorBanner::impressionMonitorDidMonitorImpression(ZUMImpressionMonitor& monitor) {
  // A monitor of an earlier view is no longer this connector's.
  if (&monitor != impressionMonitor_.get()) return;
  reportImpression();
  impressionMonitor_->setDelegate(nullptr);
  impressionMonitor_.reset();
}

void ZUMMAdNetworkConnectorBanner::handleDidFailAd(const platform::ErrorPtr& error) {
  setDidNetworkRefresh(didNetworkReturn_);
  didNetworkReturn_ = true;
  if (auto manager = adManager()) manager->adRequestFailedFromConnectorWithError(*this, error);
}

void ZUMMAdNetworkConnectorBanner::handleWillPresentFullScreenModal() {
  platform::NotificationCenter::defaultCenter().post(kZUMAdModalViewControllerWillPresentFullScreenNotification);
  if (auto current = slot()) current->adWillPresentScreen();
  reportClick();
}

void ZUMMAdNetworkConnectorBanner::handleWillDismissFullScreenModal() {
  if (auto current = slot()) current->adWillDismissScreen();
}

void ZUMMAdNetworkConnectorBanner::handleDidDismissFullScreenModal() {
  platform::NotificationCenter::defaultCenter().post(kZUMAdModalViewControllerDidDismissFullScreenNotification);
  if (auto current = slot()) current->adDidDismissScreen();
}

void ZUMMAdNetworkConnectorBanner::handleDidReceiveAppEvent(const std::string& name, const std::string& info) {
  auto current = slot();
  auto owner = current ? current->slotDelegate() : nullptr;
  if (owner && owner->slotDidReceiveAppEvent(*current, name, info)) return;
  // Kept for the mediated banner to replay; bounded, as a network may send without end.
  if (queuedAppEvents_.size() >= kMaxQueuedAppEvents) {
    ZUMLog(kZUMLogLevelDefault, "Mediated banner app event dropped: the queue is full: " + name);
    return;
  }
  queuedAppEvents_.push_back(Json{{"name", name}, {"info", info}});
}
