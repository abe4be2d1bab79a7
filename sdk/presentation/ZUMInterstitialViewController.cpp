#include "sdk/presentation/ZUMInterstitialViewController.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThreadChecker.h"
#include "platform/base/OperationQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/Application.h"
#include "sdk/foundation/ZUMApplication.h"
#include "sdk/foundation/ZUMClock.h"
#include "sdk/foundation/ZUMLogger.h"
#include "sdk/foundation/ZUMThreading.h"
#include "sdk/foundation/ZUMUserDefaults.h"
#include "sdk/network/ZUMAdURLStash.h"
#include "sdk/presentation/ZUMPresentationAnalytics.h"
#include "sdk/presentation/ZUMPresentationFormats.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/request/ZUMAd.h"
#include "sdk/request/ZUMSlot.h"

std::shared_ptr<ZUMInterstitialViewController> ZUMInterstitialViewController::create(
    const std::shared_ptr<ZUMSlot>& slot) {
  auto adView = slot ? std::dynamic_pointer_cast<ZUMAdView>(slot->adView()) : nullptr;
  std::shared_ptr<ZUMInterstitialViewController> controller(new ZUMInterstitialViewController(adView));
  controller->setUp();
  controller->setSlot(slot);
  if (auto hosted = controller->adView()) hosted->setViewController(controller);
  if (slot && ZUMSlotShowsRewardedAd(*slot)) controller->observeResignActive();
  return controller;
}

ZUMInterstitialViewController::~ZUMInterstitialViewController() {
  // Watched for the controller's life only, never beyond it.
  if (resignActiveObserver_) platform::NotificationCenter::defaultCenter().removeObserver(resignActiveObserver_);
}

void ZUMInterstitialViewController::observeResignActive() {
  std::weak_ptr<ZUMInterstitialViewController> weak =
      std::static_pointer_cast<ZUMInterstitialViewController>(shared_from_this());
  resignActiveObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillResignActiveNotification, nullptr, nullptr, [weak](const platform::Notification&) {
        platform::DispatchQueue::main()->async([weak] {
          if (auto self = weak.lock()) self->applicationBackgroundTimeIntervalSinceBoot_ = ZUMTimeIntervalSinceBoot();
        });
      });
}

bool ZUMInterstitialViewController::isLoaded() const {
  auto slot = this->slot();
  return slot && slot->state() == ZUMSlot::State::kValidAd;
}

// --- Presenting --------------------------------------------------------------------------------

void ZUMInterstitialViewController::presentFromViewController(const std::shared_ptr<platform::ViewController>& host,
                                                              std::function<void()> completion) {
  platform::assertMainThread();
  auto slot = this->slot();
  if (!slot || !slot->placement()) return;
  if (auto analytics = ZUMPresentationAnalytics::shared()) {
    auto screen = analytics->currentScreen();
    previousScreenName_ = std::move(screen.name);
    previousScreenClass_ = std::move(screen.screenClass);
  }
  ZUMAdAppViewController::presentFromViewController(host, std::move(completion));
}

void ZUMInterstitialViewController::finishAppearing() {
  ZUMAdAppViewController::finishAppearing();
  if (const auto& page = adView()) {
    page->dispatchSDKEvent("onshow", std::nullopt);
    ZUMAdURLStash::sharedInstance()->adViewDidFinishLayout(page->stashKey());
  }
  const auto screen = previousScreenName_ ? previousScreenName_ : previousScreenClass_;
  if (!screen || !ZUMUserDefaults::boolForKey("/vantor/ads/zums:sai:interstitial_screen_enabled").value_or(false)) {
    return;
  }
  auto slot = this->slot();
  const bool rewarded = slot && ZUMSlotShowsRewardedAd(*slot);
  const std::string name = *screen + (rewarded ? "/Rewarded" : "/Interstitial");
  std::weak_ptr<ZUMInterstitialViewController> weak =
      std::static_pointer_cast<ZUMInterstitialViewController>(shared_from_this());
  ZUMRunOnMainThread([weak, name] {
    auto self = weak.lock();
    auto analytics = ZUMPresentationAnalytics::shared();
    if (!self || !analytics || self->hasSetScreenName_) return;
    analytics->setScreenName(name);
    self->hasSetScreenName_ = true;
  });
}

// --- Leaving -----------------------------------------------------------------------------------

void ZUMInterstitialViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
  if (const auto& page = adView()) page->dispatchSDKEvent("onhide", std::nullopt);
  ZUMAdAppViewController::relinquishScreenWithCompletion(std::move(completion));
}

void ZUMInterstitialViewController::finishDismissal() {
  ZUMAdAppViewController::finishDismissal();
  if (const auto& page = adView(); page && page->viewController().get() == this) page->setViewController(nullptr);
  setAdView(nullptr);
}

bool ZUMInterstitialViewController::shouldDismissOnApplicationEnteringForeground() {
  auto slot = this->slot();
  if (slot && ZUMSlotShowsRewardedAd(*slot) && applicationBackgroundTimeIntervalSinceBoot_ != 0.0) {
    if (auto limitMs =
            ZUMUserDefaults::doubleForKey("/vantor/ads/zum:rbv_max_app_background_time_without_dismissing_ad_ms")) {
      const double elapsed = ZUMTimeIntervalSinceBoot() - applicationBackgroundTimeIntervalSinceBoot_;
      if (elapsed <= *limitMs / 1000.0) return false;
    }
  }
  return ZUMAdAppViewController::shouldDismissOnApplicationEnteringForeground();
}

// --- Split screen ------------------------------------------------------------------------------

void ZUMInterstitialViewController::viewWillTransitionToSize(platform::Size size) {
  ZUMAdAppViewController::viewWillTransitionToSize(size);
  const auto& page = adView();
  if (!page || !ZUMApplication::sharedInstance()->isSplitScreenEnabled()) return;
  page->setFrame({page->frame().origin, size});
  const platform::Size content = page->contentSize();
  auto slot = this->slot();
  auto ad = slot ? slot->ad() : nullptr;
  const double threshold = ad ? ad->croppedContentThreshold() : 0;
  if (content.height - size.height > threshold || content.width - size.width > threshold) {
    ZUMLogger::sharedInstance()->logPublicMessage(
        "Window size has changed and is too small for the interstitial. Ad will close.");
    relinquishScreenWithCompletion(nullptr);
  }
}
