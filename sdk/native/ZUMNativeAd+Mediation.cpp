// The native ad made from another network's ad: its wrapper, the network ad's
// notifications, and the views the view policy tracks, which the network renders in.
#include "ZUMNativeAd.h"

#include <utility>

#include "ZUMMediatedNativeAd.h"
#include "ZUMMediatedNativeAdNotificationSource.h"
#include "ZUMNativeAdDelegate.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/NotificationCenter.h"
#include "platform/ui/View.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/native/ZUMMediatedNativeAdImpl.h"

namespace {

// The notifications a native ad hears of its network's ad.
constexpr const char* kObserved[] = {
    kZUMMediatedNativeAdDidRecordImpressionNotification, kZUMMediatedNativeAdDidRecordClickNotification,
    kZUMMediatedNativeAdWillPresentScreenNotification,   kZUMMediatedNativeAdWillDismissScreenNotification,
    kZUMMediatedNativeAdDidDismissScreenNotification,    kZUMMediatedNativeAdWillLeaveApplicationNotification,
};

}  // namespace

ZUMNativeAd::ZUMNativeAd(const std::shared_ptr<ZUMMediatedNativeAdImpl>& mediatedAd) : mediatedNativeAd_(mediatedAd) {
  if (!mediatedAd) return;
  adNetworkClassName_ = mediatedAd->adNetworkClassName();
  if (const auto& ad = mediatedAd->ad()) extraAssets_ = ad->extraAssets();
}

void ZUMNativeAd::observeMediatedNativeAd() {
  auto ad = mediatedNativeAd_ ? mediatedNativeAd_->ad() : nullptr;
  if (!ad) return;
  auto& center = platform::NotificationCenter::defaultCenter();
  const std::shared_ptr<void> object = ad;
  const std::shared_ptr<ZUMNativeAd> self = shared_from_this();
  for (const char* name : kObserved) {
    center.addObserver(
        self,
        [weak = weak_from_this()](const platform::Notification& notification) {
          // Posted on any thread; the ad and its host live on the main thread.
          ZUMRunOnMainThread([weak, notification] {
            if (auto ad = weak.lock()) ad->handleMediatedNativeAdNotification(notification);
          });
        },
        name, object);
  }
}

void ZUMNativeAd::handleMediatedNativeAdNotification(const platform::Notification& notification) {
  platform::assertMainThread();
  const std::string& name = notification.name();
  if (name == kZUMMediatedNativeAdDidRecordImpressionNotification) {
    if (mediatedNativeAd_) mediatedNativeAd_->reportAdNetworkImpression();
  } else if (name == kZUMMediatedNativeAdDidRecordClickNotification) {
    if (mediatedNativeAd_) mediatedNativeAd_->reportAdNetworkClick();
  } else if (name == kZUMMediatedNativeAdWillPresentScreenNotification) {
    relay(&ZUMNativeAdDelegate::nativeAdWillPresentScreen);
  } else if (name == kZUMMediatedNativeAdWillDismissScreenNotification) {
    relay(&ZUMNativeAdDelegate::nativeAdWillDismissScreen);
  } else if (name == kZUMMediatedNativeAdDidDismissScreenNotification) {
    relay(&ZUMNativeAdDelegate::nativeAdDidDismissScreen);
  } else if (name == kZUMMediatedNativeAdWillLeaveApplicationNotification) {
    relay(&ZUMNativeAdDelegate::nativeAdWillLeaveApplication);
  }
}

void ZUMNativeAd::nativeAdViewPolicyDidBeginTrackingView(ZUMNativeAdViewPolicy&, platform::View& view) {
  platform::assertMainThread();
  if (mediatedNativeAd_)
    mediatedNativeAd_->reportMediatedAdRenderedInView(view.shared_from_this(), rootViewController());
}

void ZUMNativeAd::nativeAdViewPolicyDidUnloadNativeAd(ZUMNativeAdViewPolicy&, ZUMNativeAd&, platform::View* view) {
  platform::assertMainThread();
  if (mediatedNativeAd_ && view) mediatedNativeAd_->reportMediatedAdShouldUntrackView(view->shared_from_this());
}
