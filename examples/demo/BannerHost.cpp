#include "BannerHost.h"

#include <utility>

#include "ZUMRequest.h"
#include "platform/base/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "sdk/request/ZUMSlot.h"

namespace {

std::string thread() { return platform::isMainThread() ? "" : " (off the main thread!)"; }

}  // namespace

BannerHost::BannerHost(Say say, std::string adUnitID) : say_(std::move(say)), adUnitID_(std::move(adUnitID)) {}

void BannerHost::launch() {
  window_ = platform::Window::create();
  root_ = platform::ViewController::create();
  window_->setRootViewController(root_);
  window_->makeKeyAndVisible();
  banner_ = ZUMBannerView::create(kZUMAdSizeBanner);
  banner_->setAdUnitID(adUnitID_);
  banner_->setRootViewController(root_);
  banner_->setDelegate(shared_from_this());
  root_->view()->addSubview(banner_);
  say("host", "its one screen is up, a 320x50 banner at its top");
}

void BannerHost::loadBanner() {
  say("host", "load the banner for ad unit \"" + adUnitID_ + "\"");
  banner_->loadRequest(ZUMRequest::create());
}

void BannerHost::noteSlotState() {
  static const char* const kNames[] = {
      "idle",      "SDK core failed", "building the ad URL", "ad URL received", "fetching the ad", "rendering",
      "ad loaded", "failed",          "invalidated"};
  if (!banner_) return;
  const auto state = static_cast<std::int64_t>(banner_->slot()->state());
  if (state == lastSlotState_) return;
  lastSlotState_ = state;
  say("slot", "state " + std::to_string(state) + ", " + kNames[state]);
}

ZUMImplemented BannerHost::adViewDidReceiveAd(ZUMBannerView& banner) {
  ++received_;
  say("delegate", std::string("adViewDidReceiveAd") + (banner.hasAutoRefreshed() ? ", a refresh" : "") + thread());
  return kZUMImplemented;
}

ZUMImplemented BannerHost::adViewDidFailToReceiveAdWithError(ZUMBannerView&, const ZUMRequestErrorPtr& error) {
  ++failed_;
  say("delegate",
      "adViewDidFailToReceiveAdWithError: " + (error ? error->localizedDescription() : std::string()) + thread());
  return kZUMImplemented;
}
