#include "sdk/mediation/ZUMMAdNetworkConnectorInterstitial.h"

#include "ZUMMAdNetworkAdapter.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "sdk/errors/ZUMErrors.h"
#include "sdk/mediation/ZUMMConnectorDelegate.h"
#include "sdk/request/ZUMAdType.h"
#include "sdk/request/ZUMFullScreenNotifications.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMMAdNetworkConnectorInterstitial> ZUMMAdNetworkConnectorInterstitial::create(
    std::shared_ptr<const ZUMMConfig> config, std::shared_ptr<ZUMMAdNetworkConfig> networkConfig) {
  if (!config || !networkConfig) return nullptr;
  return std::shared_ptr<ZUMMAdNetworkConnectorInterstitial>(
      new ZUMMAdNetworkConnectorInterstitial(std::move(config), std::move(networkConfig)));
}

void ZUMMAdNetworkConnectorInterstitial::getAdFromAdapterWithType(const std::shared_ptr<ZUMAdType>& adType) {
  platform::assertMainThread();
  if (!adType || !adType->isInterstitial()) {
    return failAttempt(ZUMMakeErrorWithDescription(kZUMErrorInternalError,
                                                   "Invalid mediation ad requested from interstitial object."));
  }
  if (adapter()) adapter()->getInterstitial();
}

void ZUMMAdNetworkConnectorInterstitial::handleDidReceiveInterstitial() {
  setClicked(false);
  if (auto manager = adManager()) manager->adRequestReturnsFromConnectorWithInterstitial(*this, nullptr);
}

void ZUMMAdNetworkConnectorInterstitial::handleDidFailAd(const platform::ErrorPtr& error) {
  if (auto manager = adManager()) manager->adRequestFailedFromConnectorWithError(*this, error);
}

void ZUMMAdNetworkConnectorInterstitial::handleWillPresentInterstitial() {
  platform::NotificationCenter::defaultCenter().post(kZUMAdModalViewControllerWillPresentFullScreenNotification);
  if (auto current = slot()) current->adWillPresentScreen();
  // An interstitial's impression is its presentation.
  reportImpression();
}

void ZUMMAdNetworkConnectorInterstitial::handleWillDismissInterstitial() {
  calledWillDismissInterstitial_ = true;
  if (auto current = slot()) current->adWillDismissScreen();
}

void ZUMMAdNetworkConnectorInterstitial::handleDidDismissInterstitial() {
  if (!calledWillDismissInterstitial_) handleWillDismissInterstitial();
  platform::NotificationCenter::defaultCenter().post(kZUMAdModalViewControllerDidDismissFullScreenNotification);
  if (auto current = slot()) current->adDidDismissScreen();
}
