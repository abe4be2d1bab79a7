#include "InterstitialHost.h"

#include <utility>

#include "AdPicture.h"
#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/presentation/ZUMInterstitialViewController.h"
#include "sdk/rendering/ZUMAdView.h"
#include "sdk/rendering/ZUMWebView.h"
#include "sdk/request/ZUMSlot.h"

namespace {

// The link the demo's ad shows; its page follows it when tapped.
constexpr const char* kPoolOrigin = "cache";

constexpr const char* kAdLink = "https://ads.adnetwork.example/landing?unit=";

void sendTouch(const std::shared_ptr<platform::Touch>& touch) {
  if (auto window = touch->window()) window->sendEvent(platform::Event({touch}));
}

}  // namespace

InterstitialHost::InterstitialHost(Say say, std::string adUnitID)
    : say_(std::move(say)), adUnitID_(std::move(adUnitID)), request_(ZUMRequest::create()) {}

void InterstitialHost::launch() {
  window_ = platform::Window::create();
  root_ = platform::ViewController::create();
  window_->setRootViewController(root_);
  window_->makeKeyAndVisible();
  say("host", "its one screen is up");
}

void InterstitialHost::loadInterstitial() {
  interstitial_ = ZUMInterstitial::create(adUnitID_);
  lastSlotState_ = -1;
  interstitial_->setDelegate(shared_from_this());
  say("host", "load an interstitial for ad unit \"" + adUnitID_ + "\"");
  interstitial_->loadRequest(request_);
}

void InterstitialHost::tapAd() {
  if (!interstitial_ || !interstitial_->viewController()) return;
  auto adView = interstitial_->viewController()->adView();
  if (!adView || !window_) return;
  // The user's finger on the middle of the ad, then the page follows its link, as an
  // ad page does on a tap.
  auto window = adView->window();
  if (!window) return;
  const auto frame = adView->frame();
  auto touch = platform::Touch::create(window, {frame.midX(), frame.midY()});
  sendTouch(touch);
  touch->setPhase(platform::Touch::Phase::Ended);
  sendTouch(touch);
  say("user", "taps the ad");
  adView->webView()->evaluateJavaScriptFromString(std::string("location.href = '") + kAdLink + adUnitID_ + "';");
}

void InterstitialHost::savePicture(const std::string& path) {
  if (!window_) return;
  const std::string problem = writePicture(*window_, path);
  say("host", problem.empty() ? "a picture of the screen: " + path : "no picture of the screen: " + problem);
}

void InterstitialHost::noteSlotState() {
  static const char* const kNames[] = {
      "idle",      "SDK core failed", "building the ad URL", "ad URL received", "fetching the ad", "rendering",
      "ad loaded", "failed",          "invalidated"};
  if (!interstitial_ || !interstitial_->slot()) return;
  const auto state = static_cast<std::int64_t>(interstitial_->slot()->state());
  if (state == lastSlotState_) return;
  lastSlotState_ = state;
  say("slot", "state " + std::to_string(state) + ", " + kNames[state]);
}

void InterstitialHost::closeAd() {
  if (!interstitial_ || !interstitial_->viewController()) return;
  say("user", "closes the ad");
  interstitial_->viewController()->closeButtonPressed();
}

void InterstitialHost::tick() {
  if (++ticks_ < kTicksBetweenAds) return;
  std::exchange(timer_, nullptr)->invalidate();
  say("host", std::to_string(kTicksBetweenAds) + " ticks of the one-second timer");
  loadInterstitial();
}

ZUMImplemented InterstitialHost::interstitialDidReceiveAd(ZUMInterstitial& ad) {
  noteSlotState();
  ++received_;
  // A pool entry loads its request with the origin "cache".
  const auto request = ad.slot() ? ad.slot()->loadingRequest() : nullptr;
  const bool fromPool = request && request->origin() == kPoolOrigin;
  ++(fromPool ? poolHits_ : poolMisses_);
  say("delegate",
      std::string("interstitialDidReceiveAd") + (platform::isMainThread() ? "" : " (off the main thread!)") +
          (fromPool ? ", an ad the interstitial pool loaded ahead" : ", an ad loaded for this interstitial"));
  say("host", "present it at once");
  ad.presentFromRootViewController(root_);
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialDidFailToReceiveAdWithError(ZUMInterstitial&,
                                                                         const ZUMRequestErrorPtr& error) {
  noteSlotState();
  ++failed_;
  say("delegate", "interstitialDidFailToReceiveAdWithError: " + (error ? error->localizedDescription() : ""));
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialWillPresentScreen(ZUMInterstitial&) {
  noteSlotState();
  onScreen_ = true;
  say("delegate", "interstitialWillPresentScreen");
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialWillDismissScreen(ZUMInterstitial&) {
  say("delegate", "interstitialWillDismissScreen");
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialDidDismissScreen(ZUMInterstitial&) {
  noteSlotState();
  onScreen_ = false;
  ++dismissed_;
  say("delegate", "interstitialDidDismissScreen; the one-second timer starts");
  ticks_ = 0;
  std::weak_ptr<InterstitialHost> weak = weak_from_this();
  timer_ = platform::Timer::startRepeating(1.0, [weak](platform::Timer&) {
    if (auto self = weak.lock()) self->tick();
  });
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialWillLeaveApplication(ZUMInterstitial&) {
  say("delegate", "interstitialWillLeaveApplication");
  return kZUMImplemented;
}

ZUMImplemented InterstitialHost::interstitialDidReceiveAdClick(ZUMInterstitial&) {
  say("delegate", "interstitialDidReceiveAdClick");
  return kZUMImplemented;
}
