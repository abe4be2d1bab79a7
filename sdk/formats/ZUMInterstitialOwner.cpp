#include "sdk/formats/ZUMInterstitialOwner.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ZUMInterstitial.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMBindWeak.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/request/ZUMSlot.h"

namespace {

constexpr double kDefaultDelayPageCloseTimeout = 2.0;

// The stored time-out, read as a single-precision number as it always was; anything
// that is not a usable number of seconds keeps the default, and a larger one is held at
// the maximum.
double storedDelayPageCloseTimeout() {
  auto stored = ZUMUserDefaults::doubleForKey("/vantor/ads/zum:delay_page_close_timeout");
  if (!stored) return kDefaultDelayPageCloseTimeout;
  const auto seconds = static_cast<float>(*stored);
  if (!std::isfinite(seconds) || seconds < 0) return kDefaultDelayPageCloseTimeout;
  return std::min<double>(seconds, kZUMMaximumDelayPageCloseTimeout);
}

}  // namespace

std::shared_ptr<ZUMInterstitialOwner> ZUMInterstitialOwner::create(
    const std::shared_ptr<ZUMInterstitial>& interstitial) {
  if (!interstitial) return nullptr;
  return std::shared_ptr<ZUMInterstitialOwner>(new ZUMInterstitialOwner(interstitial));
}

ZUMInterstitialOwner::ZUMInterstitialOwner(const std::shared_ptr<ZUMInterstitial>& interstitial)
    : weakInterstitial_(interstitial), delayPageCloseTimeoutInterval_(storedDelayPageCloseTimeout()) {}

ZUMInterstitialOwner::~ZUMInterstitialOwner() { stopObserving(); }

void ZUMInterstitialOwner::interstitialDidCreateSlot() {
  platform::assertMainThread();
  if (isSlotCreated_) return;
  isSlotCreated_ = true;
  if (auto interstitial = weakInterstitial_.lock()) observeInterstitial(*interstitial);
}

void ZUMInterstitialOwner::observeInterstitial(ZUMInterstitial& interstitial) {
  auto adView = interstitial.slot() ? interstitial.slot()->adView() : nullptr;
  if (!adView) return;
  std::weak_ptr<ZUMInterstitialOwner> weak = weak_from_this();
  // The page's handlers post on whatever thread delivers the message.
  auto onMain = [weak](void (ZUMInterstitialOwner::*step)()) {
    return [weak, step](const platform::Notification&) {
      ZUMRunOnMainThread([weak, step] {
        if (auto self = weak.lock()) (self.get()->*step)();
      });
    };
  };
  auto& center = platform::NotificationCenter::defaultCenter();
  observers_.push_back(center.addObserver(kZUMDelayPageCloseStartNotification, adView, nullptr,
                                          onMain(&ZUMInterstitialOwner::interstitialDelayPageCloseStarted)));
  observers_.push_back(center.addObserver(kZUMDelayPageCloseStopNotification, adView, nullptr,
                                          onMain(&ZUMInterstitialOwner::interstitialDelayPageCloseStopped)));
}

void ZUMInterstitialOwner::stopObserving() {
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const auto& token : observers_) center.removeObserver(token);
  observers_.clear();
}

void ZUMInterstitialOwner::interstitialWillBePresented() {
  platform::assertMainThread();
  presentedInterstitial_ = weakInterstitial_.lock();
  if (isInterstitialCloseDelayed_) pageCloseDelayedInterstitial_ = presentedInterstitial_;
}

void ZUMInterstitialOwner::interstitialDelayPageCloseStarted() {
  pageCloseDelayedInterstitial_ = presentedInterstitial_;
  isInterstitialCloseDelayed_ = true;
}

void ZUMInterstitialOwner::interstitialIsDismissed() {
  platform::assertMainThread();
  // Kept until the end of this call: the last strong reference may be the one dropped.
  auto keepAlive = std::exchange(presentedInterstitial_, nullptr);
  if (pageCloseDelayedInterstitial_) {
    const auto& slot = pageCloseDelayedInterstitial_->slot();
    moveAdViewToPlaceholderWindow(slot ? slot->adView() : nullptr);
    adViewParked_ = true;
    std::weak_ptr<ZUMInterstitialOwner> weak = weak_from_this();
    platform::DispatchQueue::main()->after(delayPageCloseTimeoutInterval_,
                                           ZUMBindWeak(weak, &ZUMInterstitialOwner::interstitialDelayPageCloseStopped));
    return;
  }
  if (auto interstitial = weakInterstitial_.lock(); interstitial && interstitial->slot()) {
    interstitial->slot()->invalidate();
  }
}

void ZUMInterstitialOwner::moveAdViewToPlaceholderWindow(const std::shared_ptr<platform::View>& adView) {
  if (!adView) return;
  ZUMApplication::sharedInstance()->placeholderWindow()->addSubview(adView);
}

void ZUMInterstitialOwner::interstitialDelayPageCloseStopped() {
  auto released = std::exchange(pageCloseDelayedInterstitial_, nullptr);
  // A host that still holds the interstitial would keep the parked page running for
  // ever: the slot is invalidated, which takes the ad view out of the placeholder window.
  if (released && std::exchange(adViewParked_, false) && released->slot()) released->slot()->invalidate();
  stopObserving();
}
